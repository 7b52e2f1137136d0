// Folder creation, deletion and clean-up on real temporary folders.
#include "install/folder_cleanup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/error_codes.h"
#include "install/file_decisions.h"
#include "install/wizard_globals.h"
#include "model_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

bool is_folder(const std::string& p) {
  struct stat st;
  return lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool is_link(const std::string& p) {
  struct stat st;
  return lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

class FolderCleanup : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_model();
    shell_double::reset();
    shell_double::reopen_log();
    failed_deletes = 0;
  }
  temp_tree tree;
};

TEST_F(FolderCleanup, MakesTheInstallationTheFileFoldersAndTheWorkingFolders) {
  dest_dir_path = tree.path() + "a/b/c/";
  add_history("All/x/y/z/file", {sig("a")}, "NONE");
  add_history("All/top", {sig("a")}, "NONE");
  add_history("All/current/sub/file", {sig("a")}, sig("a"));
  ASSERT_EQ(choose_files(), 1);
  EXPECT_EQ(make_dirs(), 0);
  EXPECT_TRUE(shell_double::alerts().empty());
  for (const char* f : {"", "x/", "x/y/", "x/y/z/", "Output/FMS plans/", "Output/logbooks/",
                        "Output/movies/", "Output/situations/", "Resources/preferences/"})
    EXPECT_TRUE(is_folder(dest_dir_path + f)) << f;
  EXPECT_FALSE(is_folder(dest_dir_path + "current/"));
  // Again over what exists: no alert.
  EXPECT_EQ(make_dirs(), 0);
  EXPECT_TRUE(shell_double::alerts().empty());
}

TEST_F(FolderCleanup, AFileInTheWayStopsWithTheAlert) {
  tree.write("inst/blocker", "a file where a folder must go");
  dest_dir_path = tree.path() + "inst/";
  add_history("All/blocker/deep/file", {sig("a")}, "NONE");
  ASSERT_EQ(choose_files(), 1);
  EXPECT_EQ(make_dirs(), ENOTDIR);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[1], "Error: " + error_str(ENOTDIR));
  EXPECT_EQ(alerts[0].lines[3], "Install Path:" + dest_dir_path + "blocker/deep/");
  EXPECT_FALSE(is_folder(dest_dir_path + "Output/"));

  // A working folder in the way is reported and passed over.
  reset_model();
  shell_double::reset();
  tree.write("inst2/Output", "file");
  dest_dir_path = tree.path() + "inst2/";
  EXPECT_EQ(make_dirs(), 0);
  EXPECT_GE(shell_double::alerts().size(), 1u);
  EXPECT_TRUE(is_folder(dest_dir_path + "Resources/preferences/"));
}

TEST_F(FolderCleanup, FrameworkEntriesThatMustBeLinksAreMovedAside) {
  dest_dir_path = tree.path() + "inst/";
  std::string fw = dest_dir_path + "Resources/plugins/OSTREL.framework/";
  std::string kit = dest_dir_path + "Resources/plugins/OstrelKit.framework/";
  make_folders(fw + "Versions/A/");
  make_folders(fw + "Resources/");
  make_folders(kit + "Versions/Current/");
  make_folders(kit + "Versions/_Current/");  // left by an earlier run
  ASSERT_EQ(symlink("A", (fw + "Versions/Current").c_str()), 0);
  ASSERT_EQ(symlink("Versions/Current/Resources", (kit + "Resources").c_str()), 0);
  EXPECT_EQ(make_dirs(), 0);
  EXPECT_TRUE(is_link(fw + "Versions/Current"));
  EXPECT_TRUE(is_folder(fw + "_Resources/"));
  EXPECT_FALSE(is_folder(fw + "Resources/"));
  EXPECT_TRUE(is_link(kit + "Resources"));
  EXPECT_TRUE(is_folder(kit + "Versions/_Current/"));
  EXPECT_TRUE(is_folder(kit + "Versions/_Current 2/"));
  EXPECT_FALSE(is_folder(kit + "Versions/Current/"));
}

TEST_F(FolderCleanup, DeletesMarkedFilesAndEmptiedFoldersDeepestFirst) {
  dest_dir_path = tree.path() + "inst/";
  tree.write("inst/a/b/c/gone.txt", "old");
  tree.write("inst/a/keep.txt", "stays");
  tree.write("inst/d/e/gone2.txt", "old");
  tree.write("inst/d/e/.hidden", "dot");
  tree.write("inst/f/g/gone3.txt", "old");
  for (const char* p : {"All/a/b/c/gone.txt", "All/d/e/gone2.txt", "All/f/g/gone3.txt"})
    add_history(p, {sig("o"), "GONE"}, sig("o"));
  stg.log_actions = 1;
  ASSERT_EQ(choose_files(), 1);
  delete_files();
  EXPECT_FALSE(path_exists(dest_dir_path + "a/b/"));
  EXPECT_TRUE(path_exists(dest_dir_path + "a/keep.txt"));
  EXPECT_TRUE(path_exists(dest_dir_path + "d/e/.hidden"));
  EXPECT_FALSE(path_exists(dest_dir_path + "f/"));
  EXPECT_EQ(sim_info[0].back().sig_have, "NONE");
  std::string log = shell_double::log_text();
  EXPECT_NE(log.find("DELETING  file " + dest_dir_path + "a/b/c/gone.txt, with result=0."),
            std::string::npos);
  EXPECT_NE(log.find("cleanup: DELETING  file " + dest_dir_path + "a/b/c/, with result=0."),
            std::string::npos);
  EXPECT_LT(log.find("cleanup: DELETING  file " + dest_dir_path + "a/b/c/"),
            log.find("cleanup: DELETING  file " + dest_dir_path + "a/b/,"));
  EXPECT_EQ(failed_deletes, 0);
}

TEST_F(FolderCleanup, AFailedDeleteKeepsTheModelAndIsCounted) {
  dest_dir_path = tree.path() + "inst/";
  // A folder where the gone file is: unlink fails (EISDIR) even as root.
  make_folders(dest_dir_path + "x/stuck/");
  tree.write("inst/x/stuck/inner", "i");
  add_history("All/x/stuck", {sig("o"), "GONE"}, sig("o"));
  sim_info[0].back().do_delete = 1;
  delete_files();
  EXPECT_EQ(sim_info[0].back().sig_have, sig("o"));
  EXPECT_EQ(failed_deletes, 1);
  EXPECT_NE(shell_double::log_text().find("WARNING: could not delete " + dest_dir_path + "x/stuck"),
            std::string::npos);
}

TEST(FolderPart, OfPaths) {
  const char* rows[][2] = {{"a/b/c", "a/b/"}, {"a/b/", "a/"}, {"name", ""}, {"/x", "/"}, {"/", "/"}};
  for (auto& r : rows) {
    std::string out = "junk";
    get_path_with_path(out, r[0]);
    EXPECT_EQ(out, r[1]) << r[0];
  }
}

}  // namespace
