// Every page of the web-update flow, of the web-demo flow, of the disc install flow and of the
// scenery and repair flows (with the world map), drawn by the real screens and the driver on the
// test display in English, French and German, from states set up so that each page shows the same thing on
// every run: the screenshots are written for people to look at and compared with the committed
// references. The free-space figures of the disk page depend on the machine, so that rows are
// blanked before the comparison (the written screenshot keeps them).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "files/file_ops.h"
#include "files/zip_archive.h"
#include "graphics/texture_manager.h"
#include "install/disc_drive.h"
#include "install/disc_pipeline.h"
#include "install/download_scheduler.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/web_update.h"
#include "install/wizard_globals.h"
#include "net/http_client.h"
#include "platform/folders.h"
#include "platform/volumes.h"
#include "runtime/constants.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/translation.h"
#include "shell/widgets.h"
#include "support/graphics_fixture.h"
#include "support/modified_file_question_double.h"
#include "support/raw_peer.h"
#include "support/temp_tree.h"
#include "support/wizard_flow_driver.h"
#include "wizard/disc_screens.h"
#include "wizard/install_registry.h"
#include "wizard/demo_flow.h"
#include "wizard/page_calls.h"
#include "wizard/program_start.h"
#include "wizard/server_list.h"
#include "wizard/web_update_flow.h"
#include "wizard/wizard_driver.h"
#include "wizard/world_map.h"

namespace {

// Fixed folders, so that the paths on the pages are the same on every machine.
const std::string fixed_root = "/tmp/skyrill-wizard-pages/";
const std::string copy_a = fixed_root + "Skyrill 9/";
const std::string copy_b = fixed_root + "Skyrill 9 beta/";

const char* const language_names[3] = {"English", "French", "German"};

class Pages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string problem;
    ASSERT_TRUE(open_test_window(800, 600, &problem)) << problem;
    start_test_graphics(800, 600);
    platform_set_executable_path(SKY_BINARY_DIR "/src/skyrill-installer");
    tman.load_texture(4, background_texture, 0x501, 100, "RESOURCE:background.png");
    tman.load_texture(4, 392, 0x702, 100, "RESOURCE:interface.png");
    tman.load_texture(4, world_map_texture, 0x502, 100, "RESOURCE:map.png");
    shell_hooks hooks;
    hooks.translate = translate_lookup;
    install_shell_hooks(hooks);
  }
  static void TearDownTestSuite() {
    UTL_translate_clear();
    close_test_window();
  }

  void SetUp() override {
    for (const std::string& copy : {copy_a, copy_b})
      for (const char* f : {"Airfoils", "Instructions", "Output", "Resources"}) make_folders(copy + f + "/");
    unlink((copy_a + launch_bundle_executable).c_str());
    setenv("XDG_CONFIG_HOME", (work.path() + "config").c_str(), 1);
    make_folders(work.path() + "config/");
    write_whole_file(registration_file_path(), copy_a + "\n" + copy_b + "\n");
    temp_path = work.path() + "tmp/";
    make_folders(temp_path);
    install_shell_page_calls();
    std::memset(&mnw, 0, sizeof mnw);
    mnw.draw_w = 800;
    mnw.draw_h = 600;
    mnw.screen_w = 800;
    mnw.screen_h = 600;
    mnw.pix_per_unit = 1;  // the window's scale, which clipping reads
    mnw.mouse_x = mnw.mouse_y = -100;
    out = std::string(SKY_BINARY_DIR) + "/wizard-pages/";
    mkdir(out.c_str(), 0755);
  }
  void TearDown() override {
    wizard_cancel_work();
    leave_web_install();
    checksum_directory_kill();
    for (int s = 0; s < http_slot_count; ++s) http.cancel(s);
    http.proxy_host.clear();
    http.proxy_port = 0;
    update_host_setting.clear();
    cmd_line_path.clear();
    demo_flow_reset();
    unsetenv("XDG_CONFIG_HOME");
    question_double::reset();
  }

  // A fresh start of the flow in a language: state as the program's start-up leaves it.
  void start_language(int language) {
    mnw.language = language;
    if (language == lang_english) UTL_translate_clear();
    else
      translate_load_file(language, std::string(SKY_SOURCE_DIR) + "/resources/" + language_names[language] + ".txt",
                          std::string("RESOURCE:") + language_names[language] + ".txt");
    tman.unload_texture(button_atlas_texture);
    tman.load_texture(4, button_atlas_texture, 1282, 100,
                      std::string("RESOURCE:elements_") + language_names[language] + ".png");
    wizard_flow::reset_web_flow_state();
    dest_dir_path.clear();
    cmd_line_path.clear();
    for (int k = 0; k < max_servers; ++k) server_name[k].clear(), server_path[k].clear(), server_desc[k].clear();
    wizard_driver_reset();
    web_update_flow_reset();
    scenery_flow_reset();
    repair_flow_reset();
    num_install_errors = 0;
    g_wizard = net_start;
    app_done = 0;
  }

  void frame() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    xtim.xtim_update();
    APP_update();
  }
  // Frames until the condition holds (at most a few seconds), then the page is drawn once more
  // and compared.
  void shoot(int language, const std::string& page, const std::function<bool()>& ready = [] { return true; },
             bool blank_report = false) {
    for (int i = 0; i < 3000 && !ready(); ++i) {
      frame();
      usleep(1000);
    }
    ASSERT_TRUE(ready()) << page;
    // A page's first frame draws the step list it has only just filled: show the settled page.
    frame();
    frame();
    gl_picture picture = read_back_buffer();
    const std::string name = std::string(language_names[language]) + "-" + page + ".png";
    write_png(out + name, picture);
    if (blank_report)  // the report's rows, 215 to 770 across and 80 to 145 up
      for (int y = 80; y < 145; ++y)
        for (int x = 215; x < 770; ++x) std::memset(&picture.rgba[(static_cast<size_t>(y) * picture.width + x) * 4], 0, 3);
    EXPECT_TRUE(matches_golden(picture, std::string(SKY_SOURCE_DIR) + "/tests/wizard/golden/" + name, 24, 400))
        << name;
  }

  void servers() {
    stg.server_count = 2;
    stg.server_pick = 0;
    server_name[0] = "mirror-a.skyrill.test";
    server_name[1] = "mirror-b.skyrill.test";
    server_path[0] = server_path[1] = "/Skyrill 9.10/";
    server_desc[0] = "A|North America";
    server_desc[1] = "B|Europe";
    install_name = "Skyrill 9.10";
  }

  void all_pages(int language) {
    start_language(language);
    shoot(language, "1-welcome", [] { return g_wizard == net_start; });

    g_wizard = net_pick_dest;
    dest_dir_path = copy_a;
    shoot(language, "2-pick-destination");

    // Contacting the update host: the proxy is a closed port, so the list never comes.
    http.proxy_host = "127.0.0.1";
    http.proxy_port = 1;
    update_host_setting = "update.skyrill.test";
    g_wizard = net_get_updates;
    shoot(language, "3-search-contacting");

    // The directory from the picked mirror, its fetch not started yet.
    servers();
    stg.dir_stage = 0;
    web_update.directory_retry_at = 1e18;
    wizard_driver_reset();
    shoot(language, "4-search-directory");

    stg.dir_stage = 2;
    stg.server_count = 0;
    frame();
    shoot(language, "5-search-failed");

    servers();
    dest_dir_path = copy_a;
    stg.install_count = 12;
    stg.install_total = 523000;
    stg.download_total = 245760;
    g_wizard = net_check_disk;
    shoot(language, "6-disk-space", [] { return true; }, true);

    install_page(language);

    g_wizard = net_done;
    stg.install_problem = 0;
    stg.install_count = 12;
    shoot(language, "9-finished");

    stg.install_problem = 1;
    wizard_driver_reset();
    shoot(language, "10-problems");

    stg.install_problem = 0;
    stg.install_count = 0;
    stg.delete_count = 0;
    wizard_driver_reset();
    shoot(language, "11-up-to-date");

    g_wizard = dvd_do_run_sim;
    shoot(language, "12-start-failed");

    disc_pages(language);
  }

  // The disc flow's pages, from a hand-made first disc in the test drive whose release has one
  // file on the first disc and one on the second.
  void disc_pages(int language) {
    const std::string disc = fixed_root + "disc/";
    remove_tree(disc);
    make_folders(disc + "Skyrill 9.10/");
    write_whole_file(disc + "dvd_version.txt", "I\n900 x\nDVD\n\nVERSION Skyrill 9.10\n");
    write_whole_file(work.path() + "directory.txt",
                     "I\n900 x\nINSTALLER\n\nDIR All/Aircraft/General Aviation/\n"
                     "FILE 0 0 91001 1200 2400 0123456789abcdef0123456789abcdef c4 trainer.acf\n"
                     "DISK 1\nFILE 0 0 91001 1200 2400 0123456789abcdef0123456789abcdef c5 trainer.acf\n");
    ASSERT_EQ(file_to_zip(work.path() + "directory.txt", disc + "Skyrill 9.10/directory.txt.zip"), 0);
    auto restart = [&] {
      sim_info.clear();
      std::memset(&stg, 0, sizeof stg);
      reset_installer_state();
      stg.download_os = 3;
      dvd_forget_disc();
      dest_dir_path.clear();
      disc_install_flow_reset();
      wizard_driver_reset();
      g_wizard = dvd_start;
    };
    const std::string registrations = read_whole_file(registration_file_path());

    restart();
    platform_set_test_drive(disc);
    platform_eject(disc);
    shoot(language, "14-disc-insert");

    unlink(registration_file_path().c_str());
    restart();
    platform_set_test_drive(disc);
    shoot(language, "15-disc-welcome", [] { return stg.dir_stage == 3; });

    write_whole_file(registration_file_path(), registrations);
    restart();
    shoot(language, "16-disc-choices", [] { return stg.dir_stage == 3; });

    // A new copy beside the two registered ones, on the desktop.
    write_whole_file(work.path() + "config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + fixed_root + "\"\n");
    g_wizard = dvd_pick_install;
    BTN_unfocus_any();  // the name field takes the keyboard as it does when the page opens
    shoot(language, "17-disc-pick-destination", [] { return true; }, true);

    want_file_disk = 1;
    g_wizard = dvd_switch_disk_install;
    shoot(language, "18-disc-change");

    num_install_errors = 0;
    g_wizard = dvd_done_install;
    shoot(language, "19-disc-finished");
    num_install_errors = 2;
    wizard_driver_reset();
    shoot(language, "20-disc-finished-errors");

    dest_dir_path.clear();
    locate_all_skyrills();
    g_wizard = dvd_pick_run_sim;
    shoot(language, "21-disc-run");

    // A directory archive that does not unpack.
    write_whole_file(disc + "Skyrill 9.10/directory.txt.zip", "PK\x03\x04 scratched");
    restart();
    platform_set_test_drive(disc);
    shoot(language, "22-disc-unreadable");

    restart();
    platform_set_test_drive("");
  }

  // The install page while a mirror holds its connection open (the file's length not known
  // yet), then while the mirror refuses: the cannot-download text.
  void install_page(int language) {
    for (int round = 0; round < 2; ++round) {
      raw_peer mirror(round == 0 ? std::vector<peer_action>{peer::hold()}
                                 : std::vector<peer_action>{peer::send("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")});
      http.proxy_host = "127.0.0.1";
      http.proxy_port = mirror.port();
      fetch_retry_delay_scale = 1000;
      sim_info.clear();
      file_version_struct v;
      v.platform = 0;
      v.version = 91001;
      v.zip_size = 1200;
      v.unz_size = 2400;
      v.sig_want = "0123456789abcdef0123456789abcdef";
      v.sig_have = "NONE";
      v.path = "All/Aircraft/General Aviation/c4 trainer.acf";
      sim_info.push_back({v});
      stg.install_count = 1;
      stg.install_total = 2400;
      stg.download_total = 1200;
      stg.dir_stage = 3;
      dest_dir_path = copy_a;
      g_wizard = net_run_patch;
      wizard_driver_reset();
      if (round == 0)
        shoot(language, "7-installing", [] { return stg.current_action == 1 && !crnt_file_name.empty(); });
      else
        shoot(language, "8-cannot-download", [] { return stg.download_error == 1; });
      leave_web_install();
      fetch_retry_delay_scale = 1;
    }
    remove_tree(copy_a + "Aircraft/");
  }

  // A release tile of a cell, installed or not.
  static void scenery_tile(int lon, int lat, bool installed) {
    char leaf[64];
    const int la = lat * 10 - 90, lo = lon * 10 - 180;
    std::snprintf(leaf, sizeof leaf, "%+03d%+04d/%+03d%+04d.dsf", la, lo, la, lo);
    file_version_struct v;
    v.path = std::string("All/Global Scenery/Skyrill Scenery/Earth nav data/") + leaf;
    v.sig_want = "0123456789abcdef0123456789abcdef";
    v.sig_have = installed ? v.sig_want : "NONE";
    v.is_current = installed;
    v.unz_size = 30000;
    v.zip_size = 20000;
    v.is_global = 1;
    v.sector_lon = lon;
    v.sector_lat = lat;
    sim_info.push_back({v});
    stg.sector_offered[lon][lat] = 1;
  }

  // At the centre of a cell the screen shows the plain map's texel where the release offers
  // nothing, the highlighted map's where the cell is wanted, and half of each where it is
  // offered but not wanted.
  void expect_cells_from_the_highlighted_map() {
    frame();
    const gl_picture screen = read_back_buffer();
    gl_picture map;
    ASSERT_TRUE(read_png(std::string(SKY_SOURCE_DIR) + "/resources/map.png", &map));
    struct cell {
      int lon, lat;
      float highlighted;  // share of the highlighted map in the colour
    } cells[] = {{5, 11, 1}, {6, 13, 1}, {33, 5, 0.5f}, {24, 12, 0.5f}, {0, 8, 0}, {15, 2, 0}};
    for (const cell& c : cells) {
      SCOPED_TRACE(std::to_string(c.lon) + ", " + std::to_string(c.lat));
      const int u = world_map_cell * c.lon + 7, v = world_map_cell * c.lat + 7;
      const uint8_t* plain = map.at(u, v);
      const uint8_t* lit = map.at(u, world_map_h + v);
      const uint8_t* shown = screen.at(world_map_x + u, world_map_y + v);
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(shown[k], c.highlighted * lit[k] + (1 - c.highlighted) * plain[k], 8) << k;
    }
  }

  // The scenery and repair flows' pages. The scan pages are shot while the scan hashes a large
  // file, so that they show the same state on every run.
  void scenery_repair_pages(int language) {
    start_language(language);
    locate_all_skyrills();
    dest_dir_path = copy_a;
    g_wizard = dvd_pick_scenery;
    shoot(language, "30-scenery-pick");

    // Each scan finds one large file to hash: a scenery tile for the scenery scan, another file
    // for the repair scan. Each run has its own (the tests of the languages may run at once).
    const std::string own = std::to_string(getpid());
    const std::string tile_path = "All/Global Scenery/scan " + own + "/+40-120/+44-118.dsf";
    const std::string big_path = "All/Resources/big scan " + own + ".dat";
    std::vector<file_history_struct> large;
    for (const std::string& path : {tile_path, big_path}) {
      const std::string file = copy_a + path.substr(4);
      make_folders(file.substr(0, file.rfind('/') + 1));
      write_whole_file(file, "");
      ASSERT_EQ(truncate(file.c_str(), 400 << 20), 0);
      file_version_struct v;
      v.path = path;
      v.sig_want = "0123456789abcdef0123456789abcdef";
      if (path == tile_path) v.is_global = 1, v.sector_lon = 6, v.sector_lat = 13;
      large.push_back({v});
    }
    sim_info = large;
    g_wizard = dvd_scan_scenery;
    shoot(language, "31-scenery-scan");
    checksum_directory_kill();

    // The offer: boxes of cells over the continents; North America and Europe installed.
    sim_info.clear();
    struct box {
      int lon0, lon1, lat0, lat1;
      bool installed;
    } boxes[] = {{5, 11, 11, 14, true},   {10, 13, 4, 9, false},  {17, 21, 12, 14, true},
                 {16, 22, 5, 11, false},  {22, 31, 10, 14, false}, {29, 33, 5, 7, false}};
    for (const box& b : boxes)
      for (int i = b.lon0; i <= b.lon1; ++i)
        for (int j = b.lat0; j <= b.lat1; ++j)
          if (!stg.sector_offered[i][j]) scenery_tile(i, j, b.installed);
    g_wizard = dvd_edit_scenery;
    // Two cells of Africa picked by clicks, as the user would.
    auto click = [this](int lon, int lat) {
      mnw.mouse_x = world_map_cell_x(lon);
      mnw.mouse_y = world_map_cell_y(lat);
      mnw.mouse_down = mnw.mouse_held = 1;
      frame();
      mnw.mouse_down = mnw.mouse_held = 0;
      mnw.mouse_x = mnw.mouse_y = -100;
    };
    wizard_driver_reset();
    frame();
    click(19, 9);
    click(20, 9);
    shoot(language, "32-scenery-map", [] { return true; }, true);
    if (language == lang_english) expect_cells_from_the_highlighted_map();

    g_wizard = dvd_done_scenery;
    stg.install_count = 2;
    stg.delete_count = 1;
    shoot(language, "33-scenery-done");
    num_install_errors = 1;
    wizard_driver_reset();
    shoot(language, "34-scenery-errors");
    num_install_errors = 0;

    g_wizard = dvd_pick_repair;
    shoot(language, "35-repair-pick");

    sim_info = large;
    g_wizard = dvd_scan_repair;
    shoot(language, "36-repair-scan");
    checksum_directory_kill();
    remove_tree(copy_a + "Global Scenery/scan " + own + "/");
    unlink((copy_a + big_path.substr(4)).c_str());

    sim_info.clear();
    for (int k = 0; k < 12; ++k) {
      file_version_struct f;
      f.path = "All/Resources/file " + std::to_string(k) + ".dat";
      f.sig_want = "0123456789abcdef0123456789abcdef";
      f.sig_have = "NONE";
      f.unz_size = 2400;
      f.zip_size = 1200;
      sim_info.push_back({f});
    }
    g_wizard = dvd_confirm_repair;
    shoot(language, "37-repair-confirm", [] { return true; }, true);

    g_wizard = dvd_done_repair;
    shoot(language, "38-repair-done");
    num_install_errors = 1;
    wizard_driver_reset();
    shoot(language, "39-repair-errors");
    num_install_errors = 0;
  }

  // The pages of the web-demo flow: welcome (a copy is registered), the licence not yet
  // accepted, the server check, the destination (a new folder, then one that exists) and the
  // two finish pages. The install page is the update's own.
  void demo_pages(int language) {
    start_language(language);
    demo_flow_reset();
    g_wizard = demo_start;
    shoot(language, "demo-1-welcome", [] { return g_wizard == demo_start; });

    g_wizard = demo_eula;
    shoot(language, "demo-2-licence");

    http.proxy_host = "127.0.0.1";
    http.proxy_port = 1;
    update_host_setting = "update.skyrill.test";
    g_wizard = demo_get_updates;
    shoot(language, "demo-3-check-servers");

    servers();
    stg.dir_stage = 3;
    sim_info.clear();
    for (const char* path : {"All/Resources/readme.txt", "All/Aircraft/General Aviation/c4 trainer.acf"}) {
      file_version_struct v;
      v.platform = 0;
      v.version = 91001;
      v.zip_size = 120000;
      v.unz_size = 240000;
      v.sig_want = "0123456789abcdef0123456789abcdef";
      v.sig_have = "NONE";
      v.path = path;
      sim_info.push_back({v});
    }
    g_wizard = demo_pick_dest;
    demo_set_destination(fixed_root, "Skyrill 9 Demo");
    shoot(language, "demo-4-pick-destination", [] { return true; }, true);

    demo_set_destination(fixed_root, "Skyrill 9");
    shoot(language, "demo-5-name-exists");

    demo_set_destination(fixed_root, "Demo/Copy");
    shoot(language, "demo-5-name-refused");

    g_wizard = demo_done;
    dest_dir_path = fixed_root + "Skyrill 9 Demo/";
    stg.install_problem = 0;
    shoot(language, "demo-6-finished");

    stg.install_problem = 1;
    wizard_driver_reset();
    shoot(language, "demo-7-problems");
  }

  temp_tree work;
  std::string out;
};

TEST_F(Pages, English) { all_pages(lang_english); }
TEST_F(Pages, French) { all_pages(lang_french); }
TEST_F(Pages, German) { all_pages(lang_german); }
TEST_F(Pages, DemoEnglish) { demo_pages(lang_english); }
TEST_F(Pages, DemoFrench) { demo_pages(lang_french); }
TEST_F(Pages, DemoGerman) { demo_pages(lang_german); }
TEST_F(Pages, EnglishSceneryAndRepair) { scenery_repair_pages(lang_english); }
TEST_F(Pages, FrenchSceneryAndRepair) { scenery_repair_pages(lang_french); }
TEST_F(Pages, GermanSceneryAndRepair) { scenery_repair_pages(lang_german); }

}  // namespace
