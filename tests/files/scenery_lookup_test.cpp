// Finding scenery resources: the library's provider walk and weighted choice, the folder
// searches, and tile names.
#include "files/scenery_lookup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "files/file_ops.h"
#include "files/scenery_library.h"
#include "runtime/random_table.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

class SceneryLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    shell_double::reset();
    shell_double::reopen_log();
  }
  void package(const std::string& folder, const std::string& library) {
    make_folders(root_.path() + folder);
    write_whole_file(root_.path() + folder + "library.txt", "I\n800 version\nLIBRARY\n\n" + library);
  }
  void file(const std::string& path) {
    make_folders(root_.path() + path.substr(0, path.rfind('/') + 1));
    write_whole_file(root_.path() + path, "x");
  }
  // A random number whose fraction lies in [from, to).
  static int random_in(float from, float to) {
    for (int i = 0; i < randrat_size; ++i)
      if (randrat[i] >= from && randrat[i] < to) return i;
    return -1;
  }

  temp_tree root_;
  current_folder_guard in_root_{root_.path()};
};

TEST_F(SceneryLookup, TheProviderWalk) {
  struct row {
    const char* name;
    std::vector<std::pair<std::string, std::string>> packages;  // folder, library
    std::vector<std::string> want;                              // the Multiple list
  } rows[] = {
      {"two exports of one package end the walk before a later package",
       {{"Custom Scenery/A/", "EXPORT v a1\nEXPORT v a2\n"}, {"Custom Scenery/B/", "EXPORT v b\n"}},
       {"Custom Scenery/A/a1", "Custom Scenery/A/a2"}},
      {"an extend lets the next package in",
       {{"Custom Scenery/A/", "EXPORT_EXTEND v a\n"}, {"Custom Scenery/B/", "EXPORT v b\n"}},
       {"Custom Scenery/A/a", "Custom Scenery/B/b"}},
      {"an exclude ends the walk and counts",
       {{"Custom Scenery/A/", "EXPORT_EXCLUDE v a\n"}, {"Custom Scenery/B/", "EXPORT v b\n"}},
       {"Custom Scenery/A/a"}},
      {"weights 1 and 3", {{"Custom Scenery/A/", "EXPORT_EXTEND v a\nEXPORT_RATIO 3 v b\n"}},
       {"Custom Scenery/A/a", "Custom Scenery/A/b", "Custom Scenery/A/b", "Custom Scenery/A/b"}},
      {"weight 0 alone gives nothing", {{"Custom Scenery/A/", "EXPORT_RATIO 0 v a\n"}}, {}},
      {"a backup comes after the exports of later packages",
       {{"Custom Scenery/A/", "EXPORT_BACKUP v a\n"}, {"Custom Scenery/B/", "EXPORT_EXTEND v b\n"}},
       {"Custom Scenery/B/b", "Custom Scenery/A/a"}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    remove_tree(root_.path() + "Custom Scenery/");
    for (const auto& p : r.packages) package(p.first, p.second);
    DSF_ScanSceneryFolder();
    std::vector<std::string> out;
    EXPECT_EQ(DSF_LookupLibraryResourceMultiple(0, 0, "v", out), !r.want.empty());
    EXPECT_EQ(out, r.want);
    std::string path = "v";
    EXPECT_EQ(DSF_LookupLibraryResource(0, 0, path, 0), !r.want.empty());
  }
}

TEST_F(SceneryLookup, WeightedChoiceAndRegions) {
  package("Custom Scenery/A/",
          "EXPORT_EXTEND v a\nEXPORT_RATIO 3 v b\n"
          "REGION_DEFINE north\nREGION_RECT -180 0 179 89\nREGION north\nEXPORT r n\n");
  DSF_ScanSceneryFolder();
  // Total 4: a fraction below 1/4 picks the first (weight 1), any other the second.
  const int low = random_in(0.0f, 0.24f), high = random_in(0.3f, 0.99f);
  ASSERT_GE(low, 0);
  ASSERT_GE(high, 0);
  std::string path = "v";
  ASSERT_TRUE(DSF_LookupLibraryResource(10, 10, path, low));
  EXPECT_EQ(path, "Custom Scenery/A/a");
  path = "v";
  ASSERT_TRUE(DSF_LookupLibraryResource(10, 10, path, high + 5 * randrat_size));  // taken modulo the table
  EXPECT_EQ(path, "Custom Scenery/A/b");

  path = "r";
  EXPECT_TRUE(DSF_LookupLibraryResource(11, 47, path, 0));
  EXPECT_EQ(path, "Custom Scenery/A/n");
  path = "r";
  EXPECT_FALSE(DSF_LookupLibraryResource(-71, -33, path, 0)) << "outside its region";
  EXPECT_EQ(path, "r");
  EXPECT_TRUE(DSF_LookupLibraryResourceAnywhere(path, 0));
  std::vector<std::string> out;
  EXPECT_FALSE(DSF_LookupLibraryResourceMultiple(-71, -33, "r", out));
  EXPECT_TRUE(DSF_LookupLibraryResourceAnywhereMultiple("r", out));
  EXPECT_EQ(out, (std::vector<std::string>{"Custom Scenery/A/n"}));
}

// A "Multiple" look-up lists each file once per unit of weight: with weights near 2^24 that
// would be tens of millions of strings. The list stays short and keeps the proportions.
TEST_F(SceneryLookup, HugeWeightsKeepTheMultipleListShort) {
  package("Custom Scenery/A/", "EXPORT_EXTEND v a\nEXPORT_RATIO 16777215 v b\nEXPORT_EXTEND v c\n");
  DSF_ScanSceneryFolder();
  std::vector<std::string> out;
  ASSERT_TRUE(DSF_LookupLibraryResourceMultiple(0, 0, "v", out));
  EXPECT_LE(out.size(), 10100u);
  size_t b = 0;
  for (const std::string& s : out) b += s == "Custom Scenery/A/b";
  EXPECT_GT(b, out.size() * 99 / 100);
  EXPECT_EQ(out.front(), "Custom Scenery/A/a") << "every provider keeps a line";
  EXPECT_EQ(out.back(), "Custom Scenery/A/c");
}

TEST_F(SceneryLookup, FolderSearchWithoutTheLibrary) {
  const std::string A = "Custom Scenery/A/";
  make_folders(root_.path() + A);
  std::string out = "stale";
  DSF_LocateResourceNoLib(1, "t.png", A, true, out);
  EXPECT_EQ(out, "");
  const std::string log = shell_double::log_text();
  size_t lines = 0;
  for (size_t at = log.find("Failed to find resource 't.png' at '"); at != std::string::npos;
       at = log.find("Failed to find resource 't.png' at '", at + 1))
    ++lines;
  EXPECT_EQ(lines, 15u);
  EXPECT_NE(log.find("Failed to find resource 't.png' at '" + A + "t.dds'\n"), std::string::npos);
  EXPECT_LT(log.find("at '" + A + "t.dds'"), log.find("at 'Resources/t.bmp'"));

  struct row {
    int kind;
    std::string existing;
    std::string want;
  } rows[] = {
      {0, "Resources/t.png", "Resources/t.png"},
      {1, A + "custom object textures/t.bmp", A + "custom object textures/t.bmp"},
      {2, "Resources/bitmaps/terrain/t.png", "Resources/bitmaps/terrain/t.png"},
      {5, "Resources/objects/t.png", "Resources/objects/t.png"},
      {5, A + "custom objects/t.png", A + "custom objects/t.png"},
      {9, "Resources/t.png", ""},  // other kinds look in the folder only
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.existing);
    remove_tree(root_.path() + "Resources/");
    remove_tree(root_.path() + "Custom Scenery/");
    make_folders(root_.path() + A);
    file(r.existing);
    DSF_LocateResourceNoLib(r.kind, "t.png", A, false, out);
    EXPECT_EQ(out, r.want);
  }
}

TEST_F(SceneryLookup, FolderSearchFromAReferringFile) {
  const std::string parent = "Custom Scenery/A/objects/";
  struct row {
    int kind, parent_kind;
    std::string existing;
    std::string want;
  } rows[] = {
      {1, 2, "Custom Scenery/A/custom terrain textures/t.dds", "Custom Scenery/A/custom terrain textures/t.dds"},
      {1, 3, "Custom Scenery/A/custom terrain textures/t.dds", ""},
      {1, 3, "Custom Scenery/A/custom object textures/t.png", "Custom Scenery/A/custom object textures/t.png"},
      {4, 0, "Custom Scenery/A/custom objects/t.png", "Custom Scenery/A/custom objects/t.png"},
      {0, 0, parent + "t.png", parent + "t.png"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.existing);
    remove_tree(root_.path() + "Custom Scenery/");
    file(r.existing);
    std::string out;
    DSF_LocateResourceSecondary(r.kind, r.parent_kind, parent, "t.png", false, out);
    EXPECT_EQ(out, r.want);
  }
  EXPECT_EQ(extract_package("Custom Scenery/A/objects/x.obj"), "Custom Scenery/A/");
  EXPECT_EQ(extract_package("Global Scenery/G:x"), "Global Scenery/G:");
  EXPECT_EQ(extract_package("Custom Scenery/A"), "");
  EXPECT_EQ(extract_package("Aircraft/x.acf"), "");
  EXPECT_EQ(extract_package(""), "");
}

TEST(SceneryTileNames, EveryLatitudeAndLongitude) {
  struct row {
    int lat, lon;
    const char* want;
  } rows[] = {
      {47, 11, "+40+010/+47+011.dsf"},   {-33, -71, "-40-080/-33-071.dsf"}, {0, 0, "+00+000/+00+000.dsf"},
      {-1, -1, "-10-010/-01-001.dsf"},   {-90, -180, "-90-180/-90-180.dsf"}, {89, 179, "+80+170/+89+179.dsf"},
      {-10, -10, "-10-010/-10-010.dsf"}, {90, 180, "+80-180/+89-180.dsf"},   {-95, 185, "-90-180/-90-175.dsf"},
  };
  for (const row& r : rows) {
    std::string out;
    return_latlon_str_dsf(r.lat, r.lon, &out);
    EXPECT_EQ(out, r.want) << r.lat << " " << r.lon;
  }
}

}  // namespace
