// The keyboard focus ring: which keys each mask takes, Tab and Shift-Tab around the ring, the
// alert screen, a focused widget that stopped drawing, full queues and keys left for a widget
// that is gone.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/shell_records.h"
#include "shell/widgets.h"

namespace {

constexpr int kDown = 0x8, kUp = 0x10, kShift = 0x1;

// One kind of widget with its shared queues, as the number fields and text fields keep them.
struct widget_kind {
  int chars[64] = {}, vkeys[64] = {}, flags[64] = {}, owners[64] = {};
  int count = 0;
  int mask;
  explicit widget_kind(int m) : mask(m) {}
  int draw(int id, int take_focus = 0) {
    return BTN_register_focus(id, chars, vkeys, flags, owners, &count, 64, mask, take_focus);
  }
  // What the widget reads when it draws: its own entries, zeroed once taken.
  std::vector<int> take(int id) {
    std::vector<int> got;
    bool any_owner = false;
    for (int i = 0; i < count; ++i) {
      if (owners[i] == id && (chars[i] || vkeys[i])) {
        if (!(flags[i] & kUp)) got.push_back(chars[i] ? chars[i] : vkeys[i]);
        chars[i] = vkeys[i] = flags[i] = owners[i] = 0;
      } else if (owners[i]) {
        any_owner = true;
      }
    }
    if (!any_owner) count = 0;
    return got;
  }
};

class FocusRing : public ::testing::Test {
 protected:
  void SetUp() override {
    mnw = mnw_struct{};
    focus_id = 0;
    BTN_begin_focus_ring();
  }
};

TEST(FocusKeys, MasksTakeTheirKindsOfKey) {
  struct key {
    const char* what;
    int character, vkey;
    int in_1f0, in_d0, in_1f4;
  } keys[] = {
      {"Tab", 9, 9, 0, 0, 0},
      {"Return", 13, 13, 0, 0, 0},
      {"Enter", 3, 187, 0, 0, 0},
      {"keypad Enter", 3, 188, 0, 0, 0},
      {"Backspace", 8, 8, 0, 0, 1},
      {"Delete", 127, 46, 0, 0, 1},
      {"Escape", 27, 27, 0, 0, 0},
      {"Page up", 0, 33, 1, 1, 1},
      {"Down", 31, 40, 1, 1, 1},
      {"letter", 'q', 81, 1, 0, 1},
      {"capital", 'Q', 81, 1, 0, 1},
      {"digit", '7', 55, 1, 1, 1},
      {"plus", '+', 200, 1, 1, 1},
      {"minus", '-', 201, 1, 1, 1},
      {"full stop", '.', 185, 1, 0, 1},
      {"e acute", 0xE9, 202, 1, 0, 1},
      {"euro", 0x20AC, 203, 1, 0, 1},
      {"control byte", 1, 204, 0, 0, 0},
  };
  for (const key& k : keys) {
    const int kind = BTN_key_class(k.character, k.vkey);
    EXPECT_EQ((kind & 0x1F0) != 0, k.in_1f0 != 0) << k.what;
    EXPECT_EQ((kind & 0xD0) != 0, k.in_d0 != 0) << k.what;
    EXPECT_EQ((kind & 0x1F4) != 0, k.in_1f4 != 0) << k.what;
  }
  EXPECT_EQ(BTN_key_class(3, 188), focus_return);
  EXPECT_EQ(BTN_key_class(1, 204), focus_control);
}

TEST_F(FocusRing, TabWalksTheRingBothWays) {
  widget_kind fields(0xD0);
  auto frame = [&] {
    BTN_begin_focus_ring();
    fields.draw(BTN_focus_id_at(100, 50));
    fields.draw(BTN_focus_id_at(100, 80));
    fields.draw(BTN_focus_id_at(300, 80));
  };
  frame();
  const int first = BTN_focus_id_at(100, 50), second = BTN_focus_id_at(100, 80), last = BTN_focus_id_at(300, 80);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kUp), 0);  // a key-up Tab with nothing focused
  EXPECT_EQ(focus_id, 0);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown), 1);
  EXPECT_EQ(focus_id, first);
  frame();
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown), 1);
  EXPECT_EQ(focus_id, second);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kUp), 0);
  EXPECT_EQ(focus_id, second);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown | kShift), 1);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown | kShift), 1);
  EXPECT_EQ(focus_id, last);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown), 1);
  EXPECT_EQ(focus_id, first);

  // On the alert screen every key goes to the shell.
  mnw.topwi = 994;
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown), 0);
  EXPECT_EQ(BTN_dispatch_to_focus('5', 53, kDown), 0);
  EXPECT_EQ(focus_id, first);
}

TEST_F(FocusRing, KeysReachOnlyTheFocusedWidgetItsMaskTakes) {
  widget_kind numbers(0xD0), text(0x1F5);
  const int number_id = BTN_focus_id_at(100, 50), text_id = BTN_focus_id_at(100, 100);
  EXPECT_EQ(numbers.draw(number_id, 1), 1);
  EXPECT_EQ(text.draw(text_id), 0);

  EXPECT_EQ(BTN_dispatch_to_focus('4', 52, kDown), 1);
  EXPECT_EQ(BTN_dispatch_to_focus('a', 65, kDown), 0);  // letters go on to the key commands
  EXPECT_EQ(BTN_dispatch_to_focus(13, 13, kDown), 0);
  EXPECT_EQ(numbers.take(number_id), std::vector<int>{'4'});

  // A field that takes Tab gets it in its queue and keeps the focus.
  BTN_begin_focus_ring();
  numbers.draw(number_id);
  text.draw(text_id, 1);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown), 1);
  EXPECT_EQ(focus_id, text_id);
  EXPECT_EQ(text.take(text_id), std::vector<int>{9});

  // The focused widget was not drawn in the last frame: focus dropped, Tab starts again.
  BTN_begin_focus_ring();
  numbers.draw(number_id);
  EXPECT_EQ(BTN_dispatch_to_focus('x', 88, kDown), 0);
  EXPECT_EQ(focus_id, 0);
  EXPECT_EQ(BTN_dispatch_to_focus(9, 9, kDown), 1);
  EXPECT_EQ(focus_id, number_id);

  // A mouse press anywhere drops the focus.
  BTN_unfocus_any();
  EXPECT_EQ(BTN_no_focus_yet(), 1);
}

TEST_F(FocusRing, AFullQueueDropsKeysWithinItsBounds) {
  widget_kind numbers(0xD0);
  const int id = BTN_focus_id_at(10, 10);
  numbers.draw(id, 1);
  for (int i = 0; i < 70; ++i) EXPECT_EQ(BTN_dispatch_to_focus('1', 49, kDown), 1) << i;
  EXPECT_EQ(numbers.count, 64);
  EXPECT_EQ(numbers.take(id).size(), 64u);
  EXPECT_EQ(numbers.count, 0);
  EXPECT_EQ(BTN_dispatch_to_focus('2', 50, kDown), 1);
  EXPECT_EQ(numbers.take(id), std::vector<int>{'2'});
}

TEST_F(FocusRing, KeysLeftForAWidgetThatIsGoneAreDropped) {
  // A digit and Return in one frame on a screen that Return closes: the digit is queued for the
  // field, which is never drawn again.
  widget_kind numbers(0xD0);
  const int old_field = BTN_focus_id_at(200, 120);
  numbers.draw(old_field, 1);
  EXPECT_EQ(BTN_dispatch_to_focus('7', 55, kDown), 1);
  EXPECT_EQ(numbers.count, 1);

  // The next screen has a field of the same kind elsewhere, and later one at the old place.
  BTN_unfocus_any();
  BTN_begin_focus_ring();
  const int new_field = BTN_focus_id_at(50, 60);
  numbers.draw(new_field, 1);
  EXPECT_EQ(BTN_dispatch_to_focus('3', 51, kDown), 1);
  EXPECT_EQ(numbers.take(new_field), std::vector<int>{'3'});
  EXPECT_EQ(numbers.count, 0);

  BTN_begin_focus_ring();
  numbers.draw(old_field, 1);
  EXPECT_TRUE(numbers.take(old_field).empty());

  // And 64 such keys never shut the queue.
  for (int i = 0; i < 64; ++i) {
    BTN_begin_focus_ring();
    numbers.draw(BTN_focus_id_at(static_cast<float>(300 + i), 5), 1);
    BTN_dispatch_to_focus('1', 49, kDown);
  }
  BTN_begin_focus_ring();
  numbers.draw(new_field, 1);
  EXPECT_EQ(BTN_dispatch_to_focus('9', 57, kDown), 1);
  EXPECT_EQ(numbers.take(new_field), std::vector<int>{'9'});
}

TEST(FocusVectors, ItemCallbacksReadTheLists) {
  std::vector<std::string> names{"a", "b"};
  std::vector<int> types{3, 4};
  EXPECT_EQ(BTN_name_from_vector(1, &names), "b");
  EXPECT_EQ(BTN_type_from_vector(0, &types), 3);
}

}  // namespace
