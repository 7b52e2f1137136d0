// UTF-8 decoding and the line breaking of the text renderer, with made-up advances: every
// letter 6 units, a space 3, so each line's width and break can be worked out by hand.
#include "graphics/text_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct laid_line {
  std::string text;
  float width;
};

float fake_advance(unsigned code) { return code == ' ' ? 3.0f : 6.0f; }

std::vector<laid_line> lay_out(const std::string& text, float wrap, int fixed = 0) {
  std::vector<laid_line> lines;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    text_line l = text_next_line(p, end, wrap, fixed, fake_advance);
    lines.push_back({std::string(l.begin, l.end), l.width});
    EXPECT_GT(l.next, p) << "no progress";
    p = l.next;
  }
  return lines;
}

struct layout_case {
  const char* name;
  std::string text;
  float wrap;
  int fixed;
  std::vector<laid_line> expect;
};

TEST(TextLayout, LinesBreaksAndWidths) {
  const std::vector<layout_case> cases = {
      // Without wrapping, only CR and LF end a line.
      {"no wrap at 0", "aaa bbb ccc", 0, 0, {{"aaa bbb ccc", 60}}},
      {"no wrap below 0", "aaa bbb ccc", -5, 0, {{"aaa bbb ccc", 60}}},
      {"no wrap at 9999", "aaa bbb ccc", 9999, 0, {{"aaa bbb ccc", 60}}},
      {"no wrap at 10000", "aaa bbb ccc", 10000, 0, {{"aaa bbb ccc", 60}}},
      {"line breaks without wrap", "ab\ncd", 9999, 0, {{"ab", 12}, {"cd", 12}}},
      // 30 units run out inside "bbb": the line holds "aaa", the break space is dropped.
      {"break inside the second word", "aaa bbb ccc", 30, 0, {{"aaa", 18}, {"bbb", 18}, {"ccc", 18}}},
      // The character that reaches the width stays on the line.
      {"long word split", "abcdefgh", 20, 0, {{"abcd", 24}, {"efgh", 24}}},
      {"CR LF gives an empty middle line", "a\r\nb", 100, 0, {{"a", 6}, {"", 0}, {"b", 6}}},
      {"spaces after a break dropped", "ab\n   cd", 100, 0, {{"ab", 12}, {"cd", 12}}},
      {"leading spaces kept", "  ab", 100, 0, {{"  ab", 18}}},
      // A run of spaces at a wrap: the line ends at the last of them, with the width before it.
      {"spaces at a wrap", "aaa    bbb", 30, 0, {{"aaa   ", 27}, {"bbb", 18}}},
      // The line's width is that of its own characters, not of the wrap width.
      {"line ending at a break", "ab cd\nefghij", 200, 0, {{"ab cd", 27}, {"efghij", 36}}},
      {"fixed advance", "ab c", 9999, 8, {{"ab c", 32}}},
      {"fixed advance wraps", "ab cd", 17, 8, {{"ab", 16}, {"cd", 16}}},
      {"text of spaces", "   ", 100, 0, {{"   ", 9}}},
  };
  for (const layout_case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<laid_line> got = lay_out(c.text, c.wrap, c.fixed);
    ASSERT_EQ(got.size(), c.expect.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].text, c.expect[i].text) << "line " << i;
      EXPECT_EQ(got[i].width, c.expect[i].width) << "line " << i;
    }
  }
}

TEST(TextLayout, WidthsAreTruncatedAdvances) {
  const std::string text = "abc";
  text_line l = text_next_line(text.data(), text.data() + text.size(), 0, 0,
                               [](unsigned) { return 6.9f; });
  EXPECT_EQ(l.width, 18);
}

struct decode_case {
  const char* name;
  std::string bytes;
  std::vector<unsigned> codes;
};

TEST(Utf8Decode, CodePointsAndBadInput) {
  const std::vector<decode_case> cases = {
      {"ASCII", "Az", {'A', 'z'}},
      {"two bytes", "\xC3\xA9t\xC3\xA9", {0xE9, 't', 0xE9}},
      {"three bytes", "\xE2\x82\xAC", {0x20AC}},
      {"four bytes", "\xF0\x9F\x98\x80", {0x1F600}},
      // A sequence cut by the end of the text: one replacement character, nothing read past.
      {"cut at the end", "a\xE2\x82", {'a', utf8_replacement}},
      // A sequence cut by a byte that is not a continuation: that byte is the next character.
      {"cut by a letter", "\xC3Z", {utf8_replacement, 'Z'}},
      // A stray continuation is character 0 together with the continuations after it.
      {"lone continuations", "\x80\x81x", {0, 'x'}},
      {"bytes F8 to FF", "\xF8\xFF", {0, 0}},
  };
  for (const decode_case& c : cases) {
    SCOPED_TRACE(c.name);
    // A copy on the heap exactly as long as the text, so that ASan sees any read past its end.
    std::vector<char> heap(c.bytes.begin(), c.bytes.end());
    const char* p = heap.data();
    const char* end = p + heap.size();
    std::vector<unsigned> got;
    while (p < end) got.push_back(utf8_decode(p, end, &p));
    EXPECT_EQ(got, c.codes);
    EXPECT_EQ(p, end);
  }
}

TEST(Utf8Encode, RoundTrips) {
  for (unsigned code : {0x41u, 0xE9u, 0xF0u, 0x20ACu, 0x1F600u}) {
    char buf[4];
    int n = utf8_encode(code, buf);
    const char* next;
    EXPECT_EQ(utf8_decode(buf, buf + n, &next), code);
    EXPECT_EQ(next, buf + n);
  }
}

TEST(TextLayout, DrawingStopsAtNul) {
  const std::string text("ab\0cd", 5);
  EXPECT_EQ(text_end_at_nul(text.data(), text.data() + text.size()), text.data() + 2);
}

}  // namespace
