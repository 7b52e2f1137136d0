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
#include "support/shell_double.h"
#include "support/widgets_fixture.h"

namespace {

class AboutOnScreen : public gl_widgets_test {
 protected:
  void SetUp() override {
    gl_widgets_test::SetUp();
    show_centred_screen(993, 600, 300);  // at (212, 234)
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
