#include "wizard/wizard_driver.h"

#include <cmath>

#include "install/installer_state.h"
#include "platform/event_wait.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "wizard/page_calls.h"
#include "wizard/server_list.h"

wizard_func g_wizard = nullptr;
std::vector<std::string> step_names;
std::vector<wizard_func> step_funcs;

const float btn_cuts[8][3] = {
    {0, 0, 0},       {56, 91, 96},    {145, 172, 181}, {246, 284, 256},
    {357, 477, 422}, {489, 695, 611}, {605, 874, 762}, {691, 958, 859},
};

namespace {

wizard_func last = nullptr;
void (*last_cancel)() = nullptr;
// The screen before the current one and its title; the title of the last frame's page.
wizard_func came_from = nullptr;
std::string came_from_title, last_title;
// The work of this frame's page while the frame is rendered.
void (*frame_work)() = nullptr;

// Colours of the palette.
enum { col_white = 103, col_text = 12, col_step_now = 65, col_step = 45, col_beta = 69 };

int language_column() { return mnw.language >= 0 && mnw.language <= 2 ? mnw.language : 0; }

void draw_string(int colour, float x, float y, const std::string& text, float width, int bold, int align) {
  const page_calls& c = current_page_calls();
  if (c.draw_string) c.draw_string(colour, x, y, text, width, bold, align);
}

void set_white() {
  const page_calls& c = current_page_calls();
  if (c.set_colour) c.set_colour(col_white, 1, 1, 1);
}

void quad(int texture, float alpha, const float corners[4][4], int alpha_mode) {
  const page_calls& c = current_page_calls();
  if (c.quad_2d) c.quad_2d(texture, col_white, alpha, corners, 1, alpha_mode);
}

bool mouse_inside(float left, float bottom, float right, float top) {
  return mnw.mouse_x >= left && mnw.mouse_x <= right && mnw.mouse_y >= bottom && mnw.mouse_y <= top;
}

void draw_background() {
  set_white();
  const float w = mnw.screen_w, h = mnw.screen_h;
  const float corners[4][4] = {
      {0, 0, 0, 0}, {0, h, 0, h / 1024}, {w, h, w / 1024, h / 1024}, {w, 0, w / 1024, 0}};
  quad(background_texture, 1, corners, 4);
}

void draw_steps() {
  const page_calls& c = current_page_calls();
  if (c.frame2) {
    c.frame2(20, 10, 50, 190, 453, "");
    c.frame2(20, 210, 50, 580, 453, "");
  }
  const size_t n = step_names.size();
  for (size_t i = 0; i < n; ++i) {
    const bool now = i < step_funcs.size() && step_funcs[i] == g_wizard;
    draw_string(now ? col_step_now : col_step, 30, 480 - 20.0f * i, step_names[i], 170, now ? 1 : 0, -1);
  }
  if (stg.get_beta)
    draw_string(col_beta, 30, 480 - 20.0f * n,
                UTL_translate_string("You have chosen to download Skyrill 9 betas.  If you do not want "
                                     "this, choose options and uncheck the beta option."),
                160, 0, -1);
}

void draw_progress(const wizard_screen& page) {
  // Not a number fails the comparison and hides the bar, as a negative value does.
  if (!(page.progress >= 0)) return;
  const float length = std::fmin(520.0f, 520.0f * (0.96f * page.progress + 0.04f));
  const page_calls& c = current_page_calls();
  if (c.frame1) {
    c.frame1(4, 500 - mnw.origin_x, 155 - mnw.origin_y, 520, 0);
    c.frame1(5, 240 + length / 2 - mnw.origin_x, 155 - mnw.origin_y, length, 0);
  }
  draw_string(col_text, 242, 120, page.progress_text, 520, 0, -1);
}

void draw_servers() {
  const int count = stg.server_count;
  const page_calls& c = current_page_calls();
  for (int k = 0; k < count && k < max_servers; ++k) {
    const float y = 40.0f * count + 38 - 40.0f * k;
    if (c.is_int) c.is_int(30, y, &stg.server_pick, k, "");
    const std::string& desc = server_desc[k];
    const size_t bar = desc.find('|');
    draw_string(col_step, 50, y, bar == std::string::npos ? std::string() : desc.substr(bar + 1), 130, 0, -1);
  }
}

}  // namespace

float interface_icon_width(int icon) {
  const int col = language_column();
  return btn_cuts[icon + 1][col] - btn_cuts[icon][col];
}

int interface_rect(float x, float y, int icon, int align, int* width, int enabled, int look) {
  const int col = language_column();
  const float u0 = btn_cuts[icon][col], u1 = btn_cuts[icon + 1][col];
  const float w = u1 - u0;
  if (width) *width = static_cast<int>(w);
  const float left = align == 0 ? x - w / 2 : align == 1 ? x : x - w;
  const float right = left + w, bottom = y, top = y + 22;
  set_white();
  float t0 = 0.359375f, t1 = 0.53125f;  // the normal band
  const bool over = mouse_inside(left, bottom, right, top);
  if (enabled && over) {
    if (mnw.mouse_held) t0 = 0.1796875f, t1 = 0.3515625f;
    else t0 = 0.0f, t1 = 0.171875f;
  }
  const float corners[4][4] = {{left, bottom, u0 / 1024, t0},
                               {left, top, u0 / 1024, t1},
                               {right, top, u1 / 1024, t1},
                               {right, bottom, u1 / 1024, t0}};
  quad(button_atlas_texture, look == 2 ? 0.5f : 1.0f, corners, 5);
  return mnw.mouse_down && over ? 1 : 0;
}

void set_wizard_steps(const std::vector<wizard_step>& steps) {
  step_names.clear();
  step_funcs.clear();
  for (const wizard_step& step : steps) {
    step_names.push_back(UTL_translate_string(step.name));
    step_funcs.push_back(step.func);
  }
}

int wizard_quit(int, wizard_screen&) {
  app_done = 1;
  return 1;
}

void wizard_cancel_work() {
  void (*cancel)() = last_cancel;
  last_cancel = nullptr;
  if (cancel) cancel();
}

void wizard_while_frame_renders() {
  if (frame_work && !app_done) frame_work();
}

void APP_handlemenu(int) {}
void function_key(int) {}

wizard_func wizard_came_from() { return came_from; }
const std::string& wizard_came_from_title() { return came_from_title; }

void wizard_driver_reset() {
  last = nullptr;
  came_from = nullptr;
  came_from_title.clear();
  last_title.clear();
  last_cancel = nullptr;
  frame_work = nullptr;
}

void APP_update() {
  frame_work = nullptr;
  draw_background();
  draw_steps();
  if (!g_wizard) {
    wizard_cancel_work();
    app_done = 1;
    return;
  }
  wizard_screen page;
  const wizard_func shown = g_wizard;
  const int first = shown != last ? 1 : 0;
  if (first) {
    came_from = last;
    came_from_title = last_title;
  }
  const int result = shown(first, page);
  last_title = page.title;
  if (first) {
    xer << "Wizard page: " << page.title << "\n";
    xer.flush();
  }
  last = shown;
  last_cancel = page.on_cancel;

  draw_string(col_text, 500, 480, page.title, 540, 1, 0);
  draw_string(col_text, 230, 440, page.text, 540, 0, -1);

  const page_calls& c = current_page_calls();
  for (size_t j = 0; j < page.choices.size(); ++j) {
    if (c.action && c.action(500, 350 - 25.0f * j, 250, 0, 1, page.choices[j], "-") &&
        j < page.choice_funcs.size())
      g_wizard = page.choice_funcs[j];
  }
  draw_progress(page);
  if (page.show_servers && stg.server_count > 0) draw_servers();

  int w = 0;
  if (page.go_next != wizard_quit) {
    if (interface_rect(30, 12, 0, 1, &w, 1, 0)) {
      wizard_cancel_work();
      app_done = 1;
    }
  } else {
    w = static_cast<int>(interface_icon_width(0));
  }
  if (interface_rect(w + 40.0f, 12, 6, 1, &w, page.allow_prefs, page.allow_prefs ? 0 : 2) && page.allow_prefs &&
      c.open_prefs)
    c.open_prefs();
  const bool quits = page.go_next == wizard_quit;
  if (interface_rect(770, 12, quits ? 0 : 2, -1, &w, page.go_next != nullptr, page.go_next ? 0 : 2) && page.go_next)
    g_wizard = page.go_next;
  if (interface_rect(760.0f - w, 12, 1, -1, nullptr, page.go_back != nullptr, page.go_back ? 0 : 2) && page.go_back)
    g_wizard = page.go_back;
  if (result && page.go_next) g_wizard = page.go_next;
  // A new page is drawn at once, not after the frame's wait.
  if (g_wizard != shown) platform_wake_wait();
  else frame_work = page.while_drawn;
  // The finish page's quit ran through g_wizard = wizard_quit: its cancel runs at the loop's end.
}
