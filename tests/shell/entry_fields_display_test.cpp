// The text field on the test display with the bundled fonts: keys go through the real key
// translation and the focus ring, clicks through the window record, frame after frame. Typing,
// selecting, deleting and moving the caret with accented text; the editing keys never leave a
// control byte; the maximum length never splits a character; the buffer form never writes past
// its buffer; keys left for one field never reach another.
#include <GL/gl.h>
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/folders.h"
#include "platform/text.h"
#include "runtime/shell_records.h"
#include "shell/keyboard.h"
#include "shell/text_editor.h"
#include "shell/value_widgets.h"
#include "shell/widgets.h"
#include "support/display_fixture.h"
#include "support/shell_double.h"
#include "support/widgets_fixture.h"

namespace {

bool valid_utf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (int k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += static_cast<size_t>(n);
  }
  return true;
}

bool has_control_byte(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 32 || c == 127) return true;
  return false;
}

class EntryFields : public gl_widgets_test {
 protected:
  void SetUp() override {
    gl_widgets_test::SetUp();
    first = "proxy.example";
    second = "8080";
  }

  // One frame of two fields: the first at (85, 40), the second at (85, 20); answers the first.
  int frame(int max_first = 65, int take_focus = 0) {
    BTN_begin_focus_ring();
    glClearColor(colr.rgb[34][0], colr.rgb[34][1], colr.rgb[34][2], 1);
    glClear(GL_COLOR_BUFFER_BIT);
    BTN_fillwin(0, 21);
    const int a = BTN_enterstring(85, 40, &first, max_first, "-proxy host", 455, take_focus);
    changed_second = BTN_enterstring(85, 20, &second, 65, "-proxy port", 455, 0);
    mnw.mouse_down = 0;
    return a;
  }

  static void press(float x, float y) {
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = 1;
    mnw.mouse_held = 1;
  }
  static void release() { mnw.mouse_held = 0; }

  static void type(const std::u32string& text) {
    for (char32_t c : text) press_key(SDL_SCANCODE_A, c);
  }
  static int selection_start() {
    int s = 0, e = 0;
    OGLE_GetSelection(BTN_enterstring_record(), &s, &e);
    return s;
  }
  static int selection_end() {
    int s = 0, e = 0;
    OGLE_GetSelection(BTN_enterstring_record(), &s, &e);
    return e;
  }

  std::string first, second;
  int changed_second = 0;
};

TEST_F(EntryFields, TabSelectsAllAndTypingReplacesIt) {
  frame();
  press_key(SDL_SCANCODE_TAB);
  frame();
  ASSERT_EQ(focus_id, BTN_focus_id_at(85, 40));
  frame();
  EXPECT_EQ(selection_start(), 0);
  EXPECT_EQ(selection_end(), static_cast<int>(first.size()));
  save_screenshot("entry_field_selected");
  type(U"héllo");
  EXPECT_EQ(frame(), 1);
  EXPECT_EQ(first, "h\xC3\xA9llo");
  EXPECT_EQ(selection_start(), 6);
  save_screenshot("entry_field_typed");
  EXPECT_EQ(second, "8080");
}

TEST_F(EntryFields, AClickPlacesTheCaretAndSelectsNothing) {
  first = "abcdef";
  frame();
  press(85 + 455 - 2, 41);  // right of the text: the caret goes to the end
  frame();
  release();
  frame();
  EXPECT_EQ(focus_id, BTN_focus_id_at(85, 40));
  EXPECT_EQ(selection_start(), 6);
  EXPECT_EQ(selection_end(), 6);
  // The field's right edge and top still count as on it.
  press(85, 28);
  frame();
  EXPECT_EQ(focus_id, BTN_focus_id_at(85, 20));
  press(85 + 455, 48);
  frame();
  EXPECT_EQ(focus_id, BTN_focus_id_at(85, 40));
}

TEST_F(EntryFields, TakeFocusClaimsTheFirstFrame) {
  frame();  // drawn without focus: whatever the last test left prepared is forgotten
  EXPECT_EQ(focus_id, 0);
  frame(65, 1);
  EXPECT_EQ(focus_id, BTN_focus_id_at(85, 40));
  frame(65, 1);
  EXPECT_EQ(selection_end(), static_cast<int>(first.size()));
}

// Caret moves, selection by Shift and the editing keys on accented text. Every key must do only
// its own change: no NUL, SOH or DEL byte may enter the text.
TEST_F(EntryFields, EditingKeysChangeOnlyWhatTheyShould) {
  first = "";
  frame(65, 1);
  type(U"àéîõü");  // five 2-byte characters
  frame(65, 1);
  ASSERT_EQ(first, "àéîõü");
  struct step {
    int scancode;
    int modifiers;
    const char* text;
    int sel_start, sel_end;
  } steps[] = {
      {SDL_SCANCODE_HOME, 0, "àéîõü", 0, 0},
      {SDL_SCANCODE_RIGHT, 0, "àéîõü", 2, 2},
      {SDL_SCANCODE_DELETE, 0, "àîõü", 2, 2},           // forward Delete takes one whole character
      {SDL_SCANCODE_RIGHT, 1, "àîõü", 2, 4},
      {SDL_SCANCODE_BACKSPACE, 0, "àõü", 2, 2},
      {SDL_SCANCODE_END, 0, "àõü", 6, 6},
      {SDL_SCANCODE_DELETE, 0, "àõü", 6, 6},            // nothing after the caret
      {SDL_SCANCODE_HOME, 1, "àõü", 0, 6},
      {SDL_SCANCODE_PAGEDOWN, 0, "àõü", 6, 6},
      {SDL_SCANCODE_PAGEUP, 0, "àõü", 0, 0},
      {SDL_SCANCODE_BACKSPACE, 0, "àõü", 0, 0},         // Backspace at 0
      {SDL_SCANCODE_LEFT, 0, "àõü", 0, 0},
      {SDL_SCANCODE_ESCAPE, 0, "àõü", 0, 0},            // not the field's key
      {SDL_SCANCODE_INSERT, 0, "àõü", 0, 0},
  };
  for (const step& s : steps) {
    press_key(s.scancode, 0, s.modifiers);
    frame(65, 1);
    EXPECT_EQ(first, s.text) << "scancode " << s.scancode;
    EXPECT_EQ(selection_start(), s.sel_start) << "scancode " << s.scancode;
    EXPECT_EQ(selection_end(), s.sel_end) << "scancode " << s.scancode;
  }
  // Control characters that arrive as typed text are dropped too.
  for (char32_t c : {U'\x01', U'\x7F', U'\x1B', U'\x00'}) press_key(SDL_SCANCODE_A, c);
  frame(65, 1);
  EXPECT_EQ(first, "àõü");
  EXPECT_FALSE(has_control_byte(first));
}

TEST_F(EntryFields, CodePointsAreStoredAsTheirUtf8Form) {
  first = "";
  frame(65, 1);
  struct row {
    char32_t c;
    size_t grows;
  } rows[] = {{U'\u00E9', 2}, {U'\u20AC', 3}, {U'\U0001F600', 4}, {char32_t(0x110000), 0}, {char32_t(0xD800), 0}};
  for (const row& r : rows) {
    const size_t before = first.size();
    press_key(SDL_SCANCODE_A, r.c);
    frame(65, 1);
    EXPECT_EQ(first.size(), before + r.grows) << std::hex << static_cast<unsigned>(r.c);
  }
  EXPECT_TRUE(valid_utf8(first));
}

TEST_F(EntryFields, TheMaximumLengthCutsOnACharacterBoundary) {
  first = "abc";
  frame(3, 1);
  press_key(SDL_SCANCODE_END);
  frame(3, 1);
  press_key(SDL_SCANCODE_D, U'd');
  EXPECT_EQ(frame(3, 1), 1);  // the fourth character is taken, then cut
  EXPECT_EQ(first, "abc");
  first = "ab";
  frame(3, 1);
  press_key(SDL_SCANCODE_END);
  frame(3, 1);
  press_key(SDL_SCANCODE_E, U'é');
  frame(3, 1);
  EXPECT_EQ(first, "ab");  // "abé" is 4 bytes: the whole 'é' goes, never half of it
  EXPECT_TRUE(valid_utf8(first));
}

// The buffer form edits a caller's buffer of a given size; it never writes past it (ASan
// watches the exact allocation) and long input never ends the program.
TEST_F(EntryFields, BufferFormStaysInItsBuffer) {
  const size_t size = 8;
  std::unique_ptr<char[]> buffer(new char[size]);
  std::strcpy(buffer.get(), "abc");
  BTN_begin_focus_ring();
  BTN_enterstring(85, 60, buffer.get(), size, 500, "", 200, 1);
  press_key(SDL_SCANCODE_END);
  BTN_begin_focus_ring();
  BTN_enterstring(85, 60, buffer.get(), size, 500, "", 200, 1);
  type(U"defghijklmnéé");
  for (int i = 0; i < 3; ++i) {
    BTN_begin_focus_ring();
    BTN_enterstring(85, 60, buffer.get(), size, 500, "", 200, 1);
  }
  EXPECT_EQ(std::string(buffer.get()), "abcdefg");
  EXPECT_TRUE(shell_double::alerts().empty());

  // 600 characters into a big buffer: no fatal alert.
  std::string big(1024, '\0');
  std::memset(&big[0], 'x', 499);
  BTN_begin_focus_ring();
  BTN_enterstring(85, 60, &big[0], big.size(), 900, "", 200, 1);
  press_key(SDL_SCANCODE_END);
  for (int i = 0; i < 5; ++i) {  // the field's queue takes 64 events a frame
    BTN_begin_focus_ring();
    BTN_enterstring(85, 60, &big[0], big.size(), 900, "", 200, 1);
    type(std::u32string(i == 4 ? 21 : 20, U'y'));
  }
  BTN_begin_focus_ring();
  BTN_enterstring(85, 60, &big[0], big.size(), 900, "", 200, 1);
  EXPECT_EQ(std::strlen(big.c_str()), 600u);
  EXPECT_TRUE(shell_double::alerts().empty());
}

// Keys left in the queue for the field that had the focus are thrown away when it loses it;
// they never reach the next field prepared.
TEST_F(EntryFields, KeysNeverReachAnotherField) {
  frame(65, 1);
  ASSERT_EQ(focus_id, BTN_focus_id_at(85, 40));
  type(U"zz");
  // The focused field is not drawn this frame; the other field is clicked.
  BTN_begin_focus_ring();
  press(90, 21);
  changed_second = BTN_enterstring(85, 20, &second, 65, "", 455, 0);
  mnw.mouse_down = 0;
  frame();
  frame();
  EXPECT_EQ(second, "8080");
  EXPECT_EQ(first, "proxy.example");
}

}  // namespace
