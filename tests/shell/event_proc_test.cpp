// One frame of the event procedure, driven by SDL events pushed into the real queue (no window
// is needed for the queue): click and key flags, the quit path, typed text paired with its
// key, screens made current, clicks outside the widgets, the hover help and the cursor, and
// reports that wait for the main screen.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/threads.h"
#include "platform/window_events.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "runtime/thread_layer.h"
#include "shell/event_proc.h"
#include "shell/frame_input.h"
#include "shell/frame_parts.h"
#include "shell/menus.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"
#include "support/temp_tree.h"

namespace {

const bool hooks = (shell_install_hooks(), true);

int64_t now_us = 0;
int64_t fake_clock() { return now_us; }

// What the frame handed to the parts beside it.
struct recorder {
  int swaps = 0, app_updates = 0, quits = 0, focus_rings = 0;
  std::vector<window_event> keys;
  std::vector<std::string> strings;  // "colour x y text"
  std::vector<std::string> frames;   // "type x y w h"
  std::vector<int> menu_codes;
  std::vector<int> cursors;  // texture s of each cursor quad, in 1/512
} rec;

std::vector<std::string> boxes;

void install_recorder() {
  rec = recorder();
  frame_parts = shell_frame_parts();
  frame_parts.swap_buffers = [] { ++rec.swaps; };
  frame_parts.app_update = [] { ++rec.app_updates; };
  frame_parts.on_quit = [] { ++rec.quits; };
  frame_parts.begin_focus_ring = [] { ++rec.focus_rings; };
  frame_parts.handle_key_raw = [](const window_event& e) { rec.keys.push_back(e); };
  frame_parts.app_handlemenu = [](int code) { rec.menu_codes.push_back(code); };
  frame_parts.draw_string = [](int colour, float x, float y, const std::string& text, float,
                               int) {
    rec.strings.push_back(std::to_string(colour) + " " + std::to_string(int(x)) + " " +
                          std::to_string(int(y)) + " " + text);
    return y;
  };
  frame_parts.frame2 = [](int type, float x, float y, float w, float h, const std::string&) {
    rec.frames.push_back(std::to_string(type) + " " + std::to_string(int(x)) + " " +
                         std::to_string(int(y)) + " " + std::to_string(int(w)) + " " +
                         std::to_string(int(h)));
  };
  frame_parts.quad_2d = [](int, int, float, const float c[4][4]) {
    rec.cursors.push_back(static_cast<int>(c[0][2] * 512 + 0.5f));
  };
}

class EventProc : public testing::Test {
 protected:
  temp_tree dir;  // the memory report of the alerts lands here
  void SetUp() override {
    diagnostics_folder = dir.path();
    ASSERT_TRUE(window_init_events()) << SDL_GetError();
    window_flush_events();
    now_us = 0;
    platform_set_time_source(fake_clock);
    xtim_restart();
    shell_frame_tick_reset();
    shell_event_proc_reset();
    install_recorder();
    platform_set_alert_box([](const std::string& m, const std::string& e) {
      boxes.push_back(m + "|" + e);
    });
    boxes.clear();
    mnw = mnw_struct();
    mnw.draw_w = 1024;
    mnw.draw_h = 768;
    mnw.pix_per_unit = 1;
    mnw.topwi = -1;
    stls = stls_struct();
    MACIBM_clear_menus(1);
    app_done = 0;
  }
  void TearDown() override {
    diagnostics_folder.clear();
    frame_parts = shell_frame_parts();
    platform_set_time_source(nullptr);
    platform_set_alert_box(nullptr);
    window_flush_events();
  }
  void frame(double seconds_later = 0.02) {
    now_us += static_cast<int64_t>(seconds_later * 1e6);
    MACIBM_event_proc();
  }
};

void push_button(Uint32 type, Uint8 button = SDL_BUTTON_LEFT) {
  SDL_Event e{};
  e.type = type;
  e.button.button = button;
  e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

void push_key(Uint32 type, SDL_Scancode code, int repeat = 0) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.scancode = code;
  e.key.repeat = static_cast<Uint8>(repeat);
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

void push_text(const char* text) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  SDL_strlcpy(e.text.text, text, sizeof e.text.text);
  ASSERT_EQ(SDL_PushEvent(&e), 1);
}

void push_window(Uint8 what) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = what;
  ASSERT_EQ(SDL_PushEvent(&e), 1);
}

TEST_F(EventProc, FirstFrameMakesTheMainScreenAndSwaps) {
  frame();
  EXPECT_EQ(mnw.topwi, 0);
  EXPECT_EQ(mnw.mouse_wi, 0);
  EXPECT_EQ(rec.swaps, 1);
  EXPECT_EQ(rec.app_updates, 1);
  EXPECT_EQ(rec.focus_rings, 1);
  // The pop-up list can never be hit while it is closed.
  EXPECT_EQ(menu[popup_menu].x1, -1);
  EXPECT_EQ(menu[popup_menu].y2, -1);
  MACIBM_startwind(2);
  frame();
  EXPECT_EQ(rec.app_updates, 1) << "a modal screen keeps the wizard from drawing";
}

// The page's work while its frame is rendered comes after the page's drawing has been handed to
// the renderer and before the swap; a modal screen keeps it from running, as it keeps the page.
TEST_F(EventProc, PageWorkRunsBetweenTheHandOverAndTheSwap) {
  static std::string order;
  order.clear();
  frame_parts.app_update = [] { order += "page "; };
  frame_parts.flush_drawing = [] { order += "flush "; };
  frame_parts.while_frame_renders = [] { order += "work "; };
  frame_parts.swap_buffers = [] { order += "swap "; };
  frame();
  EXPECT_EQ(order, "page flush work swap ");
  MACIBM_startwind(2);
  order.clear();
  frame();
  EXPECT_EQ(order, "swap ");
}

// Each press and release is seen in exactly one frame, also when both come in one frame.
TEST_F(EventProc, ClickFlagsLastOneFrame) {
  frame();
  push_button(SDL_MOUSEBUTTONDOWN);
  push_button(SDL_MOUSEBUTTONUP);
  frame();
  EXPECT_EQ(mnw.mouse_down, 1);
  EXPECT_EQ(mnw.mouse_up, 1);
  EXPECT_EQ(mnw.mouse_held, 0);
  frame();
  EXPECT_EQ(mnw.mouse_down, 0);
  EXPECT_EQ(mnw.mouse_up, 0);

  push_button(SDL_MOUSEBUTTONDOWN);
  frame();
  EXPECT_EQ(mnw.mouse_down, 1);
  EXPECT_EQ(mnw.mouse_held, 1);
  frame(0.3);
  EXPECT_EQ(mnw.mouse_down, 0);
  EXPECT_EQ(mnw.mouse_long, 1);
  push_button(SDL_MOUSEBUTTONUP);
  frame();
  EXPECT_EQ(mnw.mouse_up, 1);
  EXPECT_EQ(mnw.mouse_held, 0);

  // The right button does not click.
  push_button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
  frame();
  EXPECT_EQ(mnw.mouse_down, 0);
}

TEST_F(EventProc, KeysReachTheTranslationWithTheirText) {
  frame();
  struct {
    Uint32 type;
    int repeat;
    const char* text;
    int went_down;
    window_event_type seen;
    bool seen_repeat;
  } cases[] = {
      {SDL_KEYDOWN, 0, "\xC3\xA9", 1, window_event_type::key_down, false},
      {SDL_KEYDOWN, 1, nullptr, 1, window_event_type::key_down, true},
      {SDL_KEYUP, 0, nullptr, 0, window_event_type::key_up, false},
  };
  for (const auto& c : cases) {
    rec.keys.clear();
    push_key(c.type, SDL_SCANCODE_E, c.repeat);
    if (c.text) push_text(c.text);
    frame();
    EXPECT_EQ(mnw.key_went_down, c.went_down);
    ASSERT_EQ(rec.keys.size(), 1u) << "the text travels with its key";
    EXPECT_EQ(rec.keys[0].type, c.seen);
    EXPECT_EQ(rec.keys[0].repeat, c.seen_repeat);
    EXPECT_EQ(rec.keys[0].scancode, SDL_SCANCODE_E);
    EXPECT_EQ(rec.keys[0].text, c.text ? c.text : "");
  }
  frame();
  EXPECT_EQ(mnw.key_went_down, 0);
  // Text with no key before it (an input method's result) arrives on its own.
  rec.keys.clear();
  push_text("\xC3\xAA");
  frame();
  ASSERT_EQ(rec.keys.size(), 1u);
  EXPECT_EQ(rec.keys[0].type, window_event_type::text);
}

// Before the key translation is installed the frame still knows Return, Escape and Delete:
// Return and keypad Enter close a modal screen like its close box.
TEST_F(EventProc, BasicKeysWithoutATranslation) {
  frame_parts.handle_key_raw = nullptr;
  frame();
  for (SDL_Scancode enter : {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER}) {
    MACIBM_startwind(2);
    push_key(SDL_KEYDOWN, enter);
    frame();
    EXPECT_EQ(mnw.topwi, 0) << enter;
    EXPECT_EQ(return_hit, 0) << "cleared by the close";
  }
  push_key(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER);
  frame();
  EXPECT_EQ(return_hit, 1);
  push_key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
  push_key(SDL_KEYDOWN, SDL_SCANCODE_DELETE);
  frame();
  EXPECT_EQ(return_hit, 0);
  EXPECT_EQ(escape_hit, 1);
  EXPECT_EQ(delete_hit, 1);
  push_key(SDL_KEYUP, SDL_SCANCODE_ESCAPE);
  frame();
  EXPECT_EQ(escape_hit, 0);
}

TEST_F(EventProc, QuitRequestAndCloseBoxTakeTheQuitPath) {
  frame();
  for (int closing : {0, 1}) {
    app_done = 0;
    rec.quits = 0;
    if (closing) push_window(SDL_WINDOWEVENT_CLOSE);
    else {
      SDL_Event e{};
      e.type = SDL_QUIT;
      SDL_PushEvent(&e);
    }
    frame();
    EXPECT_EQ(rec.quits, 1) << closing;
    EXPECT_EQ(app_done, 1) << closing;
  }
}

TEST_F(EventProc, WheelSumsUntilTheNextScreen) {
  frame();
  for (int y : {2, -5}) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    SDL_PushEvent(&e);
  }
  SDL_Event flipped{};
  flipped.type = SDL_MOUSEWHEEL;
  flipped.wheel.y = 1;
  flipped.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
  SDL_PushEvent(&flipped);
  frame();
  EXPECT_EQ(mnw.wheel, -4);
  MACIBM_startwind(0);
  EXPECT_EQ(mnw.wheel, 0);
}

// A window event ends the frame's drain: what comes after it waits for the next frame.
TEST_F(EventProc, WindowEventEndsTheDrain) {
  frame();
  push_window(SDL_WINDOWEVENT_MOVED);
  push_button(SDL_MOUSEBUTTONDOWN);
  frame();
  EXPECT_EQ(mnw.mouse_down, 0);
  frame();
  EXPECT_EQ(mnw.mouse_down, 1);
}

TEST_F(EventProc, StartwindSizesAndCentresScreens) {
  struct {
    int w, h, screen;
    float ox, oy;
    int modal;
    float sw, sh;
  } cases[] = {
      {1024, 768, 0, 0, 0, 0, 1024, 768},
      {1024, 768, 994, 302, 259, 1, 420, 250},
      {2000, 700, 994, 290, 225, 1, 420, 250},  // wider than twice the height: the left half
      {300, 200, 994, 0, 0, 1, 420, 250},       // a screen larger than the window
      {1025, 769, 994, 303, 260, 1, 420, 250},  // 302.5 and 259.5 round away from zero
      {1024, 768, 3, 0, 0, 0, 1024, 768},       // not in the table
      {1024, 768, 500, 0, 0, 0, 1024, 768},
      {1024, 768, 2, 212, 194, 1, 600, 380},
  };
  for (const auto& c : cases) {
    mnw.draw_w = c.w;
    mnw.draw_h = c.h;
    mnw.mouse_held = mnw.mouse_down = 1;
    mnw.open_menu = 4;
    MACIBM_startwind(c.screen);
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " " + std::to_string(c.screen));
    EXPECT_EQ(mnw.topwi, c.screen);
    EXPECT_FLOAT_EQ(mnw.origin_x, c.ox);
    EXPECT_FLOAT_EQ(mnw.origin_y, c.oy);
    EXPECT_EQ(mnw.modal, c.modal);
    EXPECT_FLOAT_EQ(mnw.screen_w, c.sw);
    EXPECT_FLOAT_EQ(mnw.screen_h, c.sh);
    EXPECT_EQ(mnw.open_menu, -1);
    EXPECT_EQ(mnw.mouse_held + mnw.mouse_down, 0);
  }
  MACIBM_startwind(2);
  EXPECT_EQ(stls.title, "Prefs");
  stls.texts[600] = "Alert";
  MACIBM_startwind(994);
  EXPECT_EQ(stls.title, "Alert");
}

// The close boxes of a modal screen sit in the corners of its top strip; Return (by key)
// closes the screens that have them, never the alerts and the engine's questions.
TEST_F(EventProc, CloseBoxesAndReturnCloseOnlyScreensThatHaveThem) {
  frame();
  struct {
    float x, y;
    bool closes;
  } clicks[] = {{0, 380, true},   {25, 380, true},  {575, 380, true}, {600, 360, true},
                {26, 380, false}, {10, 359, false}, {300, 370, false}, {574, 370, false}};
  for (const auto& c : clicks) {
    MACIBM_startwind(2);
    mnw.mouse_x = c.x;
    mnw.mouse_y = c.y;
    return_hit = 1;
    MACIBM_handleclick(0);
    EXPECT_EQ(mnw.topwi == 0, c.closes) << c.x << "," << c.y;
    EXPECT_EQ(return_hit, c.closes ? 0 : 1);
  }
  for (int screen : {1, 2, 992, 993, 994, 995, 996, 997, 998, 999}) {
    MACIBM_startwind(screen);
    mnw.mouse_x = mnw.mouse_y = 100;
    MACIBM_handleclick(1);
    const bool own_buttons_only = screen >= 994;
    EXPECT_EQ(mnw.topwi, own_buttons_only ? screen : 0) << screen;
    // Nor does a click in the corner close them.
    MACIBM_startwind(screen);
    mnw.mouse_x = 5;
    mnw.mouse_y = mnw.screen_h - 5;
    MACIBM_handleclick(0);
    EXPECT_EQ(mnw.topwi, own_buttons_only ? screen : 0) << screen;
  }
}

TEST_F(EventProc, MenusOpenCloseAndChooseItems) {
  frame();
  menu[0].name = "File";
  menu[0].x1 = 0;
  menu[0].y1 = 750;
  menu[0].x2 = 60;
  menu[0].y2 = 768;
  menu[0].items = {{"Open", 11, 0, 736, 180, 748},
                   {"-", 0, 0, 734, 180, 736},
                   {"=Header", 12, 0, 722, 180, 734},
                   {"", 13, 0, 710, 180, 722},
                   {"Quit", 14, 0, 698, 180, 710}};
  menu[1].name = "Edit";
  menu[1].x1 = 60;
  menu[1].y1 = 750;
  menu[1].x2 = 120;
  menu[1].y2 = 768;

  auto click = [](float x, float y) {
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = 1;
    MACIBM_handleclick(0);
  };
  click(30, 760);
  EXPECT_EQ(mnw.open_menu, 0);
  EXPECT_EQ(mnw.mouse_down, 0) << "the menu takes the press";
  click(30, 760);
  EXPECT_EQ(mnw.open_menu, -1) << "a second click on the title closes it";
  for (float y : {735.0f, 728.0f, 716.0f}) {  // separator, '=' item, empty item
    click(30, 760);
    click(30, y);
    EXPECT_EQ(mnw.open_menu, -1);
    EXPECT_TRUE(rec.menu_codes.empty()) << y;
    EXPECT_EQ(mnw.mouse_down, 1) << "a click beside the items is left to the widgets";
  }
  click(30, 760);
  click(30, 700);
  EXPECT_EQ(rec.menu_codes, std::vector<int>{14});
  EXPECT_EQ(mnw.open_menu, -1);

  // Over another title while a menu is open, that one opens instead.
  click(30, 760);
  mnw.mouse_down = 0;
  MACIBM_load_mxy(nullptr, 90, 8);
  EXPECT_FLOAT_EQ(mnw.mouse_y, 760);
  MACIBM_handleclick(0);
  EXPECT_EQ(mnw.open_menu, 1);
}

// A free menu entry has the box (0, 0, 0, 0): a press at the window's corner must not open it.
TEST_F(EventProc, FreeMenuEntriesAreNeverHit) {
  frame();
  mnw.mouse_x = mnw.mouse_y = 0;
  mnw.mouse_down = 1;
  MACIBM_handleclick(0);
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_EQ(mnw.mouse_down, 1);
}

TEST_F(EventProc, PopUpPickGoesToTheWidgetThatOpenedIt) {
  frame();
  menu[popup_menu].items = {{"one", 0, 100, 300, 200, 312}, {"two", 0, 100, 288, 200, 300}};
  mnw.open_menu = popup_menu;
  active_popup_code = 77;
  mnw.mouse_x = 150;
  mnw.mouse_y = 290;
  mnw.mouse_down = 1;
  MACIBM_handleclick(0);
  EXPECT_EQ(popup_menu_select, 1);
  EXPECT_EQ(select_popup_code, 77);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_TRUE(rec.menu_codes.empty());
}

TEST_F(EventProc, HoverHelpBoxPlacementAndHeight) {
  frame();
  struct {
    float mx, my;
    size_t length;
    std::string frame;
  } cases[] = {
      {500, 300, 10, "14 75 305 420 80"},      // beside the mouse, the least height
      {100, 300, 10, "14 0 305 420 80"},       // near the left edge: 10 from it
      {1000, 300, 120, "14 575 305 420 80"},   // 2 lines' worth is still the least height
      {500, 740, 300, "14 75 658 420 100"},    // near the top: kept inside the window
      {500, 740, 2000, "14 75 438 420 320"},   // tallest box: 300
      {500, -50, 0, ""},                       // no text, no box
  };
  for (const auto& c : cases) {
    rec.frames.clear();
    stls.help = std::string(c.length, 'h');
    mnw.mouse_x = c.mx;
    mnw.mouse_y = c.my;
    mnw.activity_time = xtim.elapsed - 2;
    mouse_help_per_wind(0);
    EXPECT_EQ(rec.frames.empty() ? "" : rec.frames[0], c.frame) << c.mx << "," << c.my;
    EXPECT_TRUE(stls.help.empty()) << "cleared every frame";
  }
  // Not before the mouse has been still for a second.
  rec.frames.clear();
  stls.help = "help";
  mnw.activity_time = xtim.elapsed;
  mouse_help_per_wind(0);
  EXPECT_TRUE(rec.frames.empty());
}

TEST_F(EventProc, CursorHidesWhenStillAndAlwaysShowsOnDialogs) {
  frame();
  mnw.activity_time = xtim.elapsed;
  frame(5);
  EXPECT_TRUE(shell_cursor_shown());
  frame(6);
  EXPECT_EQ(mnw.cursor_request, 2);
  EXPECT_FALSE(shell_cursor_shown());
  MACIBM_startwind(994);
  EXPECT_TRUE(shell_cursor_shown());
  frame();
  EXPECT_EQ(mnw.cursor_request, 0);
  EXPECT_TRUE(shell_cursor_shown());

  // Cursor pictures come from the atlas: request 3 is column 0, 11 follows the button.
  MACIBM_startwind(0);
  mnw.activity_time = xtim.elapsed;
  for (int request : {3, 11, 14}) {
    rec.cursors.clear();
    mnw.cursor_request = request;
    mnw.mouse_held = 0;
    mouse_help_per_wind(0);
    ASSERT_EQ(rec.cursors.size(), 1u);
    EXPECT_EQ(rec.cursors[0], request == 3 ? 200 : request == 11 ? 328 : 168);
  }
}

// Reports that workers post wait until the main screen is current again.
std::atomic<int> posted{0};
TEST_F(EventProc, WorkerReportsWaitForTheMainScreen) {
  THREAD_init();
  frame();
  MACIBM_startwind(2);
  UTL_thread t{}, id{}, join{};
  THREAD_create(
      [](void*) -> void* {
        __MACIBM_alert(0, "from a worker", "", "", "", t_alert, "w.cpp", 7);
        posted = 1;
        return nullptr;
      },
      nullptr, &t, &id, &join, 0);
  UTL_thread_join(t, join);
  ASSERT_EQ(posted, 1);
  frame();
  EXPECT_TRUE(boxes.empty());
  MACIBM_startwind(0);
  frame();
  EXPECT_EQ(boxes, std::vector<std::string>{"from a worker | "});
  THREAD_shutdown();
}

// Each kind of texture failure is reported once, then muted.
int failed[3];
TEST_F(EventProc, TextureFailuresAreReportedOnce) {
  failed[0] = 0, failed[1] = 1, failed[2] = 1;
  frame_parts.texture_failed = [](int kind) { return failed[kind]; };
  frame_parts.mute_texture_failure = [](int kind) { failed[kind] = 0; };
  frame();
  frame();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0],
            "Some textures for the aircraft you selected could not be loaded. This may be an "
            "installation problem or you may have a damaged add-on aircraft package.|Please see "
            "the log.txt file for a detailed list of missing files. ");
  EXPECT_EQ(boxes[1].rfind("Some textures could not be loaded. This may be an installation "
                           "problem.  Run the installer/updater again",
                           0),
            0u);
  failed[0] = 1;
  MACIBM_startwind(2);
  frame();
  EXPECT_EQ(boxes.size(), 2u) << "waits while a modal screen is current";
}

}  // namespace
