#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(AlertBox, TextsAreCutOnlyAtCharacterBoundaries) {
  const std::string euro = "\xE2\x82\xAC";  // three bytes
  struct row {
    std::string text;
    size_t max;
    std::string want;
  } rows[] = {
      {"short", 499, "short"},
      {std::string(600, 'a'), 499, std::string(499, 'a')},
      {"ab" + euro, 4, "ab"},  // would split the euro sign
      {"ab" + euro, 5, "ab" + euro},
      {euro + euro, 3, euro},
      {euro, 2, ""},
  };
  for (const row& r : rows) EXPECT_EQ(platform_cut_utf8(r.text, r.max), r.want);
}

std::string shown;
TEST(AlertBox, ReplacementGetsTheCutTexts) {
  platform_set_alert_box([](const std::string& m, const std::string& e) { shown = m + "|" + e; });
  std::string long_text;
  for (int i = 0; i < 200; ++i) long_text += "\xC3\xA9";  // 400 bytes of é
  platform_alert_box(long_text + long_text, "explained");
  platform_set_alert_box(nullptr);
  EXPECT_EQ(shown, long_text + long_text.substr(0, 98) + "|explained");
}

// Without any display the box cannot appear; the texts go to stderr and the call returns.
TEST(AlertBox, WithoutADisplayTheTextsGoToStderr) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        platform_alert_box("Something failed.", "Try again.");
        std::_Exit(0);
      },
      testing::ExitedWithCode(0), "Something failed.\nTry again.\n");
}

}  // namespace
