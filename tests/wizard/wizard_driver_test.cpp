// The wizard's page driver with the drawing recorded: which screen is current after a frame with
// a given click, the first-frame flag, the cancel hook, the bottom bar's geometry and bands by
// language and mouse state, and the progress bar's length.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "install/installer_state.h"
#include "platform/event_wait.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "wizard/page_calls.h"
#include "wizard/server_list.h"
#include "wizard/wizard_driver.h"

namespace {

struct quad_drawn {
  int texture;
  float alpha;
  float c[4][4];
};
struct frame_drawn {
  int type;
  float x, y, width;
};
std::vector<quad_drawn> quads;
std::vector<frame_drawn> frames;
std::vector<std::string> texts;
int click_choice = -1;  // the choice button that reports a click
int choice_seen = 0;

void rec_quad(int texture, int, float alpha, const float c[4][4], int, int) {
  quad_drawn q{texture, alpha, {}};
  std::memcpy(q.c, c, sizeof q.c);
  quads.push_back(q);
}
void rec_frame1(int type, float x, float y, float w, int) { frames.push_back({type, x, y, w}); }
void rec_string(int, float, float, const std::string& text, float, int, int) { texts.push_back(text); }
int rec_action(float, float, float, int, int, const std::string&, const std::string&) {
  return choice_seen++ == click_choice ? 1 : 0;
}

// Screens of a small flow, counting their first frames.
int a_firsts = 0, b_firsts = 0, cancels = 0;
int result_of_a = 0;
bool a_has_next = true;
int screen_b(int first, wizard_screen& page);
int screen_c(int, wizard_screen&) { return 0; }
void count_cancel() { ++cancels; }
int works = 0;
void count_work() { ++works; }
int screen_a(int first, wizard_screen& page) {
  a_firsts += first;
  page.while_drawn = count_work;
  if (a_has_next) page.go_next = screen_b;
  page.on_cancel = count_cancel;
  page.choices = {"one", "two"};
  page.choice_funcs = {screen_b, screen_c};
  return result_of_a;
}
int screen_b(int first, wizard_screen& page) {
  b_firsts += first;
  page.go_back = screen_a;
  return 0;
}
int finish_screen(int, wizard_screen& page) {
  page.go_next = wizard_quit;
  return 0;
}
float bar_progress = -1;
int bar_screen(int, wizard_screen& page) {
  page.progress = bar_progress;
  page.allow_prefs = 1;
  return 0;
}

class Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    page_calls c;
    c.quad_2d = rec_quad;
    c.frame1 = rec_frame1;
    c.draw_string = rec_string;
    c.action = rec_action;
    install_page_calls(c);
    std::memset(&mnw, 0, sizeof mnw);
    mnw.screen_w = 800;
    mnw.screen_h = 600;
    mnw.mouse_x = mnw.mouse_y = -100;
    std::memset(&stg, 0, sizeof stg);
    wizard_driver_reset();
    step_names.clear();
    step_funcs.clear();
    app_done = 0;
    a_firsts = b_firsts = cancels = 0;
    result_of_a = 0;
    a_has_next = true;
    click_choice = -1;
  }
  void TearDown() override {
    install_page_calls(page_calls{});
    app_done = 0;
  }
  // One frame; click names a point of the window that is pressed in it.
  void frame(float x = -100, float y = -100, bool down = false) {
    quads.clear();
    frames.clear();
    texts.clear();
    choice_seen = 0;
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = down ? 1 : 0;
    APP_update();
  }
  void click(float x, float y) { frame(x, y, true); }
  // The bottom-bar quads of the last frame (the atlas texture), left to right as drawn.
  std::vector<quad_drawn> bar() {
    std::vector<quad_drawn> out;
    for (const quad_drawn& q : quads)
      if (q.texture == button_atlas_texture) out.push_back(q);
    return out;
  }
};

// English: Quit 30..86, Preferences 96..182, Back 570..659, Next 669..770; y 12..34.
constexpr float next_x = 700, back_x = 600, quit_x = 50, bar_y = 20;

TEST_F(Driver, TransitionsByClickAndResult) {
  struct row {
    const char* name;
    bool has_next;
    int result;
    float x;  // a bottom-bar button clicked, or -100
    int choice;
    wizard_func expected;
  } rows[] = {
      {"Next with go_next", true, 0, next_x, -1, screen_b},
      {"Next without go_next", false, 0, next_x, -1, screen_a},
      {"result 1 without go_next", false, 1, -100, -1, screen_a},
      {"result 1 with go_next", true, 1, -100, -1, screen_b},
      {"choice 1", true, 0, -100, 1, screen_c},
      {"choice 0", true, 0, -100, 0, screen_b},
      {"Back disabled does nothing", true, 0, back_x, -1, screen_a},
  };
  for (const row& r : rows) {
    SetUp();
    g_wizard = screen_a;
    a_has_next = r.has_next;
    result_of_a = r.result;
    click_choice = r.choice;
    platform_wait_for_events(0);
    works = 0;
    click(r.x, bar_y);
    EXPECT_EQ(g_wizard, r.expected) << r.name;
    EXPECT_EQ(app_done, 0) << r.name;
    // A new page comes at once, without the frame's wait; the page's work while its frame is
    // rendered runs only when the page stays.
    const bool changed = r.expected != screen_a;
    EXPECT_EQ(platform_wait_for_events(0), changed) << r.name;
    wizard_while_frame_renders();
    EXPECT_EQ(works, changed ? 0 : 1) << r.name;
  }
}

TEST_F(Driver, PageWorkWhileRenderedOnlyForTheShownPage) {
  g_wizard = screen_a;
  works = 0;
  frame();
  wizard_while_frame_renders();
  EXPECT_EQ(works, 1);
  // A page without work clears the last one's; so does the end of the program.
  g_wizard = screen_b;
  frame();
  wizard_while_frame_renders();
  EXPECT_EQ(works, 1);
  g_wizard = screen_a;
  frame();
  app_done = 1;
  wizard_while_frame_renders();
  EXPECT_EQ(works, 1);
}

TEST_F(Driver, ResultWinsOverBackInTheSameFrame) {
  g_wizard = screen_b;
  frame();
  // screen_b offers Back to a; a screen whose result is 1 in the frame of a Back click still
  // advances. Here: a returns 1 and the user clicks Back (disabled on a): go_next wins.
  g_wizard = screen_a;
  result_of_a = 1;
  click(back_x, bar_y);
  EXPECT_EQ(g_wizard, screen_b);
}

TEST_F(Driver, FirstFrameOncePerEntry) {
  g_wizard = screen_a;
  frame();
  frame();
  EXPECT_EQ(a_firsts, 1);
  click(next_x, bar_y);  // to b
  frame();
  frame();
  EXPECT_EQ(b_firsts, 1);
  click(back_x, bar_y);  // back to a
  frame();
  frame();
  EXPECT_EQ(a_firsts, 2);
  EXPECT_EQ(g_wizard, screen_a);
}

TEST_F(Driver, QuitRunsTheCancelHookOnceAndEnds) {
  g_wizard = screen_a;
  click(quit_x, bar_y);
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(app_done, 1);
  // The program's end runs the last page's hook again only when Quit did not already.
  wizard_cancel_work();
  EXPECT_EQ(cancels, 1);
}

TEST_F(Driver, EndingOtherwiseStillRunsTheCancelHook) {
  g_wizard = screen_a;
  frame();
  app_done = 1;  // the window's close button, say
  wizard_cancel_work();
  EXPECT_EQ(cancels, 1);
}

TEST_F(Driver, NullScreenEndsTheProgram) {
  g_wizard = nullptr;
  frame();
  EXPECT_EQ(app_done, 1);
}

TEST_F(Driver, FinishPageBar) {
  g_wizard = bar_screen;
  frame();
  std::vector<quad_drawn> normal = bar();
  ASSERT_EQ(normal.size(), 4u);  // Quit, Preferences, Next, Back
  g_wizard = finish_screen;
  frame();
  std::vector<quad_drawn> finish = bar();
  ASSERT_EQ(finish.size(), 3u);  // Preferences, Next (as Quit), Back
  EXPECT_FLOAT_EQ(finish[0].c[0][0], normal[1].c[0][0]) << "Preferences keeps its place";
  // The right-hand button shows the Quit icon: texture s from 0 to 56/1024, right edge at 770.
  EXPECT_FLOAT_EQ(finish[1].c[0][2], 0.0f);
  EXPECT_FLOAT_EQ(finish[1].c[2][2], 56.0f / 1024);
  EXPECT_FLOAT_EQ(finish[1].c[2][0], 770.0f);
  // Clicking it quits on the next frame.
  click(750, bar_y);
  frame();
  EXPECT_EQ(app_done, 1);
}

TEST_F(Driver, ProgressBarLength) {
  struct row {
    float progress;
    float length;  // -1: hidden
  } rows[] = {{-1, -1}, {0, 20.8f}, {0.5f, 270.4f}, {1, 520}, {7, 520},
              {std::numeric_limits<float>::quiet_NaN(), -1}};
  for (const row& r : rows) {
    g_wizard = bar_screen;
    bar_progress = r.progress;
    frame();
    if (r.length < 0) {
      EXPECT_TRUE(frames.empty()) << r.progress;
      continue;
    }
    ASSERT_EQ(frames.size(), 2u) << r.progress;
    EXPECT_EQ(frames[0].type, 4);
    EXPECT_FLOAT_EQ(frames[0].width, 520);
    EXPECT_EQ(frames[1].type, 5);
    EXPECT_NEAR(frames[1].width, r.length, 1e-3) << r.progress;
    EXPECT_NEAR(frames[1].x - frames[1].width / 2, 240, 1e-3) << "the fill starts at the trough's left";
  }
}

TEST_F(Driver, ButtonWidthsAlignmentAndBands) {
  struct row {
    int language, icon, align;
    float x;
    int width;
    float left;
  } rows[] = {
      {0, 1, 1, 100, 89, 100},       {1, 1, 1, 100, 81, 100},    {2, 1, 1, 100, 85, 100},
      {1, 1, -1, 100, 81, 19},       {1, 1, 0, 100, 81, 59.5f},  {2, 6, 1, 0, 97, 0},
  };
  for (const row& r : rows) {
    mnw.language = r.language;
    quads.clear();
    int w = 0;
    interface_rect(r.x, 12, r.icon, r.align, &w, 1, 0);
    EXPECT_EQ(w, r.width) << r.language << "/" << r.icon;
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_FLOAT_EQ(quads[0].c[0][0], r.left) << r.language << "/" << r.icon << " align " << r.align;
  }
  mnw.language = 0;
  // Bands: the lower t of the quad's bottom corners.
  struct band {
    float mx;
    int held, enabled, look;
    float t0, alpha;
  } bands[] = {
      {50, 0, 1, 0, 0.0f, 1},             // hover
      {50, 1, 1, 0, 0.1796875f, 1},       // pressed
      {500, 0, 1, 0, 0.359375f, 1},       // outside: normal
      {50, 1, 0, 2, 0.359375f, 0.5f},     // disabled: normal, half opacity
  };
  for (const band& b : bands) {
    quads.clear();
    mnw.mouse_x = b.mx;
    mnw.mouse_y = 20;
    mnw.mouse_held = b.held;
    mnw.mouse_down = 1;
    int clicked = interface_rect(30, 12, 0, 1, nullptr, b.enabled, b.look);
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_FLOAT_EQ(quads[0].c[0][3], b.t0) << b.mx << " held " << b.held << " enabled " << b.enabled;
    EXPECT_FLOAT_EQ(quads[0].alpha, b.alpha);
    // The click does not depend on enabled; edges count as inside.
    EXPECT_EQ(clicked, b.mx <= 86 ? 1 : 0);
  }
  mnw.mouse_x = 86;
  mnw.mouse_y = 34;
  EXPECT_EQ(interface_rect(30, 12, 0, 1, nullptr, 1, 0), 1) << "top-right corner is inside";
}

TEST_F(Driver, StepListAndBetaNote) {
  step_names = {"Welcome", "Finish"};
  step_funcs = {screen_a, screen_c};
  g_wizard = screen_a;
  stg.get_beta = 1;
  frame();
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Welcome");
  EXPECT_EQ(texts[1], "Finish");
  EXPECT_NE(texts[2].find("betas."), std::string::npos);
}

TEST_F(Driver, ServerListShowsTheDescriptionsAfterTheBar) {
  stg.server_count = 2;
  server_desc[0] = "A|First mirror";
  server_desc[1] = "no bar";
  g_wizard = [](int, wizard_screen& page) {
    page.show_servers = 1;
    return 0;
  };
  frame();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "First mirror"), texts.end());
  EXPECT_EQ(std::find(texts.begin(), texts.end(), "no bar"), texts.end());
  server_desc[0].clear();
  server_desc[1].clear();
}

}  // namespace
