#include "files/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/folders.h"
#include "runtime/shell_services.h"
#include "support/temp_tree.h"

namespace {

// Runs a test body in a given current folder with g_case_sensitive set, restoring both.
class in_folder {
 public:
  in_folder(const std::string& folder, int case_flag) {
    char* cwd = getcwd(nullptr, 0);
    old_ = cwd;
    free(cwd);
    EXPECT_EQ(chdir(folder.c_str()), 0);
    g_case_sensitive = case_flag;
  }
  ~in_folder() {
    g_case_sensitive = 0;
    EXPECT_EQ(chdir(old_.c_str()), 0);
  }

 private:
  std::string old_;
};

TEST(Paths, SetPathToFullResolvesCaseOnlyWhenAsked) {
  temp_tree t;
  t.write("Data/Sub/File.TXT", "x");
  struct row {
    int case_flag;
    const char* in;
    const char* out;
  } rows[] = {
      {0, "data/sub/file.txt", "data/sub/file.txt"},
      {0, "Data/Sub/File.TXT", "Data/Sub/File.TXT"},
      {1, "data/sub/file.txt", "Data/Sub/File.TXT"},
      {1, "DATA/SUB/", "Data/Sub/"},
      {1, "data/sub/missing.txt", "Data/Sub/missing.txt"},
      {1, "nothing/sub/file.txt", "nothing/sub/file.txt"},
      {1, "", ""},
  };
  in_folder here(t.path(), 0);
  for (const row& r : rows) {
    g_case_sensitive = r.case_flag;
    std::string p = r.in;
    set_path_to_full(p);
    EXPECT_EQ(p, r.out) << r.in << " flag " << r.case_flag;
  }
}

TEST(Paths, SetPathToFullPutsTheRootInFront) {
  temp_tree t;
  t.write("Abc/x", "");
  app_path = t.path();
  std::string p = "abc/x";
  set_path_to_full(p);
  EXPECT_EQ(p, t.path() + "abc/x");
  g_case_sensitive = 1;
  p = "abc/X";
  set_path_to_full(p);
  EXPECT_EQ(p, t.path() + "Abc/x");
  g_case_sensitive = 0;
  app_path = "";
}

TEST(Paths, FindPathResolvesPathsOfAnyLength) {
  temp_tree t;
  // A path far past the old 511-byte limit: every component must still be resolved.
  std::string real = t.path(), asked = t.path();
  for (int i = 0; i < 12; ++i) {
    std::string part = "Folder_" + std::string(40, 'A' + i) + "_" + std::to_string(i);
    real += part + "/";
    std::string lower = part;
    for (char& c : lower) c = static_cast<char>(tolower(c));
    asked += lower + "/";
  }
  make_folders(real);
  write_whole_file(real + "Leaf.Bin", "x");
  asked += "leaf.bin";
  ASSERT_GT(asked.size(), 600u);
  findPath(asked);
  EXPECT_EQ(asked, real + "Leaf.Bin");
}

TEST(Paths, FindPathPrefersExactThenSmallestMatch) {
  temp_tree t;
  t.write("dir/File.txt", "1");
  t.write("dir/FILE.TXT", "2");
  t.write("dir/file.TXT", "3");
  std::string p = t.path() + "dir/file.TXT";
  findPath(p);
  EXPECT_EQ(p, t.path() + "dir/file.TXT") << "an existing path is never changed";
  p = t.path() + "DIR/file.txt";
  findPath(p);
  EXPECT_EQ(p, t.path() + "dir/FILE.TXT") << "byte-wise smallest of the three";
  p = t.path() + "dir/nope/deeper";
  findPath(p);
  EXPECT_EQ(p, t.path() + "dir/nope/deeper");
}

TEST(Paths, RightDirchars) {
  struct row {
    std::string in, out;
  } rows[] = {
      {"a\\b:c", "a/b/c"},
      {"plain/path/", "plain/path/"},
      {"caf\x8E", "caf\xC3\xA9"},                      // Mac Roman e acute
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},      // valid 2-byte UTF-8 kept
      {"\xE2\x82\xAC", "\xE2\x82\xAC"},                // 3-byte
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},        // 4-byte
      {"ab\xC3", "ab\xE2\x88\x9A"},                    // cut sequence: the whole text is Mac Roman
      {"\xA5:\\", "\xE2\x80\xA2//"},                   // bullet, then separators
      {"\xC3\xA9\x80", "\xE2\x88\x9A\xC2\xA9\xC3\x84"},  // one bad byte turns every byte over
  };
  for (const row& r : rows) {
    std::string p = r.in;
    set_path_to_right_dirchars(p);
    EXPECT_EQ(p, r.out);
  }
}

TEST(Paths, WellKnownFolders) {
  temp_tree t;
  std::string old_home = getenv("HOME") ? getenv("HOME") : "";
  std::string old_tmp = getenv("TMPDIR") ? getenv("TMPDIR") : "";
  setenv("HOME", (t.path() + "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (t.path() + "missing/config").c_str(), 1);
  setenv("TMPDIR", t.path().c_str(), 1);
  make_folders(t.path() + "home/Desktop/");
  platform_remove_temp_folder();

  std::string out;
  get_OS_abs_path(os_dir_prefs, out);
  EXPECT_EQ(out, t.path() + "missing/config/");
  EXPECT_TRUE(path_exists(out));
  get_OS_abs_path(os_dir_desktop, out);
  EXPECT_EQ(out, t.path() + "home/Desktop/");
  out.clear();
  get_OS_abs_path(os_dir_default_apps, out);
  EXPECT_EQ(out, t.path() + "home/Desktop/");
  get_OS_abs_path(os_dir_temp, out);
  EXPECT_EQ(out.compare(0, t.path().size(), t.path()), 0);
  EXPECT_EQ(out.back(), '/');
  std::string exe = platform_executable_path();
  get_OS_abs_path(os_dir_this_app, out);
  EXPECT_EQ(out, exe.substr(0, exe.rfind('/') + 1));
  get_OS_abs_path(os_dir_this_bundle, out);
  EXPECT_EQ(out, exe.substr(0, exe.rfind('/')));
  for (int kind : {-1, 6, 99}) {
    out = "unchanged";
    get_OS_abs_path(kind, out);
    EXPECT_EQ(out, "unchanged") << kind;
  }

  platform_remove_temp_folder();
  setenv("HOME", old_home.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  if (old_tmp.empty()) unsetenv("TMPDIR");
  else setenv("TMPDIR", old_tmp.c_str(), 1);
}

TEST(Paths, ResourcePrefixAndLookup) {
  struct row {
    const char* in;
    int result;
    const char* out;
  } rows[] = {
      {"RESOURCE:French.txt", 1, "French.txt"},
      {"RESOURCE:", 0, "RESOURCE:"},
      {"resource:x", 0, "resource:x"},
      {"RESOURCE", 0, "RESOURCE"},
      {"Resources/x", 0, "Resources/x"},
  };
  for (const row& r : rows) {
    std::string p = r.in;
    EXPECT_EQ(UTL_path_is_resource(p), r.result) << r.in;
    EXPECT_EQ(p, r.out);
  }

  temp_tree t;
  t.write("Resources/German.txt", "x");
  platform_set_executable_path(t.path() + "skyrill-installer");
  EXPECT_EQ(UTL_resource_get_file("German.txt"), t.path() + "Resources/German.txt");
  EXPECT_EQ(UTL_resource_get_file("French.txt"), "");
  platform_set_executable_path("");
}

TEST(Paths, LeafAndFolderSplit) {
  struct row {
    const char* in;
    const char* folder;
    const char* leaf;
  } rows[] = {
      {"/a/b/", "/a", "b"}, {"/a/b", "/a", "b"}, {"/b", "/", "b"},
      {"b", "", "b"},       {"a/b:c", "a", "b:c"}, {"/", "/", ""},
  };
  for (const row& r : rows) {
    std::string folder, leaf;
    split_folder_and_leaf(r.in, &folder, &leaf);
    EXPECT_EQ(folder, r.folder) << r.in;
    EXPECT_EQ(leaf, r.leaf) << r.in;
  }

  temp_tree t;
  make_folders(t.path() + "inst:1/Custom Scenery/");
  std::string folder, name;
  ASSERT_EQ(FilePathToFSRefAndName((t.path() + "inst:1/Custom Scenery/").c_str(), &folder, &name),
            0);
  EXPECT_EQ(name, "Custom Scenery");
  char* real = realpath((t.path() + "inst:1").c_str(), nullptr);
  EXPECT_EQ(folder, real);
  free(real);
  EXPECT_EQ(FilePathToFSRefAndName((t.path() + "none/leaf").c_str(), &folder, &name), ENOENT);
  EXPECT_EQ(FilePathToFSRefAndName((t.path() + "inst:1").c_str(), &folder, nullptr), 0);

  std::string p = "/home/u/movies/";
  ConvertPathToCFM(p);
  EXPECT_EQ(p, "/home/u/movies/");
}

}  // namespace
