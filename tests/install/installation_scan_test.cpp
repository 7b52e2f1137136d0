// The MD5 scan over a real installation folder, checked against md5sum.
#include "install/installation_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "install/release_directory.h"
#include "install/wizard_globals.h"
#include "model_fixture.h"
#include "support/process.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

std::string md5_text(const std::string& text) {
  return run_process({"md5sum"}, text).out.substr(0, 32);
}

int run_scan_to_end(int* steps = nullptr) {
  int cursor = 0;
  float progress = 0, last = 0;
  int n = 0;
  while (true) {
    int r = checksum_directory(cursor, progress);
    EXPECT_GE(progress, last);
    last = progress;
    ++n;
    if (r) break;
    usleep(200);
  }
  if (steps) *steps = n;
  return n;
}

class InstallationScan : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_model();
    shell_double::reset();
    shell_double::reopen_log();
    checksum_thread_count = 0;
    dest_dir_path = install.path() + "inst/";
    make_folders(dest_dir_path);
  }
  void TearDown() override { checksum_directory_kill(); }
  // Forty large files in the model, so that a scan is still running after its first step.
  void add_large_files(size_t size) {
    std::string content(size, 'x');
    for (int i = 0; i < 40; ++i) {
      std::string name = "big" + std::to_string(i);
      install.write("inst/" + name, content);
      add_history("All/" + name, {sig("a")}, "");
    }
  }
  temp_tree install;
  temp_tree outside;
};

TEST_F(InstallationScan, SignsEveryKindOfLocalFile) {
  std::string same = install.write("inst/same.txt", "release one\n");
  install.write("inst/changed.txt", "release onf\n");
  install.write("inst/empty", "");
  install.write("inst/folder/keep", "x");
  install.write("inst/gone_here", "old");
  install.write("inst/other_platform", "win");
  ASSERT_EQ(symlink("../some/target", (dest_dir_path + "link").c_str()), 0);
  ASSERT_EQ(mkfifo((dest_dir_path + "pipe").c_str(), 0644), 0);
  outside.write("secret/data", "outside");
  ASSERT_EQ(symlink((outside.path() + "secret").c_str(), (dest_dir_path + "escape").c_str()), 0);
  ASSERT_EQ(symlink("loop", (dest_dir_path + "loop").c_str()), 0);
  ASSERT_EQ(symlink((outside.path() + "absent").c_str(), (dest_dir_path + "nowhere").c_str()), 0);

  const std::string release = md5sum_of(same);
  struct row {
    const char* path;
    std::vector<std::string> sigs;
    int platform;
    std::string want_have;
    int want_current;
  } rows[] = {
      {"All/same.txt", {release}, 0, release, 1},
      {"All/changed.txt", {release}, 0, md5sum_of(dest_dir_path + "changed.txt"), 0},
      {"All/missing.txt", {release}, 0, "NONE", 0},
      {"All/empty", {"d41d8cd98f00b204e9800998ecf8427e"}, 0, "d41d8cd98f00b204e9800998ecf8427e", 1},
      {"All/link", {release}, 0, md5_text("../some/target"), 0},
      {"All/folder", {release}, 0, "NONE", 0},
      {"All/pipe", {release}, 0, "NONE", 0},
      // The installation's own folder link is followed, even out of the installation.
      {"All/escape/data", {release}, 0, md5_text("outside"), 0},
      {"All/loop/data", {release}, 0, "NONE", 0},
      {"All/nowhere/data", {release}, 0, "NONE", 0},
      {"All/gone_here", {release, "GONE"}, 0, md5_text("old"), 0},
      {"All/gone_absent", {release, "GONE"}, 0, "NONE", 0},
      {"Windows/other_platform", {release}, 2, "", 0},
  };
  for (const row& r : rows) add_history(r.path, r.sigs, "", r.platform);
  for (auto& h : sim_info) h.back().is_current = 0;

  run_scan_to_end();
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    EXPECT_EQ(sim_info[i].back().sig_have, rows[i].want_have) << rows[i].path;
    EXPECT_EQ(sim_info[i].back().is_current, rows[i].want_current) << rows[i].path;
  }
  EXPECT_EQ(checksum_workers, nullptr);
  std::string log = shell_double::log_text();
  EXPECT_NE(log.find(" Start of MD5 at "), std::string::npos);
  EXPECT_NE(log.find(" End of MD5 at "), std::string::npos);
}

TEST_F(InstallationScan, BatchesOfTenAndProgressCountsHandedOut) {
  checksum_thread_count = 2;
  for (int i = 0; i < 25; ++i) {
    std::string name = "f" + std::to_string(i);
    install.write("inst/" + name, name);
    add_history("All/" + name, {md5_text(name)}, "");
  }
  int cursor = 0;
  float progress = 0;
  int r = checksum_directory(cursor, progress);
  EXPECT_EQ(cursor, 25);
  EXPECT_FLOAT_EQ(progress, 1.0f);
  while (!r) r = checksum_directory(cursor, progress);
  for (auto& h : sim_info) EXPECT_EQ(h.back().is_current, 1) << h.back().path;
  EXPECT_EQ(checksum_workers, nullptr);
}

TEST_F(InstallationScan, EmptyModelAndMissingFolder) {
  int cursor = 0;
  float progress = 0.5f;
  EXPECT_EQ(checksum_directory(cursor, progress), 1);
  EXPECT_FLOAT_EQ(progress, 0);
  EXPECT_EQ(checksum_workers, nullptr);

  add_history("All/a", {sig("a")}, "");
  dest_dir_path = install.path() + "no such folder/";
  cursor = 0;
  EXPECT_EQ(checksum_directory(cursor, progress), 1);
  EXPECT_EQ(sim_info[0].back().sig_have, "NONE");
  EXPECT_EQ(checksum_workers, nullptr);
}

TEST_F(InstallationScan, CancelDrainsAndALaterScanCompletes) {
  add_large_files(8 << 20);
  int cursor = 0;
  float progress = 0;
  checksum_directory(cursor, progress);
  ASSERT_NE(checksum_workers, nullptr);
  checksum_directory_kill();
  EXPECT_EQ(checksum_workers, nullptr);
  checksum_directory_kill();  // nothing runs: returns at once

  for (auto& h : sim_info) h.back().sig_have.clear();
  run_scan_to_end();
  std::string want = md5sum_of(dest_dir_path + "big0");
  for (auto& h : sim_info) EXPECT_EQ(h.back().sig_have, want);
}

// Reading a new directory rebuilds the model the scan's tasks write into: the scan is drained
// first.
TEST_F(InstallationScan, ReadingADirectoryDrainsARunningScan) {
  add_large_files(4 << 20);
  int cursor = 0;
  float progress = 0;
  checksum_directory(cursor, progress);
  ASSERT_NE(checksum_workers, nullptr);
  std::string dir = install.write("directory.txt", "I\n900 version\nINSTALLER\n\nDIR All/\n"
                                  "FILE 0 0 1 0 0 0123456789abcdef0123456789abcdef a\n");
  EXPECT_EQ(read_directory(dir, ""), 3);
  EXPECT_EQ(checksum_workers, nullptr);
  EXPECT_EQ(sim_info.size(), 1u);
}

}  // namespace
