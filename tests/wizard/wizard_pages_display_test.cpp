// Every page of the web-update flow and of the web-demo flow drawn by the real screens and the
// driver on the test display in English, French and German, from states set up so that each
// page shows the same thing on every run: the screenshots are written for people to look at
// and compared with the committed references. The free-space figures of the disk pages depend
// on the machine, so those rows are blanked before the comparison (the written screenshot
// keeps them).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "files/file_ops.h"
#include "graphics/texture_manager.h"
#include "install/download_scheduler.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/web_update.h"
#include "install/wizard_globals.h"
#include "net/http_client.h"
#include "platform/folders.h"
#include "runtime/constants.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/translation.h"
#include "support/graphics_fixture.h"
#include "support/modified_file_question_double.h"
#include "support/raw_peer.h"
#include "support/temp_tree.h"
#include "wizard/install_registry.h"
#include "wizard/demo_flow.h"
#include "wizard/page_calls.h"
#include "wizard/program_start.h"
#include "wizard/server_list.h"
#include "wizard/web_update_flow.h"
#include "wizard/wizard_driver.h"

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
    sim_info.clear();
    std::memset(&stg, 0, sizeof stg);
    std::memset(&next, 0, sizeof next);
    reset_installer_state();
    stg.download_os = 3;
    reset_server_list();
    web_update_begin();
    install_name = no_install_name;
    dest_dir_path.clear();
    cmd_line_path.clear();
    for (int k = 0; k < max_servers; ++k) server_name[k].clear(), server_path[k].clear(), server_desc[k].clear();
    wizard_driver_reset();
    web_update_flow_reset();
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
    shoot(language, "12-start-failed");  }

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

}  // namespace
