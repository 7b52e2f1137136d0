// The release directory reader on real files: a table of good and bad directories, the scenery
// helpers, and a directory written independently by a script.
#include "install/release_directory.h"

#include <gtest/gtest.h>

#include <sstream>

#include "install/install_model.h"
#include "install/installer_state.h"
#include "model_fixture.h"
#include "support/process.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "runtime/shell_services.h"

namespace {

const std::string header = "I\n900 version\nINSTALLER\n\n";
const std::string S1 = "0123456789abcdef0123456789abcdef";
const std::string S2 = "fedcba9876543210fedcba9876543210";

// One line per version: path|platform|version|zip|unz|sig|disk|global lat lon; histories split
// by "--".
std::string dump() {
  std::ostringstream o;
  for (const file_history_struct& h : sim_info) {
    for (const file_version_struct& v : h) {
      o << v.path << "|" << v.platform << "|" << v.version << "|" << v.zip_size << "|"
        << v.unz_size << "|" << v.sig_want << "|" << v.disk << "|";
      if (v.is_global) o << "G " << v.sector_lat << " " << v.sector_lon;
      o << "\n";
    }
    o << "--\n";
  }
  return o.str();
}

struct reader_row {
  const char* what;
  std::string text;
  int result;
  std::string model;  // expected dump when the result is 3
};

TEST(ReleaseDirectory, ReadsGoodFilesAndRefusesBadOnes) {
  const std::string F1 = "FILE 0 0 91001 12 34 " + S1 + " a.txt";
  const std::vector<reader_row> rows = {
      {"header 900", header + "DIR All/\n" + F1 + "\n", 3, "All/a.txt|0|91001|12|34|" + S1 + "|0|\n--\n"},
      {"header 840", "I\n840 version\nINSTALLER\n\nDIR All/\n" + F1 + "\n", 3,
       "All/a.txt|0|91001|12|34|" + S1 + "|0|\n--\n"},
      {"CR line ends", "I\r900 version\rINSTALLER\r\rDIR All/\r" + F1 + "\r", 3,
       "All/a.txt|0|91001|12|34|" + S1 + "|0|\n--\n"},
      {"CR LF line ends", "I\r\n900 version\r\nINSTALLER\r\n\r\nDIR All/\r\n" + F1 + "\r\n", 3,
       "All/a.txt|0|91001|12|34|" + S1 + "|0|\n--\n"},
      {"blanks, tabs, DIR with a tab, look-alike lines skipped",
       header + "  \tDIR\tAll/x/\nDIRECTORY Other/\nDIR\n \t" + F1 + "\n", 3,
       "All/x/a.txt|0|91001|12|34|" + S1 + "|0|\n--\n"},
      {"DISK applies to what follows",
       header + "DIR All/\nFILE 0 0 1 0 0 " + S1 + " one\nDISK 2\nFILE 0 0 1 0 0 " + S1 +
           " two\n",
       3, "All/one|0|1|0|0|" + S1 + "|0|\n--\nAll/two|0|1|0|0|" + S1 + "|2|\n--\n"},
      {"platforms are clamped",
       header + "DIR All/\nFILE 0 9 1 0 0 " + S1 + " nine\nFILE 0 -1 1 0 0 " + S1 + " neg\n", 3,
       "All/nine|6|1|0|0|" + S1 + "|0|\n--\nAll/neg|0|1|0|0|" + S1 + "|0|\n--\n"},
      {"names keep inner and trailing blanks",
       header + "DIR All/my folder/\nFILE 0 0 1 0 0 " + S1 + " a b.txt  \n", 3,
       "All/my folder/a b.txt  |0|1|0|0|" + S1 + "|0|\n--\n"},
      {"red terrain and orbit textures are dropped",
       header + "DIR All/\nFILE 0 0 1 0 0 " + S1 + " 900 red terrain x\nFILE 0 0 1 0 0 " + S1 +
           " Earth Orbit Textures.png\n",
       3, ""},
      {"history, gone and a path that comes back",
       header + "DIR All/\nFILE 0 0 90001 1 2 " + S1 + " h\nFILE 0 0 91001 3 4 " + S2 +
           " h\nFILE 0 0 91001 0 0 GONE h\nFILE 0 0 1 0 0 " + S1 + " other\nFILE 0 0 1 0 0 " +
           S2 + " h\n",
       3,
       "All/h|0|90001|1|2|" + S1 + "|0|\nAll/h|0|91001|3|4|" + S2 + "|0|\nAll/h|0|91001|0|0|GONE|0|\n--\n"
       "All/other|0|1|0|0|" + S1 + "|0|\n--\nAll/h|0|1|0|0|" + S2 + "|0|\n--\n"},
      {"tiles get their cell; non-tiles and out-of-range tiles are not global",
       header + "DIR All/Global Scenery/+40-120/\nFILE 0 0 1 0 0 " + S1 +
           " +45-118.DSF\nFILE 0 0 1 0 0 " + S1 + " readme.txt\nFILE 0 0 1 0 0 " + S1 +
           " abcdefg.dsf\nFILE 0 0 1 0 0 " + S1 + " +95+000.dsf\n",
       3,
       "All/Global Scenery/+40-120/+45-118.DSF|0|1|0|0|" + S1 + "|0|G 13 6\n--\n"
       "All/Global Scenery/+40-120/readme.txt|0|1|0|0|" + S1 + "|0|\n--\n"
       "All/Global Scenery/+40-120/abcdefg.dsf|0|1|0|0|" + S1 + "|0|\n--\n"
       "All/Global Scenery/+40-120/+95+000.dsf|0|1|0|0|" + S1 + "|0|\n--\n"},
      {"header only", header, 3, ""},
      {"version 901 is refused", "I\n901 version\nINSTALLER\n\n" + F1 + "\n", 2, ""},
      {"another keyword is refused", "I\n900 version\nSERVERS\n\n" + F1 + "\n", 2, ""},
      {"a line cut short", header + "DIR All/\nFILE 0 0 91001 12\n", 4, ""},
      {"a FILE without a name", header + "DIR All/\nFILE 0 0 1 0 0 " + S1 + "\n", 4, ""},
      {"a damaged number", header + "DIR All/\nFILE 0 0 9x001 1 1 " + S1 + " a\n", 4, ""},
      {"a damaged signature", header + "DIR All/\nFILE 0 0 1 1 1 XYZ a\n", 4, ""},
      {"a parent folder in DIR", header + "DIR All/../../../etc/\nFILE 0 0 1 1 1 " + S1 + " a\n", 4, ""},
      {"a parent folder in a name", header + "DIR All/\nFILE 0 0 1 1 1 " + S1 + " x/../../a\n", 4, ""},
      {"an absolute path", header + "DIR /etc/\nFILE 0 0 1 1 1 " + S1 + " passwd\n", 4, ""},
      {"a control character", header + "DIR All/\nFILE 0 0 1 1 1 " + S1 + " a\x01" "b\n", 4, ""},
  };
  temp_tree tree;
  for (const reader_row& r : rows) {
    reset_model();
    shell_double::reset();
    stg.install_total = 9;
    deleted_files.insert("/stale/");
    std::string path = tree.write("directory.txt", r.text);
    EXPECT_EQ(read_directory(path, "x"), r.result) << r.what;
    if (r.result == 3) {
      EXPECT_EQ(dump(), r.model) << r.what;
    } else {
      EXPECT_TRUE(sim_info.empty()) << r.what;
    }
    EXPECT_EQ(stg.install_total, 0) << r.what;
    EXPECT_TRUE(deleted_files.empty()) << r.what;
    bool newer = r.result == 2 && std::string(r.what).find("refused") != std::string::npos;
    EXPECT_EQ(stg.format_error, newer ? 2 : 0) << r.what;
    EXPECT_EQ(app_done, newer ? 1 : 0) << r.what;
  }
}

TEST(ReleaseDirectory, OfferedCellsAndKinds) {
  temp_tree tree;
  reset_model();
  std::string path = tree.write("directory.txt", header);
  ASSERT_EQ(read_directory(path, ""), 3);
  EXPECT_EQ(stg.has_scenery, 0);
  EXPECT_EQ(stg.has_sim, 0);
  int offered = 0;
  for (auto& lon : stg.sector_offered)
    for (int cell : lon) offered += cell;
  EXPECT_EQ(offered, 0);

  path = tree.write("directory.txt", header + "DIR All/Global Scenery/+40-120/\nFILE 0 0 1 0 0 " +
                                         S1 + " +45-118.dsf\nDIR All/\nFILE 0 0 1 0 0 " + S1 +
                                         " a\n");
  ASSERT_EQ(read_directory(path, ""), 3);
  EXPECT_EQ(stg.has_scenery, 1);
  EXPECT_EQ(stg.has_sim, 1);
  EXPECT_EQ(stg.sector_offered[6][13], 1);
}

TEST(ReleaseDirectory, MissingFileIsFatal) {
  temp_tree tree;
  reset_model();
  shell_double::reset();
  read_directory(tree.path() + "none.txt", "");
  auto alerts = shell_double::alerts();
  ASSERT_FALSE(alerts.empty());
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(alerts[0].lines[0], "I tried to read a directory file that does not exist!");
  EXPECT_EQ(alerts[0].lines[2], tree.path() + "none.txt");
}

TEST(ReleaseDirectory, RefusedHeaderShowsTheNewerFormatAlert) {
  temp_tree tree;
  reset_model();
  shell_double::reset();
  std::string path = tree.write("directory.txt", "I\n901 version\nINSTALLER\n");
  EXPECT_EQ(read_directory(path, ""), 2);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, 1);
  EXPECT_EQ(alerts[0].lines[3], path);
  ASSERT_EQ(shell_double::urls().size(), 1u);
}

TEST(ScenerySectors, TilesByFolderAndName) {
  struct row {
    const char* path;
    int global;
    int cell_ok, lat, lon;
  } rows[] = {
      {"All/Global Scenery/+40-120/+45-118.dsf", 1, 1, 13, 6},
      {"All/Global Scenery/+40-120/readme.txt", 0, 0, 0, 0},
      {"All/Global Scenery/+90+000/+95+000.dsf", 1, 0, 0, 0},
      {"All/Global Scenery/+40-120/+45-118.DSF", 1, 1, 13, 6},
      {"All/Resources/default scenery/DSF 820/-05-005.dsf", 1, 1, 8, 17},
      {"All/Custom Scenery/x/-/-global terrain-/-89-180.dsf", 1, 1, 0, 0},
      {"All/Global Scenery/x/abcdefg.dsf", 1, 0, 0, 0},
      {"All/Custom Scenery/+45-118.dsf", 0, 1, 13, 6},
      {".dsf", 0, 0, 0, 0},
  };
  for (const row& r : rows) {
    EXPECT_EQ(is_global_scenery_f(r.path), r.global) << r.path;
    int lon = -1, lat = -1;
    EXPECT_EQ(find_sector(&lon, &lat, r.path), r.cell_ok) << r.path;
    if (r.cell_ok) {
      EXPECT_EQ(lat, r.lat) << r.path;
      EXPECT_EQ(lon, r.lon) << r.path;
    }
  }
}

TEST(InstallPaths, TrimAndSafety) {
  std::string p = "All/Resources/a.txt";
  trim_dest_folder(p);
  EXPECT_EQ(p, "Resources/a.txt");
  p = "name";
  trim_dest_folder(p);
  EXPECT_EQ(p, "name");
  EXPECT_EQ(path_has_no_file("All/x/"), 1);
  EXPECT_EQ(path_has_no_file("All/x"), 0);
  for (const char* bad : {"", "/etc/x", "All//x", "All/./x", "All/../x", "All/x/..", "All\\x", "All/\tx"})
    EXPECT_FALSE(is_safe_release_path(bad)) << bad;
  for (const char* good : {"All/x", "All/a b/c..d/.hidden", "x", "All/x:y"})
    EXPECT_TRUE(is_safe_release_path(good)) << good;
}

// A directory written by a short independent script reads back to the records it wrote.
TEST(ReleaseDirectory, ScriptWrittenDirectoryReadsBack) {
  temp_tree tree;
  std::string script = R"PY(
import sys, hashlib
out = open(sys.argv[1], 'w')
out.write("I\n900 version\nINSTALLER\n\n")
expect = open(sys.argv[2], 'w')
for d in range(30):
    folder = "All/folder %d/" % d
    out.write("\nDIR " + folder + "\n")
    for f in range(20):
        sig = hashlib.md5(("%d-%d" % (d, f)).encode()).hexdigest()
        name = "file %d.dat" % f
        out.write("FILE 0 %d 91001 %d %d %s %s\n" % (f % 4, f * 3, f * 7, sig, name))
        expect.write("%s|%d|91001|%d|%d|%s|0|\n--\n" % (folder + name, f % 4, f * 3, f * 7, sig))
)PY";
  tree.write("gen.py", script);
  auto r = run_process({"python3", tree.path() + "gen.py", tree.path() + "directory.txt",
                        tree.path() + "expect.txt"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  reset_model();
  ASSERT_EQ(read_directory(tree.path() + "directory.txt", ""), 3);
  EXPECT_EQ(dump(), read_whole_file(tree.path() + "expect.txt"));
  EXPECT_EQ(sim_info.size(), 600u);
}

}  // namespace
