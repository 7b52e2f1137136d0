// The longitude and latitude entry without a window: what its four fields show for an angle,
// angles typed as degrees and minutes coming back as decimal degrees, and angles left alone
// staying exactly as they were.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "runtime/shell_records.h"
#include "shell/keyboard.h"
#include "shell/shell_globals.h"
#include "shell/value_widgets.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"
#include "support/shell_double.h"

namespace {

struct shown_number {
  float x, y, value;
  int digits, decimals;
};
std::vector<shown_number> numbers;

class LatLonEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    numbers.clear();
    shell_double::reset();
    widget_draw_calls& d = widget_drawing();
    d.quads = [](int, int, float, float, const std::vector<widget_quad>&) {};
    d.quad_2d = [](int, int, float, const float[4][4]) {};
    d.text = [](int, float, float y, const std::string&, float, int) { return y - 10; };
    d.text_width = [](const std::string& t) { return 7.0f * static_cast<float>(t.size()); };
    d.number = [](int, float x, float y, float value, int digits, int decimals) {
      numbers.push_back({x, y, value, digits, decimals});
    };
    d.swap = [] {};
    d.set_help = [](const std::string&) {};
    d.screen_title = [] { return std::string(); };
    d.menu_open = [] { return 0; };
    mnw = mnw_struct{};
    mnw.open_menu = -1;
    mnw.topwi = 2;
    mnw.screen_w = 600;
    mnw.screen_h = 380;
    mnw.draw_w = 800;
    mnw.draw_h = 600;
    mnw.pix_per_unit = 1;
    focus_id = 0;
    BTN_begin_focus_ring();
    BTN_number_hot_digit = 0;
  }
  void TearDown() override { widget_drawing() = widget_default_drawing(); }

  // One frame of the widget with its cursor at (100, 300): the longitude row lies at y 250
  // (degrees from x 100, minutes from x 150), the latitude row at y 200 (degrees from x 110).
  int frame() {
    numbers.clear();
    BTN_begin_focus_ring();
    float x = 100, y = 300;
    const int changed = enter_lat_lon(&x, &y, &lon, &lat);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 200);
    mnw.mouse_down = 0;
    return changed;
  }
  // Clicks the first cell of the field at (fx, fy), then types the keys into it.
  int type_into(float fx, float fy, const std::string& keys) {
    mnw.mouse_x = fx + 1;
    mnw.mouse_y = fy + 1;
    mnw.mouse_down = mnw.mouse_held = 1;
    frame();
    mnw.mouse_held = 0;
    mnw.mouse_x = mnw.mouse_y = -1000;
    frame();
    EXPECT_EQ(focus_id, BTN_focus_id_at(fx, fy));
    for (char c : keys) BTN_dispatch_to_focus(c, c, key_flag_down);
    return frame();
  }
  // The four numbers shown: longitude degrees and minutes, latitude degrees and minutes.
  std::vector<float> shown() const {
    std::vector<float> v;
    for (const shown_number& n : numbers) v.push_back(n.value);
    return v;
  }

  float lon = 0, lat = 0;
};

TEST_F(LatLonEntry, ShowsDegreesAndMinutes) {
  struct row {
    float lon, lat;
    float lon_deg, lon_min, lat_deg, lat_min;
  } rows[] = {
      {-122.5f, 47.5f, -122, 30, 47, 30},
      {0, -0.25f, 0, 0, 0, -15},  // within a degree of 0 the minutes carry the sign
      {179.75f, -89.1f, 179, 45, -89, 6},
      {0.5f, 0, 0, 30, 0, 0},
  };
  for (const row& r : rows) {
    lon = r.lon;
    lat = r.lat;
    EXPECT_EQ(frame(), 0);
    const std::vector<float> v = shown();
    ASSERT_EQ(v.size(), 4u);
    EXPECT_FLOAT_EQ(v[0], r.lon_deg) << r.lon;
    EXPECT_NEAR(v[1], r.lon_min, 1e-3) << r.lon;
    EXPECT_FLOAT_EQ(v[2], r.lat_deg) << r.lat;
    EXPECT_NEAR(v[3], r.lat_min, 1e-3) << r.lat;
    EXPECT_EQ(numbers[0].digits, 3);
    EXPECT_EQ(numbers[1].decimals, 3);
    EXPECT_EQ(numbers[2].digits, 2);
    EXPECT_EQ(lon, r.lon);  // shown, not rewritten
    EXPECT_EQ(lat, r.lat);
  }
}

TEST_F(LatLonEntry, TypedDegreesAndMinutesComeBackAsDecimalDegrees) {
  lon = -122.5f;
  lat = 47.5f;
  // 30 minutes retyped as 45.
  EXPECT_EQ(type_into(150, 250, "45000"), 1);
  EXPECT_FLOAT_EQ(lon, -122.75f);
  EXPECT_FLOAT_EQ(lat, 47.5f);
  frame();
  EXPECT_NEAR(shown()[1], 45, 1e-3);

  // Degrees 0, minutes -15: a latitude just south of the equator.
  lat = 0;
  EXPECT_EQ(type_into(150, 200, "15000-"), 1);
  EXPECT_FLOAT_EQ(lat, -0.25f);
  frame();
  EXPECT_FLOAT_EQ(shown()[2], 0);
  EXPECT_NEAR(shown()[3], -15, 1e-3);

  // The degree fields are bounded by their cells only.
  lon = 0;
  EXPECT_EQ(type_into(100, 250, "500"), 1);
  EXPECT_FLOAT_EQ(lon, 500);
  EXPECT_EQ(type_into(110, 200, "95"), 1);
  EXPECT_FLOAT_EQ(lat, 95);
}

// Drawing an angle must not wear it down: the minutes field rounds to three decimals, and an
// angle rewritten from it every frame would lose everything past them.
TEST_F(LatLonEntry, AnglesLeftAloneStayExact) {
  std::mt19937 rng(11);
  for (int n = 0; n < 200; ++n) {
    const float a = static_cast<float>(static_cast<int>(rng() % 360000) - 180000) / 1000.0f + 0.000123f;
    const float b = static_cast<float>(static_cast<int>(rng() % 180000) - 90000) / 1000.0f - 0.000456f;
    lon = a;
    lat = b;
    for (int f = 0; f < 100; ++f) ASSERT_EQ(frame(), 0);
    ASSERT_EQ(lon, a);
    ASSERT_EQ(lat, b);
  }
  lon = 47.123456f;
  for (int f = 0; f < 100; ++f) frame();
  EXPECT_EQ(lon, 47.123456f);
}

}  // namespace
