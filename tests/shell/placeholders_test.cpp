// Filling numbered placeholders, collecting their numbers, the translation file's escapes and
// the coded menu text.
#include "shell/placeholders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Placeholders, FillTable) {
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> with;
    std::string expected;
  } cases[] = {
      {"every occurrence", "%1:file% and %1:file%", {"a.txt"}, "a.txt and a.txt"},
      {"number above the count stays", "%1:a% %2:x%", {"A"}, "A %2:x%"},
      {"percent after a placeholder is text", "%2:progress%% done", {"-", "42"}, "42% done"},
      {"inserted text is not scanned", "%1:a% %2:b%", {"%2:b%", "B"}, "%2:b% B"},
      {"inserted text holding % and : goes in whole", "[%1:f%]", {"50%:x%y"}, "[50%:x%y]"},
      {"a percent without colon and percent", "100%: x", {"A"}, "100%: x"},
      {"leading blank before the number", "% 1:a%!", {"A"}, "A!"},
      {"signed number", "%+2:a%", {"A", "B"}, "B"},
      {"zero is no placeholder", "%0:a%", {"A"}, "%0:a%"},
      {"negative is no placeholder", "%-1:a%", {"A"}, "%-1:a%"},
      {"huge number does not wrap", "%99999999999999:a%", {"A"}, "%99999999999999:a%"},
      {"huge number past the int range", "%4294967297:a%", {"A"}, "%4294967297:a%"},
      {"no closing percent", "%1:never closed", {"A"}, "%1:never closed"},
      {"empty replacement", "<%1:a%>", {""}, "<>"},
      {"six replacements", "%6:f%%5:e%%4:d%%3:c%%2:b%%1:a%", {"a", "b", "c", "d", "e", "f"}, "fedcba"},
      {"translated order", "%2:total% : %1:number%", {"3", "10"}, "10 : 3"},
  };
  for (const auto& c : cases) EXPECT_EQ(string_sub_list(c.text, c.with), c.expected) << c.name;

  // Each overload fills up to its own count.
  const std::string all = "%1:a%%2:b%%3:c%%4:d%%5:e%%6:f%%7:g%";
  EXPECT_EQ(UTL_string_sub(all, "1"), "1%2:b%%3:c%%4:d%%5:e%%6:f%%7:g%");
  EXPECT_EQ(UTL_string_sub(all, "1", "2"), "12%3:c%%4:d%%5:e%%6:f%%7:g%");
  EXPECT_EQ(UTL_string_sub(all, "1", "2", "3"), "123%4:d%%5:e%%6:f%%7:g%");
  EXPECT_EQ(UTL_string_sub(all, "1", "2", "3", "4"), "1234%5:e%%6:f%%7:g%");
  EXPECT_EQ(UTL_string_sub(all, "1", "2", "3", "4", "5"), "12345%6:f%%7:g%");
  EXPECT_EQ(UTL_string_sub(all, "1", "2", "3", "4", "5", "6"), "123456%7:g%");
}

TEST(Placeholders, NumbersInTextOrder) {
  const struct {
    std::string text;
    std::vector<int> numbers;
  } cases[] = {
      {"Scanning %1:number% of %2:total% files.", {1, 2}},
      {"%2:b% before %1:a%, %2:b% again", {2, 1, 2}},
      {"currently %2:progress%% done", {2}},
      {"100%: nothing", {}},
      {"%4294967297:wraps to 1 if read carelessly%", {2147483647}},
      {"%0:zero% %x:word%", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    std::vector<int> numbers = {7};  // appended to, not replaced
    UTL_string_check(c.text, numbers);
    std::vector<int> expected = {7};
    expected.insert(expected.end(), c.numbers.begin(), c.numbers.end());
    EXPECT_EQ(numbers, expected) << c.text;
  }
}

TEST(Placeholders, EscapesAndReplaceAll) {
  std::string s = "a\\nb\\rc\\\\nd\\te";
  STR_unescape(s);
  EXPECT_EQ(s, "a\nb\rc\\\nd\\te");

  // A replacement that holds the text it replaces is inserted once, and the call ends.
  std::string grow = "x-x";
  STR_replace_all(grow, "x", "xx");
  EXPECT_EQ(grow, "xx-xx");
  std::string back = "\r\n";
  STR_replace_all(back, "\n", "\\n");
  STR_replace_all(back, "\r", "\\r");
  EXPECT_EQ(back, "\\r\\n");
  std::string unchanged = "abc";
  STR_replace_all(unchanged, "", "z");
  EXPECT_EQ(unchanged, "abc");
}

TEST(Placeholders, CodedMenuText) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"0 127 999", std::string("\x01\x01\x02\x01\x08\x6F", 6)},
      {"1234", std::string("\x01\x7C\x01\x05", 4)},  // 123 and 4
      {"-separator", "-separator"},
      {"=line", "=line"},
      {"", ""},
      {" -9", ""},                                    // a negative value adds nothing
      {"  5  ", std::string("\x01\x06", 2)},
      {"+1", std::string("\x01\x0C", 2)},              // "+" counts 1: 11
      {"a7", std::string("\x01\x08", 2)},              // another character counts 0
  };
  for (const auto& c : cases) {
    std::string t = c.text;
    char_string_to_int_string(t);
    EXPECT_EQ(t, c.expected) << c.text;
  }
}

}  // namespace
