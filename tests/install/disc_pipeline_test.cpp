// The disc install, headless: disc folders made by our release builder stand in the test
// drive, the release directory is read from the first, and the copy-and-unpack pipeline is
// stepped as the install screen steps it, with the disc swapped when the pipeline asks. The
// installation is checked against the source files with md5sum.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "files/archive_fixtures.h"
#include "files/error_codes.h"
#include "files/file_ops.h"
#include "install/disc_drive.h"
#include "install/disc_pipeline.h"
#include "install/file_decisions.h"
#include "install/folder_cleanup.h"
#include "install/installation_scan.h"
#include "install/wizard_globals.h"
#include "model_fixture.h"
#include "platform/volumes.h"
#include "runtime/constants.h"
#include "install/modified_file_question.h"
#include "support/modified_file_question_double.h"
#include "support/process.h"
#include "support/release_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

const std::string scenery_tile = "All/Global Scenery/Skyrill Scenery/Earth nav data/+40-120/+44-118.dsf";

std::vector<release_source_file> disc_release_files(int count, size_t size) {
  std::vector<release_source_file> files = {
      {"All/Aircraft/c4 trainer/c4.acf", noise(size, 1)},
      {scenery_tile, noise(size, 2)},
      {"Linux/skyrill", "#!/bin/sh\necho skyrill\n", 0755},
      {"All/Instructions/readme.txt", "Read me first.\n"},
  };
  for (int i = 0; i < count; ++i)
    files.push_back({"All/Resources/data " + std::to_string(i) + ".dat", noise(size, 10 + i)});
  return files;
}

// A release built into disc masters, the global-scenery tile shipped as a prepared 7z archive.
struct disc_masters {
  std::string source;   // ends "/"
  std::string masters;  // holds disk_0/, disk_1/ ...
  std::vector<release_source_file> files;
  int discs = 0;
};

disc_masters build_discs(const std::string& root, const std::vector<release_source_file>& files,
                         double disc_limit_kb) {
  disc_masters d;
  d.source = root + "src/";
  d.masters = root + "masters/";
  d.files = files;
  write_release_source(d.source, files);
  // The two files every release source has.
  for (const char* kind : {"menus", "text"})
    d.files.push_back({std::string("All/Resources/") + kind + "/English/Skyrill.txt", std::string(kind) + "\n"});
  const std::string tile = d.source + scenery_tile;
  const std::string folder = tile.substr(0, tile.rfind('/') + 1);
  const std::string leaf = tile.substr(folder.size());
  process_result z = run_process({seven_zip_tool(), "a", "-bd", "-y", leaf + ".7z", leaf}, "", {}, folder);
  EXPECT_EQ(z.exit_code, 0) << z.out << z.err;
  release_build b = run_release_builder(d.source, d.masters, "", release_current, disc_limit_kb);
  EXPECT_EQ(b.exit_code, 0) << b.output;
  while (path_exists(d.masters + "disk_" + std::to_string(d.discs) + "/")) ++d.discs;
  return d;
}

// The file of the installation that a release path lands in.
std::string installed(const std::string& dest, const std::string& release_path) {
  return dest + release_path.substr(release_path.find('/') + 1);
}

std::vector<std::string> files_below(const std::string& folder) {
  std::vector<std::string> out;
  if (!path_exists(folder)) return out;
  for (auto& e : std::filesystem::recursive_directory_iterator(folder))
    if (!e.is_directory()) out.push_back(e.path().string());
  return out;
}

class DiscInstall : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (seven_zip_tool().empty()) return;
    shared = new temp_tree;
    // Four archives of 30 KB fill the first disc; the rest go on the second.
    split = new disc_masters(build_discs(shared->path() + "split/", disc_release_files(4, 30000), 100));
    single = new disc_masters(build_discs(shared->path() + "single/", disc_release_files(4, 30000), 0));
  }
  static void TearDownTestSuite() {
    delete split;
    delete single;
    delete shared;
    split = single = nullptr;
    shared = nullptr;
  }

  void SetUp() override {
    if (!shared) GTEST_SKIP() << "no 7z tool";
    fresh("");
  }
  // A new installation (in its own folder below the test's) with the model and drive reset;
  // for the rows of a table.
  void fresh(const std::string& tag) {
    leave_disc_install();
    reset_model();
    shell_double::reset();
    shell_double::reopen_log();
    stg.download_os = 3;
    stg.log_actions = 1;
    dest_dir_path = work.path() + tag + "Skyrill 9/";
    temp_path = work.path() + tag + "tmp/";
    make_folders(temp_path);
    dvd_forget_disc();
    current_disk = 0;
    question_double::reset();
  }
  void TearDown() override {
    leave_disc_install();
    platform_set_test_drive("");
  }

  // The start screen's part: the first disc in the drive, its directory read.
  void insert_first_disc(const disc_masters& d) {
    platform_set_test_drive(d.masters + "disk_0/");
    ASSERT_EQ(UTIL_scan_dvd(), dvd_ready);
    EXPECT_EQ(install_name, release_name);
  }

  // The install step's first frame: scan what is there, take every file and cell, make the
  // folders, ready the staging folder.
  void decide() {
    int cursor = 0;
    float progress = 0;
    while (!checksum_directory(cursor, progress)) usleep(200);
    scenery_take_all();
    ASSERT_EQ(choose_files(), 1);
    ASSERT_EQ(make_dirs(), 0);
    ASSERT_EQ(begin_disc_install(), 0);
  }

  // Steps the pipeline once per "frame" until it ends; on a disc request plays the swap as the
  // change and check screens do, inserting the masters' next disc folder. Returns the last
  // result (1 or 3) and counts the requests.
  // Steps the pipeline as the install screen does; *at (when given) keeps the cursor, so that a
  // caller going on after a failure hands on the entries that follow, as the screen does.
  int run(const disc_masters& d, int* requests = nullptr, int* at = nullptr) {
    int cursor = 0, asked = 0;
    for (int frame = 0; frame < 200000; ++frame) {
      int r = install_files(cursor, current_disk);
      if (r == install_done || r == install_failed) {
        if (requests) *requests = asked;
        if (at) *at = cursor;
        return r;
      }
      if (r == install_other_disc) {
        ++asked;
        want_file_disk = cursor;
        EXPECT_EQ(UTIL_verify_disk(), 0) << "the old disc does not hold the archive";
        const int wanted = UTIL_switch_disk(1);
        EXPECT_EQ(UTIL_verify_disk(), 0) << "nothing is in the drive after the eject";
        platform_set_test_drive(d.masters + "disk_" + std::to_string(wanted) + "/");
        EXPECT_EQ(UTIL_verify_disk(), 1);
        EXPECT_EQ(current_disk, wanted);
        continue;
      }
      usleep(100);
    }
    ADD_FAILURE() << "the pipeline never finished";
    return -1;
  }

  void expect_installed_as_source(const disc_masters& d) {
    for (const auto& f : d.files) {
      SCOPED_TRACE(f.path);
      EXPECT_EQ(md5sum_of(installed(dest_dir_path, f.path)), md5sum_of(d.source + f.path));
    }
    struct stat st;
    ASSERT_EQ(stat(installed(dest_dir_path, "Linux/skyrill").c_str(), &st), 0);
  }

  temp_tree work;
  static temp_tree* shared;
  static disc_masters* split;
  static disc_masters* single;
};
temp_tree* DiscInstall::shared = nullptr;
disc_masters* DiscInstall::split = nullptr;
disc_masters* DiscInstall::single = nullptr;

TEST_F(DiscInstall, TwoDiscsWithOneSwapInstallEveryFileAndLeaveNoArchive) {
  insert_first_disc(*split);
  decide();
  int last_disc = 0;
  for (const auto& h : sim_info)
    if (h.back().do_install) last_disc = std::max(last_disc, h.back().disk);
  ASSERT_GE(last_disc, 1);
  int requests = 0;
  ASSERT_EQ(run(*split, &requests), install_done);
  EXPECT_EQ(requests, last_disc);
  EXPECT_EQ(copy_pool, nullptr);
  EXPECT_EQ(unzip_pool, nullptr);
  expect_installed_as_source(*split);
  for (const auto& h : sim_info) {
    if (h.back().do_install) {
      EXPECT_TRUE(h.back().is_current) << h.back().path;
    }
  }
  leave_disc_install();
  EXPECT_FALSE(path_exists(staging_folder()));
  // Nothing but release files (and the empty working folders) in the installation.
  for (const std::string& f : files_below(dest_dir_path)) {
    bool known = false;
    for (const auto& r : split->files) known = known || installed(dest_dir_path, r.path) == f;
    EXPECT_TRUE(known) << f;
  }
  std::string message;
  EXPECT_EQ(install_files_get_error(message), 0);
}

TEST_F(DiscInstall, NoDiscRequestWhenEveryFileToInstallIsOnTheDiscInTheDrive) {
  struct row {
    const char* name;
    bool split_set;
    bool skip_later_discs;  // the files of the later discs are already installed
  } rows[] = {{"one disc", false, false}, {"later discs not needed", true, true}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    fresh(std::string(r.name) + "/");
    const disc_masters& d = r.split_set ? *split : *single;
    insert_first_disc(d);
    decide();
    if (r.skip_later_discs)
      for (auto& h : sim_info)
        if (h.back().disk > 0) h.back().do_install = 0;
    int requests = 0;
    EXPECT_EQ(run(d, &requests), install_done);
    EXPECT_EQ(requests, 0);
  }
}

// A damaged disc: each failure ends the step with 3 and the engine's message, the file that
// was installed before stays whole, and the error is handed over once.
TEST_F(DiscInstall, FailuresReportTheFileAndLeaveTheInstalledFileWhole) {
  const std::string target = "All/Resources/data 0.dat";
  struct row {
    const char* name;
    int expected_code;  // 0: any non-zero code
    const char* message_start;
    bool archive_kept;
  } rows[] = {
      {"archive missing on the disc", 2, "I was unable to copy the file ", false},
      {"archive damaged", 0, "I was unable to unzip the file ", true},
      {"archive of another file", err_wrong_content, "I was unable to unzip the file ", true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    fresh(std::string(r.name) + "/");
    const std::string copy = work.path() + r.name + "/discs/";
    ASSERT_EQ(run_process({"cp", "-a", single->masters, copy}).exit_code, 0);
    const std::string archive = copy + "disk_0/" + release_name + "/" + target + ".zip";
    const std::string other = copy + "disk_0/" + release_name + "/All/Resources/data 1.dat.zip";
    if (r.expected_code == 2) {
      unlink(archive.c_str());
    } else if (r.expected_code == 0) {
      write_whole_file(archive, "PK\x03\x04 this is no zip archive");
    } else {
      ASSERT_EQ(run_process({"cp", other, archive}).exit_code, 0);
    }
    // What the user had before: an older copy of the file.
    make_folders(installed(dest_dir_path, "All/Resources/"));
    write_whole_file(installed(dest_dir_path, target), "the user's older file\n");

    disc_masters d = *single;
    d.masters = copy;
    insert_first_disc(d);
    question_double::script({}, answer_replace);
    decide();
    int cursor = 0;
    ASSERT_EQ(run(d, nullptr, &cursor), install_failed);
    std::string message;
    const int code = install_files_get_error(message);
    if (r.expected_code) {
      EXPECT_EQ(code, r.expected_code);
    } else {
      EXPECT_NE(code, 0);
    }
    EXPECT_EQ(message.rfind(r.message_start, 0), 0u) << message;
    EXPECT_NE(message.find(r.archive_kept ? staging_folder() : copy), std::string::npos) << message;
    const std::string message_kept = message;
    EXPECT_EQ(install_files_get_error(message), 0);
    EXPECT_EQ(message, "");
    EXPECT_EQ(read_whole_file(installed(dest_dir_path, target)), "the user's older file\n");
    // The other files go on: the pipeline runs to its end after the failure.
    int result = 0;
    while ((result = install_files(cursor, 0)) == install_busy || result == install_failed) usleep(100);
    EXPECT_EQ(result, install_done);
    EXPECT_EQ(md5sum_of(installed(dest_dir_path, "All/Resources/data 2.dat")),
              md5sum_of(single->source + "All/Resources/data 2.dat"));
    // A failed copy leaves nothing; a failed unpack keeps its archive, the one the message
    // names, until the step ends.
    std::vector<std::string> staged = files_below(staging_folder());
    ASSERT_EQ(staged.size(), r.archive_kept ? 1u : 0u);
    if (r.archive_kept) {
      EXPECT_NE(message_kept.find(staged[0]), std::string::npos);
    }
  }
}

// Cancelling waits for the files under way: every file handed to the pools is installed whole
// and marked current, the rest untouched, and both pools are gone.
TEST_F(DiscInstall, CancelFinishesTheFilesUnderWayAndDeletesThePools) {
  insert_first_disc(*single);
  decide();
  int cursor = 0;
  ASSERT_EQ(install_files(cursor, 0), install_busy);
  const int handed_out = cursor;
  install_files_kill();
  EXPECT_EQ(copy_pool, nullptr);
  EXPECT_EQ(unzip_pool, nullptr);
  for (int h = 0; h < static_cast<int>(sim_info.size()); ++h) {
    const file_version_struct& v = sim_info[h].back();
    if (!v.do_install) continue;
    SCOPED_TRACE(v.path);
    if (h < handed_out) {
      EXPECT_TRUE(v.is_current);
      EXPECT_EQ(md5sum_of(local_path_of(v)), v.sig_want);
    } else {
      EXPECT_FALSE(path_exists(local_path_of(v)));
    }
  }
  EXPECT_TRUE(files_below(staging_folder()).empty());
}

// The queue's byte bound: with room for one archive at a time the pipeline still finishes.
TEST_F(DiscInstall, ByteBoundOnWaitingArchivesStillInstallsEverything) {
  disc_queue_byte_limit = 1;
  insert_first_disc(*split);
  decide();
  EXPECT_EQ(run(*split), install_done);
  disc_queue_byte_limit = int64_t(1) << 30;
  expect_installed_as_source(*split);
}

// A full disk: the installation sits on a small tmpfs that holds the old release but not the
// new one. The step fails with the disk's error and every file is whole, old or new.
TEST_F(DiscInstall, FullDiskLeavesEveryFileWholeOldOrNew) {
  const std::string volume = work.path() + "small/";
  make_folders(volume);
  if (mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=200k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
  dest_dir_path = volume + "Skyrill 9/";
  std::map<std::string, std::string> old_sums;
  for (const auto& f : single->files) {
    const std::string path = installed(dest_dir_path, f.path);
    make_folders(path.substr(0, path.rfind('/') + 1));
    write_whole_file(path, std::string(f.content.size() / 2, 'o'));
    old_sums[path] = md5sum_of(path);
  }
  insert_first_disc(*single);
  // Every installed file reads as the user's own older copy that may be replaced.
  decide();
  for (auto& h : sim_info)
    if (h.back().sig_want != "GONE" && want_this_f(static_cast<int>(&h - &sim_info[0]), static_cast<int>(h.size() - 1)))
      h.back().do_install = 1;
  int cursor = 0, result = 0, failures = 0;
  std::string message;
  while ((result = install_files(cursor, 0)) != install_done) {
    if (result == install_failed) {
      ++failures;
      EXPECT_NE(install_files_get_error(message), 0);
    }
    usleep(100);
  }
  EXPECT_GT(failures, 0);
  leave_disc_install();
  for (const auto& f : single->files) {
    const std::string path = installed(dest_dir_path, f.path);
    const std::string now = md5sum_of(path);
    EXPECT_TRUE(now == old_sums[path] || now == md5sum_of(single->source + f.path)) << path;
  }
  for (const std::string& f : files_below(dest_dir_path)) EXPECT_TRUE(old_sums.count(f)) << "stray file " << f;
  umount2(volume.c_str(), MNT_DETACH);
}

// A run killed at any moment leaves every installed file whole; the next run clears the
// staging folder and finishes the installation.
TEST_F(DiscInstall, KilledRunLeavesNoHalfWrittenFile) {
  temp_tree big;
  disc_masters d = build_discs(big.path(), disc_release_files(24, 400000), 0);
  std::map<std::string, std::string> sums;
  for (const auto& f : d.files) sums[installed(dest_dir_path, f.path)] = md5sum_of(d.source + f.path);
  for (int delay_ms : {30, 120}) {
    SCOPED_TRACE(delay_ms);
    recursive_delete_folder(dest_dir_path);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      insert_first_disc(d);
      decide();
      int cursor = 0;
      while (install_files(cursor, 0) != install_done) usleep(100);
      _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    for (const std::string& f : files_below(dest_dir_path)) {
      if (f.rfind(staging_folder(), 0) == 0) continue;
      ASSERT_TRUE(sums.count(f)) << "stray file " << f;
      EXPECT_EQ(md5sum_of(f), sums[f]) << f;
    }
  }
  fresh("");
  insert_first_disc(d);
  decide();
  EXPECT_EQ(run(d), install_done);
  leave_disc_install();
  expect_installed_as_source(d);
  EXPECT_FALSE(path_exists(staging_folder()));
}

}  // namespace
