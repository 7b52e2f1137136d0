// The web-update flow through the wizard driver, one frame at a time with the user's clicks
// injected into the window record, against the update host and two mirrors served by nginx:
// welcome, destination, search (list, directory, scan), disk space, install, finish, and the
// simulator started at the end. The installation is checked file by file against the release.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "files/file_ops.h"
#include "install/download_scheduler.h"
#include "install/file_decisions.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/modified_file_question.h"
#include "install/web_update.h"
#include "install/wizard_globals.h"
#include "net/http_client.h"
#include "runtime/constants.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "support/modified_file_question_double.h"
#include "support/nginx_server.h"
#include "support/process.h"
#include "support/release_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "support/wizard_flow_driver.h"
#include "support/update_check_fixture.h"
#include "../install/web_mirror_fixture.h"
#include "wizard/install_registry.h"
#include "wizard/page_calls.h"
#include "wizard/server_list.h"
#include "wizard/web_update_flow.h"
#include "wizard/wizard_driver.h"

namespace {

// What the last frame drew of the page.
struct page_seen {
  std::string title, text, progress_text;
  std::vector<std::string> choices;
  std::vector<std::string> all_texts;
};
page_seen seen;
std::string click_label;  // the choice button that reports a click
int click_box = -1;       // the chooser's check box that reports a click

void rec_string(int, float x, float y, const std::string& text, float, int, int) {
  if (x == 500 && y == 480) seen.title = text;
  else if (x == 230 && y == 440) seen.text = text;
  else if (x == 242 && y == 120) seen.progress_text = text;
  seen.all_texts.push_back(text);
}
int rec_action(float, float, float, int, int, const std::string& label, const std::string&) {
  seen.choices.push_back(label);
  return label == click_label ? 1 : 0;
}
int boxes_drawn = 0;
int rec_box(float, float, int) { return boxes_drawn++ == click_box ? 1 : 0; }
using wizard_flow::subst;

release_tree release_one() {
  release_tree t;
  t["All/Resources/readme.txt"] = {"read me, release one\n"};
  t["All/Resources/changed.dat"] = {std::string(5000, 'a')};
  t["All/Resources/user_edited.txt"] = {"as shipped\n"};
  t["All/Resources/retired/old.txt"] = {"release two removes this\n"};
  t["All/Airfoils/a.afl"] = {"airfoil\n"};
  t["All/Instructions/manual.txt"] = {"manual\n"};
  t["All/Output/.keep"] = {""};
  t["All/Skyrill"] = {"#!/bin/sh\necho ran > \"$(dirname \"$0\")/ran.txt\"\n", 0755};
  return t;
}
release_tree release_two() {
  release_tree t = release_one();
  t.erase("All/Resources/retired/old.txt");
  t["All/Resources/changed.dat"] = {std::string(70000, 'b')};
  t["All/Resources/user_edited.txt"] = {"as shipped, release two\n"};
  t["All/New Folder/fresh.bin"] = {std::string(120000, 'f')};
  return t;
}

// Bottom-bar points (English): Quit, Back, Next.
constexpr float quit_x = 50, back_x = 600, next_x = 700, bar_y = 20;

class Flow : public update_check_test {
 protected:
  void SetUp() override {
    update_check_test::SetUp();
    if (HasFatalFailure()) return;
    std::memset(&next, 0, sizeof next);
    question_double::reset();
    for (int m = 0; m < 2; ++m) {
      mirror[m] = nginx_root(nginx_hosts[1 + m]) + name + "/Release 2/";
      make_folders(mirror[m]);
    }
    install = work.path() + "Skyrill 9/";
    setenv("XDG_CONFIG_HOME", (work.path() + "config").c_str(), 1);
    dest_dir_path.clear();
    cmd_line_path.clear();

    page_calls c;
    c.draw_string = rec_string;
    c.draw_text = [](int colour, float x, float y, const std::string& t, float w) { rec_string(colour, x, y, t, w, 0, -1); };
    c.action = rec_action;
    c.check_box = rec_box;
    c.string_sub = subst;
    install_page_calls(c);
    std::memset(&mnw, 0, sizeof mnw);
    mnw.screen_w = 800;
    mnw.screen_h = 600;
    wizard_driver_reset();
    web_update_flow_reset();
    g_wizard = net_start;
    click_label.clear();
    click_box = -1;
  }
  void TearDown() override {
    wizard_cancel_work();
    checksum_directory_kill();  // the scan stops before the staging folder goes
    leave_web_install();
    install_page_calls(page_calls{});
    cmd_line_path.clear();
    unsetenv("XDG_CONFIG_HOME");
    update_check_test::TearDown();
  }

  void publish(const release_tree& older, const release_tree& newer, const std::string& list = "") {
    text = directory_text(older, newer, &newest);
    for (int m = 0; m < 2; ++m) {
      write_archives(newer, mirror[m]);
      write_directory_archive(text, mirror[m]);
    }
    write_whole_file(nginx_root(nginx_hosts[0]) + name + "/serverlist9.txt",
                     list.empty() ? two_mirror_list() : list);
  }
  std::string two_mirror_list() {
    return "I\n820 test list\nSERVERS\nFINAL Release 2\nINS_VERSION 20402 https://x.example/ w\nSERVER " +
           nginx_hosts[1] + "\n/" + name + "/\nA|Mirror A\nSERVER " + nginx_hosts[2] + "\n/" + name +
           "/\nB|Mirror B\nENDOFLIST\n";
  }

  // One frame; a click at (x, y) when x >= 0.
  void frame(float x = -100, float y = -100) {
    seen = page_seen{};
    boxes_drawn = 0;
    wizard_flow::frame(x, y);
  }
  void next_click() { frame(next_x, bar_y); }
  void back_click() { frame(back_x, bar_y); }
  // Frames until the condition holds; false after the limit.
  bool frames_until(const std::function<bool()>& done, double seconds = 60) {
    return wizard_flow::frames_until(done, [this] { frame(); }, seconds, 500);
  }
  // Welcome to the disk-space page with "-path".
  void to_disk_page() {
    cmd_line_path = install;
    frame();
    EXPECT_EQ(seen.title, "Skyrill 9 Web Updater");
    next_click();
    ASSERT_EQ(g_wizard, net_get_updates);
    ASSERT_TRUE(frames_until([] { return g_wizard != net_get_updates; })) << seen.text;
  }
  void run_install() {
    ASSERT_EQ(g_wizard, net_check_disk);
    next_click();
    ASSERT_TRUE(frames_until([] { return g_wizard == net_done; })) << seen.text << " / " << seen.progress_text;
    frame();
  }
  void expect_installed(const std::set<std::string>& except = {}) {
    for (const release_entry& e : newest) {
      std::string local = install + e.path.substr(e.path.find('/') + 1);
      if (except.count(e.path)) continue;
      if (e.sig == "GONE") EXPECT_FALSE(path_exists(local)) << e.path;
      else EXPECT_EQ(md5sum_of(local), e.sig) << e.path;
    }
  }
  void expect_no_temporary_archive() {
    auto r = run_process({"find", temp_path, install, "-name", "*.zip"});
    EXPECT_EQ(r.out, "");
  }

  std::string install, text;
  std::string mirror[2];
  std::vector<release_entry> newest;
};

TEST_F(Flow, UpdatesTheInstallationFromWelcomeToFinishAndStartsTheSimulator) {
  install_tree(release_one(), install);
  write_whole_file(install + "Resources/user_edited.txt", "my own edits\n");
  publish(release_one(), release_two());
  question_double::script_by_path({{"user_edited.txt", answer_keep}}, answer_cancel);

  to_disk_page();
  ASSERT_EQ(g_wizard, net_check_disk);
  frame();
  EXPECT_EQ(seen.title, "Check Disk Space");
  EXPECT_NE(seen.text.find("You are about to download"), std::string::npos) << seen.text;
  EXPECT_NE(seen.text.find("to update to Release 2."), std::string::npos) << seen.text;
  // The mirror list is on the page.
  EXPECT_NE(std::find(seen.all_texts.begin(), seen.all_texts.end(), "Mirror B"), seen.all_texts.end());
  run_install();
  EXPECT_EQ(seen.title, "Finshed Web Update");
  EXPECT_EQ(seen.text, "I have finished updating " + install + ".");
  ASSERT_EQ(seen.choices.size(), 1u);
  EXPECT_EQ(seen.choices[0], "Fly Skyrill Now");
  expect_installed({"All/Resources/user_edited.txt"});
  EXPECT_EQ(read_whole_file(install + "Resources/user_edited.txt"), "my own edits\n");
  EXPECT_EQ(question_double::asked().size(), 1u);
  EXPECT_FALSE(path_exists(install + "Resources/retired"));
  expect_no_temporary_archive();

  // The simulator stub starts and the installer ends with status 1 after its finish call.
  click_label = "Fly Skyrill Now";
  EXPECT_EXIT(
      {
        frame();
        frame();
      },
      ::testing::ExitedWithCode(1), "");
  for (int i = 0; i < 100 && !path_exists(install + "ran.txt"); ++i) usleep(20000);
  EXPECT_EQ(read_whole_file(install + "ran.txt"), "ran\n");
}

TEST_F(Flow, ReplacingTheModifiedFileAndPickingTheOnlyRegisteredInstallation) {
  install_tree(release_one(), install);
  write_whole_file(install + "Resources/user_edited.txt", "my own edits\n");
  publish(release_one(), release_two());
  question_double::script({answer_replace});
  make_folders(work.path() + "config");
  write_whole_file(registration_file_path(), install + "\n");

  frame();
  EXPECT_EQ(dest_dir_path, install) << "the only registration is chosen once";
  frame();
  EXPECT_EQ(dest_dir_path, install);
  next_click();
  ASSERT_EQ(g_wizard, net_pick_dest);
  frame();
  EXPECT_EQ(seen.text, "Please select which copy of Skyrill 9 you would like to update.");
  next_click();
  ASSERT_EQ(g_wizard, net_get_updates);
  ASSERT_TRUE(frames_until([] { return g_wizard != net_get_updates; })) << seen.text;
  run_install();
  expect_installed();
}

TEST_F(Flow, CancelAtTheModifiedFileQuestionReturnsToTheDiskPage) {
  install_tree(release_one(), install);
  write_whole_file(install + "Resources/user_edited.txt", "my own edits\n");
  publish(release_one(), release_two());
  question_double::script({answer_cancel});
  to_disk_page();
  next_click();
  frame();  // the install page's first frame asks, and sends the user back
  frame();
  EXPECT_EQ(g_wizard, net_check_disk);
  EXPECT_EQ(read_whole_file(install + "Resources/readme.txt"), "read me, release one\n");
}

TEST_F(Flow, BackDuringDownloadsThenNextLeavesTheRightTree) {
  release_tree two = release_two();
  for (int i = 0; i < 8; ++i) two["All/Resources/big/b" + std::to_string(i) + ".bin"] = {noise(6000000, i + 1)};
  install_tree(release_one(), install);
  publish(release_one(), two);
  question_double::script({}, answer_replace);
  to_disk_page();
  next_click();
  frame();  // transfers start
  ASSERT_EQ(g_wizard, net_run_patch);
  back_click();
  ASSERT_EQ(g_wizard, net_check_disk);
  frame();  // the disk page stops the transfers and removes their archives
  for (int s = first_download_http_slot; s < http_slot_count; ++s) EXPECT_EQ(http.slots[s], nullptr) << s;
  expect_no_temporary_archive();
  run_install();
  expect_installed();
  expect_no_temporary_archive();
}

TEST_F(Flow, BackDuringTheScanThenSearchingAgain) {
  release_tree big = release_one();
  for (int i = 0; i < 60; ++i) big["All/Resources/many/f" + std::to_string(i) + ".txt"] = {std::string(4000, 'a' + i % 26)};
  big["All/Resources/many/large.bin"] = {""};
  release_tree newer = big;
  newer["All/Resources/readme.txt"] = {"read me, release two\n"};
  install_tree(big, install);
  publish(big, newer);
  // One installed file of 400 MB (sparse, current in both releases) keeps the scan busy long
  // enough for Back to find it running, however loaded the machine: its entries name the MD5
  // of 400 MB of zeros.
  const std::string zeros_md5 = "61eabaf2bf278703738b433ff884c91f";  // md5sum of 400 MiB of zeros
  const std::string empty_entry = "0 0 " + md5_of_text("") + " large.bin\n";
  for (size_t at; (at = text.find(empty_entry)) != std::string::npos;)
    text.replace(at, empty_entry.size(), "409600 409600 " + zeros_md5 + " large.bin\n");
  for (int m = 0; m < 2; ++m) write_directory_archive(text, mirror[m]);
  for (release_entry& e : newest)
    if (e.path == "All/Resources/many/large.bin") e.sig = zeros_md5;
  ASSERT_EQ(truncate((install + "Resources/many/large.bin").c_str(), 400 << 20), 0);
  cmd_line_path = install;
  frame();
  next_click();
  ASSERT_TRUE(frames_until([] { return stg.dir_stage == 3; }));
  frame();  // the scan runs
  back_click();
  EXPECT_EQ(g_wizard, net_pick_dest);
  frame();  // stops the scan before anything can change
  next_click();
  ASSERT_TRUE(frames_until([] { return g_wizard != net_get_updates; })) << seen.text;
  run_install();
  expect_installed();
}

TEST_F(Flow, AnInstallationAlreadyCurrentSaysSo) {
  install_tree(release_two(), install);
  publish(release_one(), release_two());
  cmd_line_path = install;
  frame();
  next_click();
  ASSERT_TRUE(frames_until([] { return g_wizard != net_get_updates; })) << seen.text;
  EXPECT_EQ(g_wizard, net_check_disk);
  frame();  // the disk page shows for one frame and moves on
  EXPECT_EQ(g_wizard, net_done);
  frame();
  EXPECT_EQ(seen.text, "This copy of Skyrill (" + install + ") is already up to date.");
  ASSERT_EQ(seen.choices.size(), 1u);
}

TEST_F(Flow, AReleaseThatOnlyDeletesFilesIsApplied) {
  release_tree newer = release_one();
  newer.erase("All/Resources/retired/old.txt");
  install_tree(release_one(), install);
  publish(release_one(), newer);
  to_disk_page();
  ASSERT_EQ(g_wizard, net_check_disk);
  frame();
  EXPECT_EQ(g_wizard, net_check_disk) << "a deletion is something to do";
  run_install();
  EXPECT_FALSE(path_exists(install + "Resources/retired/old.txt"));
  EXPECT_EQ(seen.text, "I have finished updating " + install + ".");
}

TEST_F(Flow, AServerListThatIsAnHtmlPageKeepsTheUserWaitingNotQuitting) {
  install_tree(release_one(), install);
  publish(release_one(), release_two(), "<html><body>Please log in to the hotel network</body></html>\n");
  cmd_line_path = install;
  frame();
  next_click();
  for (int i = 0; i < 200; ++i) {
    frame();
    usleep(1000);
  }
  EXPECT_EQ(g_wizard, net_get_updates);
  EXPECT_EQ(app_done, 0);
  EXPECT_EQ(seen.text, "I am contacting " + nginx_hosts[0] + " to find an update server.");
  EXPECT_TRUE(shell_double::urls().empty());
}

TEST_F(Flow, AListWithoutMirrorsShowsTheProblemAndLeavesBack) {
  install_tree(release_one(), install);
  publish(release_one(), release_two(), "I\n820 test list\nSERVERS\nFINAL Release 2\nENDOFLIST\n");
  cmd_line_path = install;
  frame();
  next_click();
  ASSERT_TRUE(frames_until([] { return stg.dir_stage == 2; }));
  frame();
  EXPECT_EQ(seen.text, "There was a problem reading information from the servers.");
  back_click();
  EXPECT_EQ(g_wizard, net_pick_dest);
  // Searching again starts over from the server list, which names mirrors by now.
  write_whole_file(nginx_root(nginx_hosts[0]) + name + "/serverlist9.txt", two_mirror_list());
  frame();
  next_click();
  ASSERT_TRUE(frames_until([] { return g_wizard != net_get_updates; })) << seen.text;
  EXPECT_EQ(g_wizard, net_check_disk);
}

TEST_F(Flow, ANewerInstallerListOpensItsPageAndQuits) {
  install_tree(release_one(), install);
  publish(release_one(), release_two(),
          "I\n820 test list\nSERVERS\nINS_VERSION 20403 https://maker.example/new w\nENDOFLIST\n");
  cmd_line_path = install;
  frame();
  next_click();
  ASSERT_TRUE(frames_until([] { return app_done != 0; }));
  ASSERT_EQ(shell_double::urls().size(), 1u);
  EXPECT_EQ(shell_double::urls()[0], "https://maker.example/new");
}

// The destination is an installation of release two whose simulator program is missing.
void install_without_simulator(const std::string& install) {
  install_tree(release_two(), install);
  unlink((install + "Skyrill").c_str());
  dest_dir_path = install;
}

TEST_F(Flow, AFailedSimulatorStartIsShownOnceNotRetried) {
  install_without_simulator(install);
  g_wizard = dvd_do_run_sim;
  frame();
  frame();
  frame();
  EXPECT_NE(seen.text.find("I could not start " + install + "Skyrill"), std::string::npos) << seen.text;
  const std::string log = shell_double::log_text();
  size_t launches = 0;
  for (size_t at = log.find("Launching:"); at != std::string::npos; at = log.find("Launching:", at + 1)) ++launches;
  EXPECT_EQ(launches, 1u);
}

// Any flow's last page offers the start; a failed start keeps that page's title and Back returns
// to it.
int offering_page(int, wizard_screen& page) {
  page.title = "Finished Elsewhere";
  page.choices = {"Fly Skyrill Now"};
  page.choice_funcs = {dvd_do_run_sim};
  return 0;
}

TEST_F(Flow, AFailedStartGoesBackToThePageThatOfferedIt) {
  install_without_simulator(install);
  g_wizard = offering_page;
  frame();
  click_label = "Fly Skyrill Now";
  frame();
  click_label.clear();
  ASSERT_EQ(g_wizard, dvd_do_run_sim);
  frame();
  frame();
  EXPECT_EQ(seen.title, "Finished Elsewhere");
  EXPECT_NE(seen.text.find("I could not start " + install + "Skyrill"), std::string::npos) << seen.text;
  // Back stands left of the narrower Quit picture that ends the bar here.
  frame(660, bar_y);
  EXPECT_EQ(g_wizard, offering_page);
}

TEST_F(Flow, CommandLinePathMustBeAnInstallation) {
  install_tree(release_one(), install);
  EXPECT_EQ(accept_command_line_path(install.substr(0, install.size() - 1)), install);
  EXPECT_EQ(accept_command_line_path(install + "Resources"), "");
  EXPECT_EQ(accept_command_line_path(work.path() + "nowhere"), "");
  EXPECT_EQ(accept_command_line_path("relative/path"), "");
}

}  // namespace

namespace {

// With one stream the status line says "download stream" (singular); no text of the install page
// ever shows a negative percentage or a time or rate that is not a number.
TEST_F(Flow, TheInstallPageTextsStaySaneWithOneStream) {
  release_tree two = release_two();
  // Two 3 MB files from the server's "slow" folder (2 MB/s a connection): on one stream the
  // install spans two to three seconds and many frames on any machine, so its texts are seen
  // while files are still arriving.
  for (int i = 0; i < 2; ++i) two["All/Resources/slow/b" + std::to_string(i) + ".bin"] = {noise(3000000, i + 7)};
  install_tree(release_one(), install);
  publish(release_one(), two);
  question_double::script({}, answer_replace);
  stg.stream_count = 1;
  to_disk_page();
  next_click();
  std::vector<std::string> shown;
  ASSERT_TRUE(frames_until([&] {
    shown.push_back(seen.text);
    shown.push_back(seen.progress_text);
    return g_wizard == net_done;
  }));
  bool singular = false;
  for (const std::string& t : shown) {
    for (const char* bad : {"-1%", "inf", "nan", "-2147483648", "%%"}) EXPECT_EQ(t.find(bad), std::string::npos) << t;
    if (t.find("with 1 download stream.") != std::string::npos) singular = true;
    EXPECT_EQ(t.find("simultaneous"), std::string::npos) << t;
  }
  EXPECT_TRUE(singular);
  frame();
  expect_installed();
}

}  // namespace
