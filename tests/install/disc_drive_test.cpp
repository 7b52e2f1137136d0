// The install discs as the start and swap screens see them: the identity file, the release
// directory read once from the first disc, and the check of the disc in the drive. Discs are
// folders in the test drive, written by hand here (the whole install from builder-made discs is
// in disc_pipeline_test.cpp).
#include <gtest/gtest.h>

#include "files/zip_archive.h"
#include "install/disc_drive.h"
#include "install/disc_pipeline.h"
#include "install/install_model.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "model_fixture.h"
#include "platform/volumes.h"
#include "runtime/constants.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

TEST(DiscIdentity, ReleaseNameFromTheIdentityFile) {
  struct row {
    const char* name;
    std::string text;
    bool accepted;
    std::string release;
  } rows[] = {
      {"plain", "I\n900 version\nDVD\n\nVERSION Skyrill 9.10r1\n", true, "Skyrill 9.10r1"},
      {"indented, CR LF", "I\r\n900 x\r\nDVD\r\n   \tVERSION Skyrill 9.10r1\r\n", true, "Skyrill 9.10r1"},
      {"tab after the keyword", "A\n900\nDVD\nVERSION\tSkyrill 9\n", true, "Skyrill 9"},
      {"trailing blank and tab", "I\n900\nDVD\nVERSION Skyrill 9 \t\n", true, "Skyrill 9"},
      {"no line end at the end", "I\n900\nDVD\nVERSION Skyrill 9", true, "Skyrill 9"},
      {"VERSIONX is another word", "I\n900\nDVD\nVERSIONX Skyrill 9\n", false, ""},
      {"the last VERSION wins", "I\n900\nDVD\nVERSION one\nOTHER x\nVERSION two\n", true, "two"},
      {"header 899", "I\n899\nDVD\nVERSION Skyrill 9\n", false, ""},
      {"other keyword", "I\n900\nINSTALLER\nVERSION Skyrill 9\n", false, ""},
      {"empty file", "", false, ""},
      {"no VERSION line", "I\n900\nDVD\n\n", false, ""},
      {"VERSION without a name", "I\n900\nDVD\nVERSION   \n", false, ""},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    std::string name;
    EXPECT_EQ(parse_disc_identity(r.text.data(), r.text.data() + r.text.size(), &name), r.accepted);
    if (r.accepted) {
      EXPECT_EQ(name, r.release);
    }
  }
}

TEST(DiscIdentity, ReleaseNamesThatCannotNameAFolderAreRefused) {
  for (const char* bad : {"", ".", "..", "a/b", "../up", "a\\b", "tab\there"}) EXPECT_FALSE(is_safe_release_name(bad)) << bad;
  for (const char* good : {"Skyrill 9.10r1", "...", "a.b"}) EXPECT_TRUE(is_safe_release_name(good)) << good;
}

// Hand-made discs: the first with the identity file and the directory, the others with their
// release folder only, as the release builder writes them.
class DiscDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_model();
    shell_double::reset();
    dvd_forget_disc();
    temp_path = t.path() + "tmp/";
    make_folders(temp_path);
    platform_set_test_drive("");
  }
  void TearDown() override { platform_set_test_drive(""); }

  std::string disc(int n) { return t.path() + "disk_" + std::to_string(n) + "/"; }

  void write_first_disc(const std::string& root, const std::string& identity, const std::string& directory) {
    t.write("plain/directory.txt", directory);
    make_folders(root + "Rel/");
    if (!identity.empty()) write_whole_file(root + "dvd_version.txt", identity);
    if (!directory.empty()) {
      ASSERT_EQ(file_to_zip(t.path() + "plain/directory.txt", root + "Rel/directory.txt.zip"), 0);
    }
  }

  const std::string identity = "I\n900 x\nDVD\n\nVERSION Rel\n";
  const std::string directory =
      "I\n900 x\nINSTALLER\n\nDIR All/Resources/\nFILE 0 0 91001 1 1 0123456789abcdef0123456789abcdef one.txt\n"
      "DISK 1\nFILE 0 0 91001 1 1 0123456789abcdef0123456789abcdef two.txt\n"
      "DISK 2\nFILE 0 0 91001 1 1 0123456789abcdef0123456789abcdef three.txt\n";
  temp_tree t;
};

TEST_F(DiscDrive, StartScreenStatesFromTheDiscInTheDrive) {
  EXPECT_EQ(UTIL_scan_dvd(), dvd_no_disc);
  // A folder without an identity file is no install disc.
  make_folders(disc(9));
  platform_set_test_drive(disc(9));
  EXPECT_EQ(UTIL_scan_dvd(), dvd_no_disc);
  write_whole_file(disc(9) + "dvd_version.txt", "I\n901\nDVD\nVERSION Rel\n");
  EXPECT_EQ(UTIL_scan_dvd(), dvd_not_install_disc);
  EXPECT_TRUE(dvd_path.empty());
  // The name is read, but the directory archive is damaged: a page with retry, not the end.
  write_first_disc(disc(0), identity, "");
  write_whole_file(disc(0) + "Rel/directory.txt.zip", "not a zip");
  platform_set_test_drive(disc(0));
  EXPECT_EQ(UTIL_scan_dvd(), dvd_directory_unreadable);
  EXPECT_NE(dvd_scan_error.code, 0);
  EXPECT_EQ(dvd_scan_error.archive, disc(0) + "Rel/directory.txt.zip");
  EXPECT_TRUE(shell_double::alerts().empty());
  EXPECT_EQ(stg.dir_stage, 0);
  // Retry with the disc readable.
  write_first_disc(disc(0), identity, directory);
  EXPECT_EQ(UTIL_scan_dvd(), dvd_ready);
  EXPECT_EQ(install_name, "Rel");
  ASSERT_EQ(sim_info.size(), 3u);
  EXPECT_EQ(sim_info[2].back().disk, 2);
}

TEST_F(DiscDrive, TheDirectoryIsReadOncePerRun) {
  write_first_disc(disc(0), identity, directory);
  platform_set_test_drive(disc(0));
  ASSERT_EQ(UTIL_scan_dvd(), dvd_ready);
  // Another first disc with another directory: ejected and inserted, nothing is read again.
  write_first_disc(disc(5), identity, "I\n900 x\nINSTALLER\n\nDIR All/\nFILE 0 0 91001 1 1 0123456789abcdef0123456789abcdef x\n");
  EXPECT_EQ(UTIL_switch_disk(1), 0);
  platform_set_test_drive(disc(5));
  EXPECT_EQ(UTIL_scan_dvd(), dvd_ready);
  EXPECT_EQ(sim_info.size(), 3u);
}

TEST_F(DiscDrive, SwapChecksTheArchiveOnTheDiscInTheDrive) {
  write_first_disc(disc(0), identity, directory);
  for (int n : {0, 1, 2}) {
    const char* leaf = n == 0 ? "one.txt" : n == 1 ? "two.txt" : "three.txt";
    write_whole_file(t.write("disk_" + std::to_string(n) + "/Rel/All/Resources/" + std::string(leaf) + ".zip", ""), "");
  }
  platform_set_test_drive(disc(0));
  ASSERT_EQ(UTIL_scan_dvd(), dvd_ready);
  struct row {
    const char* name;
    int want;        // history the pipeline needs
    int in_drive;    // disc folder in the drive, -1 none
    int accepted;
    int asks_for;    // UTIL_switch_disk's disc
  } rows[] = {
      {"the right disc already in", 0, 0, 1, 0},
      {"entry on the third disc", 2, 0, 0, 2},
      {"the second disc in, the third wanted", 2, 1, 0, 2},
      {"the third disc in", 2, 2, 1, 2},
      {"no disc", 1, -1, 0, 1},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    want_file_disk = r.want;
    current_disk = -1;
    platform_set_test_drive(r.in_drive < 0 ? t.path() + "absent/" : disc(r.in_drive));
    EXPECT_EQ(UTIL_verify_disk(), r.accepted);
    if (r.accepted) {
      EXPECT_EQ(current_disk, r.asks_for);
    }
    EXPECT_EQ(UTIL_switch_disk(1), r.asks_for);
    EXPECT_TRUE(dvd_path.empty());
    // The ejected disc is out of the drive: nothing is accepted until a disc goes in.
    EXPECT_EQ(UTIL_verify_disk(), 0);
  }
}

// The test drive as a changer over the builder's disc masters: each eject puts the next in.
TEST_F(DiscDrive, ChangerPutsTheNextDiscInOnEject) {
  write_first_disc(disc(0), identity, directory);
  make_folders(disc(1) + "Rel/");
  platform_set_test_drive(t.path());
  EXPECT_EQ(platform_test_drive_disc(), disc(0));
  ASSERT_EQ(UTIL_scan_dvd(), dvd_ready);
  EXPECT_EQ(dvd_path, disc(0));
  UTIL_switch_disk(1);
  EXPECT_EQ(platform_test_drive_disc(), disc(1));
  want_file_disk = 1;
  EXPECT_EQ(UTIL_verify_disk(), 0);  // disc 1 holds no archive for "two.txt" here
  EXPECT_EQ(dvd_path, disc(1));      // but it is found by its release folder
  UTIL_switch_disk(1);
  EXPECT_EQ(platform_test_drive_disc(), disc(0));
}

}  // namespace

namespace {

// The disk report's extra need: the archives that may wait in the staging folder at once (all
// of them, or the byte bound, but never less than the largest) and 4 KB per folder to make.
TEST(DiscSpace, ExtraNeedCountsWaitingArchivesAndNewFolders) {
  temp_tree t;
  reset_model();
  dest_dir_path = t.path() + "inst/";
  make_folders(dest_dir_path + "Existing/");
  add_history("All/Existing/a.dat", {sig("a")}, "NONE");
  add_history("All/New/Deeper/b.dat", {sig("b")}, "NONE");
  add_history("All/New/c.dat", {sig("c")}, "NONE");
  add_history("All/Skipped/d.dat", {sig("d")}, "NONE");
  const float zip_kb[] = {100, 300, 200, 5000};
  for (size_t h = 0; h < sim_info.size(); ++h) {
    sim_info[h].back().zip_size = zip_kb[h];
    sim_info[h].back().do_install = h != 3;
  }
  const int64_t saved = disc_queue_byte_limit;
  struct row {
    int64_t limit;
    float kb;
  } rows[] = {{int64_t(1) << 30, 600 + 2 * 4}, {250000, 300 + 2 * 4}, {1, 300 + 2 * 4}};
  for (const row& r : rows) {
    disc_queue_byte_limit = r.limit;
    EXPECT_FLOAT_EQ(disc_install_extra_kb(), r.kb) << r.limit;
  }
  disc_queue_byte_limit = saved;
}

}  // namespace
