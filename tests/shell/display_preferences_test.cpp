// The display preference file's keys, read into and written from the window record.
#include "shell/display_preferences.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "files/house_writer.h"
#include "files/preferences.h"
#include "runtime/command_line.h"
#include "runtime/shell_records.h"
#include "support/temp_tree.h"

namespace {

// A fresh install root as the current folder, the keys bound as start-up binds them, and an
// empty command line.
class DisplayPreferences : public ::testing::Test {
 protected:
  void SetUp() override {
    pref_bind_display_io(shell_display_preferences_io);
    cmdline.clear();
  }
  void TearDown() override {
    cmdline.clear();
    pref_bind_display_io(nullptr);
  }

  temp_tree root_;
  current_folder_guard in_root_{root_.path()};
};

TEST_F(DisplayPreferences, ReadAndWrittenThroughTheWindowRecord) {
  make_folders(root_.path() + "Resources/preferences/");
  const std::string path = root_.path() + "Resources/preferences/Res Nimbrel.prf";
  struct row {
    const char* body;
    int width, height;
  } rows[] = {
      {"_x_res_req_PLN 1600\n", 1024, 768},  // no ALL pair yet in this run: 0 and 0
      {"_x_res_req_ALL 599\n_y_res_req_ALL 600\n", 1024, 600},
      {"_x_res_req_ALL 9999\n_y_res_req_ALL 10000\n", 9999, 768},
  };
  for (const row& r : rows) {
    write_whole_file(path, std::string("I\n9002 version\n") + r.body);
    mnw.req_width = 800;
    mnw.req_height = 600;
    pref.IO_set(10, 0);
    EXPECT_EQ(mnw.req_width, r.width) << r.body;
    EXPECT_EQ(mnw.req_height, r.height) << r.body;
  }

  write_whole_file(path,
                   "I\n9002 version\n_x_res_req_PLN 1600\n_y_res_req_PLN 1200\n_x_res_req_WRL 1280\n"
                   "_y_res_req_WRL 1024\n_x_res_req_ALL 1920\n_y_res_req_ALL 1080\n_col_res_req 16\n"
                   "_set_res 1\n_lang 2\n_alias_req 4\n_keylist_up 1\n_sec_mon_inuse 1\n"
                   "_prefs_found 0\n");
  pref.IO_set(10, 0);
  EXPECT_EQ(mnw.req_width, 1920);
  EXPECT_EQ(mnw.req_height, 1080);
  EXPECT_EQ(mnw.req_depth, 16);
  EXPECT_EQ(mnw.set_res, 1);
  EXPECT_EQ(mnw.language, 2);
  EXPECT_EQ(mnw.aa_level_wanted, 4);
  EXPECT_EQ(mnw.key_list, 1);
  EXPECT_EQ(mnw.second_monitor, 1);
  EXPECT_EQ(mnw.display_prefs_found, 0);

  const char* args[] = {"skyrill", "--pref:_lang=1"};
  cmdline.parse_unix(2, args);
  mnw.req_width = 1280;
  pref.IO_set(10, 1);
  EXPECT_EQ(mnw.display_prefs_found, 1);
  EXPECT_EQ(read_whole_file(path),
            "I\n9002 version\n_x_res_req_PLN 1600\n_y_res_req_PLN 1200\n_x_res_req_WRL 1280\n"
            "_y_res_req_WRL 1024\n_x_res_req_ALL 1280\n_y_res_req_ALL 1080\n_col_res_req 16\n"
            "_set_res 1\n_lang 2\n_alias_req 4\n_keylist_up 1\n_sec_mon_inuse 1\n"
            "_prefs_found 1\n")
      << "carried pairs are written back; overrides only act while reading";
}

}  // namespace
