// Whole web updates, headless: the real sequence (directory from the mirror, scan, decisions,
// folders, scheduler until done) against mirrors served by nginx, then the installation checked
// file by file against the release's directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/zip_archive.h"
#include "install/download_scheduler.h"
#include "install/file_decisions.h"
#include "install/folder_cleanup.h"
#include "install/installation_scan.h"
#include "install/modified_file_question.h"
#include "install/release_directory.h"
#include "install/web_update.h"
#include "install/wizard_globals.h"
#include "model_fixture.h"
#include "net/http_client.h"
#include "platform/threads.h"
#include "runtime/frame_clock.h"
#include "support/modified_file_question_double.h"
#include "support/nginx_server.h"
#include "support/process.h"
#include "support/release_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "web_mirror_fixture.h"

namespace {

const std::string release_folder = "Skyrill 9/";

// Detaches the volume a test mounted at `at` when the test ends, however it ends.
struct unmount_at_end {
  std::string at;
  ~unmount_at_end() { umount2(at.c_str(), MNT_DETACH); }
};

// Release 1 and release 2 of a small simulator.
release_tree release_one() {
  release_tree t;
  t["All/Resources/readme.txt"] = {"read me, release one\n"};
  t["All/Resources/changed.dat"] = {std::string(5000, 'a')};
  t["All/Resources/user_edited.txt"] = {"as shipped\n"};
  t["All/Resources/missing.txt"] = {"the user deleted this\n"};
  t["All/Resources/retired/old.txt"] = {"release two removes this\n"};
  t["All/Resources/retired/deeper/older.txt"] = {"and this\n"};
  t["All/Skyrill.app/Contents/MacOS/Skyrill"] = {"#!/bin/sh\necho one\n", 0755};
  t["All/Aircraft/c4 plane/c4.acf"] = {std::string(3000, 'p')};
  t["All/tiny.txt"] = {"x"};
  return t;
}

release_tree release_two() {
  release_tree t = release_one();
  t.erase("All/Resources/retired/old.txt");
  t.erase("All/Resources/retired/deeper/older.txt");
  t["All/Resources/changed.dat"] = {std::string(7000, 'b')};
  t["All/Resources/user_edited.txt"] = {"as shipped, release two\n"};
  t["All/Skyrill.app/Contents/MacOS/Skyrill"] = {"#!/bin/sh\necho two\n", 0755};
  t["All/New Folder/fresh.bin"] = {std::string(12000, 'f')};
  t["All/tiny.txt"] = {"y"};
  return t;
}

class WebUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_model();
    shell_double::reset();
    shell_double::reopen_log();
    question_double::reset();
    port = nginx_port();
    ASSERT_NE(port, 0);
    http.proxy_host = "127.0.0.1";
    http.proxy_port = port;
    name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (int m = 0; m < 2; ++m) {
      server_name[m] = nginx_hosts[1 + m];
      server_path[m] = "/" + name + "/" + release_folder;
      mirror[m] = nginx_root(nginx_hosts[1 + m]) + name + "/" + release_folder;
      remove_tree(nginx_root(nginx_hosts[1 + m]) + name + "/");
    }
    stg.server_count = 2;
    stg.server_pick = 0;
    stg.download_os = 3;
    dest_dir_path = work.path() + "Skyrill 9/";
    temp_path = work.path() + "tmp/";
    make_folders(temp_path);
    fetch_retry_delay_scale = 0;  // failures here are made on purpose; no need to wait them out
  }
  void TearDown() override {
    leave_web_install();
    checksum_directory_kill();
  }

  // Both mirrors serve the release; the directory lists older's histories too.
  void publish(const release_tree& older, const release_tree& newer) {
    text = directory_text(older, newer, &newest);
    for (int m = 0; m < 2; ++m) {
      write_archives(newer, mirror[m]);
      write_directory_archive(text, mirror[m]);
    }
  }

  // The update stepped as the wizard's pages step it, up to the download: the directory fetched
  // and read, the installation scanned, the files decided and the folders made.
  bool start_update() {
    web_update_begin();
    while (web_update.stage != web_update_stage::download && web_update.stage != web_update_stage::failed) {
      web_update_step();
      usleep(100);
    }
    return web_update.stage == web_update_stage::download;
  }

  // The whole update, one step per frame. 1 when the download ran to its end (done, or failed
  // with what could not be installed reported), -1 when the update failed before it.
  int run_update(double limit_seconds = 120) {
    if (!start_update()) return -1;
    int64_t start = platform_microseconds();
    while (web_update_step() == web_update_stage::download) {
      xtim.xtim_update();
      if (platform_microseconds() - start > limit_seconds * 1e6) {
        ADD_FAILURE() << "the update did not end";
        leave_web_install();
        break;
      }
    }
    return 1;
  }

  // Every newest entry of the release is on disk with its signature, or absent when gone.
  void expect_installed(const std::set<std::string>& except = {}) {
    for (const release_entry& e : newest) {
      std::string local = dest_dir_path + e.path.substr(e.path.find('/') + 1);
      if (except.count(e.path)) continue;
      if (e.sig == "GONE") {
        EXPECT_FALSE(path_exists(local)) << e.path;
      } else {
        EXPECT_EQ(md5sum_of(local), e.sig) << e.path;
      }
    }
  }

  void expect_no_temporary_archive() {
    auto r = run_process({"find", temp_path, "-name", "*.zip", "!", "-name", "directory.txt.zip"});
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(path_exists(temp_path + "unpack"));
  }

  temp_tree work;
  unsigned short port = 0;
  std::string name;
  std::string mirror[2];
  std::string text;
  std::vector<release_entry> newest;
};

TEST_F(WebUpdate, BringsAnInstallationOfReleaseOneToReleaseTwo) {
  release_tree one = release_one(), two = release_two();
  install_tree(one, dest_dir_path);
  write_whole_file(dest_dir_path + "Resources/user_edited.txt", "my own edits\n");
  unlink((dest_dir_path + "Resources/missing.txt").c_str());
  write_whole_file(dest_dir_path + "Resources/stray.txt", "the user's own file\n");
  publish(one, two);
  // Mirror A lacks some files: they come from mirror B.
  unlink((mirror[0] + "All/New Folder/fresh.bin.zip").c_str());
  unlink((mirror[0] + "All/Resources/changed.dat.zip").c_str());
  question_double::script_by_path({{"user_edited.txt", answer_keep}}, answer_cancel);
  stg.log_actions = 1;

  EXPECT_EQ(run_update(), 1);
  EXPECT_EQ(stg.install_problem, 0);
  EXPECT_EQ(next.all_done, 1);
  expect_installed({"All/Resources/user_edited.txt"});
  // Failed fetches were retried by their own slot: nothing was fetched or counted twice.
  float zip = 0, unz = 0;
  for (auto& h : sim_info) {
    if (h.back().do_install) {
      zip += h.back().zip_size;
      unz += h.back().unz_size;
    }
  }
  EXPECT_FLOAT_EQ(next.kb_done, zip);
  EXPECT_FLOAT_EQ(next.kb_installed, unz);
  EXPECT_EQ(read_whole_file(dest_dir_path + "Resources/user_edited.txt"), "my own edits\n");
  ASSERT_EQ(question_double::asked().size(), 1u);
  EXPECT_EQ(read_whole_file(dest_dir_path + "Resources/stray.txt"), "the user's own file\n");
  EXPECT_FALSE(path_exists(dest_dir_path + "Resources/retired"));
  struct stat st;
  ASSERT_EQ(stat((dest_dir_path + "Skyrill.app/Contents/MacOS/Skyrill").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  expect_no_temporary_archive();
  std::string log = shell_double::log_text();
  EXPECT_NE(log.find("now we want to nuke a file: DELETING  file " + dest_dir_path +
                     "Resources/retired/old.txt, with result=0."),
            std::string::npos);
  EXPECT_NE(log.find("cleanup: DELETING  file " + dest_dir_path + "Resources/retired/deeper/"),
            std::string::npos);

  // A second run, as a program without a window runs it, finds nothing left to do.
  reset_model();
  stg.server_count = 2;
  stg.download_os = 3;
  question_double::script({}, answer_keep);
  EXPECT_EQ(web_update_run(120), web_update_stage::done);
  for (auto& h : sim_info) EXPECT_EQ(h.back().do_install, 0) << h.back().path;
  expect_installed({"All/Resources/user_edited.txt"});
}

TEST_F(WebUpdate, OverwriteAnswerReplacesTheModifiedFile) {
  release_tree one = release_one(), two = release_two();
  install_tree(one, dest_dir_path);
  write_whole_file(dest_dir_path + "Resources/user_edited.txt", "my own edits\n");
  publish(one, two);
  question_double::script({answer_replace}, answer_cancel);
  EXPECT_EQ(run_update(), 1);
  expect_installed();
}

// An archive that does not unpack to the release's file (another release's archive, bytes that
// are no zip, a cut-off zip) fails on a worker; the main thread reports it as it always has (the
// EXPANDING line with the code, a warning naming the mirror and the attempt, no alert) and the
// file comes from the other mirror.
TEST_F(WebUpdate, ABadArchiveIsCaughtAndFetchedFromTheOtherMirror) {
  struct row {
    const char* name;
    int code;
    const char* reason;
  } rows[] = {
      {"release one's archive", err_wrong_content, "the file does not match the release"},
      {"no zip at all", err_zip_open, nullptr},
      {"a cut-off zip", err_zip_open, nullptr},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    reset_model();
    stg.server_count = 2;
    stg.download_os = 3;
    stg.log_actions = 1;
    shell_double::reset();
    shell_double::reopen_log();
    remove_tree(dest_dir_path);
    release_tree one = release_one(), two = release_two();
    install_tree(one, dest_dir_path);
    publish(one, two);
    const std::string bad = mirror[0] + "All/Resources/changed.dat.zip";
    if (r.code == err_wrong_content) {
      release_tree stale;
      stale["All/Resources/changed.dat"] = one["All/Resources/changed.dat"];
      write_archives(stale, mirror[0]);
    } else if (std::string(r.name) == "no zip at all") {
      write_whole_file(bad, std::string(3000, 'x'));
    } else {
      const std::string whole = read_whole_file(bad);
      write_whole_file(bad, whole.substr(0, whole.size() / 2));
    }
    EXPECT_EQ(run_update(), 1);
    EXPECT_EQ(stg.install_problem, 0);
    EXPECT_TRUE(shell_double::alerts().empty());
    expect_installed();
    const std::string log = shell_double::log_text();
    const std::string reason = r.reason ? r.reason : error_str(r.code);
    const size_t expanding = log.find("EXPANDING file " + dest_dir_path +
                                      "Resources/changed.dat, with result=" + std::to_string(r.code));
    const size_t warning = log.find("WARNING: " + server_path[0] + "All/Resources/changed.dat.zip from " +
                                    server_name[0] + ": " + reason + " (attempt 1 of 6)");
    EXPECT_NE(expanding, std::string::npos) << log;
    EXPECT_NE(warning, std::string::npos) << log;
    EXPECT_LT(expanding, warning);
  }
}

// A file no mirror has is given up after every attempt; the rest of the release is still
// installed and its gone files deleted, and one alert at the end names the missing file.
TEST_F(WebUpdate, AFileMissingEverywhereIsSkippedAndReported) {
  release_tree one = release_one(), two = release_two();
  install_tree(one, dest_dir_path);
  publish(one, two);
  for (int m = 0; m < 2; ++m) unlink((mirror[m] + "All/New Folder/fresh.bin.zip").c_str());
  stg.stream_count = 1;  // one slot, so the files listed after the missing one wait for it
  EXPECT_EQ(run_update(), 1);
  EXPECT_EQ(stg.install_problem, 1);
  EXPECT_EQ(next.all_done, 0);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts.back().lines[0], "The installer cannot download a file.");
  EXPECT_NE(alerts.back().lines[2].find("fresh.bin.zip"), std::string::npos);
  EXPECT_FALSE(path_exists(dest_dir_path + "New Folder/fresh.bin"));
  expect_installed({"All/New Folder/fresh.bin"});
  for (auto& h : sim_info) {
    if (h.back().path == "All/New Folder/fresh.bin") {
      EXPECT_EQ(h.back().is_current, 0);
    }
  }
  expect_no_temporary_archive();

  // Once the mirrors have it again, the next run fetches it.
  publish(one, two);
  reset_model();
  stg.server_count = 2;
  stg.download_os = 3;
  shell_double::reset();
  EXPECT_EQ(run_update(), 1);
  EXPECT_EQ(next.all_done, 1);
  EXPECT_TRUE(shell_double::alerts().empty());
  expect_installed();
}

// After a failed fetch the slot waits (1 s, then 2 s ...) before it asks again, while the
// frames go on; the clock here is the test's own and stands still until moved.
TEST_F(WebUpdate, ARetryWaitsWhileTheFramesRun) {
  release_tree one = release_one(), two = release_one();
  two["All/Resources/late.txt"] = {"arrives after a blip"};
  install_tree(one, dest_dir_path);
  publish(one, two);
  const std::string archive = mirror[0] + "All/Resources/late.txt.zip";
  const std::string aside = work.path() + "late.txt.zip";
  ASSERT_EQ(rename(archive.c_str(), aside.c_str()), 0);
  ASSERT_EQ(rename((mirror[1] + "All/Resources/late.txt.zip").c_str(), (work.path() + "late1.zip").c_str()), 0);
  stg.server_count = 1;  // one mirror: three attempts in all
  fetch_retry_delay_scale = 1.0;
  static std::atomic<int64_t> fake_now{5000000000};
  platform_set_time_source([] { return fake_now.load(); });
  struct restore_clock {
    ~restore_clock() { platform_set_time_source(nullptr); }
  } restore;

  auto attempts = [&] {
    std::string log = shell_double::log_text();
    size_t n = 0;
    for (size_t at = log.find("late.txt.zip from"); at != std::string::npos; at = log.find("late.txt.zip from", at + 1)) ++n;
    return n;
  };
  // Frames until the first failure is logged.
  ASSERT_TRUE(start_update());
  for (int i = 0; i < 20000 && attempts() < 1; ++i) {
    ASSERT_EQ(web_update_step(), web_update_stage::download);
    usleep(50);
  }
  ASSERT_EQ(attempts(), 1u);
  // One second later the second attempt goes out, and fails too.
  fake_now += 1100000;
  for (int i = 0; i < 20000 && attempts() < 2; ++i) {
    ASSERT_EQ(web_update_step(), web_update_stage::download);
    usleep(50);
  }
  ASSERT_EQ(attempts(), 2u);
  // The blip is over, but the wait has grown to two seconds: nothing goes out before then.
  ASSERT_EQ(rename(aside.c_str(), archive.c_str()), 0);
  fake_now += 1100000;
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(web_update_step(), web_update_stage::download);
    usleep(200);
  }
  EXPECT_EQ(attempts(), 2u);
  fake_now += 1000000;
  for (int i = 0; i < 20000 && web_update_step() == web_update_stage::download; ++i) usleep(50);
  EXPECT_EQ(web_update.stage, web_update_stage::done);
  EXPECT_EQ(next.all_done, 1);
  EXPECT_EQ(read_whole_file(dest_dir_path + "Resources/late.txt"), "arrives after a blip");
  leave_web_install();
}

// Users move a big folder to another disk and leave a link behind. The files there are
// scanned, asked about and deleted like any other, and the link stays a link.
TEST_F(WebUpdate, AFolderLinkLeadingOutOfTheInstallationIsFollowed) {
  release_tree one = release_one(), two = release_two();
  install_tree(one, dest_dir_path);
  const std::string elsewhere = work.path() + "other disk/Resources";
  make_folders(work.path() + "other disk/");
  ASSERT_EQ(rename((dest_dir_path + "Resources").c_str(), elsewhere.c_str()), 0);
  ASSERT_EQ(symlink(elsewhere.c_str(), (dest_dir_path + "Resources").c_str()), 0);
  write_whole_file(elsewhere + "/user_edited.txt", "my own edits\n");
  publish(one, two);
  question_double::script_by_path({{"user_edited.txt", answer_keep}}, answer_cancel);

  EXPECT_EQ(run_update(), 1);
  EXPECT_EQ(next.all_done, 1);
  ASSERT_EQ(question_double::asked().size(), 1u);
  EXPECT_NE(question_double::asked()[0].local_path.find("user_edited.txt"), std::string::npos);
  EXPECT_EQ(read_whole_file(elsewhere + "/user_edited.txt"), "my own edits\n");
  EXPECT_EQ(read_whole_file(elsewhere + "/changed.dat"), std::string(7000, 'b'));
  EXPECT_FALSE(path_exists(elsewhere + "/retired/old.txt"));
  std::string target;
  EXPECT_TRUE(is_sim_link(dest_dir_path + "Resources", &target));
  expect_installed({"All/Resources/user_edited.txt"});

  // The next run sees those files as current and fetches nothing.
  reset_model();
  stg.server_count = 2;
  stg.download_os = 3;
  question_double::script({}, answer_keep);
  EXPECT_EQ(run_update(), 1);
  for (auto& h : sim_info) EXPECT_EQ(h.back().do_install, 0) << h.back().path;
}

// A folder link that leads nowhere, or round in a loop, is reported before anything is
// fetched; nothing is created where it points.
TEST_F(WebUpdate, ABrokenFolderLinkIsReportedNotWrittenThrough) {
  struct row {
    const char* name;
    std::string target;
  } rows[] = {
      {"dangling", work.path() + "unplugged disk/New Folder"},
      {"loop", "New Folder"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    reset_model();
    stg.server_count = 2;
    stg.download_os = 3;
    shell_double::reset();
    remove_tree(dest_dir_path);
    release_tree one = release_one(), two = release_two();
    install_tree(one, dest_dir_path);
    ASSERT_EQ(symlink(r.target.c_str(), (dest_dir_path + "New Folder").c_str()), 0);
    publish(one, two);
    EXPECT_EQ(run_update(), -1);
    auto alerts = shell_double::alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].lines[3].find("New Folder"), std::string::npos);
    EXPECT_FALSE(path_exists(work.path() + "unplugged disk"));
  }
}

// A directory the reader refuses says so in an alert that names the server it came from, and
// the update ends there with the installation untouched.
TEST_F(WebUpdate, ARefusedDirectoryIsShownWithItsServer) {
  struct row {
    const char* name;
    std::string extra_record;  // appended to the directory text
    bool second_file;          // the archive holds a second file beside directory.txt
  } rows[] = {
      {"a parent folder in a DIR line",
       "DIR All/../../outside/\nFILE 0 0 91001 1 1 d41d8cd98f00b204e9800998ecf8427e planted\n", false},
      {"a damaged record", "FILE 0 0 91001 12\n", false},
      {"an archive holding more than the directory", "", true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    reset_model();
    shell_double::reset();
    stg.server_count = 1;
    stg.download_os = 3;
    remove_tree(dest_dir_path);
    release_tree one = release_one(), two = release_two();
    install_tree(one, dest_dir_path);
    publish(one, two);
    temp_tree made;
    write_whole_file(made.path() + "directory.txt", text + r.extra_record);
    write_whole_file(made.path() + "extra.txt", "not part of a directory archive\n");
    std::vector<std::string> zip = {"zip", "-q", "-X", mirror[0] + "directory.txt.zip", "directory.txt"};
    if (r.second_file) zip.push_back("extra.txt");
    unlink((mirror[0] + "directory.txt.zip").c_str());
    ASSERT_EQ(run_process(zip, "", {}, made.path()).exit_code, 0);

    EXPECT_EQ(run_update(), -1);
    EXPECT_EQ(web_update.stage, web_update_stage::failed);
    EXPECT_EQ(stg.dir_stage, 2);
    auto alerts = shell_double::alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].lines[1].find(server_name[0]), std::string::npos) << alerts[0].lines[1];
    EXPECT_TRUE(sim_info.empty());
    EXPECT_EQ(read_whole_file(dest_dir_path + "tiny.txt"), "x");
    EXPECT_FALSE(path_exists(work.path() + "outside"));
  }
}

TEST_F(WebUpdate, ADeleteOnlyReleaseIsApplied) {
  release_tree one = release_one(), two = release_one();
  two.erase("All/Resources/retired/old.txt");
  install_tree(one, dest_dir_path);
  publish(one, two);
  EXPECT_EQ(run_update(), 1);
  EXPECT_FALSE(path_exists(dest_dir_path + "Resources/retired/old.txt"));
  expect_installed();
}

// A file the release marks as gone that cannot be deleted (here it is on a read-only volume)
// stays in the model as it is and is logged; the rest of the release is installed, and the other
// gone file is deleted.
TEST_F(WebUpdate, AGoneFileThatCannotBeDeletedStaysInTheModel) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
  release_tree one = release_one(), two = release_two();
  install_tree(one, dest_dir_path);
  const std::string stuck = dest_dir_path + "Resources/retired/deeper/";
  if (mount("tmpfs", stuck.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
  unmount_at_end guard{stuck};
  write_whole_file(stuck + "older.txt", "and this\n");
  ASSERT_EQ(mount("tmpfs", stuck.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
  publish(one, two);
  EXPECT_EQ(run_update(), 1);
  EXPECT_EQ(failed_deletes, 1);
  EXPECT_EQ(read_whole_file(stuck + "older.txt"), "and this\n");
  EXPECT_NE(shell_double::log_text().find("WARNING: could not delete " + stuck + "older.txt"), std::string::npos)
      << shell_double::log_text();
  int kept = 0;
  for (size_t h = 0; h < sim_info.size(); ++h) {
    const file_version_struct& v = sim_info[h].back();
    if (v.path == "All/Resources/retired/deeper/older.txt" && v.sig_have != "NONE") ++kept;
  }
  EXPECT_EQ(kept, 1);
  EXPECT_FALSE(path_exists(dest_dir_path + "Resources/retired/old.txt"));
  expect_installed({"All/Resources/retired/deeper/older.txt"});
}

TEST_F(WebUpdate, InstalledGlobalSceneryIsLeftAlone) {
  release_tree one = release_one();
  one["All/Global Scenery/+40-120/+45-118.dsf"] = {"tile v1"};
  release_tree two = one;
  two["All/Global Scenery/+40-120/+45-118.dsf"] = {"tile v2"};
  two["All/Global Scenery/+50+000/+51+001.dsf"] = {"a tile the user never installed"};
  install_tree(one, dest_dir_path);
  publish(one, two);
  EXPECT_EQ(run_update(), 1);
  EXPECT_EQ(read_whole_file(dest_dir_path + "Global Scenery/+40-120/+45-118.dsf"), "tile v2");
  EXPECT_FALSE(path_exists(dest_dir_path + "Global Scenery/+50+000/+51+001.dsf"));
}

// A stream count below zero (a damaged preference) still runs the update to its end; taken as
// is, it would switch every slot off after its first file.
TEST_F(WebUpdate, ANegativeStreamCountStillCompletesTheUpdate) {
  release_tree one = release_one(), two = release_two();
  install_tree(one, dest_dir_path);
  publish(one, two);
  stg.stream_count = -5;
  EXPECT_EQ(run_update(), 1);
  EXPECT_EQ(stg.install_problem, 0);
  expect_installed();
}

TEST_F(WebUpdate, OneStreamAndFourStreams) {
  for (int streams : {1, 4}) {
    reset_model();
    stg.server_count = 2;
    stg.download_os = 3;
    remove_tree(dest_dir_path);
    release_tree one = release_one(), two = release_two();
    install_tree(one, dest_dir_path);
    publish(one, two);
    stg.stream_count = streams;
    EXPECT_EQ(run_update(), 1) << streams;
    int active = 0;
    for (int i = 0; i < 4; ++i) active += next.slot_active[i];
    EXPECT_EQ(active, streams) << streams;
    expect_installed();
  }
}

// Back from the install step leaves transfers in the scheduler's slots; they must not deliver one
// file's archive for another when the step comes back.
TEST_F(WebUpdate, EnteringAndLeavingTheStepStopsItsTransfers) {
  release_tree one = release_one();
  publish(one, one);
  // One poll reads at most http_receive_size bytes, so a transfer of this file is still
  // running after it.
  write_whole_file(mirror[0] + "big.bin", std::string(8 << 20, 'b'));
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(http.net_check(download_http_slot(i), server_name[0], server_path[0] + "big.bin",
                               slot_archive_path(i)),
                0);
      ASSERT_NE(http.slots[download_http_slot(i)], nullptr);
    }
    if (pass == 0) {
      leave_web_install();
    } else {
      EXPECT_EQ(begin_web_install(), 1);
    }
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(http.slots[download_http_slot(i)], nullptr) << pass;
      EXPECT_FALSE(path_exists(slot_archive_path(i))) << pass;
    }
  }
}

// Releases made by the release builder from generated source trees, served by both mirrors
// (mirror A lacking some files), applied to an installation of release 1 that the user changed.
TEST_F(WebUpdate, BuilderReleasesFromOneToTwo) {
  temp_tree t;
  write_release_source(t.path() + "src1/", sample_release_files(1));
  release_build r1 = run_release_builder(t.path() + "src1/", t.path() + "masters1/", "", release_older);
  ASSERT_EQ(r1.exit_code, 0) << r1.output;
  std::vector<release_source_file> files2 = sample_release_files(2);
  for (release_source_file& f : files2)
    if (f.path == "Linux/skyrill") f.content = "#!/bin/sh\necho skyrill two\n";
  write_release_source(t.path() + "src2/", files2);
  release_build r2 = run_release_builder(t.path() + "src2/", t.path() + "masters2/",
                                         r1.directory_file, release_current);
  ASSERT_EQ(r2.exit_code, 0) << r2.output;
  for (int m = 0; m < 2; ++m) {
    server_path[m] = "/" + name + "/" + release_name + "/";
    publish_web_mirror(r2.masters, nginx_root(nginx_hosts[1 + m]) + name + "/" + release_name + "/");
  }
  std::string mirror_a = nginx_root(nginx_hosts[1]) + name + "/" + release_name + "/";
  unlink((mirror_a + "All/Weapons/new rocket.wpn.zip").c_str());
  unlink((mirror_a + "Linux/skyrill.zip").c_str());

  // The installation of release 1: every file for Linux, as the builder's source had it.
  for (const release_source_file& f : sample_release_files(1)) {
    if (f.path.compare(0, 4, "All/") != 0 && f.path.compare(0, 6, "Linux/") != 0) continue;
    std::string local = dest_dir_path + f.path.substr(f.path.find('/') + 1);
    make_folders(local.substr(0, local.rfind('/') + 1));
    write_whole_file(local, f.content);
    chmod(local.c_str(), f.mode);
  }
  write_whole_file(dest_dir_path + "Instructions/readme.txt", "my notes\n");
  unlink((dest_dir_path + "Airfoils/naca 2412.afl").c_str());
  write_whole_file(dest_dir_path + "Resources/stray.txt", "mine\n");
  question_double::script_by_path({{"Instructions/readme.txt", answer_replace}}, answer_cancel);

  EXPECT_EQ(run_update(), 1);
  EXPECT_EQ(stg.install_problem, 0);
  EXPECT_EQ(question_double::asked().size(), 1u);
  EXPECT_EQ(read_whole_file(dest_dir_path + "Resources/stray.txt"), "mine\n");
  EXPECT_FALSE(path_exists(dest_dir_path + "Resources/retired.txt"));
  struct stat st;
  ASSERT_EQ(stat((dest_dir_path + "skyrill").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  EXPECT_EQ(read_whole_file(dest_dir_path + "skyrill"), "#!/bin/sh\necho skyrill two\n");
  expect_no_temporary_archive();

  // Every wanted file of release 2's directory is installed with its signature.
  reset_model();
  stg.download_os = 3;
  ASSERT_EQ(read_directory(r2.directory_file, ""), 3);
  int checked = 0;
  for (size_t h = 0; h < sim_info.size(); ++h) {
    const file_version_struct& v = sim_info[h].back();
    if (!want_this_f(static_cast<int>(h), static_cast<int>(sim_info[h].size() - 1))) continue;
    std::string local = local_path_of(v);
    if (v.sig_want == "GONE") {
      EXPECT_FALSE(path_exists(local)) << v.path;
    } else {
      EXPECT_EQ(md5sum_of(local), v.sig_want) << v.path;
    }
    ++checked;
  }
  EXPECT_GE(checked, 10);

  // Cross-check of the builder against zip and md5sum: each archive unpacks to the bytes the
  // directory signs, which are the source file's, and the size is whole KB of it.
  for (const file_history_struct& h : sim_info) {
    const file_version_struct& v = h.back();
    if (v.sig_want == "GONE") continue;
    std::string archive = nginx_root(nginx_hosts[2]) + name + "/" + release_name + "/" + v.path;
    auto unzipped = run_process({"unzip", "-p", archive + ".zip"});
    ASSERT_EQ(unzipped.exit_code, 0) << v.path;
    EXPECT_EQ(md5_of_text(unzipped.out), v.sig_want) << v.path;
    EXPECT_EQ(md5sum_of(t.path() + "src2/" + v.path), v.sig_want) << v.path;
    EXPECT_EQ(static_cast<int64_t>(v.unz_size), static_cast<int64_t>(unzipped.out.size() / 1000))
        << v.path;
  }
}

// Killed at several points and run again: every run ends with the installation equal to the
// release, nothing lost and nothing half written.
TEST_F(WebUpdate, KilledMidUpdateAndRunAgain) {
  release_tree one = release_one(), two = release_two();
  for (int i = 0; i < 40; ++i)
    two["All/Bulk/file " + std::to_string(i) + ".bin"] = {std::string(20000 + i, 'a' + i % 26)};
  install_tree(one, dest_dir_path);
  publish(one, two);
  for (int stop_after : {1, 4, 9}) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Dies without any clean-up once stop_after files are in.
      reset_model();
      stg.server_count = 2;
      stg.download_os = 3;
      question_double::script({}, answer_keep);
      if (!start_update()) _exit(3);
      while (web_update_step() == web_update_stage::download) {
        int installed = 0;
        for (auto& h : sim_info) installed += h.back().do_install && h.back().is_current;
        if (installed >= stop_after) raise(SIGKILL);
      }
      _exit(4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << stop_after;
  }
  reset_model();
  stg.server_count = 2;
  stg.download_os = 3;
  question_double::script({}, answer_cancel);
  EXPECT_EQ(run_update(), 1);
  EXPECT_TRUE(question_double::asked().empty());
  expect_installed();
  EXPECT_FALSE(path_exists(dest_dir_path + "Resources/retired"));
  // Nothing the killed runs left behind stays: no archive, no staging folder.
  expect_no_temporary_archive();
  EXPECT_FALSE(path_exists(dest_dir_path + ".installer staging"));
}

// A full disk: the update stops with the reason, the installation keeps its files whole.
// Content of a large file that zips small and fast but is not one repeated byte: a 4 KB block
// of pseudo-random bytes over and over.
std::string large_content(size_t bytes) {
  std::string block(4096, '\0');
  uint32_t x = 2463534242u;
  for (char& c : block) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    c = static_cast<char>(x);
  }
  std::string out;
  out.reserve(bytes);
  while (out.size() < bytes) out.append(block, 0, std::min(block.size(), bytes - out.size()));
  return out;
}

// A 300 MB file among many small ones: it is unpacked and checked on the worker pool while the
// main thread steps on. The longest step is recorded for the report (not asserted: timing
// depends on the machine).
TEST_F(WebUpdate, ALargeFileIsUnpackedOffTheMainThread) {
  release_tree one = release_one(), two = release_two();
  two["All/Resources/large scenery.dat"] = {large_content(300u << 20)};
  for (int i = 0; i < 60; ++i)
    two["All/Resources/small/s" + std::to_string(i) + ".txt"] = {"small file " + std::to_string(i)};
  install_tree(one, dest_dir_path);
  publish(one, two);
  stg.log_actions = 1;
  ASSERT_TRUE(start_update());
  double longest_ms = 0;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(3);
  while (std::chrono::steady_clock::now() < give_up) {
    auto start = std::chrono::steady_clock::now();
    web_update_stage stage = web_update_step();
    longest_ms = std::max(longest_ms, std::chrono::duration<double, std::milli>(
                                          std::chrono::steady_clock::now() - start).count());
    if (stage != web_update_stage::download) break;
    usleep(100);
  }
  RecordProperty("longest_main_thread_step_ms", std::to_string(longest_ms));
  EXPECT_EQ(web_update.stage, web_update_stage::done) << web_update.failure;
  expect_installed();
  int installed = 0;
  for (auto& h : sim_info) installed += h.back().do_install;
  EXPECT_NE(shell_double::log_text().find("Unpacked " + std::to_string(installed) + " files on the worker pool."),
            std::string::npos);
  EXPECT_FALSE(path_exists(dest_dir_path + ".installer staging"));
}

// Back while a worker is unpacking the large file: the step waits for the worker, and the
// installation holds either the old file or the new one, whole; nothing staged is left.
TEST_F(WebUpdate, LeavingDuringAnUnpackLeavesNothingHalfDone) {
  release_tree one = release_one(), two = release_two();
  one["All/Resources/large scenery.dat"] = {"release one's small version\n"};
  const std::string large = large_content(300u << 20);
  two["All/Resources/large scenery.dat"] = {large};
  install_tree(one, dest_dir_path);
  publish(one, two);
  ASSERT_TRUE(start_update());
  const std::string staging = dest_dir_path + ".installer staging/";
  bool caught = false;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(3);
  while (!caught && std::chrono::steady_clock::now() < give_up) {
    if (web_update_step() != web_update_stage::download) break;
    auto r = run_process({"find", staging, "-name", ".sky-part-*"});
    caught = !r.out.empty();
  }
  ASSERT_TRUE(caught) << "no unpack was seen under way";
  leave_web_install();
  EXPECT_FALSE(path_exists(staging));
  EXPECT_EQ(run_process({"find", dest_dir_path, "-name", ".sky-part-*"}).out, "");
  const std::string now = read_whole_file(dest_dir_path + "Resources/large scenery.dat");
  EXPECT_TRUE(now == "release one's small version\n" || now == large) << now.size() << " bytes";
  expect_no_temporary_archive();
}

TEST_F(WebUpdate, AFullDiskIsReportedAndTheInstallationStaysWhole) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  std::string small = work.path() + "small/";
  make_folders(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here";
  unmount_at_end guard{small};
  dest_dir_path = small + "Skyrill 9/";
  release_tree one = release_one(), two = release_two();
  two["All/Resources/changed.dat"] = {std::string(600000, 'z')};
  install_tree(one, dest_dir_path);
  publish(one, two);
  EXPECT_EQ(run_update(), 1);
  EXPECT_EQ(stg.install_problem, 1);
  auto alerts = shell_double::alerts();
  ASSERT_FALSE(alerts.empty());
  EXPECT_NE(alerts.back().lines[1].find("No space left on device"), std::string::npos);
  // The unpack failed on a worker; its report is shown by the main thread, as before.
  EXPECT_TRUE(alerts.back().on_main_thread);
  // The file that could not be written is release one's, whole.
  EXPECT_EQ(read_whole_file(dest_dir_path + "Resources/changed.dat"), std::string(5000, 'a'));
  auto r = run_process({"find", dest_dir_path, "-name", ".*"});
  EXPECT_EQ(r.out, "") << "a temporary file was left in the installation";
  expect_no_temporary_archive();
}

}  // namespace
