// Update builds (kind 0): the new directory carries every file's older versions from the
// previous release's directory, and a "GONE" record for each file the release no longer holds.
// The previous directories are written here by hand, so the builder is not only checked
// against itself; the whole new directory is compared line by line and read back by the
// installer's own reader.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "install/install_model.h"
#include "install/release_builder.h"
#include "install/release_directory.h"
#include "runtime/shell_services.h"
#include "support/process.h"
#include "support/release_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

const std::string s1 = "11111111111111111111111111111111";
const std::string a1 = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
const std::string g1 = "99999999999999999999999999999999";
const std::string t1 = "77777777777777777777777777777777";
const std::string p1 = "55555555555555555555555555555555";
const std::string d1 = "dddddddddddddddddddddddddddddddd";

class UpdateBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    shell_double::reset();
    shell_double::reopen_log();
    src = tree.path() + "src/";
    write_release_source(src, {{"All/Resources/ReadMe.txt", "read me, release two\n"},
                               {"All/Resources/same.txt", "unchanged\n"},
                               {"All/Resources/tool.bin", "tool, now for every platform\n"},
                               {"All/Resources/plugins/OSTREL.shlb", "mac plug-in\n"}});
    builder_set_source_root(src);
    dst_fold_base = tree.path() + "masters/";
    make_folders(dst_fold_base);
    old_dir_path = tree.path() + "previous directory.txt";
  }
  void TearDown() override {
    builder_set_source_root("/Skyrill 9.00/");
    old_dir_path = "/directory.txt";
  }

  std::string release() const { return dst_fold_base + "disk_0/Skyrill 9.10r1/"; }
  // The record the builder must write for a file of this release.
  std::string new_record(const std::string& path, int platform) const {
    struct stat st;
    EXPECT_EQ(stat((release() + path + ".zip").c_str(), &st), 0) << path;
    const long long zip_kb = st.st_size / 1000;
    EXPECT_EQ(stat((src + path).c_str(), &st), 0) << path;
    return "FILE 0 " + std::to_string(platform) + " 91001 " + std::to_string(zip_kb) + " " +
           std::to_string(st.st_size / 1000) + " " + md5sum_of(src + path) + " " +
           path.substr(path.rfind('/') + 1) + "\n";
  }

  temp_tree tree;
  std::string src;
};

TEST_F(UpdateBuild, CarriesHistoriesAndMarksRemovedFilesGone) {
  const std::string s2 = md5sum_of(src + "All/Resources/ReadMe.txt");
  const std::string same = md5sum_of(src + "All/Resources/same.txt");
  write_whole_file(old_dir_path,
                   "I\n900 version\nINSTALLER\n\n"
                   "\nDIR All/Resources/\n"
                   "FILE 0 0 90001 1 2 " + s1 + " readme.txt\n"
                   "FILE 0 0 90501 1 2 " + s2 + " readme.txt\n"
                   "FILE 0 0 90501 0 0 " + same + " same.txt\n"
                   "FILE 0 0 90501 1 1 " + a1 + " absent.txt\n"
                   "FILE 0 0 90001 1 1 " + g1 + " long gone.txt\n"
                   "FILE 0 0 90501 0 0 GONE long gone.txt\n"
                   "\nDIR Macintosh/Resources/\n"
                   "FILE 0 1 90501 3 4 " + t1 + " tool.bin\n"
                   "\nDIR Macintosh/Resources/plugins/\n"
                   "FILE 0 1 90501 5 6 " + p1 + " OSTREL.shlb\n"
                   "\nDIR All/Global Scenery/-global terrain-/+40-120/\n"
                   "FILE 0 0 90501 7 8 " + d1 + " +45-118.dsf\n");
  ASSERT_EQ(build_install(), 0);
  ASSERT_EQ(shell_double::alerts().size(), 1u);
  EXPECT_EQ(shell_double::alerts()[0].type, t_alert);

  auto unzipped = run_process({"unzip", "-p", release() + "directory.txt.zip", "directory.txt"});
  ASSERT_EQ(unzipped.exit_code, 0);
  const std::string want =
      "I\n900 version\nINSTALLER\n\n"
      "\nDIR All/Resources/menus/English/\n" +
      new_record("All/Resources/menus/English/Skyrill.txt", 0) +
      // A plug-in that moved into All keeps its history: both places give platform 1.
      "\nDIR All/Resources/plugins/\n"
      "FILE 0 1 90501 5 6 " + p1 + " OSTREL.shlb\n" +
      new_record("All/Resources/plugins/OSTREL.shlb", 1) +
      // Only the case of the name changed: the history goes on under the new name, and the
      // old version with the same contents as the new one is left out.
      "\nDIR All/Resources/\n"
      "FILE 0 0 90001 1 2 " + s1 + " ReadMe.txt\n" +
      new_record("All/Resources/ReadMe.txt", 0) + new_record("All/Resources/same.txt", 0) +
      "\nDIR All/Resources/text/English/\n" +
      new_record("All/Resources/text/English/Skyrill.txt", 0) +
      "\nDIR All/Resources/\n" + new_record("All/Resources/tool.bin", 0) +
      // Files this release no longer holds, after every new file, in the previous order.
      "FILE 0 0 90501 1 1 " + a1 + " absent.txt\n"
      "FILE 0 0 91001 0 0 GONE absent.txt\n"
      "FILE 0 0 90001 1 1 " + g1 + " long gone.txt\n"
      "FILE 0 0 90501 0 0 GONE long gone.txt\n"
      // Platform 1 and platform 0 are different files: the Macintosh one is removed.
      "\nDIR Macintosh/Resources/\n"
      "FILE 0 1 90501 3 4 " + t1 + " tool.bin\n"
      "FILE 0 1 91001 0 0 GONE tool.bin\n";
  // The main world's terrain is not part of an update build and is never marked gone by one.
  EXPECT_EQ(unzipped.out, want);

  // The installer's reader takes back exactly what was written, one history per path run.
  const std::string written = tree.path() + "written directory.txt";
  write_whole_file(written, unzipped.out);
  ASSERT_EQ(read_directory(written, ""), directory_read_ok);
  std::string read_back, folder;
  for (const auto& history : sim_info) {
    for (const auto& v : history) {
      const std::string dir = v.path.substr(0, v.path.rfind('/') + 1);
      if (dir != folder) read_back += "\nDIR " + dir + "\n";
      folder = dir;
      read_back += "FILE 0 " + std::to_string(v.platform) + " " + std::to_string(v.version) +
                   " " + std::to_string(static_cast<long long>(v.zip_size)) + " " +
                   std::to_string(static_cast<long long>(v.unz_size)) + " " + v.sig_want + " " +
                   v.path.substr(dir.size()) + "\n";
    }
  }
  EXPECT_EQ("I\n900 version\nINSTALLER\n\n" + read_back, want);
  EXPECT_EQ(sim_info.size(), 9u);
}

TEST_F(UpdateBuild, RefusesPreviousDirectoriesItCannotExtend) {
  struct row {
    const char* name;
    std::string body;  // records after the header; "" for no file at all
    std::vector<std::string> lines;
  };
  const row rows[] = {
      {"missing previous directory", "", {"I could not read the old directory!"}},
      {"a path listed twice",
       "\nDIR All/Resources/\nFILE 0 0 90501 0 0 " + s1 + " a.txt\n"
       "FILE 0 0 90501 0 0 " + a1 + " b.txt\n"
       "FILE 0 0 90501 0 0 " + g1 + " A.txt\n",
       {"WARNING: you appear to have a file TWICE in an old directory file.", "", "",
        "All/Resources/A.txt"}},
      {"this build's release number already used",
       "\nDIR All/Resources/\nFILE 0 0 90501 0 0 " + s1 + " a.txt\n"
       "FILE 0 0 91001 0 0 " + a1 + " a.txt\n",
       {"You idiot! I already have a version:", "version_number 91001.000000", "in file ",
        "All/Resources/a.txt"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    shell_double::reset();
    unlink(old_dir_path.c_str());
    if (!r.body.empty()) write_whole_file(old_dir_path, "I\n900 version\nINSTALLER\n\n" + r.body);
    EXPECT_EQ(build_install(), 1);
    auto alerts = shell_double::alerts();
    ASSERT_FALSE(alerts.empty());
    const auto& a = alerts.back();
    EXPECT_EQ(a.type, t_exit);
    for (size_t i = 0; i < r.lines.size(); ++i) EXPECT_EQ(a.lines[i], r.lines[i]);
    // Nothing is written before the previous directory is known to be sound.
    EXPECT_FALSE(path_exists(dst_fold_base + "disk_0"));
  }
}

}  // namespace
