// The real installer on the test display, driven with xdotool as a user drives it: the web
// update from the welcome page to the finish page against a local update host, the preferences
// kept over a restart, and accented text typed under French and German keyboard layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "support/display_fixture.h"
#include "support/process.h"
#include "support/program_driver.h"
#include "support/temp_tree.h"

namespace {

// The bottom bar's right-hand button: Next, or Quit on the finish page (narrower, so near the right).
const float next_x = 745, bar_y = 23;

// The update the run command shows, made by its own tool: both releases built by our builder,
// nginx serving the update host and two mirrors, the outdated installation.
struct update_demo {
  temp_tree dir;
  std::string tool = SKY_BINARY_DIR "/tests/support/sky_update_demo";
  std::string port, host, install;

  bool prepare(std::string* problem) {
    process_result r = run_process({tool, "prepare", dir.path()});
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
      const size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      std::string value = line.substr(eq + 1);
      if (value.size() >= 2 && value.front() == '\'') value = value.substr(1, value.size() - 2);
      const std::string key = line.substr(0, eq);
      if (key == "SKY_DEMO_PORT") port = value;
      else if (key == "SKY_DEMO_HOST") host = value;
      else if (key == "SKY_DEMO_INSTALL") install = value;
    }
    *problem = r.err + r.out;
    return r.exit_code == 0 && !port.empty() && !install.empty();
  }
  process_result check() { return run_process({tool, "check", dir.path()}); }
  ~update_demo() { run_process({tool, "stop", dir.path()}); }
};

// The modified-file question is a modal screen of 700 x 146 in the middle of the page; its
// buttons answer for this file only.
struct answer_case {
  const char* name;
  float x, y;          // the button on the page
  bool user_file_kept;
};

TEST(ProgramDrive, WebUpdateThroughTheWindowEndsEqualToTheRelease) {
  const answer_case cases[] = {{"keep", 146, 255, true}, {"overwrite", 146, 280, false}};
  for (const answer_case& c : cases) {
    SCOPED_TRACE(c.name);
    update_demo demo;
    std::string problem;
    ASSERT_TRUE(demo.prepare(&problem)) << problem;
    program_driver program;
    ASSERT_TRUE(program.start({"-path", demo.install, "--pref:_proxy_host=127.0.0.1",
                               "--pref:_proxy_port_int=" + demo.port, "--pref:_update_host=" + demo.host,
                               "--lang=en"},
                              {}, &problem))
        << problem;

    ASSERT_TRUE(program.wait_for_log("Wizard page: Skyrill 9 Web Updater")) << program.log();
    program.click(next_x, bar_y);
    // The server list, the directory and the scan need no click.
    ASSERT_TRUE(program.wait_for_log("Wizard page: Check Disk Space")) << program.log();
    program.move_to(next_x, bar_y);
    const gl_picture disk_page = program.screenshot();
    program.save_screenshot(std::string("program_drive_disk_space_") + c.name);
    program.click(next_x, bar_y);
    // The decisions ask about the file changed by hand: the question's screen replaces the page.
    ASSERT_TRUE(program.wait_for_picture(
        [&](const gl_picture& now) { return pixels_differing(now, disk_page) > now.width * now.height / 3; }));
    program.save_screenshot(std::string("program_drive_question_") + c.name);
    program.click(c.x, c.y);
    ASSERT_TRUE(program.wait_for_log("Wizard page: Installing")) << program.log();
    ASSERT_TRUE(program.wait_for_log("Wizard page: Finshed Web Update", 1, 120)) << program.log();
    program.save_screenshot(std::string("program_drive_finish_") + c.name);
    // The finish page's right-hand button quits.
    program.click(next_x, bar_y);
    EXPECT_EQ(program.wait_exit(), 0);

    const std::string log = program.log();
    size_t asked = 0;
    for (size_t at = log.find("File: "); at != std::string::npos; at = log.find("File: ", at + 1)) ++asked;
    EXPECT_EQ(asked, 1u) << log;
    EXPECT_NE(log.find("Weapons/missile.wpn  sig_want="), std::string::npos) << log;
    process_result check = demo.check();
    EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
    EXPECT_NE(check.out.find(c.user_file_kept ? "kept   Weapons/missile.wpn" : "ok     Weapons/missile.wpn"),
              std::string::npos)
        << check.out;
    EXPECT_EQ(read_whole_file(demo.install + "Weapons/missile.wpn") == "changed by hand\n", c.user_file_kept);
    EXPECT_FALSE(path_exists(demo.install + "Resources/retired.txt"));
  }
}

// The preferences screen is 600 x 380 in the middle of the page: its points are moved by its
// origin (100, 110).
void click_prefs(program_driver& program, float x, float y) { program.click(x + 100, y + 110); }

// Opens the preferences screen from a page that allows it and waits until it shows; the
// picture of the page is given to tell the two apart.
void open_prefs(program_driver& program, const gl_picture& page) {
  program.click(139, bar_y);
  ASSERT_TRUE(program.wait_for_picture(
      [&](const gl_picture& now) { return pixels_differing(now, page) > now.width * now.height / 4; }));
  // The pointer away from every control: no hover look, no help text.
  program.move_to(5, 5);
}

// Closes it with its close box and waits for the page to show again.
void close_prefs(program_driver& program, const gl_picture& page) {
  click_prefs(program, 10, 370);
  program.move_to(5, 5);
  ASSERT_TRUE(program.wait_for_picture(
      [&](const gl_picture& now) { return pixels_differing(now, page) < now.width * now.height / 50; }));
}

// The welcome page, with the pointer where it does not touch a control.
gl_picture welcome_page(program_driver& program) {
  EXPECT_TRUE(program.wait_for_log("Wizard page: Skyrill 9 Web Updater")) << program.log();
  program.move_to(5, 5);
  gl_picture page;
  // The first frames may still be loading pictures: the page once it stays the same.
  program.wait_until([&] {
    gl_picture now = program.screenshot();
    const bool steady = now.width > 0 && pixels_differing(now, page) == 0;
    page = now;
    return steady;
  });
  return page;
}

// The preferences screen without the focused proxy host field's label, whose colour pulses
// (page x 105 to 185, y 140 to 162, in a picture of the 800 x 600 window).
gl_picture without_pulse(gl_picture picture) {
  for (int y = 140; y <= 162 && y < picture.height; ++y)
    for (int x = 105; x <= 185 && x < picture.width; ++x)
      std::fill_n(&picture.rgba[(static_cast<size_t>(y) * picture.width + x) * 4], 4, 0);
  return picture;
}

std::string pref_line(const std::string& file, const std::string& key) {
  const size_t at = file.find("\n" + key + " ");
  if (at == std::string::npos) return "(none)";
  return file.substr(at + 1, file.find('\n', at + 1) - at - 1);
}

TEST(ProgramDrive, PreferencesAreKeptOverARestart) {
  program_driver program;
  std::string problem;
  ASSERT_TRUE(program.start({"--lang=en"}, {}, &problem)) << problem;
  const gl_picture page = welcome_page(program);
  open_prefs(program, page);
  const gl_picture defaults = program.screenshot();

  // The proxy host field has the focus when the screen opens; typing fills it.
  program.type("proxy.example");
  click_prefs(program, 300, 22);
  program.type("3128");
  click_prefs(program, 30, 152);  // manual streams: the number field shows 1
  click_prefs(program, 405, 166);  // its up arrow: 2
  click_prefs(program, 405, 166);  // 3
  click_prefs(program, 30, 267);  // log installer actions
  click_prefs(program, 30, 192);  // check for new betas
  program.move_to(5, 5);
  close_prefs(program, page);
  open_prefs(program, page);
  const gl_picture set = without_pulse(program.screenshot());
  program.save_screenshot("program_drive_prefs_set");
  EXPECT_GT(pixels_differing(set, without_pulse(defaults)), 100) << "the values changed on the screen";

  // The platform: its list opened by a click, "Windows" picked in the pop-up (the current
  // choice, Linux, sits over the field, the other items above it). It holds while the program
  // runs.
  click_prefs(program, 200, 312);
  click_prefs(program, 200, 325);
  program.move_to(5, 5);
  close_prefs(program, page);
  open_prefs(program, page);
  program.save_screenshot("program_drive_prefs_windows");
  // Only the list's field differs ("Windows" for "Macintosh").
  EXPECT_TRUE(program.wait_for_picture([&](const gl_picture& now) {
    const int n = pixels_differing(without_pulse(now), set);
    return n > 20 && n < 2000;
  }, 15));
  close_prefs(program, page);
  EXPECT_EQ(program.quit(), 0);

  const std::string file = read_whole_file(program.config_folder() + "Skyrill Installer.prf");
  const std::string expected[][2] = {{"_stream_count", "3"},
                                     {"_log_actions", "1"},
                                     {"_get_beta", "1"},
                                     {"_proxy_host", "proxy.example"},
                                     {"_proxy_port_int", "3128"}};
  for (const auto& e : expected) EXPECT_EQ(pref_line(file, e[0]), e[0] + " " + e[1]) << file;

  // Started again: the screen shows the kept values (and the platform back at its default, as
  // it is not kept), and the file still holds them after this run.
  ASSERT_TRUE(program.start({"--lang=en"}, {}, &problem)) << problem;
  const gl_picture page_again = welcome_page(program);
  open_prefs(program, page_again);
  program.save_screenshot("program_drive_prefs_after_restart");
  EXPECT_TRUE(program.wait_for_picture(
      [&](const gl_picture& now) { return pixels_differing(without_pulse(now), set) < 10; }, 15));
  close_prefs(program, page_again);
  EXPECT_EQ(program.quit(), 0);
  const std::string kept = read_whole_file(program.config_folder() + "Skyrill Installer.prf");
  for (const auto& e : expected) EXPECT_EQ(pref_line(kept, e[0]), e[0] + " " + e[1]) << kept;
}

}  // namespace

namespace {

// Accented text typed into the proxy host field with the French and German layouts of the
// test display, edited with the caret keys, and kept byte for byte in the preference file. The
// characters a layout has on its keys are typed; the others as its user types them, with a dead
// key (xdotool's own way, a key remapped for the moment, races the program's reading of the
// key map and is not what a user does).
struct typing_step {
  bool dead_keys;    // keys by X key symbol, else text typed
  const char* what;  // space-separated key symbols, or UTF-8 text
};

TEST(ProgramDrive, AccentedTextTypedUnderFrenchAndGermanLayouts) {
  std::string problem;
  ASSERT_TRUE(test_display(&problem)) << problem;
  struct layout_case {
    const char* layout;
    std::vector<typing_step> steps;
    typing_step u_umlaut;
  } cases[] = {
      {"fr",
       {{false, "x\xC3\xA9\xC3\xA8\xC3\xA7"},  // "xéèç"
        {true, "dead_diaeresis a dead_diaeresis o dead_diaeresis u"},
        {false, "\xC3\x9Fy"}},  // "ßy"
       {true, "dead_diaeresis u"}},
      {"de",
       {{false, "x"},
        {true, "dead_acute e dead_grave e dead_cedilla c"},
        {false, "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9Fy"}},  // "äöüßy"
       {false, "\xC3\xBC"}},
  };
  for (const layout_case& c : cases) {
    SCOPED_TRACE(c.layout);
    // The program reads the key map when its window opens.
    ASSERT_EQ(run_process({"setxkbmap", c.layout}).exit_code, 0);
    program_driver program;
    ASSERT_TRUE(program.start({"--lang=en"}, {"LANG=C.UTF-8"}, &problem)) << problem;
    const gl_picture page = welcome_page(program);
    open_prefs(program, page);
    auto enter = [&](const typing_step& step) {
      if (!step.dead_keys) return program.type(step.what);
      std::vector<std::string> keysyms;
      std::istringstream words(step.what);
      for (std::string w; words >> w;) keysyms.push_back(w);
      program.keys(keysyms);
    };
    // The host field has the focus and its text selected: typing replaces it.
    for (const typing_step& step : c.steps) enter(step);
    program.save_screenshot(std::string("program_drive_typed_") + c.layout);
    // Home and forward Delete take the x, End and BackSpace the y; two characters to the left,
    // BackSpace takes the ö and Delete the ü, and a typed ü goes in between.
    program.keys({"Home", "Delete", "End", "BackSpace", "Left", "Left", "BackSpace", "Delete"});
    enter(c.u_umlaut);
    program.save_screenshot(std::string("program_drive_edited_") + c.layout);
    close_prefs(program, page);
    EXPECT_EQ(program.quit(), 0);
    const std::string file = read_whole_file(program.config_folder() + "Skyrill Installer.prf");
    EXPECT_EQ(pref_line(file, "_proxy_host"), "_proxy_host \xC3\xA9\xC3\xA8\xC3\xA7\xC3\xA4\xC3\xBC\xC3\x9F")
        << file;  // "éèçäüß"
  }
  run_process({"setxkbmap", "us"});
}

}  // namespace
