// The editing core against a host with exact metrics: one unit per character, lines 10 high.
#include "shell/text_editor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/text_editor_host.h"

namespace {

struct layout_case {
  const char* name;
  std::string text;
  float wrap;
  std::vector<int> starts;
};

TEST(TextEditorLayout, LinesOfATable) {
  const layout_case cases[] = {
      {"empty text has one line", "", 100, {0}},
      {"blank before the line feed", "ab \ncd", 100, {0, 4}},
      {"line feed alone", "ab\ncd", 100, {0, 3}},
      {"CR LF is two breaks", "a\r\nb", 100, {0, 2, 3}},
      {"no empty line after a final line feed", "ab\n", 100, {0}},
      {"words wrap, the blank stays on the first line", "ab cd ef", 5, {0, 6}},
      {"an over-wide word is split until the rest fits", "abcdefgh", 3, {0, 1, 2, 3, 4, 5}},
      // The split takes whole characters: a line start inside a two-byte sequence would let
      // the next typed character land in the middle of it.
      {"an over-wide accented word is split by characters", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 3, {0, 2, 4}},
      // 0xA0 is the second byte of "a grave"; it must never count as a blank.
      {"accented words wrap at the real blank", "\xC3\xA0\xC3\xA0\xC3\xA0 \xC3\xA0\xC3\xA0\xC3\xA0", 3, {0, 7}},
  };
  for (const auto& c : cases) {
    test_editor_host host(c.text);
    host.wrap_width = c.wrap;
    OGLE_Repaginate(host.rec);
    EXPECT_EQ(host.rec->line_starts, c.starts) << c.name;
    EXPECT_EQ(host.logical_height, 10.0f * static_cast<float>(c.starts.size())) << c.name;
  }
}

TEST(TextEditorLayout, ShrinkingTextLeavesOneStartPerLine) {
  test_editor_host host("one\ntwo\nthree\nfour");
  OGLE_Repaginate(host.rec);
  ASSERT_EQ(host.rec->line_starts.size(), 4u);
  host.text = "x";
  OGLE_Repaginate(host.rec);
  EXPECT_EQ(host.rec->line_starts, std::vector<int>{0});
}

struct key {
  int code;
  int shift;
};
constexpr int L = OGLE_key_left, R = OGLE_key_right, U = OGLE_key_up, D = OGLE_key_down, BS = OGLE_key_backspace;

struct key_case {
  const char* name;
  std::string text;
  int start, end;
  std::vector<key> keys;
  std::string want_text;
  int want_start, want_end, want_caret_at_end;
};

TEST(TextEditorKeys, SequencesOfKeys) {
  const std::string e2 = "\xC3\xA9";  // a two-byte character
  const key_case cases[] = {
      {"shift-right grows by one", "abcd", 2, 2, {{R, 1}}, "abcd", 2, 3, 1},
      {"then shift-left shrinks to the caret", "abcd", 2, 2, {{R, 1}, {L, 1}}, "abcd", 2, 2, 1},
      {"then shift-left grows to the left", "abcd", 2, 2, {{R, 1}, {L, 1}, {L, 1}}, "abcd", 1, 2, 0},
      {"shift-down selects to the same x", "abc\ndef", 1, 1, {{D, 1}}, "abc\ndef", 1, 5, 1},
      {"shift-up returns to the caret", "abc\ndef", 1, 1, {{D, 1}, {U, 1}}, "abc\ndef", 1, 1, 1},
      {"up on the first line goes to the start", "abc\ndef", 2, 2, {{U, 0}}, "abc\ndef", 0, 0, 1},
      {"down on the last line goes to the end", "abc\ndef", 5, 5, {{D, 0}}, "abc\ndef", 7, 7, 1},
      {"down keeps the column through a short line", "abcd\na\nabcd", 3, 3, {{D, 0}, {D, 0}}, "abcd\na\nabcd", 10, 10, 1},
      {"left at the start stays", "ab", 0, 0, {{L, 0}}, "ab", 0, 0, 1},
      {"right at the end stays", "ab", 2, 2, {{R, 0}}, "ab", 2, 2, 1},
      {"left collapses a selection to its start", "abcd", 1, 3, {{L, 0}}, "abcd", 1, 1, 1},
      {"right collapses a selection to its end", "abcd", 1, 3, {{R, 0}}, "abcd", 3, 3, 1},
      {"backspace at the start changes nothing", "ab", 0, 0, {{BS, 0}}, "ab", 0, 0, 1},
      {"backspace deletes exactly the selection", "abcd", 1, 3, {{BS, 0}}, "ad", 1, 1, 1},
      {"right steps over whole characters", e2 + e2, 0, 0, {{R, 0}, {R, 0}}, e2 + e2, 4, 4, 1},
      {"backspace removes a whole character", e2 + e2, 4, 4, {{BS, 0}}, e2, 2, 2, 1},
      {"a typed byte replaces the selection", "abcd", 1, 3, {{'X', 0}}, "aXd", 2, 2, 1},
      // Hosts forward Home, Delete and stray codes as bytes: none of them may enter the text,
      // nor a lone byte of a multi-byte character.
      {"control codes are not typed", "ab", 1, 1, {{0, 0}, {1, 0}, {127, 0}, {27, 0}, {0xE9, 0}}, "ab", 1, 1, 1},
  };
  for (const auto& c : cases) {
    test_editor_host host(c.text);
    OGLE_Repaginate(host.rec);
    OGLE_SetSelection(host.rec, c.start, c.end);
    for (const auto& k : c.keys) OGLE_Key(host.rec, static_cast<char>(k.code), k.shift);
    EXPECT_EQ(host.text, c.want_text) << c.name;
    EXPECT_EQ(host.sel_start(), c.want_start) << c.name;
    EXPECT_EQ(host.sel_end(), c.want_end) << c.name;
    EXPECT_EQ(host.rec->caret_at_end, c.want_caret_at_end) << c.name;
  }
}

TEST(TextEditorKeys, MultiByteCharactersAreInsertedWholeOrNotAtAll) {
  struct row {
    const char* name;
    std::string bytes;
    std::string want;
    int want_caret;
  };
  const row rows[] = {
      {"euro sign", "\xE2\x82\xAC", "a\xE2\x82\xAC" "b", 4},
      {"four-byte character", "\xF0\x9F\x98\x80", "a\xF0\x9F\x98\x80" "b", 5},
      {"one byte goes the single-key way", "Z", "aZb", 2},
      {"broken continuation", "\xC3(", "ab", 1},
      {"two characters in one count", "\xC3\xA9\xC3", "ab", 1},
      {"surrogate half", "\xED\xA0\x80", "ab", 1},
      {"C1 control", "\xC2\x85", "ab", 1},
  };
  for (const auto& r : rows) {
    test_editor_host host("ab");
    OGLE_Repaginate(host.rec);
    OGLE_SetSelection(host.rec, 1, 1);
    OGLE_Key_MBCS(host.rec, static_cast<int>(r.bytes.size()), r.bytes.data(), 0);
    EXPECT_EQ(host.text, r.want) << r.name;
    EXPECT_EQ(host.sel_end(), r.want_caret) << r.name;
  }
}

TEST(TextEditorPointer, ClickExtendAndDragMoveTheRightEnd) {
  test_editor_host host("hello world");
  OGLE_Repaginate(host.rec);
  OGLE_Click(host.rec, 3.2f, 5, 0);  // line 0's box spans y 0..10
  EXPECT_EQ(std::make_pair(host.sel_start(), host.sel_end()), std::make_pair(3, 3));
  OGLE_Click(host.rec, 1, 5, 1);
  EXPECT_EQ(std::make_pair(host.sel_start(), host.sel_end()), std::make_pair(1, 3));
  EXPECT_EQ(host.rec->caret_at_end, 0);
  OGLE_Drag(host.rec, 0, 5);
  EXPECT_EQ(std::make_pair(host.sel_start(), host.sel_end()), std::make_pair(0, 3));
  OGLE_Drag(host.rec, 6, 5);  // across the anchor: the ends swap
  EXPECT_EQ(std::make_pair(host.sel_start(), host.sel_end()), std::make_pair(3, 6));
  EXPECT_EQ(host.rec->caret_at_end, 1);
  OGLE_Click(host.rec, 50, 25, 0);  // above line 0
  EXPECT_EQ(host.sel_end(), 0);
  OGLE_Click(host.rec, 2, -30, 0);  // below the last line
  EXPECT_EQ(host.sel_end(), 11);
}

TEST(TextEditorReplace, SelectionFollowsAHostReplacement) {
  struct row {
    const char* name;
    int start, end, from, to;
    std::string with;
    int want_start, want_end;
  };
  const row rows[] = {
      {"selection before the range", 1, 2, 4, 6, "XYZ", 1, 2},
      {"selection after the range moves", 6, 7, 4, 6, "XYZ", 7, 8},
      {"selection starting inside grows at its end", 4, 5, 4, 6, "XYZ", 4, 6},
      {"end pushed before the start collapses at the range", 5, 5, 4, 6, "", 4, 4},
  };
  for (const auto& r : rows) {
    test_editor_host host("abcdefgh");
    OGLE_Repaginate(host.rec);
    OGLE_SetSelection(host.rec, r.start, r.end);
    OGLE_ReplaceText(host.rec, r.from, r.to, r.with.data(), r.with.data() + r.with.size());
    EXPECT_EQ(std::make_pair(host.sel_start(), host.sel_end()), std::make_pair(r.want_start, r.want_end)) << r.name;
    EXPECT_LE(host.sel_end(), static_cast<int>(host.text.size())) << r.name;
  }
}

TEST(TextEditorDraw, SelectionRectanglesTextAndCaret) {
  test_editor_host host("abc\ndef\nghi");
  host.visible = {0, -20, 100, 10};  // three lines visible
  host.wrap_width = 100;
  OGLE_Repaginate(host.rec);
  OGLE_SetSelection(host.rec, 1, 5);
  host.draw(1);
  EXPECT_EQ(host.drawn_lines, (std::vector<std::string>{"abc\n", "def\n", "ghi"}));
  EXPECT_EQ(host.drawn_line_y, (std::vector<float>{0, -10, -20}));
  ASSERT_EQ(host.drawn_selection.size(), 2u);  // no caret over a selection
  EXPECT_EQ(host.drawn_selection[0].l, 1);
  EXPECT_EQ(host.drawn_selection[0].r, 100);
  EXPECT_EQ(host.drawn_selection[1].l, 0);
  EXPECT_EQ(host.drawn_selection[1].r, 1);
  EXPECT_EQ(host.drawn_selection[1].b, -10);

  OGLE_SetSelection(host.rec, 5, 5);
  host.draw(1);
  ASSERT_EQ(host.drawn_selection.size(), 1u);
  EXPECT_EQ(host.drawn_selection[0].l, host.drawn_selection[0].r);
  EXPECT_EQ(host.drawn_selection[0].l, 1);
  EXPECT_EQ(host.drawn_selection[0].t, 0);
}

TEST(TextEditorDraw, CaretOfAnEmptyTextAndAfterAFinalLineFeed) {
  test_editor_host empty("");
  OGLE_Repaginate(empty.rec);
  empty.draw(1);
  ASSERT_EQ(empty.drawn_selection.size(), 1u);
  EXPECT_EQ(empty.drawn_selection[0].l, 0);
  EXPECT_EQ(empty.drawn_selection[0].t, 10);

  test_editor_host host("ab\n");
  OGLE_Repaginate(host.rec);
  OGLE_SetSelection(host.rec, 3, 3);
  host.draw(1);
  ASSERT_EQ(host.drawn_selection.size(), 1u);
  EXPECT_EQ(host.drawn_selection[0].t, 10);  // on line 0, the only line
}

// A one-line field 100 units wide whose text grows past it: the caret stays inside the field
// and nothing scrolls vertically.
TEST(TextEditorScroll, TypingPastTheFieldKeepsTheCaretVisible) {
  test_editor_host host("");
  host.char_width = 3;
  host.wrap_width = 100 + 1024;
  OGLE_Repaginate(host.rec);
  for (int i = 0; i < 50; ++i) {
    OGLE_Key(host.rec, static_cast<char>('a' + i % 26), 0);
    float caret_x = host.logical().l + host.char_width * static_cast<float>(host.sel_end());
    ASSERT_GE(caret_x, host.visible.l) << i;
    ASSERT_LE(caret_x, host.visible.r) << i;
    ASSERT_EQ(host.scroll_y, 0) << i;
  }
  EXPECT_GT(host.scroll_x, 0);
  for (int i = 0; i < 50; ++i) OGLE_Key(host.rec, static_cast<char>(OGLE_key_left), 0);
  EXPECT_EQ(host.scroll_x, 0);
}

// The engine steps over UTF-8 by itself when the host leaves the stepping slots empty, as the
// object face does.
TEST(TextEditorObject, EditsWithoutSteppingCallbacks) {
  test_editor_host bare("\xC3\xA9 x", /*stepping_slots=*/false);
  OGLE_Repaginate(bare.rec);
  OGLE_Key(bare.rec, static_cast<char>(R), 0);
  EXPECT_EQ(bare.sel_end(), 2);
  OGLE_Key(bare.rec, static_cast<char>(BS), 0);
  EXPECT_EQ(bare.text, " x");

  class line_editor : public OGLE {
   public:
    std::string text = "\xC3\xA9t\xC3\xA9";
    void GetVisibleBounds(float* l, float* b, float* r, float* t) override { *l = 0, *b = 0, *r = 100, *t = 10; }
    void GetLogicalBounds(float* l, float* b, float* r, float* t) override { *l = 0, *b = 0, *r = 100, *t = 10; }
    void SetLogicalHeight(float) override {}
    void ScrollTo(float, float) override {}
    void GetText(const char** b, const char** e) override { *b = text.data(), *e = text.data() + text.size(); }
    void ReplaceText(int from, int to, const char* b, const char* e) override {
      text.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), b ? std::string(b, e) : "");
    }
    float GetLineHeight() override { return 10; }
    float MeasureString(const char* b, const char* e) override { return static_cast<float>(test_editor_host::chars_in(b, e)); }
    int FitStringFwd(const char*, const char*, float) override { return 0; }
    int FitStringRev(const char*, const char*, float) override { return 0; }
    void DrawString(const char*, const char*, float, float) override {}
    void DrawSelection(float, float, float, float) override {}
    const char* WordBreak(const char* b, const char* e) override {
      while (b < e && *b != ' ') ++b;
      return b;
    }
  } editor;
  editor.Repaginate();
  editor.SetSelection(5, 5);
  editor.Key(BS, 0);
  editor.Key(L, 0);
  editor.Key(BS, 0);
  EXPECT_EQ(editor.text, "t");
  EXPECT_TRUE(test_is_valid_utf8(editor.text));
}

}  // namespace
