// The wizard's start-up steps: which "-path" arguments are taken, the log's folder lines before
// any wizard output, the installer state and the first screen; the disc test, and the relaunch
// from a folder standing in for the install disc, run as the real program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "runtime/constants.h"
#include "runtime/shell_services.h"
#include "support/process.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "wizard/program_start.h"
#include "wizard/web_update_flow.h"
#include "wizard/wizard_driver.h"

namespace {

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    shell_double::reset();
    shell_double::reopen_log();
    setenv("XDG_CONFIG_HOME", (work.path() + "config").c_str(), 1);
    install = work.path() + "Skyrill 9/";
    for (const char* f : {"Airfoils", "Instructions", "Output", "Resources"}) make_folders(install + f + "/");
    cmd_line_path.clear();
  }
  void TearDown() override {
    unsetenv("XDG_CONFIG_HOME");
    cmd_line_path.clear();
  }
  void start(std::vector<std::string> args) {
    args.insert(args.begin(), "skyrill-installer");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    wizard_startup(static_cast<int>(args.size()), argv.data());
  }
  temp_tree work;
  std::string install;
};

TEST_F(Startup, PathArgumentOnlyAsTheFirstWithAFolder) {
  const std::string bare = install.substr(0, install.size() - 1);
  struct row {
    std::vector<std::string> args;
    std::string expected;
  } rows[] = {
      {{"-path", bare}, install},                 // taken, with its "/"
      {{"-path", install, "--lang=en"}, install}, // taken
      {{"-path"}, ""},                            // no folder
      {{"foo", "-path", bare}, ""},               // not first
      {{"-pathX", bare}, ""},                     // only begins with -path
      {{"-path", work.path() + "elsewhere"}, ""}, // not a folder
      {{"-path", install + "Resources"}, ""},     // not an installation
  };
  for (const row& r : rows) {
    cmd_line_path.clear();
    start(r.args);
    EXPECT_EQ(cmd_line_path, r.expected) << r.args[0] << " " << (r.args.size() > 1 ? r.args[1] : "");
  }
}

TEST_F(Startup, FolderLinesStateAndFirstScreen) {
  std::memset(&stg, 0xff, sizeof stg);
  install_name = "stale";
  g_wizard = nullptr;
  start({});
  const std::string log = shell_double::log_text();
  const char* labels[] = {"os_dir_this_app\t\t=", "os_dir_desktop\t\t=", "os_dir_default_apps\t=",
                          "os_dir_temp\t\t\t=", "os_dir_prefs\t\t\t="};
  size_t at = 0;
  for (const char* label : labels) {
    ASSERT_EQ(log.compare(at, std::strlen(label), label), 0) << label << " in\n" << log;
    at = log.find('\n', at) + 1;
  }
  EXPECT_EQ(log.compare(at, 1, "\n"), 0) << "a blank line after the folder lines";
  EXPECT_FALSE(temp_path.empty());
  EXPECT_EQ(temp_path.back(), '/');
  EXPECT_EQ(install_name, no_install_name);
  EXPECT_EQ(stg.server_count, -1);
  EXPECT_EQ(stg.dir_stage, 0);
  EXPECT_EQ(stg.install_problem, 0);
  EXPECT_EQ(stg.download_os, 3);
  EXPECT_EQ(g_wizard, net_start);
}

TEST(Disc, BundleOnDiscIsARealPrefix) {
  struct row {
    const char* bundle;
    const char* disc;
    bool on;
  } rows[] = {
      {"/media/disc/Installer", "/media/disc/", true},
      {"/media/disc/Installer", "/media/disc", true},
      {"/media/disc", "/media/disc/", true},
      {"/media/disc2/Installer", "/media/disc/", false},  // a longer name is another folder
      {"/media", "/media/disc/", false},                  // a parent of the disc is not on it
      {"/home/me/Installer", "", false},                  // no disc known
  };
  for (const row& r : rows) EXPECT_EQ(bundle_is_on_disc(r.bundle, r.disc), r.on) << r.bundle << " on " << r.disc;
}

// The program copied into a folder that stands in for the disc: it starts its copy from a
// private temporary folder and ends with 1; started elsewhere it makes no copy.
TEST(Disc, RelaunchFromTheDiscRunsACopy) {
  temp_tree dir;
  const std::string disc = dir.path() + "disc/";
  const std::string app = disc + "Installer/";
  make_folders(app);
  std::filesystem::copy_file(SKY_BINARY_DIR "/src/skyrill-installer", app + "skyrill-installer");
  std::filesystem::permissions(app + "skyrill-installer", std::filesystem::perms::owner_all);
  make_folders(dir.path() + "tmp/");
  const std::vector<std::string> env = {"SKY_DISC_PATH=" + disc, "TMPDIR=" + dir.path() + "tmp",
                                        "XDG_CONFIG_HOME=" + dir.path() + "config", "DISPLAY=",
                                        "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=dummy"};
  process_result r = run_process({app + "skyrill-installer", "--lang=en"}, "", env, dir.path());
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_FALSE(path_exists(app + "Skyrill Installer Log.txt")) << "the disc's program ended before the shell";
  // The copy, in a private folder of the temporary root, ran and wrote its own log there.
  auto found = run_process({"find", dir.path() + "tmp", "-name", "skyrill-installer", "-type", "f"});
  ASSERT_FALSE(found.out.empty());
  const std::string copy_folder = found.out.substr(0, found.out.rfind('/') + 1);
  bool logged = false;
  for (int i = 0; i < 100 && !logged; ++i) {
    // Without a display the copy ends at the graphics alert, after its log is begun.
    logged = !read_whole_file(copy_folder + "Skyrill Installer Log.txt").empty();
    if (!logged) usleep(50000);
  }
  EXPECT_TRUE(logged) << copy_folder;

  // Not on the disc: no copy, the program runs itself.
  temp_tree other;
  std::filesystem::copy_file(SKY_BINARY_DIR "/src/skyrill-installer", other.path() + "skyrill-installer");
  std::filesystem::permissions(other.path() + "skyrill-installer", std::filesystem::perms::owner_all);
  make_folders(other.path() + "tmp/");
  process_result s = run_process({other.path() + "skyrill-installer", "--lang=en"}, "",
                                 {"SKY_DISC_PATH=" + disc, "TMPDIR=" + other.path() + "tmp",
                                  "XDG_CONFIG_HOME=" + other.path() + "config", "DISPLAY=", "WAYLAND_DISPLAY=",
                                  "SDL_VIDEODRIVER=dummy"},
                                 other.path());
  (void)s;
  EXPECT_FALSE(read_whole_file(other.path() + "Skyrill Installer Log.txt").empty());
  auto copies = run_process({"find", other.path() + "tmp", "-name", "skyrill-installer"});
  EXPECT_EQ(copies.out, "");
}

}  // namespace
