// Start-up and shut-down over a fake display: window placement and the depth decisions, the
// pixel format's log lines, the palette taken from the interface atlas, the progress screen's
// fraction, the language's file, the application path, the graphics failure and the finish.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/folders.h"
#include "runtime/command_line.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "runtime/thread_layer.h"
#include "shell/alerts.h"
#include "shell/display.h"
#include "shell/frame_parts.h"
#include "shell/log.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"
#include "support/temp_tree.h"

extern "C" const char* __tsan_default_options() { return "report_thread_leaks=0"; }

namespace {

const bool hooks = (shell_install_hooks(), true);

struct fake_display : shell_display {
  int width = 1280, height = 1024, depth = 24;
  bool opens = true;
  int samples_given = 0;
  struct opened {
    int left, top, width, height;
    bool frameless;
    int samples;
  };
  std::vector<opened> windows;
  int closes = 0, starting_states = 0;
  bool desktop_mode(int* w, int* h, int* bpp) override {
    *w = width, *h = height, *bpp = depth;
    return true;
  }
  bool open_window(int left, int top, int w, int h, bool frameless, int samples,
                   std::string* problem) override {
    windows.push_back({left, top, w, h, frameless, samples});
    if (!opens) *problem = "no visual";
    return opens;
  }
  void close_window() override { ++closes; }
  shell_pixel_format pixel_format() override {
    shell_pixel_format f;
    f.red = f.green = f.blue = 8;
    f.depth = 24;
    f.samples = samples_given;
    return f;
  }
  void drawable_size(int* w, int* h) override { *w = mnw.req_width, *h = mnw.req_height; }
  int entry_points_code = 0;
  int init_entry_points() override { return entry_points_code; }
  void starting_gl_state(bool) override { ++starting_states; }
  void* make_shared_context() override { return nullptr; }
  bool make_current(void*) override { return false; }
  void swap() override {}
  void* window_handle() override { return this; }
  void* context_handle() override { return this; }
};

class Startup : public testing::Test {
 protected:
  temp_tree dir;
  fake_display display;
  void SetUp() override {
    shell_startup_reset();
    shell_set_display(&display);
    frame_parts = shell_frame_parts();
    mnw = mnw_struct();
    MACIBM_open_log(dir.path());
  }
  void TearDown() override {
    shell_set_display(nullptr);
    frame_parts = shell_frame_parts();
    xer.close();
  }
  std::string log() { return read_whole_file(dir.path() + "Skyrill Installer Log.txt"); }
};

TEST_F(Startup, WindowPlacementByDisplaySize) {
  struct {
    int w, h;
    int left, top;
    bool frameless;
  } cases[] = {{1280, 1024, 0, 40, false}, {1024, 768, 0, 40, false}, {800, 600, 0, 0, true},
               {820, 700, 0, 0, true}, {821, 621, 0, 40, false}};
  for (const auto& c : cases) {
    display.windows.clear();
    display.width = c.w;
    display.height = c.h;
    mnw.req_width = 800;
    mnw.req_height = 600;
    ASSERT_EQ(MACIBM_make_context(0), 1);
    ASSERT_EQ(display.windows.size(), 1u);
    EXPECT_EQ(display.windows[0].left, c.left) << c.w;
    EXPECT_EQ(display.windows[0].top, c.top) << c.w;
    EXPECT_EQ(display.windows[0].frameless, c.frameless) << c.w;
    EXPECT_EQ(display.windows[0].width, 800);
  }
  EXPECT_EQ(MACIBM_make_context(1), 0) << "there is one window";
}

TEST_F(Startup, AntiAliasingLadderAndFormatLog) {
  struct {
    int wanted, samples_asked, samples_given, obtained;
  } cases[] = {{0, 0, 0, 0}, {1, 2, 2, 1}, {2, 4, 4, 2}, {3, 8, 4, 2}, {4, 16, 16, 4}};
  for (const auto& c : cases) {
    display.windows.clear();
    display.samples_given = c.samples_given;
    mnw.aa_level_wanted = c.wanted;
    ASSERT_EQ(MACIBM_make_context(0), 1);
    EXPECT_EQ(display.windows[0].samples, c.samples_asked);
    EXPECT_EQ(mnw.aa_level_obtained, c.obtained);
  }
  const std::string l = log();
  EXPECT_NE(l.find("AGL_RGBA         : 1\nAGL_DOUBLEBUFFER : 1\nAGL_RED_SIZE     : 8\n"
                   "AGL_GREEN_SIZE   : 8\nAGL_BLUE_SIZE    : 8\nAGL_ALPHA_SIZE   : 0\n"
                   "AGL_DEPTH_SIZE   : 24\n"),
            std::string::npos)
      << l;
  EXPECT_EQ(l.find("VRAM"), std::string::npos) << "no line when the driver does not tell";
  EXPECT_EQ(display.starting_states, 5);
}

// The depth is switched only on displays under 1024 x 768, and restored to the first call's.
TEST_F(Startup, DepthDecisions) {
  struct {
    int w, h, depth;
    int set_result, restore_result;
    bool logged;
  } cases[] = {
      {1280, 1024, 24, 32, 24, false},  // large display: left alone both ways
      {800, 600, 24, 32, 24, true},     // small: set asks for 32, restore gives back 24
      {800, 600, 32, 32, 32, false},    // already at the depth
  };
  for (const auto& c : cases) {
    shell_startup_reset();
    display.width = c.w;
    display.height = c.h;
    display.depth = c.depth;
    mnw.req_width = 800;
    mnw.req_height = 600;
    mnw.req_depth = 32;
    const size_t before = log().size();
    EXPECT_EQ(MACIBM_setres(1), c.set_result) << c.w;
    EXPECT_EQ(MACIBM_setres(0), c.restore_result) << c.w;
    EXPECT_EQ(log().size() > before, c.logged) << c.w;
    EXPECT_EQ(mnw.draw_w, 800);
    EXPECT_EQ(g_mon_x_res_now, c.w);
  }
}

// The atlas is stored bottom row first: row 155 is the 156th row from the bottom. Each swatch
// pixel has its own colour, and the pixel mirrored top to bottom another, so a row mix-up
// shows.
TEST_F(Startup, PaletteFromTheAtlasSwatches) {
  frame_parts.scratch_pixel = [](int column, int row, unsigned char p[4]) {
    p[0] = static_cast<unsigned char>(column == 395 ? 200 : row);
    p[1] = static_cast<unsigned char>(column - 300);
    p[2] = static_cast<unsigned char>(row > 255 ? 255 : 0);  // the mirrored rows lie above 255
    p[3] = 255;
    return true;
  };
  MACIBM_take_interface_palette();
  struct {
    int entry, red, green;
  } cases[] = {{34, 155, 19}, {35, 147, 19}, {36, 139, 19}, {37, 131, 19}, {38, 123, 19},
               {40, 115, 19}, {41, 107, 19}, {42, 99, 19},  {43, 91, 19},  {44, 200, 95},
               {45, 83, 19},  {46, 75, 19},  {47, 67, 19}};
  for (const auto& c : cases) {
    EXPECT_FLOAT_EQ(colr.rgb[c.entry][0], c.red / 255.0f) << c.entry;
    EXPECT_FLOAT_EQ(colr.rgb[c.entry][1], c.green / 255.0f) << c.entry;
    EXPECT_FLOAT_EQ(colr.rgb[c.entry][2], 0) << c.entry;
  }
  EXPECT_FLOAT_EQ(colr.rgb[39][0], (147 + 123) / 2 / 255.0f);
  colr = colr_class();
}

TEST_F(Startup, ProgressFractionCountsCallsWithoutOne) {
  EXPECT_FLOAT_EQ(MACIBM_show_init_fraction(nullptr), 0.02f);  // 0 earlier calls
  EXPECT_FLOAT_EQ(MACIBM_show_init_fraction(nullptr), 0.02f);  // 1
  for (int i = 2; i < 50; ++i) MACIBM_show_init_fraction(nullptr);
  EXPECT_FLOAT_EQ(MACIBM_show_init_fraction(nullptr), 0.5f);
  for (float given : {5.0f, -1.0f, 0.25f}) {
    EXPECT_FLOAT_EQ(MACIBM_show_init_fraction(&given), given > 1 ? 1 : given < 0 ? 0.02f : given);
  }
  EXPECT_FLOAT_EQ(MACIBM_show_init_fraction(nullptr), 0.51f) << "given fractions do not count";
}

TEST_F(Startup, ProgressScreenDrawsOnceAScreenStarted) {
  static std::vector<std::string> drawn;
  drawn.clear();
  frame_parts.draw_string = [](int colour, float x, float y, const std::string& text, float,
                               int) {
    drawn.push_back(std::to_string(colour) + " " + std::to_string(int(x)) + " " +
                    std::to_string(int(y)) + " " + text);
    return y;
  };
  frame_parts.frame1 = [](int type, float x, float, float w, int) {
    drawn.push_back("bar " + std::to_string(type) + " " + std::to_string(int(x)) + " " +
                    std::to_string(int(w)));
  };
  plot_init_lights = 0;
  MACIBM_show_init("early", nullptr);
  EXPECT_TRUE(drawn.empty());
  plot_init_lights = 1;
  mnw.side_margin = 100;
  const float half = 0.5f;
  MACIBM_show_init("Starting application.", &half);
  EXPECT_EQ(drawn, (std::vector<std::string>{"49 122 210 www.skyrill.example", "bar 4 612 1008",
                                             "bar 5 360 504", "61 122 60 Starting application."}));
  plot_init_lights = 0;
}

TEST_F(Startup, LanguageFileAndSwitch) {
  static std::vector<std::string> calls;
  calls.clear();
  frame_parts.language_folder = [](int l) {
    return std::string(l == 1 ? "French/" : l == 2 ? "German/" : "English/");
  };
  frame_parts.translate_load = [](int l, const std::string& path) {
    calls.push_back(std::to_string(l) + " " + path);
  };
  frame_parts.translate_clear = [] { calls.push_back("clear"); };
  EXPECT_EQ(MACIBM_lang_text_path(1), "Resources/text/French/Installer2.txt");
  for (int l : {1, 0, 2}) {
    mnw.language = l;
    MACIBM_setupforlang();
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"1 Resources/text/French/Installer2.txt", "clear",
                                             "2 Resources/text/German/Installer2.txt"}));
}

TEST_F(Startup, ApplicationPath) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {{"/a/b/App/", "/a/b/"}, {"/a/b/App", "/a/b/"}, {"/App", "/"}};
  for (const auto& c : cases) EXPECT_EQ(MACIBM_drop_last_component(c.in), c.out) << c.in;
  platform_set_executable_path("/opt/sky/skyrill-installer");
  std::string path;
  MACIBM_set_app_path(path, 0);
  EXPECT_EQ(path, "/opt/sky/");
  MACIBM_set_app_path(path, 1);
  EXPECT_EQ(path, "/opt/sky");
  platform_set_executable_path("");
}

// The language of start-up: the detected one when offered, the only offered one, else the
// chooser, which leaves English unless the user picks.
TEST_F(Startup, LanguagePick) {
  static std::vector<int> offered;
  static int choosers;
  frame_parts.languages = [] { return offered; };
  platform_set_alert_box([](const std::string&, const std::string&) { ++choosers; });
  struct {
    std::vector<int> offered;
    int detected, result, chooser;
  } cases[] = {{{0, 1, 2}, 1, 1, 0}, {{0, 1, 2}, -1, 0, 1}, {{2}, -1, 2, 0}, {{0, 1}, 2, 0, 1}};
  for (const auto& c : cases) {
    offered = c.offered;
    choosers = 0;
    mnw.language = c.detected;
    MACIBM_pick_language();
    EXPECT_EQ(mnw.language, c.result);
    EXPECT_EQ(choosers, c.chooser);
  }
  platform_set_alert_box(nullptr);
}

// No window: the graphics fatal alert, in the native box since the window is not up; the log
// holds its lines and the program ends with status 1 and a stack dump.
fake_display failing;
fake_display without_gl;
void start_without_a_window(const std::string& folder, bool window_opens) {
  platform_set_executable_path(folder + "skyrill-installer");
  platform_set_alert_box([](const std::string& m, const std::string&) {
    std::fprintf(stderr, "BOX: %s\n", m.c_str());
  });
  failing.opens = false;
  without_gl.entry_points_code = -37;
  shell_set_display(window_opens ? &without_gl : &failing);
  const char* argv[] = {"skyrill-installer", "--lang=en", nullptr};
  MACIBM_init(2, const_cast<char**>(argv));
  std::_Exit(10);
}

// A death test's child runs the test again from its start: it finds its parent's folder in the
// environment.
TEST(StartupDeath, NoWindowEndsWithTheGraphicsAlert) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::unique_ptr<temp_tree> owned;
  std::string folder;
  if (const char* inherited = std::getenv("SKY_STARTUP_TEST_DIR")) {
    folder = inherited;
  } else {
    owned.reset(new temp_tree);
    folder = owned->path();
    setenv("SKY_STARTUP_TEST_DIR", folder.c_str(), 1);
  }
  EXPECT_EXIT(start_without_a_window(folder, false), testing::ExitedWithCode(1),
              "BOX: I could not set up the graphics for Skyrill!");
  unsetenv("SKY_STARTUP_TEST_DIR");
  const std::string log = read_whole_file(folder + "Skyrill Installer Log.txt");
  EXPECT_NE(log.find("Window and OpenGL context: no visual\n"), std::string::npos) << log;
  EXPECT_NE(log.find("resetting Skyrill to default resolution now.\n(hl_init line 1586)\n"),
            std::string::npos)
      << log;
  EXPECT_NE(read_whole_file(folder + "stack_crawl.txt").find("MACIBM_init"),
            std::string::npos);

  // Entry points that cannot be loaded: the code shows as the number it is.
  setenv("SKY_STARTUP_TEST_DIR", folder.c_str(), 1);
  EXPECT_EXIT(start_without_a_window(folder, true), testing::ExitedWithCode(1),
              "BOX: Could not open OpenGL framework");
  unsetenv("SKY_STARTUP_TEST_DIR");
  EXPECT_NE(read_whole_file(folder + "Skyrill Installer Log.txt")
                .find("Could not open OpenGL framework\n\nError=-37\n\n(hl_init line 736)\n"),
            std::string::npos);
}

// With saving the installer preference file is written (never under "--fps_test") and the
// threads are stopped either way; the window goes and the log closes.
TEST_F(Startup, FinishWritesPreferencesUnlessFpsTest) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  for (int fps_test : {1, 0}) {
    temp_tree config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    MACIBM_open_log(dir.path());
    cmdline.clear();
    if (fps_test) cmdline["--fps_test"] = "";
    ASSERT_EQ(MACIBM_make_context(0), 1);
    THREAD_init();
    THREAD_make_workers();
    display.closes = 0;
    MACIBM_finishup(1);
    EXPECT_EQ(THREAD_is_inited(), 0);
    EXPECT_EQ(display.closes, 1);
    EXPECT_FALSE(xer.is_open());
    EXPECT_EQ(path_exists(config.path() + "Skyrill Installer.prf"), !fps_test) << fps_test;
  }
  cmdline.clear();
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
}

}  // namespace

namespace {

// The log, the memory report and the stack dump share one folder: the application's when it
// can be written, else the XDG state folder; never the current working folder.
TEST(DiagnosticsFolder, ApplicationFolderElseStateFolder) {
  temp_tree dir;
  const char* old = std::getenv("XDG_STATE_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_STATE_HOME", (dir.path() + "state").c_str(), 1);
  EXPECT_EQ(MACIBM_diagnostics_folder(dir.path()), dir.path());
  EXPECT_EQ(MACIBM_diagnostics_folder("/no/such/folder/"), dir.path() + "state/skyrill-installer/");
  EXPECT_TRUE(path_exists(dir.path() + "state/skyrill-installer"));
  EXPECT_EQ(MACIBM_diagnostics_folder(""), dir.path() + "state/skyrill-installer/");
  if (old) setenv("XDG_STATE_HOME", saved.c_str(), 1);
  else unsetenv("XDG_STATE_HOME");
}

// No program the installer starts inherits the log's descriptor.
TEST(DiagnosticsFolder, LogIsClosedOnExec) {
  temp_tree dir;
  MACIBM_open_log(dir.path());
  const std::string log = dir.path() + "Skyrill Installer Log.txt";
  int found = 0;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (std::filesystem::read_symlink(e.path(), ec).string() != log) continue;
    ++found;
    const int fd = std::stoi(e.path().filename().string());
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  }
  EXPECT_EQ(found, 1);
  xer.close();
}

}  // namespace
