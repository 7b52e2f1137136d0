#include "runtime/conversions.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

using u16string_t = std::basic_string<unsigned short>;

namespace {

std::string int_text(int value, int min_digits, int plus) {
  char buf[16];
  std::fill(buf, buf + sizeof buf, '#');
  int_to_str(value, buf, min_digits, plus);
  return buf;
}

u16string_t units(std::initializer_list<unsigned> list) {
  u16string_t s;
  for (unsigned u : list) s += static_cast<unsigned short>(u);
  return s;
}

// Converts with the system's iconv; the reference for well-formed text.
std::string iconv_convert(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  EXPECT_NE(cd, (iconv_t)-1);
  std::string out(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char* dst = out.data();
  size_t dst_left = out.size();
  size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  EXPECT_NE(r, (size_t)-1);
  iconv_close(cd);
  out.resize(out.size() - dst_left);
  return out;
}

}  // namespace

TEST(IntToStr, Table) {
  struct row {
    int value, min_digits, plus;
    const char* text;
  } rows[] = {
      {0, 0, 0, "0"},          {0, 1, 0, "0"},
      {-45, 4, 0, "-0045"},    {5, 0, 1, "+5"},
      {0, 0, 1, "+0"},         {-5, 0, 1, "-5"},
      {7, 3, 0, "007"},        {123, 2, 0, "123"},
      {2147483647, 0, 0, "2147483647"},
      {INT_MIN, 0, 0, "-2147483648"},
      {INT_MIN, 12, 1, "-2147483648"},
      {42, 15, 0, "0000000042"},  // more than ten digits acts as ten
      {9, -3, 0, "9"},
  };
  for (const row& r : rows)
    EXPECT_EQ(int_text(r.value, r.min_digits, r.plus), r.text)
        << r.value << " min " << r.min_digits << " plus " << r.plus;
}

TEST(StrToInt, Table) {
  struct row {
    const char* text;
    int value;
  } rows[] = {
      {"0", 0},          {"+42", 42},     {"-7", -7},      {"123456789", 123456789},
      {"-123456789", -123456789},         {"000000007", 7}, {"-1", -1},
      {"1234567890", -1}, {"", -1},       {"+", -1},       {"-", -1},
      {"12a", -1},       {" 5", -1},      {"5 ", -1},      {"1-1", -1},
      {"1+1", -1},       {"+-3", -1},     {"--3", -1},     {"3.0", -1},
  };
  for (const row& r : rows) EXPECT_EQ(str_to_int(r.text), r.value) << '"' << r.text << '"';
}

TEST(FltToStr, Table) {
  struct row {
    float value;
    int width, decimals, blank_for_plus;
    const char* text;
  } rows[] = {
      {3.14159f, 6, 2, 0, "   3.14"},
      {-2.5f, 4, 1, 0, "-  2.5"},
      {12.0f, 2, 0, 1, " 12"},
      {0.995f, 4, 2, 0, " 1.00"},
      {-0.001f, 4, 2, 0, "- 0.00"},
      {0.0f, 3, 1, 0, " 0.0"},
      {2.5f, 1, 0, 0, "3"},  // halves round away from zero
      {-2.5f, 1, 0, 0, "-3"},
      {1234.5f, 2, 1, 0, "1234.5"},  // a width too small never cuts digits
      {0.05f, 1, 2, 0, "0.05"},
  };
  for (const row& r : rows) {
    std::string out = "unchanged";
    flt_to_str(r.value, &out, r.width, r.decimals, r.blank_for_plus);
    EXPECT_EQ(out, r.text) << r.value << " w" << r.width << " d" << r.decimals;
  }
  std::string out = "unchanged";
  flt_to_str(1.5f, &out, 4, -1, 0);
  EXPECT_EQ(out, "unchanged");
}

TEST(FltToStr, ValuesOutsideTheIntegerRangeStillPrint) {
  for (float v : {1e30f, -1e30f, std::numeric_limits<float>::infinity(),
                  std::numeric_limits<float>::quiet_NaN(), 3e9f}) {
    std::string out;
    flt_to_str(v, &out, 8, 3, 0);
    EXPECT_FALSE(out.empty()) << v;
  }
}

TEST(Utf, WellFormedPairsRoundTrip) {
  u16string_t wide;
  string_utf_8_to_16("\xF0\x9F\x98\x80", wide);
  EXPECT_EQ(wide, units({0xD83D, 0xDE00}));
  std::string narrow;
  string_utf_16_to_8(units({0xD83D, 0xDE00}), narrow);
  EXPECT_EQ(narrow, "\xF0\x9F\x98\x80");
}

TEST(Utf, MalformedUtf8BecomesReplacement) {
  const unsigned R = 0xFFFD;
  struct row {
    std::string in;
    u16string_t out;
  } rows[] = {
      {"\xC3", units({R})},
      {"\xE2\x82", units({R})},
      {"\xF0\x9F\x98", units({R})},
      {std::string("\xE2\x82" "A"), units({R, 'A'})},
      {std::string("\xE2" "/x"), units({R, '/', 'x'})},
      {"\xF8\x88\x80\x80\x80", units({R})},
      {"\xFF" "a", units({R, 'a'})},
      {"\x80\x80" "a", units({R, 'a'})},
      {"a\x80\xBF" "b", units({'a', 'b'})},  // stray continuations after a character
      {"\xC0\xAF", units({0x2F})},           // overlong forms stay accepted
      {std::string("x\0y", 3), units({'x', 0, 'y'})},
  };
  for (const row& r : rows) {
    u16string_t out = units({'z'});
    string_utf_8_to_16(r.in, out);
    EXPECT_EQ(out, r.out) << testing::PrintToString(r.in);
  }
}

TEST(Utf, UnpairedSurrogatesBecomeReplacement) {
  const std::string R = "\xEF\xBF\xBD";
  struct row {
    u16string_t in;
    std::string out;
  } rows[] = {
      {units({0xD83D}), R},
      {units({0xD83D, 'A'}), R + "A"},
      {units({0xDE00, 'A'}), R + "A"},
      {units({'a', 0xD800, 0xD800, 0xDC00}), "a" + R + "\xF0\x90\x80\x80"},
      {units({0x7F, 0x80, 0x7FF, 0x800, 0xFFFF}),
       "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
  };
  for (const row& r : rows) {
    std::string out = "z";
    string_utf_16_to_8(r.in, out);
    EXPECT_EQ(out, r.out);
  }
}

TEST(Utf, AgreesWithIconvOnWellFormedText) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 200; ++round) {
    // Code points from every encoded length, surrogates excluded.
    std::string utf32;
    int count = rng() % 40;
    for (int i = 0; i < count; ++i) {
      uint32_t cp;
      switch (rng() % 4) {
        case 0: cp = rng() % 0x80; break;
        case 1: cp = 0x80 + rng() % (0x800 - 0x80); break;
        case 2: cp = 0x800 + rng() % (0x10000 - 0x800); break;
        default: cp = 0x10000 + rng() % (0x110000 - 0x10000); break;
      }
      if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xE000;
      for (int b = 0; b < 4; ++b) utf32 += char((cp >> (8 * b)) & 0xFF);
    }
    std::string utf8 = iconv_convert("UTF-8", "UTF-32LE", utf32);
    std::string utf16le = iconv_convert("UTF-16LE", "UTF-32LE", utf32);
    u16string_t expected_wide;
    for (size_t i = 0; i + 1 < utf16le.size(); i += 2)
      expected_wide += static_cast<unsigned short>(static_cast<unsigned char>(utf16le[i]) |
                                                   static_cast<unsigned char>(utf16le[i + 1]) << 8);

    u16string_t wide;
    string_utf_8_to_16(utf8, wide);
    EXPECT_EQ(wide, expected_wide);
    std::string narrow;
    string_utf_16_to_8(expected_wide, narrow);
    EXPECT_EQ(narrow, utf8);
  }
}
