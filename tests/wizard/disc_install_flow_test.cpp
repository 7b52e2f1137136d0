// The disc flow through the wizard driver, one frame at a time with the user's clicks injected:
// the start screen against the disc in the test drive, the install from disc folders made by
// our release builder (the second disc asked for and put in the drive), cancelling at each
// stage, an unpack error gone on through, and starting a registered copy. The installation is
// checked file by file against the release's source with md5sum.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "files/archive_fixtures.h"
#include "files/file_ops.h"
#include "files/zip_archive.h"
#include "install/disc_drive.h"
#include "install/disc_pipeline.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/modified_file_question.h"
#include "install/wizard_globals.h"
#include "platform/volumes.h"
#include "runtime/constants.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "support/modified_file_question_double.h"
#include "support/process.h"
#include "support/release_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "support/wizard_flow_driver.h"
#include "wizard/disc_screens.h"
#include "wizard/install_registry.h"
#include "wizard/page_calls.h"
#include "wizard/web_update_flow.h"
#include "wizard/wizard_driver.h"

namespace {

// What the last frame drew of the page, and the user's hand for the next one.
struct page_seen {
  std::string title, text, progress_text, report;
  std::vector<std::string> choices;
};
page_seen seen;
std::string click_label;     // the button that reports a click
std::string typed;           // text typed into the name field in the next frame
bool typing = false;
std::string chooser_answer;  // the folder the dialog answers ("" cancels it)

void rec_string(int, float x, float y, const std::string& text, float, int, int) {
  if (x == 500 && y == 480) seen.title = text;
  else if (x == 230 && y == 440) seen.text = text;
  else if (x == 242 && y == 120) seen.progress_text = text;
  else if (x == 220 && y == 130) seen.report = text;
}
int rec_action(float, float, float, int, int, const std::string& label, const std::string&) {
  seen.choices.push_back(label);
  return label == click_label ? 1 : 0;
}
int rec_push(float, float, float, const std::string& label) { return label == click_label ? 1 : 0; }
int rec_field(float, float, std::string* text, int, const std::string&, float) {
  if (!typing) return 0;
  typing = false;
  *text = typed;
  return 1;
}
using wizard_flow::subst;
int scripted_chooser(const std::string&, const std::string&, std::string& io_path) {
  if (chooser_answer.empty()) return 0;
  io_path = chooser_answer;
  return 1;
}

// The cancel questions: answered from a script, each recorded.
std::vector<std::string> questions;
std::vector<int> answers;
int scripted_alert(std::string question, std::string, std::string, std::string, std::string) {
  questions.push_back(question);
  if (answers.empty()) return 3;
  const int a = answers.front();
  answers.erase(answers.begin());
  return a;
}

const std::string scenery_tile = "All/Global Scenery/Skyrill Scenery/Earth nav data/+40-120/+44-118.dsf";

// A release built into disc masters by our release builder, the scenery tile shipped as 7z.
struct disc_masters {
  std::string source, masters;
  std::vector<release_source_file> files;
};

disc_masters build_discs(const std::string& root, double disc_limit_kb) {
  disc_masters d;
  d.source = root + "src/";
  d.masters = root + "masters/";
  d.files = {{"All/Aircraft/c4 trainer/c4.acf", noise(30000, 1)},
             {scenery_tile, noise(30000, 2)},
             {"Linux/Skyrill", "#!/bin/sh\necho started > \"$(dirname \"$0\")/started.txt\"\n", 0755},
             {"All/Instructions/readme.txt", "Read me first.\n"}};
  for (int i = 0; i < 4; ++i) d.files.push_back({"All/Resources/data " + std::to_string(i) + ".dat", noise(30000, 10 + i)});
  write_release_source(d.source, d.files);
  for (const char* kind : {"menus", "text"})
    d.files.push_back({std::string("All/Resources/") + kind + "/English/Skyrill.txt", std::string(kind) + "\n"});
  const std::string tile = d.source + scenery_tile;
  const std::string folder = tile.substr(0, tile.rfind('/') + 1);
  const std::string leaf = tile.substr(folder.size());
  process_result z = run_process({seven_zip_tool(), "a", "-bd", "-y", leaf + ".7z", leaf}, "", {}, folder);
  EXPECT_EQ(z.exit_code, 0) << z.out << z.err;
  release_build b = run_release_builder(d.source, d.masters, "", release_current, disc_limit_kb);
  EXPECT_EQ(b.exit_code, 0) << b.output;
  return d;
}

// Bottom-bar points (English): Quit, Back, Next.
constexpr float quit_x = 50, back_x = 600, next_x = 700, bar_y = 20;

class DiscFlow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (seven_zip_tool().empty()) return;
    shared = new temp_tree;
    // Archives of 30 KB, 100 KB a disc: the release needs two discs.
    two_discs = new disc_masters(build_discs(shared->path() + "two/", 100));
  }
  static void TearDownTestSuite() {
    delete two_discs;
    delete shared;
    two_discs = nullptr;
    shared = nullptr;
  }

  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (work.path() + "config").c_str(), 1);
    make_folders(work.path() + "config/");
    temp_path = work.path() + "tmp/";
    make_folders(temp_path);
    parent = work.path() + "Apps/";
    make_folders(parent);
    page_calls c;
    c.draw_string = rec_string;
    c.draw_text = [](int colour, float x, float y, const std::string& t, float w) { rec_string(colour, x, y, t, w, 0, -1); };
    c.action = rec_action;
    c.push_button = rec_push;
    c.text_field = rec_field;
    c.string_sub = subst;
    install_page_calls(c);
    set_folder_chooser(scripted_chooser);
    set_abort_alert(scripted_alert);
    std::memset(&mnw, 0, sizeof mnw);
    mnw.screen_w = 800;
    mnw.screen_h = 600;
    fresh();
  }
  void TearDown() override {
    wizard_cancel_work();
    leave_disc_install();
    checksum_directory_kill();
    install_page_calls(page_calls{});
    set_folder_chooser(nullptr);
    set_abort_alert(nullptr);
    platform_set_test_drive("");
    app_done = 0;
    unsetenv("XDG_CONFIG_HOME");
  }

  // The state a start of the program leaves.
  void fresh() {
    leave_disc_install();
    sim_info.clear();
    std::memset(&stg, 0, sizeof stg);
    reset_installer_state();
    stg.download_os = 3;
    dvd_forget_disc();
    current_disk = 0;
    want_file_disk = 0;
    dest_dir_path.clear();
    disc_install_flow_reset();
    wizard_driver_reset();
    g_wizard = dvd_start;
    app_done = 0;
    shell_double::reset();
    shell_double::reopen_log();
    question_double::reset();
    click_label.clear();
    typing = false;
    chooser_answer.clear();
    questions.clear();
    answers.clear();
    unlink(registration_file_path().c_str());
  }

  void frame(float x = -100, float y = -100) {
    seen = page_seen{};
    wizard_flow::frame(x, y);
  }
  void next_click() { frame(next_x, bar_y); }
  void back_click() { frame(back_x, bar_y); }
  bool frames_until(const std::function<bool()>& done, double seconds = 60) {
    return wizard_flow::frames_until(done, [this] { frame(); }, seconds, 300);
  }
  void register_copy(const std::string& folder) {
    make_folders(folder);
    std::string text = file_exists(registration_file_path()) ? read_whole_file(registration_file_path()) : "";
    write_whole_file(registration_file_path(), text + folder + "\n");
  }

  // A hand-made first disc: the identity file and the zipped directory of the given entries.
  std::string hand_disc(const std::string& tag, const std::string& identity, const std::string& entries) {
    const std::string root = work.path() + "discs/" + tag + "/";
    make_folders(root + "Rel/");
    if (!identity.empty()) write_whole_file(root + "dvd_version.txt", identity);
    if (!entries.empty()) {
      const std::string plain = work.path() + "discs/" + tag + "-plain/directory.txt";
      make_folders(work.path() + "discs/" + tag + "-plain/");
      write_whole_file(plain, "I\n900 x\nINSTALLER\n\n" + entries);
      EXPECT_EQ(file_to_zip(plain, root + "Rel/directory.txt.zip"), 0);
    }
    return root;
  }

  // From the start screen to the install step, the new copy named `name` in `parent`.
  void to_install_step(const std::string& name = "Skyrill 9") {
    ASSERT_EQ(g_wizard, dvd_start);
    frame();
    ASSERT_EQ(seen.text, "Welcome to the Skyrill 9 Installer.  I will guide you through the process of installing " +
                             std::string(release_name) + ".");
    next_click();
    ASSERT_EQ(g_wizard, dvd_pick_install);
    chooser_answer = parent.substr(0, parent.size() - 1);
    click_label = "Change Destination";
    frame();
    click_label.clear();
    typed = name;
    typing = true;
    frame();
    EXPECT_EQ(seen.text, "I will create the folder '" + name + "' inside the folder '" + parent + "'.");
    next_click();
    ASSERT_EQ(g_wizard, dvd_eula_install);
    // The licence screen draws with the shell's own widgets; the user accepts it.
    accept_eula = 1;
    g_wizard = dvd_scenery_install;
    frame();
    EXPECT_EQ(seen.title, "Select Scenery");
    next_click();
    ASSERT_EQ(g_wizard, dvd_run_install);
    dest = parent + name + "/";
  }

  void expect_installed_as_source() {
    for (const auto& f : two_discs->files) {
      SCOPED_TRACE(f.path);
      EXPECT_EQ(md5sum_of(dest + f.path.substr(f.path.find('/') + 1)), md5sum_of(two_discs->source + f.path));
    }
  }
  size_t log_count(const std::string& what) {
    const std::string log = shell_double::log_text();
    size_t n = 0;
    for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  }

  temp_tree work;
  std::string parent, dest;
  static temp_tree* shared;
  static disc_masters* two_discs;
};
temp_tree* DiscFlow::shared = nullptr;
disc_masters* DiscFlow::two_discs = nullptr;

const std::string identity = "I\n900 x\nDVD\n\nVERSION Rel\n";
const std::string sim_entry = "DIR All/Resources/\nFILE 0 0 91001 1 1 0123456789abcdef0123456789abcdef one.txt\n";
const std::string scenery_entry =
    "DIR All/Global Scenery/Skyrill Scenery/Earth nav data/+40-120/\n"
    "FILE 0 0 91001 1 1 0123456789abcdef0123456789abcdef +44-118.dsf\n";

TEST_F(DiscFlow, StartScreenOffersWhatTheDiscAndTheRegistryAllow) {
  const std::string welcome = "Welcome to the Skyrill 9 Installer.  I will guide you through the process of installing Rel.";
  const std::string not_disc = "This DVD does not appear to be an Skyrill 9 DVD.";
  const std::string have = "You already have Skyrill 9 installed on this computer.  What would you like to do?";
  const std::vector<std::string> none;
  struct row {
    const char* name;
    std::string disc_identity;  // "-": the drive is empty
    std::string entries;
    bool registered;
    std::string text;
    std::vector<std::string> choices;
    bool next;
  } rows[] = {
      {"no disc", "-", "", false, "Please insert Skyrill 9 DVD number one to begin.", none, false},
      // The drive looks only for discs that carry the identity file.
      {"no identity file", "", "", false, "Please insert Skyrill 9 DVD number one to begin.", none, false},
      {"identity file of another kind", "I\n900 x\nINSTALLER\n\nVERSION Rel\n", sim_entry, false, not_disc, none, false},
      {"header 901", "I\n901 x\nDVD\n\nVERSION Rel\n", sim_entry, false, not_disc, none, false},
      {"a blank after the release name", "I\n900 x\nDVD\n\nVERSION Rel \n", sim_entry, false, welcome, none, true},
      {"sim only, nothing registered", identity, sim_entry, false, welcome, none, true},
      {"scenery only, nothing registered", identity, scenery_entry, false,
       "This DVD (Rel) contains global scenery.  You must install the sim before you install the global scenery.",
       none, false},
      {"scenery only, a registered copy", identity, scenery_entry, true, have,
       {"Run Skyrill Now", "Add Or Remove Scenery"}, false},
      {"sim only, a registered copy", identity, sim_entry, true, have,
       {"Run Skyrill Now", "Repair Skyrill", "Install A Second Copy of Skyrill"}, false},
      {"sim and scenery, a registered copy", identity, sim_entry + scenery_entry, true, have,
       {"Run Skyrill Now", "Add Or Remove Scenery", "Repair Skyrill", "Install A Second Copy of Skyrill"}, false},
  };
  int n = 0;
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    fresh();
    if (r.registered) register_copy(work.path() + "Registered/");
    const std::string disc = hand_disc("d" + std::to_string(n++), r.disc_identity == "-" ? "" : r.disc_identity, r.entries);
    platform_set_test_drive(disc);
    if (r.disc_identity == "-") platform_eject(disc);
    frame();
    frame();
    EXPECT_EQ(seen.title, "Skyrill 9 Installer");
    EXPECT_EQ(seen.text, r.text);
    EXPECT_EQ(seen.choices, r.choices);
    next_click();
    EXPECT_EQ(g_wizard == dvd_pick_install, r.next);
  }
}

TEST_F(DiscFlow, ADiscInsertedWhileTheStartScreenShowsChangesThePage) {
  const std::string disc = hand_disc("late", identity, sim_entry);
  platform_set_test_drive(disc);
  platform_eject(disc);
  frame();
  EXPECT_EQ(seen.text, "Please insert Skyrill 9 DVD number one to begin.");
  platform_set_test_drive(disc);
  frame();
  EXPECT_NE(seen.text.find("Welcome to the Skyrill 9 Installer."), std::string::npos) << seen.text;
}

// A damaged directory archive is a page that says so, not the end of the program; the disc is
// read again once it is put right.
TEST_F(DiscFlow, AnUnreadableDirectoryIsAPageAndIsTriedAgain) {
  const std::string disc = hand_disc("bad", identity, "");
  write_whole_file(disc + "Rel/directory.txt.zip", "PK\x03\x04 scratched");
  platform_set_test_drive(disc);
  frame();
  EXPECT_EQ(app_done, 0);
  EXPECT_NE(seen.text.find("I cannot read the list of files on this DVD"), std::string::npos) << seen.text;
  EXPECT_TRUE(shell_double::alerts().empty());
  hand_disc("bad", identity, sim_entry);
  ASSERT_TRUE(frames_until([] { return seen.text.find("Welcome") != std::string::npos; }, 10)) << seen.text;
}

TEST_F(DiscFlow, PickScreenRefusesNamesThatAreNoNewFolder) {
  const std::string disc = hand_disc("pick", identity, sim_entry);
  platform_set_test_drive(disc);
  make_folders(parent + "Taken/");
  frame();
  next_click();
  ASSERT_EQ(g_wizard, dvd_pick_install);
  chooser_answer = parent.substr(0, parent.size() - 1);
  click_label = "Change Destination";
  frame();
  click_label.clear();
  const std::string bad_name = " cannot be the name of a folder.  Please pick another name for your Skyrill 9 installation.";
  struct row {
    std::string name;
    std::string text;
    bool next;
  } rows[] = {
      {"", "Please pick a name for your Skyrill 9 installation...", false},
      {".", "'.'" + bad_name, false},
      {"..", "'..'" + bad_name, false},
      {"a/b", "'a/b'" + bad_name, false},
      {"/", "'/'" + bad_name, false},
      // Blanks around a name are dropped, as on the demo's page.
      {"   ", "Please pick a name for your Skyrill 9 installation...", false},
      {" a/b ", "'a/b'" + bad_name, false},
      {"Taken",
       "The folder 'Taken' already exists inside the folder '" + parent + "'.\n\nPlease change the install name or destination.",
       false},
      {" Takem\t", "I will create the folder 'Takem' inside the folder '" + parent + "'.", true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE("name \"" + r.name + "\"");
    typed = r.name;
    typing = true;
    frame();
    EXPECT_EQ(seen.text, r.text);
    next_click();
    EXPECT_EQ(g_wizard == dvd_eula_install, r.next);
    g_wizard = dvd_pick_install;
  }
  // The need counts the 1 KB file (at up to 2 KB: its record is cut down to whole KB), its
  // archive waiting in the staging folder and the folder to make for it, not the file alone.
  frame();
  EXPECT_NE(seen.report.find("Disk space needed to install: 7 KB"), std::string::npos) << seen.report;
  // The root as the parent keeps its one slash.
  chooser_answer = "/";
  click_label = "Change Destination";
  frame();
  click_label.clear();
  frame();
  EXPECT_EQ(seen.text, "I will create the folder 'Takem' inside the folder '/'.");
  EXPECT_EQ(dest_dir_path, "/Takem/");
}

TEST_F(DiscFlow, InstallsFromTwoDiscsAskingForTheSecondAndRegistersTheCopy) {
  if (!two_discs) GTEST_SKIP() << "no 7z tool";
  platform_set_test_drive(two_discs->masters);  // the changer: disc 1 in, an eject brings disc 2
  to_install_step();
  std::vector<wizard_func> visited;
  int asked_for = -1;
  std::string change_text;
  ASSERT_TRUE(frames_until([&] {
    if (visited.empty() || visited.back() != g_wizard) visited.push_back(g_wizard);
    if (g_wizard == dvd_switch_disk_install && asked_for < 0) asked_for = want_file_disk;
    return g_wizard == dvd_switch_disk_install || g_wizard == dvd_done_install;
  }));
  ASSERT_EQ(g_wizard, dvd_switch_disk_install) << "the second disc is asked for";
  EXPECT_EQ(visited[1], dvd_verify_disk_install) << "the disc in the drive is checked first";
  frame();
  EXPECT_EQ(seen.title, "Installing Skyrill - Please Change DVDs");
  EXPECT_EQ(seen.text, "Please insert DVD number 2 and click continue.");
  EXPECT_EQ(newest_version(asked_for).disk, 1);
  EXPECT_TRUE(dvd_install_is_running);
  // The eject on the change screen's first frame put disc 2 in the changer.
  next_click();
  frame();  // the check accepts it and the install goes on
  EXPECT_EQ(current_disk, 1);
  ASSERT_TRUE(frames_until([] { return g_wizard == dvd_done_install; }));
  frame();
  EXPECT_EQ(seen.title, "Finished Installing Skyrill");
  EXPECT_EQ(seen.text, "Installation was successful.");
  EXPECT_EQ(seen.choices, std::vector<std::string>{"Run Skyrill Now"});
  EXPECT_EQ(log_count("Starting install at "), 1u) << "the install resumed where it stopped";
  expect_installed_as_source();
  EXPECT_FALSE(path_exists(dest + ".installer staging"));
  EXPECT_EQ(read_whole_file(registration_file_path()), dest + "\n");
  EXPECT_FALSE(dvd_install_is_running);
}

// Back while the install waits for disc 2 asks whether to cancel: only the Cancel button
// deletes, and only the copy this run made; Continue and a closed question go on; Quit leaves
// the partial copy.
TEST_F(DiscFlow, CancellingLeavesTheInstallationAsTheUserAsked) {
  if (!two_discs) GTEST_SKIP() << "no 7z tool";
  struct row {
    const char* name;
    int answer;  // 1 Cancel, 0 Continue, 3 the question closed; -1 Quit instead of Back, -2 Quit while copying
    bool copy_kept;
    bool finished;
  } rows[] = {{"cancel", 1, false, false}, {"continue", 0, true, true}, {"question closed", 3, true, true},
              {"quit", -1, true, false}, {"quit while copying", -2, true, false}};
  int n = 0;
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    fresh();
    parent = work.path() + "Apps" + std::to_string(n++) + "/";
    make_folders(parent + "Neighbour/");
    write_whole_file(parent + "Neighbour/keep.txt", "not ours\n");
    platform_set_test_drive(two_discs->masters);
    to_install_step();
    if (r.answer != -2) {
      ASSERT_TRUE(frames_until([] { return g_wizard == dvd_switch_disk_install; }));
      frame();
    }
    if (r.answer < 0) {
      frame(quit_x, bar_y);  // the first frame of the install step when copying
      EXPECT_FALSE(path_exists(dest + ".installer staging")) << "the waiting archives go";
      EXPECT_EQ(app_done, 1);
      EXPECT_EQ(copy_pool, nullptr);
      EXPECT_EQ(unzip_pool, nullptr);
    } else {
      answers = {r.answer};
      back_click();
      ASSERT_EQ(g_wizard, dvd_scenery_install);
      frame();
      ASSERT_EQ(questions.size(), 1u);
      EXPECT_EQ(questions[0], "Are you sure you want to cancel the installation?  This will delete the partially "
                              "installed copy of Skyrill 9.");
    }
    if (r.finished) {
      ASSERT_TRUE(frames_until([] { return g_wizard == dvd_done_install; }));
      expect_installed_as_source();
    } else if (r.answer == 1) {
      EXPECT_EQ(g_wizard, dvd_scenery_install);
      EXPECT_FALSE(dvd_install_is_running);
      EXPECT_EQ(copy_pool, nullptr);
    }
    EXPECT_EQ(path_exists(dest), r.copy_kept);
    EXPECT_EQ(read_whole_file(parent + "Neighbour/keep.txt"), "not ours\n");
  }
}

// Cancel deletes the copy this run made and nothing else: not a folder that appeared under the
// chosen name before the install began, nor what a link put in the copy's place points to.
TEST_F(DiscFlow, CancelNeverDeletesWhatTheRunDidNotMake) {
  if (!two_discs) GTEST_SKIP() << "no 7z tool";
  platform_set_test_drive(two_discs->masters);
  to_install_step();
  g_wizard = dvd_scenery_install;  // the user is still on the scenery page ...
  make_folders(dest);              // ... when another program makes the folder
  write_whole_file(dest + "theirs.txt", "someone else's\n");
  next_click();
  frame();
  EXPECT_EQ(g_wizard, dvd_pick_install) << "the install does not merge into the folder";
  EXPECT_FALSE(dvd_install_is_running);
  EXPECT_EQ(read_whole_file(dest + "theirs.txt"), "someone else's\n");
  EXPECT_FALSE(path_exists(dest + "Resources"));

  // A second copy next to it; while it waits for disc 2 its folder is swapped for a link.
  fresh();
  platform_set_test_drive(two_discs->masters);
  to_install_step("Second");
  ASSERT_TRUE(frames_until([] { return g_wizard == dvd_switch_disk_install; }));
  const std::string foreign = work.path() + "Foreign/";
  make_folders(foreign);
  write_whole_file(foreign + "precious.txt", "keep me\n");
  ASSERT_EQ(rename(dest.substr(0, dest.size() - 1).c_str(), (work.path() + "moved").c_str()), 0);
  ASSERT_EQ(symlink(foreign.c_str(), dest.substr(0, dest.size() - 1).c_str()), 0);
  answers = {1};
  back_click();
  frame();
  EXPECT_EQ(read_whole_file(foreign + "precious.txt"), "keep me\n");
}

TEST_F(DiscFlow, AnUnpackErrorGoneOnThroughEndsWithTheErrorTextAndNoRunButton) {
  if (!two_discs) GTEST_SKIP() << "no 7z tool";
  const std::string copy = work.path() + "damaged/";
  ASSERT_EQ(run_process({"cp", "-a", two_discs->masters, copy}).exit_code, 0);
  std::string archive;
  for (int d = 0; d < 2; ++d) {
    const std::string a = copy + "disk_" + std::to_string(d) + "/" + release_name + "/All/Aircraft/c4 trainer/c4.acf.zip";
    if (file_exists(a)) archive = a;
  }
  ASSERT_FALSE(archive.empty());
  write_whole_file(archive, "PK\x03\x04 this is no zip archive");
  platform_set_test_drive(copy);
  to_install_step();
  answers = {0};  // Continue
  ASSERT_TRUE(frames_until([this] {
    if (g_wizard == dvd_switch_disk_install) next_click();
    return g_wizard == dvd_done_install;
  }));
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].rfind("An error occurred during installation:\n\nI was unable to unzip the file ", 0), 0u)
      << questions[0];
  EXPECT_NE(questions[0].find(")\n\nYou can continue with the installation and attempt to repair the damaged files "
                              "later, or you can cancel the installation."),
            std::string::npos)
      << questions[0];
  frame();
  EXPECT_EQ(seen.text.rfind("There were errors during the install; your copy of Skyrill may not be usable.", 0), 0u);
  EXPECT_TRUE(seen.choices.empty());
  EXPECT_EQ(md5sum_of(dest + "Resources/data 0.dat"), md5sum_of(two_discs->source + "All/Resources/data 0.dat"));
}

// A file the release retires that cannot be deleted (here a folder stands at its path) is
// counted as an error of the step, which goes on to its finish page.
TEST_F(DiscFlow, AFileThatCannotBeDeletedIsCountedAndTheStepGoesOn) {
  dest_dir_path = work.path() + "Copy/";
  make_folders(dest_dir_path + "Resources/old.txt/");
  write_whole_file(dest_dir_path + "Resources/old.txt/inside", "x");
  file_version_struct v;
  v.version = 91001;
  v.sig_want = "GONE";
  v.sig_have = "0123456789abcdef0123456789abcdef";
  v.path = "All/Resources/old.txt";
  sim_info.push_back({v});
  set_install_filter(1, 0);
  question_double::script({}, answer_replace);
  g_wizard = dvd_install_repair;
  frame();
  EXPECT_EQ(g_wizard, dvd_done_repair);
  EXPECT_EQ(num_install_errors, 1);
  EXPECT_TRUE(path_exists(dest_dir_path + "Resources/old.txt/inside"));
  EXPECT_EQ(app_done, 0);
  EXPECT_TRUE(shell_double::alerts().empty());
}

TEST_F(DiscFlow, TheErrorQuestionPassesTheAnswerOnAndShowsAnEmptyError) {
  for (int answer : {1, 0, 3}) {
    questions.clear();
    answers = {answer};
    EXPECT_EQ(UTIL_cancel_install("Heading:", "Advice.", "Stop", "n", "Continue", "n"), answer);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], "Heading:\n\n ()\n\nAdvice.");
  }
}

TEST_F(DiscFlow, RunScreenStartsTheOnlyCopyAtOnceAndWaitsForAChoiceOfTwo) {
  const std::string disc = hand_disc("run", identity, sim_entry);
  platform_set_test_drive(disc);
  const std::string a = work.path() + "Copy A/", b = work.path() + "Copy B/";
  for (const std::string& copy : {a, b}) {
    make_folders(copy);
    write_whole_file(copy + "Skyrill", "#!/bin/sh\necho started > \"$(dirname \"$0\")/started.txt\"\n");
    chmod((copy + "Skyrill").c_str(), 0755);
  }
  register_copy(a);
  register_copy(b);
  frame();
  click_label = "Run Skyrill Now";
  frame();
  click_label.clear();
  ASSERT_EQ(g_wizard, dvd_pick_run_sim);
  frame();
  EXPECT_EQ(seen.title, "Run Skyrill");
  EXPECT_EQ(seen.text, "You have more than one copy of Skyrill 9 installed on this computer.  Please pick which "
                       "copy of Skyrill 9 you would like to run.");
  next_click();
  EXPECT_EQ(g_wizard, dvd_pick_run_sim) << "Next is off while no copy is chosen";

  fresh();
  write_whole_file(registration_file_path(), a + "\n");
  platform_set_test_drive(disc);
  EXPECT_EXIT(
      {
        frame();
        click_label = "Run Skyrill Now";
        frame();
        click_label.clear();
        frame();  // the run screen hands the only copy on at once
        frame();  // the simulator starts and the installer ends
      },
      ::testing::ExitedWithCode(1), "");
  for (int i = 0; i < 100 && !path_exists(a + "started.txt"); ++i) usleep(20000);
  EXPECT_EQ(read_whole_file(a + "started.txt"), "started\n");
  EXPECT_FALSE(path_exists(b + "started.txt"));
}

}  // namespace
