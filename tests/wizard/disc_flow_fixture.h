// The scenery and repair flows' test bench: a release with global-scenery tiles in a few cells
// built by our release builder into disc folders ("disk_0" ...) that stand in the test drive, an
// installation of it made with the disc pipeline and registered, and the wizard driven frame by
// frame through its page calls with clicks injected into the window record.
//
// run_install_step() plays the install step's engine calls directly: it makes the installation
// the flows start from, and checks the flows' decisions apart from the screens that run them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "files/archive_fixtures.h"
#include "files/file_ops.h"
#include "install/disc_drive.h"
#include "install/disc_pipeline.h"
#include "install/file_decisions.h"
#include "install/folder_cleanup.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/modified_file_question.h"
#include "install/wizard_globals.h"
#include "platform/volumes.h"
#include "runtime/constants.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "support/modified_file_question_double.h"
#include "support/process.h"
#include "support/release_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "support/wizard_flow_driver.h"
#include "wizard/disc_screens.h"
#include "wizard/install_registry.h"
#include "wizard/page_calls.h"
#include "wizard/wizard_driver.h"
#include "wizard/world_map.h"

namespace disc_bench {

const std::string tiles = "All/Global Scenery/Skyrill Scenery/Earth nav data/";
// Tiles and their cells [longitude band, latitude band].
struct tile {
  std::string path;
  int lon, lat;
};
inline const std::vector<tile>& release_tiles() {
  static const std::vector<tile> t = {
      {tiles + "+40-120/+44-118.dsf", 6, 13},  {tiles + "+40-120/+45-117.dsf", 6, 13},
      {tiles + "+50+000/+51+005.dsf", 18, 14}, {tiles + "-40+170/-34+172.dsf", 35, 5},
      {tiles + "-90-180/-90-180.dsf", 0, 0},
  };
  return t;
}

inline std::vector<release_source_file> release_files() {
  std::vector<release_source_file> files = {
      {"All/Aircraft/c4 trainer/c4.acf", noise(20000, 1)},
      {"All/Instructions/readme.txt", "Read me first.\n"},
      {"All/Resources/data.dat", noise(9000, 3)},
      {"All/Resources/settings.txt", "as shipped\n"},
      {"Linux/skyrill", "#!/bin/sh\necho skyrill\n", 0755},
  };
  unsigned seed = 20;
  for (const tile& t : release_tiles()) files.push_back({t.path, noise(6000, seed++)});
  return files;
}

// The release in disc folders, each tile shipped as a prepared 7z archive.
struct discs {
  std::string source, masters;
  std::vector<release_source_file> files;
};

inline discs build_discs(const std::string& root) {
  discs d;
  d.source = root + "src/";
  d.masters = root + "masters/";
  d.files = release_files();
  write_release_source(d.source, d.files);
  for (const tile& t : release_tiles()) {
    const std::string path = d.source + t.path;
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    const std::string leaf = path.substr(folder.size());
    process_result z = run_process({seven_zip_tool(), "a", "-bd", "-y", "--", leaf + ".7z", leaf}, "", {}, folder);
    EXPECT_EQ(z.exit_code, 0) << z.out << z.err;
  }
  release_build b = run_release_builder(d.source, d.masters, "", release_current);
  EXPECT_EQ(b.exit_code, 0) << b.output;
  return d;
}

// The installation's file of a release path.
inline std::string installed(const std::string& release_path) {
  return dest_dir_path + release_path.substr(release_path.find('/') + 1);
}

// Writes a file, making its folders.
inline void put(const std::string& path, const std::string& content) {
  make_folders(path.substr(0, path.rfind('/') + 1));
  write_whole_file(path, content);
}

// Every file below a folder with its MD5.
inline std::map<std::string, std::string> tree_md5(const std::string& folder) {
  std::map<std::string, std::string> out;
  for (auto& e : std::filesystem::recursive_directory_iterator(folder))
    if (e.is_regular_file()) out[e.path().string()] = md5sum_of(e.path().string());
  return out;
}

// The install step's engine calls, as the twins make them: decide every file, make the
// folders, delete, then copy and unpack until done.
inline int run_install_step() {
  if (!choose_files()) return 0;
  make_dirs();
  delete_files();
  EXPECT_EQ(begin_disc_install(), 0);
  int cursor = 0, r = 0;
  for (int i = 0; i < 200000; ++i) {
    r = install_files(cursor, current_disk);
    if (r == install_done || r == install_failed || r == install_other_disc) break;
    usleep(100);
  }
  leave_disc_install();
  return r;
}

// What the last frame drew of the page.
struct page_seen {
  std::string title, text, progress_text;
  std::vector<std::string> choices;
  std::vector<std::string> texts;
};
inline page_seen& seen() {
  static page_seen s;
  return s;
}
inline std::string& click_label() {
  static std::string s;
  return s;
}
inline int& abort_answer() {
  static int a = 3;
  return a;
}
inline std::vector<std::string>& abort_questions() {
  static std::vector<std::string> q;
  return q;
}

inline void rec_string(int, float x, float y, const std::string& text, float, int, int) {
  if (x == 500 && y == 480) seen().title = text;
  else if (x == 230 && y == 440) seen().text = text;
  else if (x == 242 && y == 120) seen().progress_text = text;
  seen().texts.push_back(text);
}
inline int rec_action(float, float, float, int, int, const std::string& label, const std::string&) {
  seen().choices.push_back(label);
  return label == click_label() ? 1 : 0;
}
using wizard_flow::subst;
inline int scripted_abort(std::string question, std::string, std::string, std::string, std::string) {
  abort_questions().push_back(question);
  return abort_answer();
}

// Bottom-bar points (English): Back and Next.
constexpr float back_x = 600, next_x = 700, bar_y = 20;

class Bench : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (seven_zip_tool().empty()) return;
    shared = new temp_tree;
    release = new discs(build_discs(shared->path()));
  }
  static void TearDownTestSuite() {
    delete release;
    delete shared;
    release = nullptr;
    shared = nullptr;
  }

  void SetUp() override {
    if (!shared) GTEST_SKIP() << "no 7z tool";
    sim_info.clear();
    std::memset(&stg, 0, sizeof stg);
    reset_installer_state();
    stg.download_os = 3;
    shell_double::reset();
    shell_double::reopen_log();
    question_double::reset();
    install_name = no_install_name;
    dvd_forget_disc();
    current_disk = 0;
    num_install_errors = 0;
    failed_deletes = 0;
    repair_is_running = 0;
    scenery_install_is_running = 0;
    app_done = 0;
    dest_dir_path = work.path() + "Skyrill 9/";
    temp_path = work.path() + "tmp/";
    make_folders(temp_path);
    setenv("XDG_CONFIG_HOME", (work.path() + "config").c_str(), 1);
    make_folders(work.path() + "config/");

    page_calls c;
    c.draw_string = rec_string;
    c.draw_text = [](int colour, float x, float y, const std::string& t, float w) {
      rec_string(colour, x, y, t, w, 0, -1);
    };
    c.action = rec_action;
    c.string_sub = subst;
    install_page_calls(c);
    set_abort_alert(scripted_abort);
    abort_answer() = 3;
    abort_questions().clear();
    click_label().clear();
    std::memset(&mnw, 0, sizeof mnw);
    mnw.screen_w = 800;
    mnw.screen_h = 600;
    wizard_driver_reset();
    scenery_flow_reset();
    repair_flow_reset();
  }
  void TearDown() override {
    wizard_cancel_work();
    checksum_directory_kill();
    leave_disc_install();
    install_page_calls(page_calls{});
    set_abort_alert(nullptr);
    platform_set_test_drive("");
    unsetenv("XDG_CONFIG_HOME");
    app_done = 0;
  }

  // The start screen's part: the disc in the drive and its directory read.
  void insert_disc() {
    platform_set_test_drive(release->masters + "disk_0/");
    ASSERT_EQ(UTIL_scan_dvd(), dvd_ready);
  }

  // An installation of every file that is not scenery and of the tiles of the given cells,
  // made by the disc pipeline, and registered.
  void install_copy(const std::vector<std::pair<int, int>>& cells) {
    insert_disc();
    set_install_filter(1, 1);
    int cursor = 0;
    float progress = 0;
    while (!checksum_directory(cursor, progress)) usleep(200);
    std::memset(stg.sector_want, 0, sizeof stg.sector_want);
    for (auto [lon, lat] : cells) stg.sector_want[lon][lat] = 1;
    ASSERT_EQ(run_install_step(), install_done);
    for (const char* f : {"Airfoils", "Instructions", "Output", "Resources"}) make_folders(dest_dir_path + f + "/");
    write_whole_file(registration_file_path(), dest_dir_path + "\n");
    locate_all_skyrills();
    ASSERT_EQ(all_nimbrels.size(), 1u);
    // The flows start from a model the scan has not seen yet.
    for (auto& h : sim_info) {
      h.back().sig_have.clear();
      h.back().is_current = 0;
      h.back().do_install = h.back().do_delete = 0;
    }
  }

  // One frame; a press at (x, y) when x >= 0 (the button goes down and up in the frame).
  void frame(float x = -100, float y = -100) {
    seen() = page_seen{};
    wizard_flow::frame(x, y, [] { mnw.mouse_held = mnw.mouse_down; });
    mnw.mouse_held = 0;
  }
  void next_click() { frame(next_x, bar_y); }
  void back_click() { frame(back_x, bar_y); }
  bool frames_until(const std::function<bool()>& done, int limit = 20000) {
    for (int i = 0; i < limit && !done(); ++i) {
      frame();
      usleep(200);
    }
    return done();
  }
  // The disc step underway: the files decided, the ones to go deleted, the pipeline holding the
  // rest of the disc.
  void start_disc_step() {
    ASSERT_EQ(choose_files(), 1);
    make_dirs();
    delete_files();
    ASSERT_EQ(begin_disc_install(), 0);
    int cursor = 0;
    install_files(cursor, current_disk);
  }
  // A click on the centre of a map cell.
  void click_cell(int lon, int lat) { frame(world_map_cell_x(lon), world_map_cell_y(lat)); }

  temp_tree work;
  static temp_tree* shared;
  static discs* release;
};
inline temp_tree* Bench::shared = nullptr;
inline discs* Bench::release = nullptr;

}  // namespace disc_bench
