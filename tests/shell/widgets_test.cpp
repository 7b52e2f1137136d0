// The widget toolkit without GL: labels, the geometry of every frame routine as recorded at
// its drawing calls, the hit tests of close boxes, tabs, the compass, buttons, check boxes and
// radio buttons, and what each writes back.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "runtime/shell_records.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"
#include "support/interface_atlas.h"
#include "support/shell_double.h"

namespace {

struct recorded_batch {
  int ref;
  int colour;
  float s_scale, t_scale;
  std::vector<widget_quad> quads;
};
struct recorded_text {
  int colour;
  float x, y;
  std::string text;
  int align;
};

std::vector<recorded_batch> batches;
std::vector<recorded_text> texts;
std::vector<std::vector<float>> quads_2d;  // ref, colour, then corners
int swaps = 0;
int menu_is_open = 0;
std::string help_seen;

// Every character is 7 units wide, so widths are easy to reckon.
float fake_width(const std::string& text) { return 7.0f * static_cast<float>(text.size()); }

class WidgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    batches.clear();
    texts.clear();
    quads_2d.clear();
    swaps = 0;
    menu_is_open = 0;
    help_seen.clear();
    shell_double::reset();
    widget_draw_calls& d = widget_drawing();
    d.quads = [](int ref, int colour, float ss, float ts, const std::vector<widget_quad>& q) {
      batches.push_back({ref, colour, ss, ts, q});
    };
    d.quad_2d = [](int ref, int colour, float, const float c[4][4]) {
      std::vector<float> v{static_cast<float>(ref), static_cast<float>(colour)};
      for (int i = 0; i < 4; ++i) v.insert(v.end(), c[i], c[i] + 4);
      quads_2d.push_back(v);
    };
    d.text = [](int colour, float x, float y, const std::string& t, float, int align) {
      texts.push_back({colour, x, y, t, align});
      return y - 10;
    };
    d.text_width = fake_width;
    d.number = [](int colour, float x, float y, float value, int, int) {
      texts.push_back({colour, x, y, std::to_string(static_cast<int>(value)), -1});
    };
    d.swap = [] { ++swaps; };
    d.set_help = [](const std::string& h) { help_seen = h; };
    d.screen_title = [] { return std::string("Prefs"); };
    d.menu_open = [] { return menu_is_open; };
    mnw = mnw_struct{};
    mnw.topwi = 2;
    mnw.screen_w = 600;
    mnw.screen_h = 380;
  }
  void TearDown() override { widget_drawing() = widget_default_drawing(); }

  static void press_at(float x, float y) {
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = 1;
  }
};

void expect_quad(const widget_quad& q, float x0, float x1, float s0, float s1, const char* what) {
  EXPECT_FLOAT_EQ(q.x0, x0) << what;
  EXPECT_FLOAT_EQ(q.x1, x1) << what;
  EXPECT_NEAR(q.s0, s0, 0.01) << what;
  EXPECT_NEAR(q.s1, s1, 0.01) << what;
}

TEST(WidgetLabel, SplitsIntoLeftRightAndHelp) {
  struct row {
    const char* label;
    const char* left;
    const char* right;
    const char* help;
  } rows[] = {
      {"Next", "Next", "", ""},
      {"|English", "", "English", ""},
      {"a|b{ c", "a", "b", "c"},
      {"{ help", "", "", "help"},
      {"a{", "a", "", ""},  // a '{' at the very end: no help, and nothing thrown
      {"a{ ", "a", "", ""},
      {"a|b|c", "a|b", "c", ""},
      {"x{ h|y", "x", "", "h|y"},  // a '|' in the help is part of it
      {"", "", "", ""},
  };
  for (const row& r : rows) {
    std::string left = "junk", right = "junk", help = "junk";
    ASSERT_NO_THROW(BTN_expand_label(r.label, &left, &right, &help)) << r.label;
    EXPECT_EQ(left, r.left) << r.label;
    EXPECT_EQ(right, r.right) << r.label;
    EXPECT_EQ(help, r.help) << r.label;
  }
}

TEST_F(WidgetTest, LongLabelsBreakNearTheMiddle) {
  struct row {
    const char* text;
    int type;
    int expected_break;
  } rows[] = {
      {"Thirteenchars", 0, 0},       // 13 bytes, nothing to break at
      {"abcdefgh abc defg", 0, 8},   // spaces at 8 and 12, the middle is 8: exactly there
      {"abcdefgh abc defgh", 2, 8},  // 18 bytes, middle 9: 8 is nearer than 12
      {"abcdefg/ijklmnopqr", 0, 7},
      {"abcdefghi-klmnopqr", 2, 9},
      {"abcdef gh jklmnopq", 0, 9},  // blanks at 6 and 9: the middle itself wins
      {"abcdefghijklmnopq ", 0, 0},  // the only break is the last byte: refused
      {"abcdefgh abc defgh", 1, 0},  // centred labels never break
      {"-abcdefg hijklmnop", 0, 0},  // a leading '-' never breaks
  };
  for (const row& r : rows) EXPECT_EQ(BTN_label_break(r.text, r.type), r.expected_break) << r.text;

  // Equally near candidates: the earlier one wins (blanks at 7 and 11 around the middle 9).
  EXPECT_EQ(BTN_label_break("abcdefg ijk mnopqr", 0), 7);

  BTN_util_draw_label(100, 50, 0, "abcdefgh abc defgh", 1);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, "abcdefgh");
  EXPECT_FLOAT_EQ(texts[0].y, 55);
  EXPECT_EQ(texts[1].text, "abc defgh");
  EXPECT_FLOAT_EQ(texts[1].y, 45);
  EXPECT_EQ(texts[0].colour, 81);
  EXPECT_EQ(texts[0].align, 2);

  texts.clear();
  BTN_util_draw_label(100, 50, 2, "-abcdefg hijklmnop", 0);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "abcdefg hijklmnop");
  EXPECT_EQ(texts[0].colour, 43);
  EXPECT_EQ(texts[0].align, 0);

  texts.clear();
  BTN_util_draw_label(100, 50, 1, "", 0);
  EXPECT_TRUE(texts.empty());
}

TEST_F(WidgetTest, OneRowBarIsCapsTilesAndACutTile) {
  mnw.origin_x = 0;
  BTN_frame1(2, 50, 100, 100, 0);
  ASSERT_EQ(batches.size(), 1u);
  const std::vector<widget_quad>& q = batches[0].quads;
  ASSERT_EQ(q.size(), 5u);
  expect_quad(q[0], 0, 10, 304, 314, "left cap");
  expect_quad(q[1], 10, 42, 314, 346, "tile 1");
  expect_quad(q[2], 42, 74, 314, 346, "tile 2");
  expect_quad(q[3], 74, 90, 314, 304 + 10 + 16.0f * 32 / 42, "cut tile");
  expect_quad(q[4], 90, 100, 346, 356, "right cap");
  EXPECT_FLOAT_EQ(q[0].y0, 87);
  EXPECT_FLOAT_EQ(q[0].y1, 113);
  EXPECT_FLOAT_EQ(q[0].t0, 486);
  EXPECT_FLOAT_EQ(q[0].t1, 512);
  EXPECT_EQ(batches[0].ref, 392);
  EXPECT_FLOAT_EQ(batches[0].s_scale, 1.0f / 512);

  struct row {
    int type;
    float expect_y0;     // centre 100, minus half the height, plus the type's shift
    float expect_width;  // 100 plus the type's extra width
  } rows[] = {{0, 100 - 13 - 3, 100}, {1, 100 - 13 - 3, 100}, {4, 92, 100}, {9, 87, 104}, {10, 88, 104}};
  for (const row& r : rows) {
    batches.clear();
    BTN_frame1(r.type, 200, 100, 100, 0);
    ASSERT_EQ(batches.size(), 1u) << r.type;
    const std::vector<widget_quad>& b = batches[0].quads;
    EXPECT_FLOAT_EQ(b.front().y0, r.expect_y0) << r.type;
    EXPECT_FLOAT_EQ(b.back().x1 - b.front().x0, r.expect_width) << r.type;
  }

  // The screen origin is added once, and the centre rounds to a whole unit.
  batches.clear();
  mnw.origin_x = 300;
  mnw.origin_y = 20;
  BTN_frame1(2, 50.5f, 100, 100, 0);
  EXPECT_FLOAT_EQ(batches[0].quads[0].x0, 301);
  EXPECT_FLOAT_EQ(batches[0].quads[0].y0, 107);
}

TEST_F(WidgetTest, VerticalTrackColumnAndItsCutTile) {
  struct row {
    float height;
    int quads;          // caps and tiles
    float last_tile_t;  // the upper t of the tile under the top cap
  } rows[] = {{20, 3, 258 + 8.0f * 2 / 3}, {40, 4, 258 + 8.0f * 2 / 3}, {45, 4, 258 + 14.0f * 2 / 3}, {52, 4, 278}};
  for (const row& r : rows) {
    batches.clear();
    BTN_frame0(6, 100, 200, r.height);
    ASSERT_EQ(batches.size(), 1u);
    const std::vector<widget_quad>& q = batches[0].quads;
    ASSERT_EQ(static_cast<int>(q.size()), r.quads) << r.height;
    const float total = 2 * std::round(r.height / 2) + 8;
    EXPECT_FLOAT_EQ(q.front().y0, 200 - total / 2) << r.height;
    EXPECT_FLOAT_EQ(q.back().y1, 200 + total / 2) << r.height;
    EXPECT_FLOAT_EQ(q.front().x0, 90);
    EXPECT_FLOAT_EQ(q.front().x1, 110);
    EXPECT_NEAR(q[q.size() - 2].t1, r.last_tile_t, 1e-4) << r.height;
    EXPECT_FLOAT_EQ(q.back().t0, 278);
    EXPECT_FLOAT_EQ(q.back().t1, 288);
  }
}

TEST_F(WidgetTest, PanelsAreCutInNineWithMarginsAndTitle) {
  struct row {
    int type;
    float w, h;
    int columns, rows;  // including both borders
    float left, bottom, right, top;
    float title_y;
  } rows[] = {
      // Plain middles: the borders and the middle are one stretched piece each.
      // 13: A 35, B 30, margins 9, 14, 4.
      {13, 300, 200, 3, 3, 1, -4, 319, 214, 10 + 200 - 16},
      {16, 100, 50, 3, 3, 8, 8, 112, 62, 10 + 50 - 16},
      // 17: borders 20 across, 26 and 14 up and down, leaving middles 2 texels long.
      {17, 80, 40, 3, 3, 2, -3, 98, 52, 10 + 40 - 16},
      {20, 200, 100, 3, 3, 9, 9, 211, 111, 10 + 100 - 16},
      // 18 has a patterned middle, repeated: A 14.7, B 12.6, margins 8, 13, 2; 116 wide leaves
      // 86.6 for middles of 12.6 (7 pieces), 65 high leaves 39.8 for middles of 16.8 (3).
      {18, 100, 50, 9, 5, 2, -3, 118, 62, 10 + 50 - 16},
  };
  for (const row& r : rows) {
    batches.clear();
    texts.clear();
    mnw.topwi = 0;
    BTN_frame2(r.type, 10, 10, r.w, r.h, "Title");
    ASSERT_EQ(batches.size(), 1u) << r.type;
    const std::vector<widget_quad>& q = batches[0].quads;
    EXPECT_EQ(static_cast<int>(q.size()), r.columns * r.rows) << r.type;
    EXPECT_NEAR(q.front().x0, r.left, 1e-4) << r.type;
    EXPECT_NEAR(q.front().y0, r.bottom, 1e-4) << r.type;
    EXPECT_NEAR(q.back().x1, r.right, 1e-4) << r.type;
    EXPECT_NEAR(q.back().y1, r.top, 1e-4) << r.type;
    // Every piece reads texels inside its cell, and the pieces cover the panel without gaps.
    float covered = 0;
    for (const widget_quad& p : q) {
      EXPECT_LE(p.s0, p.s1);
      EXPECT_LE(p.t0, p.t1);
      covered += (p.x1 - p.x0) * (p.y1 - p.y0);
    }
    EXPECT_NEAR(covered, (r.right - r.left) * (r.top - r.bottom), 0.5f) << r.type;
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_FLOAT_EQ(texts[0].y, r.title_y) << r.type;
    EXPECT_FLOAT_EQ(texts[0].x, r.type == 20 ? 20 : 10 + r.w / 2 - 35.0f / 2) << r.type;
  }
  batches.clear();
  BTN_frame2(20, 10, 10, 200, 100, "");
  const recorded_batch& panel = batches[0];
  EXPECT_EQ(panel.ref, 395);
  EXPECT_FLOAT_EQ(panel.s_scale, 1.0f / 1024);
  EXPECT_FLOAT_EQ(panel.t_scale, 1.0f / 128);
  EXPECT_FLOAT_EQ(panel.quads.front().s0, 982);
  EXPECT_FLOAT_EQ(panel.quads.back().s1, 1023);
  EXPECT_FLOAT_EQ(panel.quads.back().t1, 43);
  // The middle piece reads the middle of the cell, stretched over the panel's middle.
  EXPECT_NEAR(panel.quads[4].s0, 982 + 0.35f * 41, 1e-3);
  EXPECT_NEAR(panel.quads[4].s1, 982 + 41 - 0.35f * 41, 1e-3);
}

// A stretched piece must look as the repeated tiles it stands for: in the committed atlases, the
// texels it reads (with one more on each side, which filtering blends in) do not change along the
// direction it is stretched in. A redrawn atlas with a pattern in a plain cell fails here.
TEST_F(WidgetTest, StretchedPanelPiecesReadTexelsThatDoNotChangeAlongTheStretch) {
  const std::string resources = std::string(SKY_SOURCE_DIR) + "/resources/";
  const gl_picture interface_atlas = read_png_bottom_up(resources + "interface.png");
  ASSERT_EQ(interface_atlas.width, 512);
  for (const char* language : {"English", "French", "German"}) {
    const gl_picture buttons = read_png_bottom_up(resources + "elements_" + language + ".png");
    ASSERT_EQ(buttons.width, 1024) << language;
    for (int type = 11; type <= 20; ++type) {
      batches.clear();
      mnw.topwi = 0;
      BTN_frame2(type, 10, 10, 300, 200, "");
      ASSERT_FALSE(batches.empty());
      const gl_picture& atlas = batches[0].ref == 395 ? buttons : interface_atlas;
      auto texel = [&](int s, int t) {
        const uint8_t* p = atlas.at(s, t);
        return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
      };
      for (const widget_quad& p : batches[0].quads) {
        const bool across = p.x1 - p.x0 > p.s1 - p.s0 + 0.01f, upwards = p.y1 - p.y0 > p.t1 - p.t0 + 0.01f;
        const int s0 = static_cast<int>(std::floor(p.s0)) - (across ? 1 : 0);
        const int s1 = static_cast<int>(std::ceil(p.s1)) + (across ? 1 : 0);
        const int t0 = static_cast<int>(std::floor(p.t0)) - (upwards ? 1 : 0);
        const int t1 = static_cast<int>(std::ceil(p.t1)) + (upwards ? 1 : 0);
        for (int t = t0; t < t1 && across; ++t)
          for (int s = s0 + 1; s < s1; ++s)
            ASSERT_EQ(texel(s, t), texel(s0, t)) << language << " panel " << type << " texel " << s << ", " << t;
        for (int s = s0; s < s1 && upwards; ++s)
          for (int t = t0 + 1; t < t1; ++t)
            ASSERT_EQ(texel(s, t), texel(s, t0)) << language << " panel " << type << " texel " << s << ", " << t;
      }
    }
  }
}

TEST_F(WidgetTest, WindowCloseBoxesOnlyOnScreensThatClose) {
  struct row {
    int screen;
    size_t batches;  // the panel, plus one for the close boxes
    float title_y;
  } rows[] = {{2, 2, 380 - 13}, {0, 1, 380 - 13}, {994, 1, 380 - 13}, {999, 1, 380 - 13}, {993, 2, 380 - 13}};
  for (const row& r : rows) {
    batches.clear();
    texts.clear();
    mnw.topwi = r.screen;
    BTN_fillwin(1, 21);
    EXPECT_EQ(batches.size(), r.batches) << r.screen;
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Prefs");
    EXPECT_FLOAT_EQ(texts[0].y, r.title_y);
    EXPECT_EQ(texts[0].colour, 40);
  }
  mnw.topwi = 2;
  batches.clear();
  BTN_fillwin(1, 21);
  ASSERT_EQ(batches[1].quads.size(), 2u);
  expect_quad(batches[1].quads[0], 7, 25, 120, 138, "left box");
  expect_quad(batches[1].quads[1], 575, 593, 120, 138, "right box");

  // A press in the left box: the right one is left out of that frame.
  batches.clear();
  press_at(16, 370);
  BTN_fillwin(1, 21);
  EXPECT_EQ(batches[1].quads.size(), 1u);

  // Inner types: a plain window and an inset panel.
  batches.clear();
  mnw.mouse_down = 0;
  BTN_fillwin(0, 13);
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_NEAR(batches[1].quads.front().x0, 10 - 9, 1e-4);
  EXPECT_NEAR(batches[1].quads.back().x1, 590 + 9, 1e-4);
}

TEST_F(WidgetTest, SubPanelFillsTheScreenAndReportsItsNeighbours) {
  float nx = 0, ny = 0;
  texts.clear();
  BTN_subwin(30, 13, -1, -1, -1, -1, "", &nx, &ny);
  EXPECT_FLOAT_EQ(nx, 600);
  EXPECT_FLOAT_EQ(ny, 362 - 30);
  const std::vector<widget_quad>& q = batches[0].quads;
  EXPECT_NEAR(q.front().x0, 10 - 9, 1e-4);
  EXPECT_NEAR(q.back().x1, 590 + 9, 1e-4);
  EXPECT_NEAR(q.back().y1, 10 + 342 - 30 + 4, 1e-4);
}

TEST_F(WidgetTest, CloseBoxPressAnswersBeforeTheOtherBoxIsDrawn) {
  press_at(7, 380 - 19);  // the left box's lower-left corner counts
  EXPECT_EQ(BTN_zap_boxes(1), 1);
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_FLOAT_EQ(batches[0].quads[0].t0, 197);  // the pressed look

  batches.clear();
  press_at(593, 361);
  EXPECT_EQ(BTN_zap_boxes(0), 1);
  EXPECT_EQ(batches.size(), 2u);

  press_at(300, 361);
  EXPECT_EQ(BTN_zap_boxes(0), 0);
  press_at(26, 370);
  EXPECT_EQ(BTN_zap_boxes(0), 0);
}

TEST_F(WidgetTest, TabReactsOnItsHitStripAndDrawsSelectedAtOnce) {
  struct row {
    float x;
    int hit;
  } rows[] = {{2.9f, 0}, {3, 1}, {53, 1}, {93, 1}, {94, 0}};
  for (const row& r : rows) {
    int selected = 5;
    batches.clear();
    texts.clear();
    press_at(r.x, 380 - 38 + 13);
    EXPECT_EQ(BTN_tab(0, 0, &selected, 2, "General"), r.hit) << r.x;
    EXPECT_EQ(selected, r.hit ? 2 : 5) << r.x;
    EXPECT_FLOAT_EQ(batches[0].quads[0].t0, r.hit ? 486 : 459) << r.x;
    EXPECT_EQ(texts[0].colour, r.hit ? 41 : 42);
  }
  int selected = 5;
  menu_is_open = 1;
  press_at(53, 342);
  EXPECT_EQ(BTN_tab(0, 0, &selected, 2, "General"), 0);
}

TEST_F(WidgetTest, CompassTakesTheHeadingOfADrag) {
  struct row {
    float dx, dy, heading;
  } rows[] = {{0, 20, 0}, {20, 0, 90}, {0, -20, 180}, {-20, 0, 270}};
  for (const row& r : rows) {
    float heading = 45;
    mnw.mouse_held = 1;
    mnw.mouse_x = 200 + r.dx;
    mnw.mouse_y = 100 + r.dy;
    plot_dir(200, 100, &heading, 0);
    EXPECT_NEAR(heading, r.heading, 1e-3) << r.dx << "," << r.dy;
  }
  // Outside the dial, or not held: the heading stays.
  float heading = 45;
  mnw.mouse_x = 240;
  plot_dir(200, 100, &heading, 0);
  EXPECT_FLOAT_EQ(heading, 45);
  // The needle turns with the heading: at 90 degrees its tip points right.
  quads_2d.clear();
  mnw.mouse_held = 0;
  heading = 90;
  plot_dir(200, 100, &heading, 1);
  ASSERT_EQ(quads_2d.size(), 1u);
  const std::vector<float>& c = quads_2d[0];
  EXPECT_NEAR(c[2 + 4 * 1 + 0], 221, 1e-3);  // the upper-left corner (-5, 21) goes to (21, 5)
  EXPECT_NEAR(c[2 + 4 * 1 + 1], 105, 1e-3);
  EXPECT_NEAR(c[2 + 4 * 1 + 3], 314.0f / 512, 1e-6);
}

TEST_F(WidgetTest, BadFrameCallsAreFatal) {
  BTN_frame1(6, 0, 0, 10, 0);
  BTN_frame1(11, 0, 0, 10, 0);
  BTN_frame2(10, 0, 0, 10, 10, "");
  BTN_frame0(2, 10, 10, 20);
  BTN_frame0(6, 10.5f, 10, 20);
  BTN_frame0(6, 10, 10.25f, 20);
  const char* expected[] = {"Bad BTN_frame1 call!", "Bad BTN_frame1 call!", "Bad BTN_frame2 call!",
                            "Bad BTN_frame0 call!", "BTN_frame0 non-int x_center!", "BTN_frame0 non-int y_center!"};
  const std::vector<recorded_alert> alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 6u);
  for (size_t i = 0; i < alerts.size(); ++i) {
    EXPECT_EQ(alerts[i].lines[0], expected[i]);
    EXPECT_EQ(alerts[i].type, 2);
  }
  EXPECT_TRUE(batches.empty());
}

TEST_F(WidgetTest, PushButtonHitsOnItsEdgesOnlyWhenPressed) {
  struct row {
    float x, y;
    int down, held, menu;
    int hit;
  } rows[] = {
      {150, 100, 1, 0, 0, 1}, {100, 100, 1, 0, 0, 1},  {200, 110, 1, 0, 0, 1}, {200, 90, 1, 0, 0, 1},
      {99, 100, 1, 0, 0, 0},  {201, 100, 1, 0, 0, 0},  {150, 111, 1, 0, 0, 0}, {150, 89, 1, 0, 0, 0},
      {150, 100, 0, 1, 0, 0}, {150, 100, 1, 0, 1, 0},
  };
  for (const row& r : rows) {
    mnw.mouse_x = r.x;
    mnw.mouse_y = r.y;
    mnw.mouse_down = r.down;
    mnw.mouse_held = r.held;
    menu_is_open = r.menu;
    EXPECT_EQ(BTN_action(150, 100, 100, 0, 0, "Next", "-"), r.hit) << r.x << "," << r.y;
  }
}

TEST_F(WidgetTest, PushButtonWidthLabelAndHint) {
  BTN_action(150, 100, 0, 0, 0, "Accept", "-");
  ASSERT_EQ(batches.size(), 1u);
  const std::vector<widget_quad>& q = batches[0].quads;
  EXPECT_FLOAT_EQ(q.back().x1 - q.front().x0, 2 * std::round((42.0f + 21) / 2));
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "Accept");
  EXPECT_FLOAT_EQ(texts[0].y, 97);
  EXPECT_EQ(texts[0].align, 1);

  texts.clear();
  batches.clear();
  BTN_action(150, 100, 100, 1, 2, "Next|x{ go on", "(hint)");
  EXPECT_EQ(batches.size(), 2u);  // lit: the lit bar over the plain one
  EXPECT_FLOAT_EQ(batches[1].quads[0].t0, 459);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, "Next");
  EXPECT_EQ(texts[0].colour, 81);
  EXPECT_EQ(texts[1].text, "(hint)");
  EXPECT_FLOAT_EQ(texts[1].x, 210);
  EXPECT_FLOAT_EQ(texts[1].y, 107);
  EXPECT_EQ(texts[1].colour, 45);
}

TEST_F(WidgetTest, PressedLookSwapsOnceForUnlitFeedbackButtons) {
  struct row {
    int lit, style, swaps;
  } rows[] = {{0, 0, 0}, {0, 1, 1}, {0, 2, 1}, {1, 1, 0}, {1, 2, 0}};
  for (const row& r : rows) {
    swaps = 0;
    press_at(150, 100);
    EXPECT_EQ(BTN_action(150, 100, 100, r.lit, r.style, "Go", "-"), 1);
    EXPECT_EQ(swaps, r.swaps) << r.lit << " " << r.style;
  }
  swaps = 0;
  mnw.mouse_down = 0;
  BTN_action(150, 100, 100, 0, 1, "Go", "-");
  EXPECT_EQ(swaps, 0);
}

TEST_F(WidgetTest, CheckBoxesWriteBackTheirType) {
  // Not clicked: every variant writes its value back unchanged.
  mnw.mouse_down = 0;
  char c = 5;
  unsigned char u = 200;
  bool b = true;
  EXPECT_EQ(BTN_xchr(100, 100, &c, "c"), 0);
  EXPECT_EQ(BTN_xbyt(100, 100, &u, "u"), 0);
  EXPECT_EQ(BTN_xbol(100, 100, &b, "b"), 0);
  EXPECT_EQ(c, 5);
  EXPECT_EQ(u, 200);
  EXPECT_TRUE(b);
  // Clicked: a set value becomes 0, a clear one 1.
  press_at(100, 100);
  EXPECT_EQ(BTN_xchr(100, 100, &c, "c"), 1);
  EXPECT_EQ(BTN_xbyt(100, 100, &u, "u"), 1);
  EXPECT_EQ(BTN_xbol(100, 100, &b, "b"), 1);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(u, 0);
  EXPECT_FALSE(b);
  EXPECT_EQ(BTN_xchr(100, 100, &c, "c"), 1);
  EXPECT_EQ(c, 1);

  // The box's hit area: x +-8, y from -4 to +12, bounds included.
  struct row {
    float x, y;
    int hit;
  } rows[] = {{92, 96, 1}, {108, 112, 1}, {91, 100, 0}, {100, 95, 0}, {100, 113, 0}};
  for (const row& r : rows) {
    int v = 0;
    press_at(r.x, r.y);
    EXPECT_EQ(BTN_bool(100, 100, &v, "x", 0), r.hit) << r.x << "," << r.y;
    EXPECT_EQ(v, r.hit);
  }
}

TEST_F(WidgetTest, CheckBoxDrawsItsCellsAndBothLabels) {
  int v = 1;
  BTN_bool(100, 100, &v, "Left|Right", 0);
  ASSERT_EQ(quads_2d.size(), 2u);
  // The box centred at (x, y + 3), the mark over it.
  EXPECT_FLOAT_EQ(quads_2d[0][2], 91);
  EXPECT_FLOAT_EQ(quads_2d[0][3], 94);
  EXPECT_FLOAT_EQ(quads_2d[0][4], 139.0f / 512);
  EXPECT_FLOAT_EQ(quads_2d[0][5], 178.0f / 512);
  EXPECT_FLOAT_EQ(quads_2d[1][5], 197.0f / 512);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, "Left");
  EXPECT_FLOAT_EQ(texts[0].x, 88);
  EXPECT_EQ(texts[0].align, 2);
  EXPECT_EQ(texts[1].text, "Right");
  EXPECT_FLOAT_EQ(texts[1].x, 112);
  EXPECT_EQ(texts[1].align, 0);

  quads_2d.clear();
  v = 0;
  BTN_bool(100, 100, &v, "r", 1);
  ASSERT_EQ(quads_2d.size(), 1u);  // a clear radio: no mark
  EXPECT_FLOAT_EQ(quads_2d[0][4], 83.0f / 512);
  EXPECT_FLOAT_EQ(quads_2d[0][5], 123.0f / 512);
}

TEST_F(WidgetTest, RadioButtonsMoveTheVariable) {
  int choice = 1;
  press_at(100, 140);
  // A click on the set button answers but keeps the value; one on another moves it.
  EXPECT_EQ(BTN_is_int(100, 180, &choice, 0, "|English"), 0);
  EXPECT_EQ(BTN_is_int(100, 160, &choice, 1, "|Francais"), 0);
  EXPECT_EQ(BTN_is_int(100, 140, &choice, 2, "|Deutsch"), 1);
  EXPECT_EQ(choice, 2);
  EXPECT_EQ(BTN_is_int(100, 140, &choice, 2, "|Deutsch"), 1);
  EXPECT_EQ(choice, 2);
  // With a menu open nothing reacts.
  menu_is_open = 1;
  press_at(100, 160);
  EXPECT_EQ(BTN_is_int(100, 160, &choice, 1, "|Francais"), 0);
  EXPECT_EQ(choice, 2);
}

TEST_F(WidgetTest, HoverHelpOnlyOverTheBoxWithNoMenuOpen) {
  int v = 0;
  mnw.mouse_x = 100;
  mnw.mouse_y = 100;
  BTN_bool(100, 100, &v, "Sound|{ Plays the engine sound", 0);
  EXPECT_EQ(help_seen, "Plays the engine sound");
  EXPECT_EQ(v, 0);

  help_seen.clear();
  mnw.mouse_x = 140;
  BTN_bool(100, 100, &v, "Sound{ Plays", 0);
  EXPECT_EQ(help_seen, "");

  mnw.mouse_x = 100;
  menu_is_open = 1;
  BTN_bool(100, 100, &v, "Sound{ Plays", 0);
  EXPECT_EQ(help_seen, "");
}

}  // namespace
