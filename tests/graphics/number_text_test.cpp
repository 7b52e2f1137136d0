// The texts of the number renderer: padding, decimal point, commas, the overflow form, and the
// faults of rounding into a new digit, exact powers of ten, long exponents and values past the
// int range.
#include "graphics/number_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct number_case {
  float value;
  int digits;
  int decimals;
  const char* expect;
};

TEST(NumberText, RegularForm) {
  const std::vector<number_case> cases = {
      {-0.04f, 3, 1, "-00.0"},   // scaled 0.4 is above 0.1 and rounds to 0
      {-0.005f, 3, 1, "00.0"},   // no minus for a value that reads as zero
      {1234567, 7, 0, "1,234,567"},
      {1234567, 4, 0, "1.23x6"},
      {123456, 4, 0, "1.23x5"},
      {5, 3, 0, "005"},
      {12.345f, 5, 2, "012.35"},
      {1234.5f, 7, 1, "001,234.5"},
      {999, 3, 0, "999"},
      // Rounding that carries into a new digit is counted: the leading digit is not lost.
      {9.6f, 1, 0, "0.10x2"},
      {99.96f, 3, 1, "1.00x2"},
      {99.96f, 4, 1, "100.0"},
      // Exact powers of ten have as many digits as they show.
      {1e8f, 8, 0, "1.00x8"},
      {1e9f, 9, 0, "1.00x9"},
      {1e8f, 9, 0, "100,000,000"},
      // Exponents of two digits are written whole.
      {1.5e10f, 4, 0, "1.50x10"},
      // Past the int range the digits are still right.
      {3e9f, 10, 0, "3,000,000,000"},
      {-3e9f, 10, 0, "-3,000,000,000"},
      // No integer digits: always the overflow form.
      {0.57f, 2, 2, "0.01x2"},
  };
  for (const number_case& c : cases) {
    SCOPED_TRACE(std::to_string(c.value) + " " + std::to_string(c.digits) + " " +
                 std::to_string(c.decimals));
    EXPECT_EQ(OGL_number_text(c.value, c.digits, c.decimals), c.expect);
  }
}

TEST(NumberText, NotFiniteIsAQuestionMark) {
  EXPECT_EQ(OGL_number_text(1.0f / 0.0f, 4, 0), "?");
  EXPECT_EQ(OGL_number_text(-1.0f / 0.0f, 4, 0), "?");
}

std::string cells_text(const std::vector<number_cell>& cells) {
  std::string s;
  for (const number_cell& c : cells) s += std::string(1, c.code) + "@" + std::to_string(static_cast<int>(c.x * 10)) + " ";
  return s;
}

TEST(NumberText, FixedCellForm) {
  // -1234.5 in 6 digits, 1 decimal: n = 5 integer places. Positions in tenths of a unit.
  EXPECT_EQ(cells_text(OGL_number_cells(-1234.5f, 6, 1, 10)),
            "-@10 .@550 ,@250 0@100 1@200 2@300 3@400 4@500 5@600 ");
  // 3e9 in 10 digits: commas after the first, fourth and seventh digit, no int overflow.
  EXPECT_EQ(cells_text(OGL_number_cells(3e9f, 10, 0, 10)),
            ",@750 ,@450 ,@150 3@100 0@200 0@300 0@400 0@500 0@600 0@700 0@800 0@900 0@1000 ");
  // Only the lowest eleven digits are drawn.
  EXPECT_EQ(OGL_number_cells(5, 14, 0, 10).size(), 3u + 11u);
  // 2 digits and 2 decimals: the point comes before every digit.
  EXPECT_EQ(cells_text(OGL_number_cells(0.57f, 2, 2, 10)), ".@50 5@100 7@200 ");
}

}  // namespace
