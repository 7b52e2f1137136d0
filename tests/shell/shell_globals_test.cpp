// The shell's globals as the program finds them at its entry, and the table of fixed-size
// screens.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/shell_records.h"
#include "shell/menus.h"
#include "shell/shell_globals.h"

namespace {

TEST(ShellGlobals, BuiltEmptyBeforeTheEntry) {
  static const mnw_struct zero{};
  EXPECT_EQ(std::memcmp(&mnw, &zero, sizeof zero), 0);
  EXPECT_TRUE(menu.empty());
  EXPECT_TRUE(stls.title.empty());
  for (const std::string& t : stls.texts) EXPECT_TRUE(t.empty());
  EXPECT_EQ(return_hit + escape_hit + delete_hit + plot_init_lights, 0);
}

TEST(ShellGlobals, ScreenTable) {
  stls.texts[600] = "alert title";
  struct {
    int id;
    bool listed;
    int width, height;
    const char* title;
  } cases[] = {
      {0, false, 0, 0, ""},          {1, true, 500, 300, "EULA"},
      {2, true, 600, 380, "Prefs"},  {3, false, 0, 0, ""},
      {500, false, 0, 0, ""},        {992, true, 561, 474, "Livery"},
      {993, true, 600, 300, ""},     {994, true, 420, 250, "alert title"},
      {995, true, 300, 166, ""},     {996, true, 700, 146, ""},
      {997, true, 700, 206, ""},     {998, true, 561, 474, ""},
      {999, true, 330, 474, ""},     {-1, false, 0, 0, ""},
  };
  for (const auto& c : cases) {
    const shell_screen_entry* s = MACIBM_screen_entry(c.id);
    ASSERT_EQ(s != nullptr, c.listed) << c.id;
    if (!s) continue;
    EXPECT_EQ(s->width, c.width) << c.id;
    EXPECT_EQ(s->height, c.height) << c.id;
    EXPECT_EQ(MACIBM_screen_title(*s), c.title) << c.id;
  }
  EXPECT_EQ(MACIBM_screen_entry(999)->title_slot, 76);
  stls.texts[600].clear();
}

TEST(ShellGlobals, ClearedMenuTable) {
  MACIBM_clear_menus(0);
  EXPECT_TRUE(menu.empty()) << "only mode 1 clears";
  MACIBM_clear_menus(1);
  ASSERT_EQ(menu.size(), 1520u);
  for (const menu_struct& m : menu) {
    EXPECT_TRUE(m.name.empty());
    EXPECT_EQ(m.parent, -1);
    EXPECT_EQ(m.x1 | m.y1 | m.x2 | m.y2, 0);
  }
  menu.clear();
}

}  // namespace
