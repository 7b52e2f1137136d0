#include "platform/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/temp_tree.h"

namespace {

// Sets environment variables for one test and puts the old values back afterwards.
class scoped_env {
 public:
  void set(const char* name, const std::string& value) {
    remember(name);
    setenv(name, value.c_str(), 1);
  }
  void unset(const char* name) {
    remember(name);
    unsetenv(name);
  }
  ~scoped_env() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->had) setenv(it->name.c_str(), it->value.c_str(), 1);
      else unsetenv(it->name.c_str());
    }
  }

 private:
  struct old {
    std::string name, value;
    bool had;
  };
  void remember(const char* name) {
    const char* v = getenv(name);
    saved_.push_back({name, v ? v : "", v != nullptr});
  }
  std::vector<old> saved_;
};

bool is_folder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(Folders, ExecutablePathSplitsIntoFolderAndBundle) {
  struct row {
    const char* exe;
    const char* folder;
    const char* bundle;
  } rows[] = {
      {"/a/b/inst", "/a/b/", "/a/b"},
      {"/inst", "/", "/"},
      {"/a b/c:d/inst", "/a b/c:d/", "/a b/c:d"},
      {"", "", ""},
  };
  for (const row& r : rows) {
    std::string folder = "x", bundle = "x";
    platform_split_executable_path(r.exe, &folder, &bundle);
    EXPECT_EQ(folder, r.folder) << r.exe;
    EXPECT_EQ(bundle, r.bundle) << r.exe;
  }
}

TEST(Folders, RealExecutableIsThisTestProgram) {
  std::string exe = platform_executable_path();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe[0], '/');
  EXPECT_NE(exe.find("folders_test"), std::string::npos) << exe;
  EXPECT_EQ(platform_app_folder() + exe.substr(exe.rfind('/') + 1), exe);
}

TEST(Folders, ResourcesBesideTheExecutable) {
  temp_tree t;
  t.write("Resources/French.txt", "I\n900 version\nTRANSLATION\n");
  make_folders(t.path() + "Resources/fonts/");
  platform_set_executable_path(t.path() + "installer");
  EXPECT_EQ(platform_resource_path("French.txt"), t.path() + "Resources/French.txt");
  EXPECT_EQ(platform_resource_path("German.txt"), "");
  EXPECT_EQ(platform_resource_path("fonts"), "") << "a folder is not a resource file";
  EXPECT_EQ(platform_resource_path("../Resources/French.txt"), "");
  platform_set_executable_path("");
  EXPECT_NE(platform_app_folder(), t.path());
}

TEST(Folders, DesktopFollowsUserDirsThenDesktopThenHome) {
  temp_tree t;
  scoped_env env;
  const std::string home = t.path() + "home dir";
  make_folders(home + "/");
  env.set("HOME", home);
  env.set("XDG_CONFIG_HOME", t.path() + "cfg");
  std::string out = "unchanged";

  ASSERT_TRUE(platform_desktop_folder(&out));
  EXPECT_EQ(out, home + "/") << "no Desktop folder: the home folder";

  make_folders(home + "/Desktop/");
  ASSERT_TRUE(platform_desktop_folder(&out));
  EXPECT_EQ(out, home + "/Desktop/");

  t.write("cfg/user-dirs.dirs",
          "# written by xdg-user-dirs-update\n"
          "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
          "XDG_DESKTOP_DIR=\"$HOME/Bureau \\\"neuf\\\"\"\n");
  ASSERT_TRUE(platform_desktop_folder(&out));
  EXPECT_EQ(out, home + "/Desktop/") << "the named folder does not exist yet";
  make_folders(home + "/Bureau \"neuf\"/");
  ASSERT_TRUE(platform_desktop_folder(&out));
  EXPECT_EQ(out, home + "/Bureau \"neuf\"/");

  t.write("cfg/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + t.path() + "abs:desk\"\n");
  make_folders(t.path() + "abs:desk/");
  ASSERT_TRUE(platform_desktop_folder(&out));
  EXPECT_EQ(out, t.path() + "abs:desk/") << "a ':' in an OS path is kept";
}

TEST(Folders, PreferencesFolderIsMadeWithItsParents) {
  temp_tree t;
  scoped_env env;
  env.set("HOME", t.path() + "home");
  std::string out;

  env.set("XDG_CONFIG_HOME", t.path() + "a/b/config");
  ASSERT_TRUE(platform_prefs_folder(&out));
  EXPECT_EQ(out, t.path() + "a/b/config/");
  EXPECT_TRUE(is_folder(out));

  env.set("XDG_CONFIG_HOME", "relative/config");  // not absolute: ignored
  ASSERT_TRUE(platform_prefs_folder(&out));
  EXPECT_EQ(out, t.path() + "home/.config/");
  EXPECT_TRUE(is_folder(out));

  env.unset("XDG_CONFIG_HOME");
  t.write("file", "x");
  env.set("HOME", t.path() + "file");
  out = "unchanged";
  EXPECT_FALSE(platform_prefs_folder(&out)) << "the home is a file";
  EXPECT_EQ(out, "unchanged");
}

TEST(Folders, TemporaryFolderIsPrivateAndPerRun) {
  temp_tree t;
  scoped_env env;
  env.set("TMPDIR", t.path() + "tmp");
  make_folders(t.path() + "tmp/");
  platform_remove_temp_folder();

  std::string first, again;
  ASSERT_TRUE(platform_temp_folder(&first));
  EXPECT_EQ(first.compare(0, t.path().size() + 4, t.path() + "tmp/"), 0) << first;
  EXPECT_EQ(first.back(), '/');
  struct stat st;
  ASSERT_EQ(lstat(first.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_TRUE(platform_temp_folder(&again));
  EXPECT_EQ(again, first);

  // Removal takes the folder's contents but never follows a link out of it.
  t.write("outside/keep.txt", "keep");
  write_whole_file(first + "archive.zip", "zip");
  ASSERT_EQ(symlink((t.path() + "outside").c_str(), (first + "link").c_str()), 0);
  platform_remove_temp_folder();
  EXPECT_FALSE(path_exists(first));
  EXPECT_EQ(read_whole_file(t.path() + "outside/keep.txt"), "keep");

  std::string second;
  ASSERT_TRUE(platform_temp_folder(&second));
  EXPECT_NE(second, first);
  platform_remove_temp_folder();
}

TEST(Folders, TemporaryFolderGoesWhenTheProcessExits) {
  temp_tree t;
  scoped_env env;
  env.set("TMPDIR", t.path());
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    platform_remove_temp_folder();
    std::string folder;
    if (!platform_temp_folder(&folder)) _exit(2);
    if (write(fds[1], folder.data(), folder.size()) != static_cast<ssize_t>(folder.size()))
      _exit(3);
    exit(0);  // runs the exit hooks, like the program's own exit
  }
  close(fds[1]);
  char buf[4096];
  ssize_t n = read(fds[0], buf, sizeof buf);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ASSERT_GT(n, 0);
  std::string folder(buf, static_cast<size_t>(n));
  EXPECT_EQ(folder.compare(0, t.path().size(), t.path()), 0);
  EXPECT_FALSE(path_exists(folder));
}

TEST(Folders, MakeFoldersReportsAFileInTheWay) {
  temp_tree t;
  EXPECT_EQ(platform_make_folders(t.path() + "x/y/z/", 0755), 0);
  EXPECT_TRUE(is_folder(t.path() + "x/y/z"));
  EXPECT_EQ(platform_make_folders(t.path() + "x/y/z", 0755), 0) << "already there";
  t.write("f", "");
  EXPECT_EQ(platform_make_folders(t.path() + "f/g/", 0755), ENOTDIR);
  EXPECT_EQ(platform_make_folders(t.path() + "f", 0755), ENOTDIR);
  EXPECT_EQ(platform_make_folders("", 0755), ENOENT);
}

}  // namespace
