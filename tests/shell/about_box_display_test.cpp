// The about box and the longitude and latitude entry drawn on the test display, to be looked at
// in <build>/screenshots/.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/folders.h"
#include "runtime/shell_records.h"
#include "shell/about_box.h"
#include "shell/value_widgets.h"
#include "shell/widgets.h"
#include "support/display_fixture.h"
#include "support/graphics_fixture.h"
#include "support/interface_atlas.h"
#include "support/shell_double.h"

namespace {

class AboutOnScreen : public gl_graphics_test {
 protected:
  static void SetUpTestSuite() {
    gl_graphics_test::SetUpTestSuite();
    platform_set_executable_path(std::string(SKY_RESOURCES_DIR) + "/../skyrill-installer");
    ASSERT_TRUE(load_interface_atlases());
  }
  void SetUp() override {
    gl_graphics_test::SetUp();
    shell_double::reset();
    mnw.mouse_down = mnw.mouse_up = mnw.mouse_held = 0;
    mnw.open_menu = -1;
    mnw.topwi = 993;
    mnw.screen_w = 600;
    mnw.screen_h = 300;
    mnw.origin_x = 212;
    mnw.origin_y = 234;
    focus_id = 0;
    BTN_begin_focus_ring();
  }
  // Distinct colours along a row of the screen, from x0 to x1.
  static size_t colours_along(const gl_picture& p, int y, int x0, int x1) {
    std::set<uint32_t> seen;
    for (int x = x0; x < x1; ++x) seen.insert(p.rgb(x + 212, y + 234));
    return seen.size();
  }
};

TEST_F(AboutOnScreen, TheBoxShowsItsTextsAndTheOffer) {
  about_box_state s;
  s.version_str_found = 1;
  s.version_str_net = "Skyrill 9.11";
  s.is_latest = 0;
  s.ins_state = 1;
  about_draw(&s);
  EXPECT_FALSE(save_screenshot("about_box").empty());
  const gl_picture p = read_back_buffer();
  // The build name's line (y 255) and the release line (y 215) carry lettering.
  EXPECT_GE(colours_along(p, 258, 20, 200), 3u);
  EXPECT_GE(colours_along(p, 218, 20, 300), 3u);
  // The box covers its screen; outside it the background shows.
  EXPECT_NE(p.rgb(212 + 300, 234 + 150), p.rgb(5, 5));
}

TEST_F(AboutOnScreen, TheLatLonEntryDrawsTwoRows) {
  BTN_fillwin(1, 21);
  float x = 100, y = 250, lon = -122.5f, lat = -0.25f;
  enter_lat_lon(&x, &y, &lon, &lat);
  EXPECT_FALSE(save_screenshot("lat_lon_entry").empty());
  EXPECT_EQ(y, 150);
  const gl_picture p = read_back_buffer();
  EXPECT_GE(colours_along(p, 203, 95, 220), 3u);
  EXPECT_GE(colours_along(p, 153, 105, 220), 3u);
}

}  // namespace
