// The value widgets and the in-window menus without a window: number-field edits against the
// same edit done on the decimal string, integer fields that keep their values, the scroll bar
// and the slider, the pop-up list's placement and pick, the character picker's alphabet, and
// the menu builders' layout, the menu-file reader and the pop-up's drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "runtime/shell_records.h"
#include "shell/event_proc.h"
#include "shell/menus.h"
#include "shell/shell_globals.h"
#include "shell/translation.h"
#include "shell/keyboard.h"
#include "shell/value_widgets.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

struct recorded_text {
  int colour;
  float x, y;
  std::string text;
};
std::vector<recorded_text> texts;
std::vector<std::vector<float>> elements;  // corners of every atlas element drawn

class ValueWidgets : public ::testing::Test {
 protected:
  void SetUp() override {
    texts.clear();
    elements.clear();
    shell_double::reset();
    widget_draw_calls& d = widget_drawing();
    d.quads = [](int, int, float, float, const std::vector<widget_quad>&) {};
    d.quad_2d = [](int, int, float, const float c[4][4]) { elements.push_back({c[0][0], c[0][1], c[2][0], c[2][1]}); };
    d.text = [](int colour, float x, float y, const std::string& t, float, int) {
      texts.push_back({colour, x, y, t});
      return y - 10;
    };
    d.text_width = [](const std::string& t) { return 7.0f * static_cast<float>(t.size()); };
    d.number = [](int, float, float, float, int, int) {};
    d.swap = [] {};
    d.set_help = [](const std::string&) {};
    d.screen_title = [] { return std::string(); };
    d.menu_open = [] { return mnw.open_menu != -1 ? 1 : 0; };
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
    MACIBM_clear_menus(1);
    active_popup_code = select_popup_code = popup_menu_select = 0;
    escape_hit = 0;
  }
  void TearDown() override { widget_drawing() = widget_default_drawing(); }

  static void press(float x, float y) {
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = 1;
    mnw.mouse_held = 1;
  }
  static void release() { mnw.mouse_down = mnw.mouse_held = 0; }
  static void next_frame() {
    mnw.mouse_down = 0;
    BTN_begin_focus_ring();
  }
};

// --- Number fields --------------------------------------------------------------------------

TEST(NumberEdit, KeysActOnTheCellOfTheWholeNumber) {
  struct row {
    double value;
    int digits, decimals;
    double minimum, maximum;
    int hot;
    int character, vkey;
    double expected;
    int expected_hot;
  } rows[] = {
      {123.4, 4, 1, 0, 999.9, 2, '7', 0, 127.4, 3},
      {123.4, 4, 1, 0, 999.9, 3, '9', 0, 123.9, 0},         // the last cell wraps to the first
      {123.4, 4, 1, 0, 999.9, 0, 0, vk_up, 223.4, 0},
      {123.4, 4, 1, 0, 999.9, 3, 0, vk_down, 123.3, 3},
      {123.4, 4, 1, 0, 999.9, 0, 0, vk_left, 123.4, 3},     // left from 0 wraps to the end
      {123.4, 4, 1, 0, 999.9, 3, 0, vk_right, 123.4, 0},
      {-5, 2, 0, -10, 10, 0, '+', 0, 5, 0},
      {5, 3, 0, 0, 100, 0, '-', 0, -5, 0},                  // the clamp raises it afterwards
      {5, 3, 0, 6, 100, 0, '+', 0, 5, 0},                   // '+' needs a minimum below 0
      {0.3, 3, 2, 0, 9.99, 1, '5', 0, 0.5, 2},              // 0.3 has digits 0.30, not 0.29
      {0.3, 3, 2, 0, 9.99, 2, '1', 0, 0.31, 0},
      {-12.5, 3, 1, -99.9, 99.9, 0, '3', 0, -32.5, 1},     // the sign stays
      {7, 1, 0, 0, 9, 0, '3', 0, 3, 0},
      {1234567890, 10, 0, 0, 9999999999.0, 9, '5', 0, 1234567895, 0},
  };
  for (const row& r : rows) {
    int hot = r.hot;
    const double v = BTN_number_key(r.value, r.digits, r.decimals, r.minimum, r.maximum, r.character, r.vkey, &hot);
    EXPECT_DOUBLE_EQ(v, r.expected) << r.value << " key " << r.character << "/" << r.vkey;
    EXPECT_EQ(hot, r.expected_hot) << r.value << " key " << r.character << "/" << r.vkey;
  }
  EXPECT_DOUBLE_EQ(BTN_number_settle(-5, 0, 0, 100), 0);
  EXPECT_DOUBLE_EQ(BTN_number_settle(12.345, 2, 0, 100), 12.35);
  EXPECT_DOUBLE_EQ(BTN_number_settle(-12.345, 2, -100, 100), -12.35);
}

// A typed digit gives what the same edit on the decimal string of the value gives.
TEST(NumberEdit, DigitKeysMatchTheDecimalString) {
  std::mt19937 rng(7);
  for (int n = 0; n < 2000; ++n) {
    const int digits = 1 + static_cast<int>(rng() % 8);
    const int decimals = static_cast<int>(rng() % (digits + 1));
    const long long whole = static_cast<long long>(rng() % static_cast<unsigned>(std::pow(10, digits)));
    const double value = static_cast<double>(whole) / std::pow(10, decimals);
    int hot = static_cast<int>(rng() % digits);
    const char key = static_cast<char>('0' + rng() % 10);
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld", digits, whole);
    const int cell = hot;
    text[cell] = key;
    const double expected = static_cast<double>(std::atoll(text)) / std::pow(10, decimals);
    const double got = BTN_number_key(value, digits, decimals, 0, 1e10, key, 0, &hot);
    ASSERT_DOUBLE_EQ(got, expected) << value << " cell " << cell << " key " << key;
  }
}

TEST_F(ValueWidgets, IntegerFieldsKeepLargeValuesExactly) {
  int a = 16777217, b = 123456789, c = -99999999;
  for (int frame = 0; frame < 100; ++frame) {
    next_frame();
    BTN_int_range(100, 100, &a, 9, 0, 999999999.0f, "");
    BTN_int(100, 150, &b, 10, 0, "");  // ten digits asked: nine used, the value still fits
    BTN_int(100, 200, &c, 8, 1, "");
  }
  EXPECT_EQ(a, 16777217);
  EXPECT_EQ(b, 123456789);
  EXPECT_EQ(c, -99999999);
}

TEST_F(ValueWidgets, NumberFieldTakesKeysAndArrowClicks) {
  int streams = 2;
  // A click into the row takes the focus on cell 0; then keys come through the focus ring.
  press(101, 101);
  BTN_int_range(100, 100, &streams, 1, 1, 4, "");
  ASSERT_EQ(focus_id, BTN_focus_id_at(100, 100));
  release();
  next_frame();
  BTN_int_range(100, 100, &streams, 1, 1, 4, "");
  for (int i = 0; i < 5; ++i) BTN_dispatch_to_focus(30, vk_up, key_flag_down);
  EXPECT_EQ(BTN_int_range(100, 100, &streams, 1, 1, 4, ""), 1);
  EXPECT_EQ(streams, 4);  // stepped up five times, stopped at the maximum
  BTN_dispatch_to_focus('9', 57, key_flag_down);
  next_frame();
  BTN_int_range(100, 100, &streams, 1, 1, 4, "");
  EXPECT_EQ(streams, 4);

  // A press exactly on the border of cells 0 and 1 of a 2-digit field steps both.
  float v = 11;
  press(110, 110);
  EXPECT_EQ(BTN_flt_range(100, 100, &v, 2, 0, 0, 99, ""), 1);
  EXPECT_FLOAT_EQ(v, 22);
  press(105, 90);
  BTN_flt_range(100, 100, &v, 2, 0, 0, 99, "");
  EXPECT_FLOAT_EQ(v, 12);
  EXPECT_EQ(mnw.cursor_request, 14);
}

TEST_F(ValueWidgets, NumberFieldsRoundWithoutInput) {
  float f = 12.345f;
  BTN_flt(100, 100, &f, 4, 2, 0, "");
  EXPECT_FLOAT_EQ(f, 12.35f);
  double d = 12.345;
  EXPECT_EQ(BTN_dob_range(100, 150, &d, 4, 2, 0, 99, ""), 0);
  EXPECT_DOUBLE_EQ(d, 12.345);  // the double is written only on a change
  float big = 5000;
  BTN_flt(100, 200, &big, 4, 1, 0, "");
  EXPECT_FLOAT_EQ(big, 999.9f);
}

// --- Scroll bar and slider ---------------------------------------------------------------------

TEST_F(ValueWidgets, ScrollBarDragsAndSteps) {
  int v = 50;
  // Grab the thumb (value 50 of 0..100 lies midway between 190 and 109), drag far above.
  press(100, 149.5f);
  EXPECT_EQ(BTN_vert_slider(0, 100, 100, 200, 0, 100, &v), 1);
  mnw.mouse_down = 0;
  mnw.mouse_y = 400;
  BTN_vert_slider(0, 100, 100, 200, 0, 100, &v);
  EXPECT_EQ(v, 0);
  mnw.mouse_y = -50;
  BTN_vert_slider(0, 100, 100, 200, 0, 100, &v);
  EXPECT_EQ(v, 100);
  release();
  EXPECT_EQ(BTN_vert_slider(0, 100, 100, 200, 0, 100, &v), 0);

  // Clicks on the arrows and the track.
  v = 50;
  press(100, 210);
  BTN_vert_slider(1, 100, 100, 200, 0, 100, &v);
  EXPECT_EQ(v, 49);
  release();
  press(100, 90);
  BTN_vert_slider(1, 100, 100, 200, 0, 100, &v);
  EXPECT_EQ(v, 50);
  release();
  press(100, 195);
  BTN_vert_slider(1, 100, 100, 200, 0, 100, &v);
  EXPECT_EQ(v, 40);
  release();

  // A bar 22 units tall: grabbing its thumb divides by nothing.
  v = 3;
  press(100, 111);
  BTN_vert_slider(2, 100, 100, 122, 0, 10, &v);
  EXPECT_GE(v, 0);
  EXPECT_LE(v, 10);
  release();

  // An empty range draws the track and nothing else; a fifth bar is fatal.
  elements.clear();
  EXPECT_EQ(BTN_vert_slider(3, 100, 100, 200, 5, 5, &v), 0);
  EXPECT_TRUE(elements.empty());
  BTN_vert_slider(4, 100, 100, 200, 0, 10, &v);
  ASSERT_EQ(shell_double::alerts().size(), 1u);
  EXPECT_EQ(shell_double::alerts()[0].lines[0], "Too many sliders!");
}

TEST_F(ValueWidgets, HorizontalSliderClampsItsDrag) {
  float v = 0.5f;
  press(318, 100);  // right of a slider from 100 to 300, within its reach: clamped to the right value
  EXPECT_EQ(BTN_horz_slider(100, 100, 200, 5, 0, 1, &v, 1, "", ""), 1);
  EXPECT_FLOAT_EQ(v, 1);
  press(150, 100);
  BTN_horz_slider(100, 100, 200, 5, 2, 2, &v, 1, "", "");  // equal ends: a span of 0.01
  EXPECT_NEAR(v, 2.0025f, 1e-4);
  release();
  EXPECT_EQ(BTN_horz_slider(100, 100, 200, 5, 0, 1, &v, 1, "", ""), 0);
}

// --- Text list ------------------------------------------------------------------------------

TEST_F(ValueWidgets, TextListPlacesItsPopUpOverTheField) {
  int choice = 5;
  BTN_textlist(200, 100, &choice, "a-b-c", "");
  EXPECT_EQ(choice, 2);  // clamped to the last item in the first frame
  choice = 1;
  const int code = static_cast<int>(100 * 1024 + 200);
  press(200, 101);
  BTN_textlist(200, 100, &choice, "a-b-c", "");
  ASSERT_EQ(active_popup_code, code);
  ASSERT_EQ(mnw.open_menu, static_cast<int>(popup_menu));
  const menu_struct& m = menu[popup_menu];
  ASSERT_EQ(m.items.size(), 3u);
  const int bottoms[] = {109, 97, 85}, tops[] = {121, 109, 97};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(m.items[static_cast<size_t>(i)].y1, bottoms[i]);
    EXPECT_EQ(m.items[static_cast<size_t>(i)].y2, tops[i]);
  }
  EXPECT_EQ(m.items[2].label, "c");

  // The shell stores a pick; the list applies it in the next frame.
  popup_menu_select = 2;
  select_popup_code = active_popup_code;
  active_popup_code = 0;
  mnw.open_menu = -1;
  release();
  EXPECT_EQ(BTN_textlist(200, 100, &choice, "a-b-c", ""), 1);
  EXPECT_EQ(choice, 2);
  EXPECT_EQ(BTN_textlist(200, 100, &choice, "a-b-c", ""), 0);

  // An empty item string is one empty item.
  int one = 3;
  BTN_textlist(200, 200, &one, "", "");
  EXPECT_EQ(one, 0);
}

TEST_F(ValueWidgets, TextListFitsTheWindowWithoutTouchingTheChoice) {
  // 60 items (720 units) in a 600-unit window: the list settles with its top in the window.
  std::string items = "i0";
  for (int i = 1; i < 60; ++i) items += "-i" + std::to_string(i);
  int choice = 30;
  active_popup_code = static_cast<int>(300 * 1024 + 200);
  std::vector<short> first_top;
  for (int frame = 0; frame < 5; ++frame) {
    BTN_textlist(200, 300, &choice, items, "");
    EXPECT_EQ(choice, 30);
    first_top.push_back(menu[popup_menu].items[0].y2);
  }
  for (short t : first_top) EXPECT_EQ(t, first_top[0]);
  EXPECT_LE(first_top[0], 600);

  // A short list opened near the bottom of a centred screen moves up until it fits.
  mnw.origin_y = 110;
  choice = 0;
  active_popup_code = static_cast<int>(10 * 1024 + 200);
  BTN_textlist(200, 10, &choice, "a-b-c-d-e-f-g-h-i-j-k-l", "");
  EXPECT_EQ(choice, 0);
  EXPECT_GE(mnw.origin_y + menu[popup_menu].items.back().y1, 0);
  EXPECT_LT(mnw.origin_y + menu[popup_menu].items.back().y1, 12);

  // A list left open does not open itself on the next screen.
  MACIBM_startwind(2, 0);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(mnw.open_menu, -1);
  active_popup_code = static_cast<int>(10 * 1024 + 200);
  mnw.origin_y = 110;
  BTN_textlist(200, 10, &choice, "a-b-c-d-e-f-g-h-i-j-k-l", "");

  // Escape closes an open list without a pick.
  escape_hit = 1;
  BTN_textlist(200, 10, &choice, "a-b-c-d-e-f-g-h-i-j-k-l", "");
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(mnw.open_menu, -1);
}

TEST_F(ValueWidgets, TextListRejectsBadItems) {
  int choice = 0;
  BTN_textlist(200, 100, &choice, "a|b", "lbl");
  std::string many = "x";
  for (int i = 0; i < 300; ++i) many += "-x";
  BTN_textlist(200, 150, &choice, many, "lbl");
  const std::vector<recorded_alert> a = shell_double::alerts();
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[0].lines[0], "Found | char in text string!");
  EXPECT_EQ(a[1].lines[0], "BTN_text_list overflow!");
  EXPECT_EQ(a[1].lines[3], "lbl");
}

TEST_F(ValueWidgets, CharacterPickerStepsThroughItsAlphabet) {
  char code[4] = {'Z', '-', ' ', 0};
  // Arrow clicks: under cell 0 steps forward, under cell 1 forward, above cell 2 back.
  press(105, 90);
  BTN_chars(100, 100, code, 3, "");
  press(115, 90);
  BTN_chars(100, 100, code, 3, "");
  press(125, 115);
  BTN_chars(100, 100, code, 3, "");
  EXPECT_STREQ(code, "- -");
  EXPECT_EQ(BTN_chars_index('q'), BTN_chars_index('Q'));
  EXPECT_EQ(BTN_chars_index('%'), 1);

  // A click into the row focuses the picker; a typed 'b' is stored upper-cased and advances.
  press(101, 101);
  BTN_chars(100, 100, code, 3, "");
  release();
  next_frame();
  BTN_chars(100, 100, code, 3, "");
  BTN_dispatch_to_focus('b', 66, key_flag_down);
  BTN_dispatch_to_focus('c', 67, key_flag_down);
  next_frame();
  BTN_chars(100, 100, code, 3, "");
  EXPECT_STREQ(code, "BC-");
}

// --- Menus ----------------------------------------------------------------------------------

TEST_F(ValueWidgets, MenuItemsLayOutUnderTheirTitle) {
  mnw.language = 100000;  // 8 units a byte
  MACIBM_create_menu(0, 0, "File");
  const menu_struct& m = menu[0];
  EXPECT_EQ(m.x1, 0);
  EXPECT_EQ(m.x2, 62);
  EXPECT_EQ(m.y1, 582);
  MACIBM_append_menu(0, 0, 1, "-", 0);
  MACIBM_append_menu(0, 1, 2, "Open", 0);
  MACIBM_append_menu(0, 2, 3, "", 0);
  const int y1[] = {578, 566, 554}, y2[] = {580, 578, 566};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(m.items[static_cast<size_t>(i)].y1, y1[i]) << i;
    EXPECT_EQ(m.items[static_cast<size_t>(i)].y2, y2[i]) << i;
    EXPECT_EQ(m.items[static_cast<size_t>(i)].x2, 62) << i;  // "Open": 32 + 30
  }
  // Item 5 of a two-item menu: empty items 2 to 4 between, each 12 high.
  MACIBM_create_menu(1, 0, "Edit");
  MACIBM_append_menu(1, 0, 1, "Cut", 0);
  MACIBM_append_menu(1, 1, 2, "-", 0);
  MACIBM_append_menu(1, 5, 6, "Paste", 0);
  ASSERT_EQ(menu[1].items.size(), 6u);
  for (int i = 2; i <= 5; ++i) EXPECT_EQ(menu[1].items[static_cast<size_t>(i)].y2 - menu[1].items[static_cast<size_t>(i)].y1, 12);
  EXPECT_EQ(menu[1].x1, 62);  // the second title follows the first

  // A sub-menu's first item stands beside the item it hangs from.
  MACIBM_create_menu(2, 1 * 300 + 0, "More");
  MACIBM_append_menu(2, 0, 9, "Deep", 0);
  EXPECT_EQ(menu[2].parent, 1);
  EXPECT_EQ(menu[2].items[0].y1, menu[1].items[0].y1 - 2);
  EXPECT_EQ(menu[2].items[0].y2, menu[1].items[0].y2 - 2);

  // Removing moves the items below up by exactly the removed height; past the end: nothing.
  const short before = menu[1].items[2].y1;
  MACIBM_remove_menu_item(1, 1);  // the separator, 2 high
  EXPECT_EQ(menu[1].items[1].y1, before + 2);
  MACIBM_remove_menu_item(1, 0);  // "Cut", 12 high
  EXPECT_EQ(menu[1].items[0].y1, before + 14);
  MACIBM_remove_menu_item(1, 200);
  EXPECT_EQ(menu[1].items.size(), 4u);
  EXPECT_TRUE(shell_double::alerts().empty());
}

TEST_F(ValueWidgets, MenuIndexesOutOfRangeAreFatal) {
  MACIBM_create_menu(-1, 0, "Neg");
  MACIBM_create_menu(1520, 0, "Past");
  MACIBM_create_menu(3, 7 * 300 + 4, "No such item");
  MACIBM_append_menu(0, 300, 0, "x", 0);
  MACIBM_append_menu(0, 0, 0, std::string(40, 'x'), 0);
  MACIBM_remove_menu_item(1520, 0);
  const std::vector<recorded_alert> a = shell_double::alerts();
  ASSERT_EQ(a.size(), 6u);
  EXPECT_EQ(a[0].lines[0], "Menu index out of range in create_menu!");
  EXPECT_EQ(a[2].lines[0], "Menu index out of range in create_menu!");
  EXPECT_EQ(a[3].lines[0], "Item index out of range in append_menu!");
  EXPECT_EQ(a[4].lines[0], "Menu name too long in append_menu!");
  EXPECT_TRUE(menu[0].items.empty());
}

TEST_F(ValueWidgets, MenuFileBuildsMenus) {
  temp_tree tree;
  const std::string folder = tree.path();
  tree.write("menus/" + UTL_lang_get_folder(0) + "good.txt",
             "A\n1\n\n0 File\n101 Open\n102\tSave as\n-\n0 Edit\n201 Cut\n  202 Copy\n-\n");
  mnw.language = 0;
  MACIBM_read_menus(folder, "good.txt");
  ASSERT_TRUE(shell_double::alerts().empty()) << shell_double::alerts()[0].lines[1];
  EXPECT_EQ(menu[0].name, "File");
  ASSERT_EQ(menu[0].items.size(), 2u);
  EXPECT_EQ(menu[0].items[1].label, "Save as");
  EXPECT_EQ(menu[0].items[1].code, 102);
  EXPECT_EQ(menu[1].name, "Edit");
  EXPECT_EQ(menu[1].items[1].label, "Copy");
  EXPECT_TRUE(menu[2].name.empty());

  tree.write("menus/" + UTL_lang_get_folder(0) + "bad.txt", "B\n7\n0 File\n");
  MACIBM_read_menus(folder, "bad.txt");
  MACIBM_read_menus(folder, "missing.txt");
  const std::vector<recorded_alert> a = shell_double::alerts();
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[0].lines[0], "Cannot open file!");
  EXPECT_EQ(a[1].lines[2], "Trash this copy and re-install Skyrill.");
}

TEST_F(ValueWidgets, PopUpDrawsItsItemsOnly) {
  int choice = 0;
  active_popup_code = static_cast<int>(300 * 1024 + 200);
  BTN_textlist(200, 300, &choice, "Macintosh-Windows-Linux", "");
  texts.clear();
  mnw.mouse_x = 200;
  mnw.mouse_y = 290;  // over "Windows"
  standard_gui();
  ASSERT_EQ(texts.size(), 3u);  // no bar titles
  EXPECT_EQ(texts[1].text, "Windows");
  EXPECT_FLOAT_EQ(texts[1].x, menu[popup_menu].items[1].x1 + 3);
}

}  // namespace
