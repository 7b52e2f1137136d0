// The registration file and the destination chooser: the file read and written as users and
// the program leave it (CR LF ends, no final line end, long paths, duplicates, folders that are
// gone), the installation test on real folders, and "Find It" climbing from a scripted folder
// choice to the installation that holds it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "install/wizard_globals.h"
#include "page_calls_double.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "wizard/install_registry.h"

namespace {

// Makes an installation folder (the four top-level folders) below root and returns it.
std::string make_sim(const temp_tree& root, const std::string& name) {
  for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"})
    make_folders(root.path() + name + sub + "/");
  return root.path() + name;
}

std::vector<std::string> scripted_answers;
std::vector<std::string> chooser_starts;
int scripted_chooser(const std::string&, const std::string& button, std::string& io_path) {
  EXPECT_EQ(button, "Select");
  chooser_starts.push_back(io_path);
  if (scripted_answers.empty()) return 0;
  io_path = scripted_answers.front();
  scripted_answers.erase(scripted_answers.begin());
  return 1;
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = getenv("XDG_CONFIG_HOME");
    saved = old ? old : "";
    had = old != nullptr;
    setenv("XDG_CONFIG_HOME", prefs.path().c_str(), 1);
    file = prefs.path() + "skyrill_install.txt";
    ASSERT_EQ(registration_file_path(), file);
    shell_double::reset();
    shell_double::reopen_log();
    page_double::install(false);
    set_folder_chooser(scripted_chooser);
    scripted_answers.clear();
    chooser_starts.clear();
    dest_dir_path.clear();
    all_nimbrels.clear();
  }
  void TearDown() override {
    if (had) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
    set_folder_chooser(nullptr);
    dest_dir_path.clear();
  }
  temp_tree prefs, disk;
  std::string file, saved;
  bool had = false;
};

TEST_F(Registry, FileIsReadAsWrittenByHandOrByEarlierRuns) {
  const std::string a = make_sim(disk, "a/"), b = make_sim(disk, "b/"), c = make_sim(disk, "c/");
  std::string deep = disk.path();
  while (deep.size() < 3000) deep += std::string(200, 'd') + "/";
  make_folders(deep);
  const std::string gone = disk.path() + "gone/";
  write_whole_file(file, a + "\r\n\n" + b + "\n" + a + "\n" + gone + "\n" + "relative/folder/\n" + deep +
                             "\n" + c.substr(0, c.size() - 1));
  locate_all_skyrills();
  // CR LF accepted, the duplicate listed once, the gone folder and the relative line left out,
  // the 3000-byte path whole, and the last line without a line end read with its "/" added.
  EXPECT_EQ(all_nimbrels, (std::vector<std::string>{a, b, deep, c}));

  // Registering a listed folder writes nothing; the file keeps the gone folder.
  const std::string before = read_whole_file(file);
  dest_dir_path = deep;
  register_new_skyrill();
  dest_dir_path = a;
  register_new_skyrill();
  EXPECT_EQ(read_whole_file(file), before);
}

TEST_F(Registry, ANewRegistrationNeverRunsIntoALastLineWithoutItsEnd) {
  const std::string a = make_sim(disk, "a/"), b = make_sim(disk, "b/");
  write_whole_file(file, a);
  dest_dir_path = b;
  register_new_skyrill();
  EXPECT_EQ(read_whole_file(file), a + "\n" + b + "\n");
  locate_all_skyrills();
  EXPECT_EQ(all_nimbrels, (std::vector<std::string>{a, b}));
  // Without a file the first registration makes it.
  unlink(file.c_str());
  register_new_skyrill();
  EXPECT_EQ(read_whole_file(file), b + "\n");
}

TEST_F(Registry, AFileThatCannotBeWrittenIsLoggedAndTheFlowGoesOn) {
  ASSERT_EQ(mkdir(file.c_str(), 0755), 0);  // stands in the file's place, even for root
  dest_dir_path = make_sim(disk, "a/");
  register_new_skyrill();
  EXPECT_NE(shell_double::log_text().find("WARNING: could not append registration file: " + file),
            std::string::npos);
  locate_all_skyrills();
  EXPECT_TRUE(all_nimbrels.empty());
  EXPECT_TRUE(shell_double::alerts().empty());
}

TEST_F(Registry, InstallationFoldersAreKnownByTheirSubFolderNames) {
  struct row {
    const char* name;
    std::vector<const char*> folders;
    const char* file;   // a plain file made beside them
    const char* link;   // a link to a folder made beside them
    int is_sim;
  } rows[] = {
      {"plain", {"Airfoils", "Instructions", "Output", "Resources"}, nullptr, nullptr, 1},
      {"words", {"Old Airfoils", "Instructions v2", "Output", "My Resources 2"}, nullptr, nullptr, 1},
      {"resource file", {"Airfoils", "Instructions", "Output"}, "Resources", nullptr, 0},
      // A link is listed as a file, so a linked "Resources" does not make an installation.
      {"resource link", {"Airfoils", "Instructions", "Output", "elsewhere"}, nullptr, "Resources", 0},
      {"lower case", {"airfoils", "Instructions", "Output", "Resources"}, nullptr, nullptr, 0},
      {"three", {"Airfoils", "Instructions", "Output"}, nullptr, nullptr, 0},
  };
  for (const row& r : rows) {
    const std::string folder = disk.path() + r.name + "/";
    for (const char* f : r.folders) make_folders(folder + f + "/");
    if (r.file) write_whole_file(folder + r.file, "x");
    if (r.link) {
      ASSERT_EQ(symlink((folder + "elsewhere").c_str(), (folder + r.link).c_str()), 0);
    }
    EXPECT_EQ(path_is_to_a_sim(folder), r.is_sim) << r.name;
  }
  EXPECT_EQ(path_is_to_a_sim(disk.path() + "missing/"), 0);
  dest_dir_path = disk.path() + "plain/";
  EXPECT_EQ(path_is_to_a_sim(), 1);
}

TEST_F(Registry, FindItClimbsToTheInstallationThatHoldsThePickedFolder) {
  const std::string sim = make_sim(disk, "Skyrill 9/");
  make_folders(sim + "Resources/plugins/deep/");
  make_folders(disk.path() + "outside/");
  const std::string earlier = make_sim(disk, "earlier/");
  struct row {
    std::string picked;
    std::string dest;       // the choice afterwards
    bool alert;
  } rows[] = {
      {sim.substr(0, sim.size() - 1), sim, false},
      {sim, sim, false},
      {sim + "Resources/plugins/deep", sim, false},
      {"/", earlier, true},
      {disk.path() + "outside", earlier, true},
  };
  for (const row& r : rows) {
    shell_double::reset();
    dest_dir_path = earlier;
    scripted_answers = {r.picked};
    page_double::new_frame();
    page_double::now().click_button = true;
    UTIL_pick_install();
    EXPECT_EQ(dest_dir_path, r.dest) << r.picked;
    auto alerts = shell_double::alerts();
    ASSERT_EQ(alerts.size(), r.alert ? 1u : 0u) << r.picked;
    if (r.alert) {
      EXPECT_EQ(alerts[0].lines[0], "You selected the folder path:");
      EXPECT_EQ(alerts[0].lines[1], "/");
      EXPECT_EQ(alerts[0].type, 1);
    }
  }
  // The chooser opened where the choice stood, and the installation found is registered and
  // listed at once.
  EXPECT_EQ(chooser_starts.front(), earlier);
  EXPECT_EQ(read_whole_file(file), sim + "\n");
  EXPECT_EQ(all_nimbrels, (std::vector<std::string>{sim}));

  // A cancelled dialog changes nothing.
  dest_dir_path = earlier;
  page_double::new_frame();
  UTIL_pick_install();
  EXPECT_EQ(dest_dir_path, earlier);
}

TEST_F(Registry, TheChooserTicksTheChoiceAndKeepsFindItOnThePage) {
  const std::string only = make_sim(disk, "only/");
  write_whole_file(file, only + "\n");
  locate_all_skyrills();
  // One registration: chosen and ticked on the first frame; a click on its box keeps it.
  page_double::now().click_box = 0;
  UTIL_pick_install();
  EXPECT_EQ(dest_dir_path, only);
  ASSERT_EQ(page_double::now().boxes.size(), 1u);
  EXPECT_EQ(page_double::now().boxes[0].ticked, 1);
  EXPECT_EQ(page_double::now().boxes[0].x, 250);
  EXPECT_EQ(page_double::now().boxes[0].y, 400);
  ASSERT_EQ(page_double::now().buttons.size(), 1u);
  EXPECT_EQ(page_double::now().buttons[0].label, "Find It");
  EXPECT_EQ(page_double::now().buttons[0].x, 300 + 280);  // question width + 280
  EXPECT_EQ(page_double::now().buttons[0].y, 403 - 25);

  // A long list shows the rows that hold the choice and keeps "Find It" above the bottom bar.
  std::string lines;
  std::vector<std::string> sims;
  for (int i = 0; i < 20; ++i) {
    sims.push_back(make_sim(disk, "many/" + std::to_string(100 + i) + "/"));
    lines += sims.back() + "\n";
  }
  write_whole_file(file, lines);
  locate_all_skyrills();
  dest_dir_path = sims[16];
  page_double::new_frame();
  page_double::now().click_box = -1;
  page_double::now().text_width = 500;
  UTIL_pick_install();
  ASSERT_EQ(page_double::now().boxes.size(), static_cast<size_t>(chooser_max_rows));
  EXPECT_EQ(page_double::now().boxes.back().ticked, 1);
  EXPECT_EQ(page_double::now().texts[chooser_max_rows - 1].text, sims[16]);
  EXPECT_EQ(page_double::now().buttons[0].x, 680);
  EXPECT_GE(page_double::now().buttons[0].y, 60);
  // A click on a row shown chooses that row's installation.
  page_double::new_frame();
  page_double::now().click_box = 2;
  UTIL_pick_install();
  EXPECT_EQ(dest_dir_path, sims[16 - chooser_max_rows + 1 + 2]);
}

}  // namespace
