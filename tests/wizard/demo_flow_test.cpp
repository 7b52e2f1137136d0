// The web-demo flow through the wizard driver, one frame at a time with the user's clicks
// injected into the window record, against the update host and two mirrors served by nginx, on
// the test display (the licence field and the name field are the shell's own widgets): licence,
// server check, destination, install into a new folder, finish; the destination name checks; and
// Back during the install, whose question deletes the partial copy only on its Cancel button.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "files/file_ops.h"
#include "install/disc_pipeline.h"
#include "install/download_scheduler.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/web_update.h"
#include "install/wizard_globals.h"
#include "net/http_client.h"
#include "platform/folders.h"
#include "runtime/constants.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_services.h"
#include "runtime/shell_records.h"
#include "shell/translation.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"
#include "support/graphics_fixture.h"
#include "support/modified_file_question_double.h"
#include "support/nginx_server.h"
#include "support/process.h"
#include "support/release_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "support/wizard_flow_driver.h"
#include "../install/web_mirror_fixture.h"
#include "wizard/demo_flow.h"
#include "wizard/install_registry.h"
#include "wizard/licence_screen.h"
#include "wizard/page_calls.h"
#include "wizard/server_list.h"
#include "wizard/web_update_flow.h"
#include "wizard/wizard_driver.h"

namespace {

// What the last frame drew of the page.
struct page_seen {
  std::string title, text, report, progress_text;
  std::vector<std::string> choices;
};
page_seen seen;
std::string click_label;  // the push button that reports a click

void rec_string(int, float x, float y, const std::string& text, float, int, int) {
  if (x == 500 && y == 480) seen.title = text;
  else if (x == 230 && y == 440) seen.text = text;
  else if (x == 220 && y == 130) seen.report = text;
  else if (x == 242 && y == 120) seen.progress_text = text;
}
int rec_action(float, float, float, int, int, const std::string& label, const std::string&) {
  seen.choices.push_back(label);
  return label == click_label ? 1 : 0;
}
int rec_push(float, float, float, const std::string& label) { return label == click_label ? 1 : 0; }
using wizard_flow::subst;

// The folder dialog: answers with chosen_folder.
std::string chosen_folder;
int scripted_chooser(const std::string&, const std::string&, std::string& io_path) {
  if (chosen_folder.empty()) return 0;
  io_path = chosen_folder;
  return 1;
}

// The cancel question: the scripted answer, and what it was asked.
int question_answer = 3;
std::vector<std::string> question_asked;
int scripted_question(std::string question, std::string first_label, std::string first_text, std::string second_label,
                      std::string second_text) {
  question_asked = {question, first_label, first_text, second_label, second_text};
  return question_answer;
}

release_tree demo_release(int big_files = 0) {
  release_tree t;
  t["All/Resources/readme.txt"] = {"the demo\n"};
  t["All/Resources/data.dat"] = {std::string(5000, 'd')};
  t["All/Airfoils/a.afl"] = {"airfoil\n"};
  t["All/Instructions/manual.txt"] = {"manual\n"};
  t["All/Output/.keep"] = {""};
  t["All/Skyrill"] = {"#!/bin/sh\necho ran > \"$(dirname \"$0\")/ran.txt\"\n", 0755};
  for (int i = 0; i < big_files; ++i) t["All/Resources/slow/b" + std::to_string(i) + ".bin"] = {noise(6000000, i + 3)};
  return t;
}

// Bottom-bar points (English): Back, Next.
constexpr float back_x = 600, next_x = 700, bar_y = 20;

class DemoFlow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string problem;
    ASSERT_TRUE(open_test_window(800, 600, &problem)) << problem;
    start_test_graphics(800, 600);
    // The bundled resources (the licence texts) are the program's.
    platform_set_executable_path(SKY_BINARY_DIR "/src/skyrill-installer");
  }
  static void TearDownTestSuite() { close_test_window(); }

  void SetUp() override {
    wizard_flow::reset_web_flow_state();
    app_done = 0;
    shell_double::reset();
    question_double::reset();
    port = nginx_port();
    ASSERT_NE(port, 0);
    http.proxy_host = "127.0.0.1";
    http.proxy_port = port;
    name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    update_host_setting = nginx_hosts[0];
    server_list_remote_path = "/" + name + "/serverlist9.txt";
    remove_tree(nginx_root(nginx_hosts[0]) + name + "/");
    make_folders(nginx_root(nginx_hosts[0]) + name + "/");
    for (int m = 0; m < 2; ++m) {
      mirror[m] = nginx_root(nginx_hosts[1 + m]) + name + "/Demo/";
      remove_tree(nginx_root(nginx_hosts[1 + m]) + name + "/");
      make_folders(mirror[m]);
    }
    temp_path = work.path() + "tmp/";
    make_folders(temp_path);
    parent = work.path() + "Games/";
    make_folders(parent);
    make_folders(work.path() + "Desktop/");
    old_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", work.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (work.path() + "config").c_str(), 1);
    dest_dir_path.clear();
    cmd_line_path.clear();
    fetch_retry_delay_scale = 0;

    page_calls c;
    c.draw_string = rec_string;
    c.draw_text = [](int colour, float x, float y, const std::string& t, float w) { rec_string(colour, x, y, t, w, 0, -1); };
    c.action = rec_action;
    c.push_button = rec_push;
    c.string_sub = subst;
    install_page_calls(c);
    set_folder_chooser(scripted_chooser);
    set_abort_alert(scripted_question);
    std::memset(&mnw, 0, sizeof mnw);
    mnw.screen_w = mnw.draw_w = 800;
    mnw.screen_h = mnw.draw_h = 600;
    mnw.pix_per_unit = 1;
    wizard_driver_reset();
    web_update_flow_reset();
    demo_flow_reset();
    g_wizard = demo_start;
    click_label.clear();
    chosen_folder.clear();
    question_answer = 3;
    question_asked.clear();
  }
  void TearDown() override {
    wizard_cancel_work();
    checksum_directory_kill();
    leave_web_install();
    for (int s = 0; s < http_slot_count; ++s) http.cancel(s);
    install_page_calls(page_calls{});
    set_folder_chooser(nullptr);
    set_abort_alert(nullptr);
    fetch_retry_delay_scale = 1;
    update_host_setting.clear();
    server_list_remote_path = "/serverlist9.txt";
    app_done = 0;
    setenv("HOME", old_home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
  }

  void publish(const release_tree& release) {
    std::string text = directory_text(release, release, &newest);
    for (int m = 0; m < 2; ++m) {
      write_archives(release, mirror[m]);
      write_directory_archive(text, mirror[m]);
    }
    write_whole_file(nginx_root(nginx_hosts[0]) + name + "/serverlist9.txt",
                     "I\n820 test list\nSERVERS\nFINAL Demo\nSERVER " + nginx_hosts[1] + "\n/" + name +
                         "/\nA|Mirror A\nSERVER " + nginx_hosts[2] + "\n/" + name + "/\nB|Mirror B\nENDOFLIST\n");
  }

  // One frame; a click at (x, y) when x >= 0.
  void frame(float x = -100, float y = -100) {
    seen = page_seen{};
    wizard_flow::frame(x, y, [] {
      mnw.mouse_held = mnw.mouse_down;
      BTN_begin_focus_ring();  // as the shell's frame does before the wizard's
    });
  }
  void next_click() { frame(next_x, bar_y); }
  void back_click() { frame(back_x, bar_y); }
  bool frames_until(const std::function<bool()>& done, double seconds = 60) {
    return wizard_flow::frames_until(done, [this] { frame(); }, seconds, 500);
  }

  // Welcome, licence accepted, servers checked: on the destination page.
  void to_destination_page() {
    frame();
    next_click();
    ASSERT_EQ(g_wizard, demo_eula);
    frame(licence_choice_x, licence_accept_y);
    next_click();
    ASSERT_EQ(g_wizard, demo_get_updates);
    ASSERT_TRUE(frames_until([] { return g_wizard != demo_get_updates; })) << seen.text;
    ASSERT_EQ(g_wizard, demo_pick_dest);
    frame();
  }
  // On the destination page: the copy goes into parent with the default name.
  void start_install_into_parent() {
    chosen_folder = parent.substr(0, parent.size() - 1);
    click_label = "Change Destination";
    frame();
    click_label.clear();
    frame();
    copy = parent + "Skyrill 9 Demo/";
    ASSERT_EQ(seen.text, "I will create the folder 'Skyrill 9 Demo' inside the folder '" + parent + "'.");
    ASSERT_EQ(dest_dir_path, copy);
    next_click();
    ASSERT_EQ(g_wizard, demo_run_patch);
  }
  void expect_installed() {
    for (const release_entry& e : newest)
      EXPECT_EQ(md5sum_of(copy + e.path.substr(e.path.find('/') + 1)), e.sig) << e.path;
  }

  temp_tree work;
  unsigned short port = 0;
  std::string name, parent, copy, old_home;
  std::string mirror[2];
  std::vector<release_entry> newest;
};

TEST_F(DemoFlow, InstallsANewCopyOnlyAfterTheLicenceIsAccepted) {
  publish(demo_release());
  frame();
  EXPECT_EQ(seen.title, "Welcome");
  EXPECT_EQ(seen.text, "I will guide you through the process of installing the web demo of Skyrill 9.");
  next_click();
  ASSERT_EQ(g_wizard, demo_eula);
  frame();
  EXPECT_EQ(seen.title, "End User License Agreement (EULA)");
  // Not accepted: Next does nothing; refusing keeps it so; accepting lets the user on.
  next_click();
  EXPECT_EQ(g_wizard, demo_eula);
  frame(licence_choice_x, licence_refuse_y);
  next_click();
  EXPECT_EQ(g_wizard, demo_eula);
  EXPECT_EQ(accept_eula_demo, 0);
  frame(licence_choice_x, licence_accept_y);
  EXPECT_EQ(accept_eula_demo, 1);
  frame(licence_choice_x, licence_refuse_y);
  EXPECT_EQ(accept_eula_demo, 0) << "changing one's mind withdraws the acceptance";
  next_click();
  EXPECT_EQ(g_wizard, demo_eula);
  frame(licence_choice_x, licence_accept_y);
  next_click();
  ASSERT_EQ(g_wizard, demo_get_updates);
  ASSERT_TRUE(frames_until([] { return g_wizard != demo_get_updates; })) << seen.text;
  ASSERT_EQ(g_wizard, demo_pick_dest);
  frame();
  EXPECT_EQ(seen.title, "Pick Install Destination.");

  start_install_into_parent();
  ASSERT_TRUE(frames_until([] { return g_wizard == demo_done; })) << seen.text;
  frame();
  EXPECT_EQ(seen.title, "Finshed Web Demo Install");
  EXPECT_EQ(seen.text, "I have finished installing the Skyrill 9 web demo at: " + copy + ".");
  ASSERT_EQ(seen.choices.size(), 1u);
  EXPECT_EQ(seen.choices[0], "Fly Skyrill 9 Now");
  expect_installed();
  EXPECT_FALSE(path_exists(copy + ".installer staging"));
  EXPECT_EQ(demo_install_is_running, 0);
  EXPECT_EQ(read_whole_file(registration_file_path()), copy + "\n");

  // Welcome again: the copy is registered now, and the licence must be accepted again.
  g_wizard = demo_start;
  frame();
  EXPECT_NE(seen.text.find("Warning: you already have Skyrill 9 installed on this computer."), std::string::npos);
  EXPECT_EQ(accept_eula_demo, 0);
}

// The licence's lines as the field draws them in a frame (it draws the visible ones, top first).
std::vector<std::string> licence_lines;
float record_text(int, float x, float, const std::string& text, float, int) {
  if (x == 236) licence_lines.push_back(text);
  return 0;
}

TEST_F(DemoFlow, TheLicenceScrollsToItsLastLineAndNoFurther) {
  widget_drawing().text = record_text;
  g_wizard = demo_eula;
  auto lines = [this](int wheel) {
    licence_lines.clear();
    mnw.wheel = wheel;
    frame();
    return licence_lines;
  };
  std::vector<std::string> top = lines(0);
  ASSERT_GT(top.size(), 20u);
  EXPECT_EQ(top.front(), "SKYRILL 9 DEMO - END USER LICENSE AGREEMENT");
  // One notch down moves three lines; a long spin stops with the last line in view.
  EXPECT_EQ(lines(-1).front(), top[3]);
  std::vector<std::string> end = lines(-1000);
  EXPECT_EQ(end.back(), "Thank you for trying Skyrill 9, and happy flying!");
  EXPECT_EQ(lines(-5), end);
  EXPECT_EQ(lines(1000).front(), top.front());
  widget_drawing().text = widget_default_drawing().text;
}

// The demo and the disc install show different licences, each in the user's language: the
// first line names the product and the language's own wording.
TEST_F(DemoFlow, EachFlowShowsItsOwnLicenceInEachLanguage) {
  struct row {
    const char* licence;
    int language;
    const char* first_line;
  } rows[] = {
      {demo_licence, lang_english, "SKYRILL 9 DEMO - END USER LICENSE AGREEMENT"},
      {demo_licence, lang_french, "DÉMO DE SKYRILL 9 - CONTRAT DE LICENCE UTILISATEUR FINAL"},
      {demo_licence, lang_german, "SKYRILL 9 DEMO - ENDBENUTZER-LIZENZVERTRAG"},
      {full_licence, lang_english, "SKYRILL 9 - END USER LICENSE AGREEMENT"},
      {full_licence, lang_french, "SKYRILL 9 - CONTRAT DE LICENCE UTILISATEUR FINAL"},
      {full_licence, lang_german, "SKYRILL 9 - ENDBENUTZER-LIZENZVERTRAG"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(std::string(r.licence) + " " + std::to_string(r.language));
    const std::string text = licence_text(r.licence, r.language);
    EXPECT_EQ(text.substr(0, text.find('\n')), r.first_line);
  }
}

TEST_F(DemoFlow, TheDestinationNameDecidesWhetherNextIsOn) {
  make_folders(parent + "Taken/");
  const std::string desktop = work.path() + "Desktop/";
  // The folder the copy would go into: the parent itself while the name is refused.
  struct row {
    std::string parent, typed, text, dest;
  };
  const std::string refused = "cannot be the name of a folder.  Please pick another name for your Skyrill 9 installation.";
  const std::vector<row> rows = {
      {parent, "", "Please pick a name for your Skyrill 9 installation...", parent},
      {parent, "   ", "Please pick a name for your Skyrill 9 installation...", parent},
      {parent, "Taken", "The folder 'Taken' already exists inside the folder '" + parent +
                            "'.\n\nPlease change the install name or destination.", ""},
      {parent, "a/b", "'a/b' " + refused, parent},
      {parent, "..", "'..' " + refused, parent},
      {parent, " . ", "'.' " + refused, parent},
      {parent, "../x", "'../x' " + refused, parent},
      {parent, "a\\b", "'a\\b' " + refused, parent},
      {parent, "  My Demo ", "I will create the folder 'My Demo' inside the folder '" + parent + "'.",
       parent + "My Demo/"},
      {desktop, "Demo", "I will create the folder 'Demo' inside the folder '" + desktop +
                            "'.\n\n(The folder Demo will appear on your desktop.)", desktop + "Demo/"},
  };
  for (const row& r : rows) {
    const bool next_on = r.text.rfind("I will create", 0) == 0;
    g_wizard = demo_pick_dest;
    demo_set_destination(r.parent, r.typed);
    frame();
    EXPECT_NE(seen.text.find(r.text), std::string::npos) << "'" << r.typed << "': " << seen.text;
    if (!r.dest.empty()) {
      EXPECT_EQ(dest_dir_path, r.dest) << r.typed;
    }
    // Next with a refused name stays on the page.
    frame(next_x, bar_y);
    EXPECT_EQ(g_wizard, next_on ? demo_run_patch : demo_pick_dest) << r.typed;
  }
  EXPECT_TRUE(path_exists(parent + "Taken"));

  // Typed into the name field: a click gives it the keyboard, each edit is judged again.
  demo_set_destination(parent, "");
  g_wizard = demo_pick_dest;
  frame();
  frame(500, 204);
  for (char c : std::string("Mine")) BTN_dispatch_to_focus(c, 0, 0);
  frame();
  EXPECT_EQ(dest_dir_path, parent + "Mine/");
  EXPECT_EQ(seen.text, "I will create the folder 'Mine' inside the folder '" + parent + "'.");
  BTN_dispatch_to_focus('/', 0, 0);
  frame();
  EXPECT_NE(seen.text.find(refused), std::string::npos) << seen.text;
  BTN_unfocus_any();

  // The disk space is judged for the folder still to be made, on the volume of its parent: a
  // release larger than any disk leaves Next off.
  file_version_struct huge;
  huge.zip_size = 1e12f;
  huge.unz_size = 1e12f;
  huge.sig_want = "0123456789abcdef0123456789abcdef";
  huge.path = "All/Resources/huge.dat";
  sim_info = {{huge}};
  g_wizard = demo_pick_dest;
  demo_set_destination(parent, "Big");
  frame();
  EXPECT_NE(seen.report.find("You do not have enough free disk space to install the Skyrill 9 demo at this location."),
            std::string::npos) << seen.report;
  frame(next_x, bar_y);
  EXPECT_EQ(g_wizard, demo_pick_dest);
  sim_info.clear();
  demo_set_destination(parent, "Small");
  frame();
  EXPECT_NE(seen.report.find("You have enough free disk space to install the Skyrill 9 demo at this location."),
            std::string::npos) << seen.report;
  // The default: the desktop (the default-applications folder) and "Skyrill 9 Demo".
  demo_flow_reset();
  g_wizard = demo_pick_dest;
  wizard_driver_reset();
  frame();
  EXPECT_EQ(dest_dir_path, desktop + "Skyrill 9 Demo/");
  EXPECT_NE(seen.text.find("will appear on your desktop"), std::string::npos) << seen.text;
}

TEST_F(DemoFlow, BackDuringTheInstallAsksAndOnlyCancelDeletes) {
  publish(demo_release(8));
  to_destination_page();
  start_install_into_parent();
  frame();  // the install begins writing
  ASSERT_EQ(demo_install_is_running, 1);
  ASSERT_TRUE(path_exists(copy));

  // Return or the close box (3) and Continue (0) both go back to the install.
  for (int answer : {3, 0}) {
    question_answer = answer;
    back_click();
    ASSERT_EQ(g_wizard, demo_pick_dest);
    frame();
    EXPECT_EQ(g_wizard, demo_run_patch) << answer;
    EXPECT_TRUE(path_exists(copy)) << answer;
    EXPECT_EQ(demo_install_is_running, 1);
    frame();
  }
  ASSERT_EQ(question_asked.size(), 5u);
  EXPECT_EQ(question_asked[0], "Are you sure you want to cancel the installation?  This will delete the partially "
                               "installed copy of the Skyrill 9 demo.");
  EXPECT_EQ(question_asked[1], "Cancel");
  EXPECT_EQ(question_asked[3], "Continue");
  // The install goes on to its end after Continue (48 MB through nginx: a generous limit for a
  // machine under load).
  ASSERT_TRUE(frames_until([] { return g_wizard == demo_done; }, 240)) << seen.text << " / " << seen.progress_text;
  expect_installed();
}

TEST_F(DemoFlow, CancelDeletesThePartialCopyButNothingItLinksTo) {
  publish(demo_release(8));
  to_destination_page();
  start_install_into_parent();
  frame();
  ASSERT_EQ(demo_install_is_running, 1);
  // A link inside the partial copy to a folder of the user's, and a neighbour in the parent.
  const std::string sentinel = work.path() + "Precious/";
  make_folders(sentinel);
  write_whole_file(sentinel + "keep.txt", "mine\n");
  make_folders(copy + "Resources/");
  ASSERT_EQ(symlink(sentinel.c_str(), (copy + "Resources/linked").c_str()), 0);
  make_folders(parent + "Other Game/");

  question_answer = 1;
  back_click();
  frame();
  EXPECT_EQ(g_wizard, demo_pick_dest);
  EXPECT_EQ(demo_install_is_running, 0);
  EXPECT_FALSE(path_exists(copy));
  EXPECT_EQ(read_whole_file(sentinel + "keep.txt"), "mine\n");
  EXPECT_TRUE(path_exists(parent + "Other Game"));
  for (int s = first_download_http_slot; s < http_slot_count; ++s) EXPECT_EQ(http.slots[s], nullptr) << s;
  // The page offers the same destination again.
  frame();
  EXPECT_EQ(seen.text, "I will create the folder 'Skyrill 9 Demo' inside the folder '" + parent + "'.");
}

}  // namespace

namespace {

// The demo installer is the program built with the demo's welcome as its first screen: it opens
// on that page (the log names each page the wizard shows) and never on the update's.
TEST(DemoProgram, OpensOnTheDemoWelcome) {
  std::string problem;
  ASSERT_TRUE(test_display(&problem)) << problem;
  temp_tree dir;
  const std::string exe = dir.path() + "skyrill-demo-installer";
  ASSERT_EQ(run_process({"cp", SKY_BINARY_DIR "/src/skyrill-demo-installer", exe}).exit_code, 0);
  ASSERT_EQ(run_process({"cp", "-r", SKY_BINARY_DIR "/src/Resources", dir.path() + "Resources"}).exit_code, 0);
  process_result r = run_process({"timeout", "--preserve-status", "-k", "10", "-s", "TERM", "4", exe, "--lang=en"}, "",
                                 {"XDG_CONFIG_HOME=" + dir.path() + "config", "HOME=" + dir.path(),
                                  "ASAN_OPTIONS=detect_leaks=0"},
                                 dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string log = read_whole_file(dir.path() + "Skyrill Installer Log.txt");
  EXPECT_NE(log.find("Wizard page: Welcome\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Wizard page: Skyrill 9 Web Updater"), std::string::npos) << log;
}

}  // namespace
