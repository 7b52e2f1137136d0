// The scenery scan over fixture packages made in a fresh application folder, and the library
// commands row by row.
#include "files/scenery_library.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "files/file_ops.h"
#include "runtime/shell_services.h"
#include "support/gray_images.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

class SceneryLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    shell_double::reset();
    shell_double::reopen_log();
    set_scenery_bitmap_loader(load_gray_image);
  }
  void TearDown() override { set_scenery_bitmap_loader(nullptr); }
  // A package folder with an optional library file (after the house header).
  void package(const std::string& folder, const std::string& library = "", bool has_library = true) {
    make_folders(root_.path() + folder);
    if (has_library) write_whole_file(root_.path() + folder + "library.txt", "I\n800 version\nLIBRARY\n\n" + library);
  }
  // The providers of a virtual path as "package:path:kind-and-weight" items.
  static std::vector<std::string> providers(const std::string& virtual_path) {
    std::vector<std::string> out;
    auto found = dsf_library.find(virtual_path);
    if (found == dsf_library.end()) return out;
    for (const lib_entry* e = found->second; e; e = e->next) {
      char flags[16];
      std::snprintf(flags, sizeof flags, "%08x", e->flags);
      out.push_back(std::to_string(e->package) + ":" + e->path + ":" + flags);
    }
    return out;
  }
  static int cells_set(const lib_region* r) {
    int n = 0;
    for (unsigned char c : r->cells) n += c != 0;
    return n;
  }

  temp_tree root_;
  current_folder_guard in_root_{root_.path()};
};

TEST_F(SceneryLibrary, PackagesInPriorityOrderWithTheirFlagsAndLogBlock) {
  package("Custom Scenery/A/", "", false);
  package("Custom Scenery/-global overlays-/", "", false);
  package("Custom Scenery/B/", "", false);
  package("Global Scenery/G/", "", false);
  package("Resources/default scenery/D/", "", false);
  DSF_ScanSceneryFolder();
  EXPECT_EQ(scenery_packages,
            (std::vector<std::string>{"Custom Scenery/A/", "Custom Scenery/B/", "Global Scenery/G/",
                                      "Custom Scenery/-global overlays-/", "Resources/default scenery/D/"}));
  EXPECT_EQ(package_is_custom, (std::vector<int>{1, 1, 0, 1, 0}));
  EXPECT_EQ(package_problems, (std::vector<int>{0, 0, 0, 0, 0}));
  EXPECT_NE(shell_double::log_text().find("I found the following scenery packages (prioritized in this order):\n"
                                          "  0 Custom Scenery/A/\n  1 Custom Scenery/B/\n  2 Global Scenery/G/\n"
                                          "  3 Custom Scenery/-global overlays-/\n  4 Resources/default scenery/D/\n\n"),
            std::string::npos)
      << shell_double::log_text();
  EXPECT_TRUE(shell_double::alerts().empty());
}

TEST_F(SceneryLibrary, CommandsOfALibraryFile) {
  struct row {
    const char* name;
    std::string library;
    std::string virtual_path;
    std::vector<std::string> want;  // providers
    std::string report;             // part of the logged report, "" for none
  } rows[] = {
      {"export", "EXPORT lib/a.obj objects/a b.obj  \n", "lib/a.obj", {"0:objects/a b.obj  :02000001"}, ""},
      {"extend", "EXPORT_EXTEND lib/a.obj x.obj\n", "lib/a.obj", {"0:x.obj:00000001"}, ""},
      {"exclude", "EXPORT_EXCLUDE lib/a.obj x.obj\n", "lib/a.obj", {"0:x.obj:01000001"}, ""},
      {"backup", "EXPORT_BACKUP lib/a.obj x.obj\n", "lib/a.obj", {"0:x.obj:04000001"}, ""},
      {"ratio", "EXPORT_RATIO 7 lib/a.obj x.obj\n", "lib/a.obj", {"0:x.obj:02000007"}, ""},
      {"ratio past 2^24", "EXPORT_RATIO 16777216 lib/a.obj x.obj\n", "lib/a.obj", {"0:x.obj:02000000"},
       "cannot have a ratio of more than 2^24 lib items for x.obj -> lib/a.obj."},
      {"negative ratio", "EXPORT_RATIO -1 lib/a.obj x.obj\n", "lib/a.obj", {"0:x.obj:02ffffff"}, "2^24"},
      {"a digit-less ratio stops at the letter", "EXPORT_RATIO 4x9 lib/a.obj x.obj\n", "lib/a.obj",
       {"0:x.obj:02000004"}, ""},
      {"a ratio past the int range saturates", "EXPORT_RATIO 99999999999999999999 lib/a.obj x.obj\n", "lib/a.obj",
       {"0:x.obj:02ffffff"}, "2^24"},
      {"not a command: a letter after the keyword", "EXPORTX lib/a.obj x.obj\nEXPORT\nEXPORT lib/b.obj y.obj\n",
       "lib/b.obj", {"0:y.obj:02000001"}, ""},
      {"backslashes become slashes", "EXPORT lib\\a.obj dir\\x.obj\n", "lib/a.obj", {"0:dir/x.obj:02000001"}, ""},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    remove_tree(root_.path() + "Custom Scenery/");
    shell_double::reset();
    shell_double::reopen_log();
    package("Custom Scenery/P/", r.library);
    DSF_ScanSceneryFolder();
    EXPECT_EQ(providers(r.virtual_path), r.want);
    const std::string log = shell_double::log_text();
    if (r.report.empty()) {
      EXPECT_EQ(log.find("***Error"), std::string::npos) << log;
    } else {
      EXPECT_NE(log.find(r.report), std::string::npos) << log;
    }
  }
}

TEST_F(SceneryLibrary, RegionsRectanglesAndTheirReports) {
  package("Custom Scenery/P/",
          "REGION_DEFINE all\nREGION_RECT -180 -90 179 89\n"
          "REGION_DEFINE bad\nREGION_RECT 10 50 5 60\n"
          "REGION_DEFINE all\nREGION_RECT 0 0 1 1\n"
          "REGION all\nEXPORT lib/r.obj r.obj\n");
  package("Custom Scenery/Q/", "REGION all\nEXPORT lib/q.obj q.obj\nREGION_DEFINE all\nREGION_RECT 0 0 0 0\n");
  DSF_ScanSceneryFolder();
  const std::string log = shell_double::log_text();
  EXPECT_NE(log.find("The boundaries to a REGION_RECT command are out of range: 190,140->185,150"), std::string::npos);
  EXPECT_NE(log.find("REGION_DEFINE all - region already defined.  Ignoring."), std::string::npos);
  EXPECT_NE(log.find("REGION_RECT command used but no region has been defined."), std::string::npos);
  EXPECT_NE(log.find("REGION all - region unknown.  Ingoring"), std::string::npos);
  ASSERT_EQ(providers("lib/r.obj").size(), 1u);
  const lib_region* all = dsf_library["lib/r.obj"]->region;
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(cells_set(all), 360 * 180);
  // Q's REGION named P's region, which is unknown there: its entry is valid everywhere.
  EXPECT_EQ(dsf_library["lib/q.obj"]->region, nullptr);
  // Q's own "all" is a new region, with its one cell.
  ASSERT_EQ(dsf_regions.count("all"), 1u);
  EXPECT_EQ(cells_set(dsf_regions["all"]), 1);
  // Errors of two packages: one alert each, every error logged.
  EXPECT_EQ(shell_double::alerts().size(), 2u);
  EXPECT_EQ(package_problems, (std::vector<int>{1, 1}));
}

// Image row 0 of a picture is its top, the north; the loader hands rows from the bottom, so
// latitude index y reads row y from the bottom.
TEST_F(SceneryLibrary, RegionBitmapsAsPngAndBmp) {
  std::vector<unsigned char> north(360 * 180, 0);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 360; ++x) north[static_cast<size_t>(y) * 360 + x] = 255;  // top half
  package("Custom Scenery/P/",
          "REGION_DEFINE png\nREGION_BITMAP north.png\nREGION_DEFINE bmp\nREGION_BITMAP north2.png\n"
          "REGION_DEFINE small\nREGION_BITMAP small.png\nREGION_DEFINE none\nREGION_BITMAP missing.png\n"
          "REGION_BITMAP orphan.png\n");
  ASSERT_TRUE(write_gray_png(root_.path() + "Custom Scenery/P/north.png", 360, 180, north));
  ASSERT_TRUE(write_gray_bmp(root_.path() + "Custom Scenery/P/north2.bmp", 360, 180, north));
  ASSERT_TRUE(write_gray_png(root_.path() + "Custom Scenery/P/small.png", 100, 100, std::vector<unsigned char>(10000, 1)));
  // The last REGION_BITMAP still has "none" being defined; a REGION_BITMAP before any
  // REGION_DEFINE is tested in the next package.
  package("Custom Scenery/Q/", "REGION_BITMAP north.png\n");
  DSF_ScanSceneryFolder();
  const std::string log = shell_double::log_text();
  EXPECT_NE(log.find("REGION_BITMAP with bitmap small.png has a size of 100, 100 but need sa size of 360x180."),
            std::string::npos);
  EXPECT_NE(log.find("Unable to load bitmap file 'missing.png' for REGION_BITMAP command - will skip."),
            std::string::npos);
  EXPECT_NE(log.find("REGION_BITMAP used with no region defined.  REGION_BITMAP will be ignored."), std::string::npos);

  // The regions of the last library file read are P's once Q is gone.
  remove_tree(root_.path() + "Custom Scenery/Q/");
  DSF_ScanSceneryFolder();
  for (const char* name : {"png", "bmp"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(dsf_regions.count(name), 1u);
    const lib_region* r = dsf_regions[name];
    EXPECT_EQ(cells_set(r), 360 * 90);
    EXPECT_EQ(r->cells[(11 + 180) * 180 + (47 + 90)], 1) << "47 N 11 E is in the northern half";
    EXPECT_EQ(r->cells[(-71 + 180) * 180 + (-33 + 90)], 0) << "33 S 71 W is not";
  }
}

TEST_F(SceneryLibrary, ProvidersKeepBackupsLastInReverseOrder) {
  package("Custom Scenery/A/", "EXPORT lib/x.obj a.obj\n");
  package("Custom Scenery/B/", "EXPORT_BACKUP lib/x.obj b.obj\n");
  package("Custom Scenery/C/", "EXPORT lib/x.obj c.obj\nEXPORT_BACKUP lib/x.obj c2.obj\n");
  DSF_ScanSceneryFolder();
  EXPECT_EQ(providers("lib/x.obj"),
            (std::vector<std::string>{"0:a.obj:02000001", "2:c.obj:02000001", "2:c2.obj:04000001",
                                      "1:b.obj:04000001"}));
}

TEST_F(SceneryLibrary, HeadersAndReportingRules) {
  package("Custom Scenery/A/", "", true);
  write_whole_file(root_.path() + "Custom Scenery/A/library.txt", "I\n800 version\nNOTLIBRARY\n");
  package("Custom Scenery/B/", "", true);
  write_whole_file(root_.path() + "Custom Scenery/B/library.txt", "");
  package("Custom Scenery/C/", "", false);
  // Two errors in one package: one alert, two log entries; and a virtual path far longer than
  // any fixed message buffer.
  const std::string long_path(5000, 'v');
  package("Global Scenery/G/", "REGION_RECT 1 1 1 1\nEXPORT_RATIO 16777216 " + long_path + " x.obj\n");
  DSF_ScanSceneryFolder();
  const std::string log = shell_double::log_text();
  EXPECT_NE(log.find("***Error with scenery file \"Custom Scenery/A/library.txt\""), std::string::npos);
  EXPECT_NE(log.find("***Error with scenery file \"Custom Scenery/B/library.txt\""), std::string::npos);
  EXPECT_NE(log.find("Incorrect version for scenery library file.  Will skip."), std::string::npos);
  EXPECT_NE(log.find("x.obj -> " + long_path + "."), std::string::npos) << "the message is kept whole";
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 3u);  // A, B and G once each; C has no library file
  EXPECT_EQ(alerts[2].lines[0], "Error loading the scenery package:");
  EXPECT_EQ(alerts[2].lines[1], "Global Scenery/G/");
  EXPECT_EQ(alerts[2].lines[3], "Please see the log.txt file for detailed error information.");

  // A scenery file outside every package is named itself; an empty name matches no package.
  shell_double::reset();
  __DSF_NonFatalError("here", 1, "", "%s", "x");
  __DSF_FatalError("here", 2, "Custom Scenery/A/x.dsf", "%s", "y");
  __DSF_FatalError("here", 3, "Global Scenery/G/y.dsf", "%s", "z");
  alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 3u);
  EXPECT_EQ(alerts[0].lines[1], "");
  EXPECT_EQ(alerts[1].type, t_exit);
  EXPECT_EQ(alerts[1].lines[2],
            "Skyrill cannot run with this package installed - you may need to remove the custom  scenery package.");
  EXPECT_EQ(alerts[2].lines[2], "Skyrill cannot run with this package installed - You may need to reinstall Skyrill.");
}

}  // namespace
