#include "shell/event_proc.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>

#include "graphics/draw_2d.h"
#include "platform/event_wait.h"
#include "platform/window_events.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "runtime/thread_layer.h"
#include "shell/frame_input.h"
#include "shell/frame_parts.h"
#include "shell/menus.h"
#include "shell/shell_globals.h"

namespace {

int win_started = 0;
int os_mouse_showing = 1;
int mouse_was_plugin = 0;

// The frame's event wait, in milliseconds: one tick of the original's clock.
constexpr int frame_wait_ms = 17;
// Pacing of a quiet page. Every frame draws the whole page, which on a software renderer costs
// a good part of a core at one frame a tick. When nothing has happened for quiet_after_ms (no
// window event, no input, no ready descriptor of a running transfer, and every frame drew the
// same picture as the one before), the wait stretches to quiet_wait_ms: frames, and with them
// the app's update, keep coming six or seven times a second, any event still ends the wait at
// once, so input is handled as soon as it arrives, and the first frame that draws something
// new (a progress bar moving, a caret blinking) brings back frames a tick apart.
constexpr int quiet_after_ms = 500;
constexpr int quiet_wait_ms = 150;
std::chrono::steady_clock::time_point last_wake = std::chrono::steady_clock::now();
uint64_t last_picture = 0;

bool page_quiet = false;
int frames_since_look = 0;

// A frame whose picture differs from the last one counts as something happening. Reading the
// picture back makes a hardware pipeline finish the frame first, so while frames come a tick
// apart only every eighth is looked at (a change still shows within about a seventh of a
// second); a quiet page, at six or seven frames a second, is looked at every frame.
void note_picture() {
  if (!page_quiet && ++frames_since_look < 8) return;
  frames_since_look = 0;
  const uint64_t picture = OGL_back_buffer_digest();
  if (picture == last_picture) return;
  last_picture = picture;
  last_wake = std::chrono::steady_clock::now();
}

float pixels_per_unit() { return mnw.pix_per_unit > 0 ? mnw.pix_per_unit : 1.0f; }

bool box_holds(short x1, short y1, short x2, short y2, float x, float y) {
  return x1 <= x && x <= x2 && y1 <= y && y <= y2;
}

// The screens whose clicks go to the open menu's items only: the alerts and questions that
// draw no close boxes. The install engine's abort question (997) is among them, so Return
// cannot close it without one of its buttons' answers.
bool closes_only_by_its_buttons(int screen) {
  switch (screen) {
    case 994: case 995: case 996: case 997: case 998: case 999: return true;
    default: return false;
  }
}

// Half away from zero, to a whole number.
float round_half_away(float v) { return v < 0 ? -std::floor(-v + 0.5f) : std::floor(v + 0.5f); }

float origin_of(int drawable, float screen) {
  const float ppu = pixels_per_unit();
  const float o = std::trunc(round_half_away((drawable - ppu * screen) / 2) / ppu);
  return o < 0 ? 0 : o;
}

void quit_path() {
  if (frame_parts.on_quit) frame_parts.on_quit();
  app_done = 1;
}

void item_test() {
  const int open = mnw.open_menu;
  if (open >= 0 && open < static_cast<int>(menu.size())) {
    const std::vector<item_struct>& items = menu[open].items;
    for (size_t i = 0; i < items.size(); ++i) {
      const item_struct& it = items[i];
      if (it.label.empty() || it.label[0] == '-' || it.label[0] == '=') continue;
      if (!box_holds(it.x1, it.y1, it.x2, it.y2, mnw.mouse_x, mnw.mouse_y)) continue;
      if (open == popup_menu) {
        popup_menu_select = static_cast<int>(i);
        select_popup_code = active_popup_code;
        active_popup_code = 0;
      } else if (frame_parts.app_handlemenu) {
        frame_parts.app_handlemenu(it.code);
      }
      mnw.open_menu = -1;
      mnw.mouse_down = 0;
      return;
    }
  }
  mnw.open_menu = -1;
}

struct texture_failure {
  int line;
  const char* first;
  const char* second;
};
const texture_failure texture_failures[3] = {
    {1588, "Some scenery textures could not be loaded.",
     "This may be an installation problem or you may have a damaged add-on scenery package."},
    {1589, "Some textures for the aircraft you selected could not be loaded.",
     "This may be an installation problem or you may have a damaged add-on aircraft package."},
    {1590, "Some textures could not be loaded.",
     "This may be an installation problem.  Run the installer/updater again to get these "
     "missing textures."},
};

void report_texture_failures() {
  if (!frame_parts.texture_failed) return;
  for (int kind = 0; kind < 3; ++kind) {
    if (!frame_parts.texture_failed(kind)) continue;
    // Muted first: the alert runs frames of its own, which must not report the kind again.
    if (frame_parts.mute_texture_failure) frame_parts.mute_texture_failure(kind);
    const texture_failure& f = texture_failures[kind];
    __MACIBM_alert(0, f.first, f.second,
                   "Please see the log.txt file for a detailed list of missing files.", "", t_alert,
                   "hl_mnw", f.line);
  }
}

void drain_events() {
  const auto now = std::chrono::steady_clock::now();
  page_quiet = now - last_wake > std::chrono::milliseconds(quiet_after_ms);
  if (platform_wait_for_events(page_quiet ? quiet_wait_ms : frame_wait_ms)) {
    last_wake = std::chrono::steady_clock::now();
    page_quiet = false;
  }
  window_event e;
  while (window_poll_event(&e)) {
    last_wake = std::chrono::steady_clock::now();
    page_quiet = false;
    if (e.type == window_event_type::key_down) window_take_text_after_key(&e.text);
    APL_handlewin(e);
    // A window event ends the drain, as the original stopped after an operating-system event.
    if (e.type == window_event_type::exposed || e.type == window_event_type::focus_gained ||
        e.type == window_event_type::other_window)
      break;
  }
}

// Until a key translation is installed, the keys the frame itself needs: Return (keypad Enter
// too) accepts and closes modal screens, Escape and the delete keys set their flags.
void basic_key(const window_event& e) {
  if (e.type != window_event_type::key_down) return;
  switch (window_role_of_key(e.scancode)) {
    case window_key_return:
      return_hit = 1;
      if (mnw.topwi != 0) MACIBM_handleclick(1);
      break;
    case window_key_escape: escape_hit = 1; break;
    case window_key_delete: delete_hit = 1; break;
    default: break;
  }
}

void key_event(const window_event& e) {
  if (frame_parts.handle_key_raw) frame_parts.handle_key_raw(e);
  else basic_key(e);
}

void draw_cursor(int request) {
  int col, row;
  switch (request) {
    case 3: col = 0; row = 1; break;
    case 4: col = 1; row = 1; break;
    case 5: col = 0; row = 0; break;
    case 6: col = 1; row = 0; break;
    case 7: col = 2; row = 1; break;
    case 8: col = 3; row = 1; break;
    case 9: col = 2; row = 0; break;
    case 10: col = 3; row = 0; break;
    case 11: col = mnw.mouse_held ? 5 : 4; row = 1; break;
    case 12: col = mnw.mouse_held ? 5 : 4; row = 0; break;
    case 14: col = -1; row = 0; break;
    default: col = -1; row = 1; break;  // 13 and above 14
  }
  if (!frame_parts.quad_2d) return;
  const float u = (col * 32 + 200) / 512.0f, v = (row * 32 + 293) / 512.0f, d = 30 / 512.0f;
  const float x = mnw.mouse_x, y = mnw.mouse_y;
  const float corners[4][4] = {{x - 15, y - 15, u, v},
                               {x + 15, y - 15, u + d, v},
                               {x + 15, y + 15, u + d, v + d},
                               {x - 15, y + 15, u, v + d}};
  frame_parts.quad_2d(392, 49, 1.0f, corners);
}

}  // namespace

void shell_event_proc_reset() {
  win_started = 0;
  last_wake = std::chrono::steady_clock::now();
  last_picture = 0;
  page_quiet = false;
  frames_since_look = 0;
  os_mouse_showing = 1;
  mouse_was_plugin = 0;
}

bool shell_cursor_shown() { return os_mouse_showing != 0; }

void MACIBM_event_proc() {
  xtim_class::profile_chart("init", 0);
  return_hit = escape_hit = delete_hit = 0;
  mnw.mouse_down = mnw.mouse_up = mnw.key_went_down = 0;
  if (mnw.topwi == -1) mnw.topwi = 0;
  if (!win_started) {
    win_started = 1;
    MACIBM_startwind(mnw.topwi);
  }
  xtim_class::profile_chart("startwin", 0);

  int h = 0, up = 0;
  window_mouse_state(&h, &up);
  MACIBM_load_mxy(mnw.windows[0], h, mnw.draw_h - up);
  mnw.mouse_in = mnw.mouse_wi;

  drain_events();
  xtim_class::profile_chart("event", 0);
  xtim_class::profile_chart("netlist", 0);

  // Reports and texture failures wait while a modal screen is current.
  if (mnw.topwi == 0) {
    THREAD_check_exception(1);
    if (mnw.topwi == 0) report_texture_failures();
  }

  xtim.xtim_update();
  if (frame_parts.run_repeat_keys) frame_parts.run_repeat_keys();
  mnw.cursor_request = 0;

  // Moving over another title while a menu is open opens that one instead.
  if (mnw.open_menu != -1) {
    const int bar = std::min<int>(static_cast<int>(menu.size()), popup_menu);
    for (int i = 0; i < bar; ++i) {
      const menu_struct& m = menu[i];
      // A free entry (empty name) is never hit: its box is (0, 0, 0, 0).
      if (m.name.empty() || m.parent != -1 || i == mnw.open_menu) continue;
      if (box_holds(m.x1, m.y1, m.x2, m.y2, mnw.mouse_x, mnw.mouse_y)) MACIBM_handleclick(0);
    }
  }
  xtim_class::profile_chart("menu", 0);

  if (frame_parts.begin_focus_ring) frame_parts.begin_focus_ring();
  if (!mnw.modal && frame_parts.app_update) frame_parts.app_update();
  mouse_help_per_wind(mnw.topwi);
  if (frame_parts.standard_gui) frame_parts.standard_gui();

  // The page's work goes on while the renderer draws the frame: on a software renderer the
  // swap would otherwise wait for it with the page idle.
  if (!mnw.modal && frame_parts.while_frame_renders) {
    if (frame_parts.flush_drawing) frame_parts.flush_drawing();
    frame_parts.while_frame_renders();
  }
  note_picture();
  if (!(frame_parts.movie_per_frame && frame_parts.movie_per_frame()) && frame_parts.swap_buffers)
    frame_parts.swap_buffers();
  xtim_class::profile_chart("sbuff", 0);
  xtim_class::profile_chart("oglwork", 0);
  xtim_class::profile_chart("finish", 1);
}

void APL_handlewin(const window_event& e) {
  switch (e.type) {
    case window_event_type::key_down:  // a repeat is the original's auto-key
      mnw.key_went_down = 1;
      key_event(e);
      break;
    case window_event_type::key_up:
    case window_event_type::text:
      key_event(e);
      break;
    case window_event_type::mouse_down:
      // The original knows one button; the others do nothing.
      if (e.button != 1) break;
      mnw.mouse_down = 1;
      MACIBM_handleclick(0);
      break;
    case window_event_type::mouse_up:
      if (e.button == 1) mnw.mouse_up = 1;
      break;
    case window_event_type::wheel:
      mnw.wheel += e.wheel_y;
      break;
    case window_event_type::exposed:
      MACIBM_startwind(mnw.topwi);
      break;
    case window_event_type::quit:
      quit_path();
      break;
    default:
      break;
  }
}

void MACIBM_startwind(int screen, int) {
  plot_init_lights = 1;
  mouse_help_per_wind(screen);
  if (frame_parts.viewport_2d) frame_parts.viewport_2d();

  mnw.screen_w = static_cast<float>(mnw.draw_w);
  mnw.screen_h = static_cast<float>(mnw.draw_h);
  mnw.modal = 0;
  if (const shell_screen_entry* entry = MACIBM_screen_entry(screen)) {
    stls.title = MACIBM_screen_title(*entry);
    mnw.screen_w = static_cast<float>(entry->width);
    mnw.screen_h = static_cast<float>(entry->height);
    mnw.modal = 1;
  }

  BTN_unfocus_any();
  mnw.open_menu = -1;
  // A list left open on the last screen must not open itself on this one.
  active_popup_code = select_popup_code = 0;
  mnw.topwi = screen;
  mnw.mouse_wi = screen;

  // A window more than twice as wide as high centres screens within its left half.
  const int wide = mnw.draw_w > 2 * mnw.draw_h ? mnw.draw_w / 2 : mnw.draw_w;
  mnw.origin_x = origin_of(wide, mnw.screen_w);
  mnw.origin_y = origin_of(mnw.draw_h, mnw.screen_h);

  mnw.mouse_held = mnw.mouse_down = 0;
  mnw.wheel = 0;
  if (menu.size() > popup_menu) {
    menu_struct& p = menu[popup_menu];
    p.x1 = p.y1 = p.x2 = p.y2 = -1;
  }
}

void MACIBM_handleclick(int by_key) {
  const int screen = mnw.topwi;
  if (screen == 0) {
    const int bar = std::min<int>(static_cast<int>(menu.size()), popup_menu);
    for (int i = 0; i < bar; ++i) {
      const menu_struct& m = menu[i];
      if (m.name.empty()) continue;
      if (m.parent != -1 && m.parent != mnw.open_menu) continue;
      if (!box_holds(m.x1, m.y1, m.x2, m.y2, mnw.mouse_x, mnw.mouse_y)) continue;
      mnw.open_menu = mnw.open_menu == i ? -1 : i;
      mnw.mouse_down = 0;
      return;
    }
  } else if (!closes_only_by_its_buttons(screen)) {
    const float x = mnw.mouse_x, y = mnw.mouse_y, w = mnw.screen_w, h = mnw.screen_h;
    const bool top = h - 20 <= y && y <= h;
    const bool close_box = top && ((0 <= x && x <= 25) || (w - 25 <= x && x <= w));
    if (close_box || by_key) {
      if (frame_parts.zap_boxes) frame_parts.zap_boxes(1);
      if (frame_parts.swap_buffers) frame_parts.swap_buffers();
      return_hit = 0;
      MACIBM_startwind(0);
      return;
    }
  }
  item_test();
}

void mouse_help_per_wind(int screen) {
  const float still = xtim.elapsed - mnw.activity_time;
  if (!stls.help.empty() && still > 1.0f) {
    const float h = static_cast<float>(
        std::clamp(static_cast<int>(stls.help.size() / 50) * 10 + 20, 60, 300));
    const float ox = mnw.origin_x, oy = mnw.origin_y, mx = mnw.mouse_x, my = mnw.mouse_y;
    const float x = 10 - ox > mx - 415 ? 10 - ox : std::min(mnw.draw_w - 410 - ox, mx - 415);
    const float y = 10 - oy > my + 15 ? 10 - oy : std::min(mnw.draw_h - 20 - oy - h, my + 15);
    if (frame_parts.frame2) frame_parts.frame2(14, x - 10, y - 10, 420, h + 20, "");
    if (frame_parts.draw_string) frame_parts.draw_string(47, x + 3, y + h - 10, stls.help, 394, 0);
  }
  stls.help.clear();
  xtim_class::profile_chart("help", 0);

  if (still > 10.0f && screen == 0) mnw.cursor_request = 2;

  if (screen >= 992 && screen <= 999) {
    mnw.cursor_request = 0;
    if (!os_mouse_showing) {
      window_show_cursor(true);
      os_mouse_showing = 1;
    }
  } else if (mnw.cursor_request > 1) {
    if (os_mouse_showing) {
      window_show_cursor(false);
      os_mouse_showing = 0;
    }
  } else if (!os_mouse_showing) {
    window_show_cursor(true);
    os_mouse_showing = 1;
  }

  if (mouse_was_plugin && mnw.cursor_request != 1) {
    mouse_was_plugin = 0;
    window_arrow_cursor();
  }
  if (mnw.cursor_request == 1) mouse_was_plugin = 1;

  if (mnw.cursor_request >= 3) draw_cursor(mnw.cursor_request);
}

int has_optionkey() { return (window_modifiers() & window_mod_alt) ? 1 : 0; }
int has_shiftkey() { return (window_modifiers() & window_mod_shift) ? 1 : 0; }
int has_capslock() { return window_caps_lock() ? 1 : 0; }

void MACIBM_load_mxy(void*, int x, int y) {
  const float ppu = pixels_per_unit();
  mnw.mouse_x = x / ppu - mnw.origin_x;
  mnw.mouse_y = (mnw.draw_h - y) / ppu - mnw.origin_y;
}
