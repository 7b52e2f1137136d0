// The disk-space report and the page texts of sizes, times and rates: the unit words go through
// the translation table with the language's plural rule, odd inputs (a time left that is
// infinite because nothing has arrived yet) never print garbage, and the report's status line
// always agrees with the answer that enables Next.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cmath>
#include <limits>

#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "page_calls_double.h"
#include "support/temp_tree.h"
#include "wizard/disk_space_report.h"
#include "wizard/web_update_flow.h"
#include "wizard/wizard_driver.h"

namespace {

void speak_french() {
  page_double::now().zero_takes_plural = false;
  page_double::now().table = {
      {"%1:seconds% second", "%1:seconds% seconde"},
      {"%1:seconds% seconds", "%1:seconds% secondes"},
      {"%1:rate% kilobyte/second", "%1:rate% kilo-octet/seconde"},
      {"%1:rate% kilobytes/second", "%1:rate% kilo-octets/seconde"},
  };
}

TEST(DisplayFormats, TimesPickTheirUnitAndForm) {
  page_double::install(true);
  const float inf = std::numeric_limits<float>::infinity();
  struct row {
    float seconds;
    const char* text;
  } rows[] = {
      {0, "0 seconds"},       {1, "1 second"},         {1.9f, "1 second"},
      {119.9f, "119 seconds"}, {120, "2 minutes"},     {179, "2 minutes"},
      {7199, "119 minutes"},  {7200, "2 hours"},       {3600.0f * 1e6f, "1000000 hours"},
      {-5, "0 seconds"},      {inf, "unknown"},        {-inf, "unknown"},
      {std::nanf(""), "unknown"}, {1e30f, "2147483647 hours"},
  };
  for (const row& r : rows) EXPECT_EQ(time_str(r.seconds), r.text) << r.seconds;
}

TEST(DisplayFormats, RatesFollowTheLanguagesRuleForZero) {
  page_double::install(true);
  EXPECT_EQ(rate_str(0.5f), "0 kilobytes/second");
  EXPECT_EQ(rate_str(1), "1 kilobyte/second");
  EXPECT_EQ(rate_str(2.7f), "2 kilobytes/second");
  EXPECT_EQ(rate_str(std::numeric_limits<float>::infinity()), "unknown");
  speak_french();
  EXPECT_EQ(rate_str(0.5f), "0 kilo-octet/seconde");
  EXPECT_EQ(rate_str(1), "1 kilo-octet/seconde");
  EXPECT_EQ(rate_str(2), "2 kilo-octets/seconde");
  EXPECT_EQ(time_str(0.2f), "0 seconde");
}

TEST(DisplayFormats, SizesStepFromKilobytesToMegabytesToGigabytes) {
  struct row {
    float kb;
    const char* text;
  } rows[] = {
      {0, "0 KB"},          {1024, "1024 KB"},        {1025, "1 MB"},
      {1024000, "1000 MB"}, {1024001, "1.0 GB"},      {1048000, "1.0 GB"},
      {1572864, "1.5 GB"},
  };
  for (const row& r : rows) EXPECT_EQ(size_string(r.kb), r.text) << r.kb;
  EXPECT_EQ(int_str(-42), "-42");
  EXPECT_EQ(flt_str("%.2f", 1.5f), "1.50");
}

// The report on a volume of known size: a tmpfs of 10 MB.
class DiskSpace : public ::testing::Test {
 protected:
  void SetUp() override {
    page_double::install(true);
    if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    volume = work.path() + "volume/";
    make_folders(volume);
    if (mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=10m") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
    mounted = true;
    struct statvfs s;
    ASSERT_EQ(statvfs(volume.c_str(), &s), 0);
    free_kb = static_cast<float>(static_cast<uint64_t>(s.f_bavail) * s.f_frsize / 1000);
    total_kb = static_cast<float>(static_cast<uint64_t>(s.f_blocks) * s.f_frsize / 1000);
  }
  void TearDown() override {
    if (mounted) umount2(volume.c_str(), MNT_DETACH);
    dest_dir_path.clear();
  }
  temp_tree work;
  std::string volume;
  bool mounted = false;
  float free_kb = 0, total_kb = 0;
};

TEST_F(DiskSpace, StatusLineAndAnswerAgreeAroundTheFreeSpace) {
  ASSERT_EQ(free_kb, 10485.0f);  // 10 MiB in KB of 1000 bytes
  // The destination is not made yet: the volume is asked at the folder that holds it.
  dest_dir_path = volume + "Skyrill 9/";
  struct row {
    float need;
    int enough;
  } rows[] = {{free_kb - 1, 1}, {free_kb, 1}, {free_kb + 1, 0}, {0, 1}};
  for (const row& r : rows) {
    page_double::new_frame();
    stg.install_total = r.need;
    EXPECT_EQ(UTIL_disk_space("ENOUGH", "SHORT"), r.enough) << r.need;
    ASSERT_EQ(page_double::now().texts.size(), 1u);
    const page_double::drawn_text& t = page_double::now().texts[0];
    EXPECT_EQ(t.colour, 45);
    EXPECT_EQ(t.x, 220);
    EXPECT_EQ(t.y, 130);
    EXPECT_EQ(t.width, 560);
    const std::string expected = "Disk size: " + size_string(total_kb) + "\nFree disk space: " +
                                 size_string(free_kb) + "\nDisk space needed to install: " +
                                 size_string(r.need) + "\n\n" + (r.enough ? "ENOUGH" : "SHORT");
    EXPECT_EQ(t.text, expected);
  }
}

// The release directory keeps sizes in whole KB, cut down: an update of files of a few hundred
// bytes each records 0 KB, yet downloads and writes them. The disk-space page shows and checks
// each file at up to one KB more than its record, so it never reads "0 KB" for files it fetches
// and never counts the space short.
TEST_F(DiskSpace, FilesRecordedAsZeroKilobytesAreNotShownAsNothing) {
  dest_dir_path = volume;
  install_name = "Skyrill 9.10r1";
  struct row {
    float download_kb, install_kb;
    int files;
    const char* shown;
  } rows[] = {{0, 0, 1, "1 KB"}, {0, 0, 4, "4 KB"}, {12, 20, 2, "14 KB"}, {2047, 4000, 3, "2 MB"}};
  for (const row& r : rows) {
    page_double::new_frame();
    reset_installer_state();
    stg.download_total = r.download_kb;
    stg.install_total = r.install_kb;
    stg.install_count = r.files;
    wizard_screen page;
    EXPECT_EQ(net_check_disk(1, page), 0) << r.shown;
    EXPECT_EQ(page.text, std::string("You are about to download ") + r.shown +
                             " of compressed data to update to Skyrill 9.10r1.");
    ASSERT_EQ(page_double::now().texts.size(), 1u);
    EXPECT_NE(page_double::now().texts[0].text.find("Disk space needed to install: " +
                                                   size_string(r.install_kb + r.files)),
              std::string::npos)
        << page_double::now().texts[0].text;
  }
  // The space check counts the bound too: records that fit exactly, with two files, do not.
  page_double::new_frame();
  stg.install_total = free_kb - 1;
  stg.install_count = 2;
  EXPECT_EQ(UTIL_disk_space("ENOUGH", "SHORT"), 0);
  reset_installer_state();
}

TEST(DiskSpaceLookup, AVolumeThatCannotBeAskedDrawsNothingAndLetsTheInstallGoAhead) {
  page_double::install(true);
  dest_dir_path.clear();
  stg.install_total = 1e12f;
  EXPECT_EQ(UTIL_disk_space("ENOUGH", "SHORT"), 1);
  EXPECT_TRUE(page_double::now().texts.empty());
}

}  // namespace
