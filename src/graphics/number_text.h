// The texts of OGL_number, without drawing: the regular-font text with its zero padding,
// decimal point, thousands commas and overflow form, and the fixed-cell placement of the bold
// form. The value arrives as a float, so digits beyond the 24th bit of the mantissa are
// whatever the float holds; the digits are taken in double precision, never through an int.
#pragma once

#include <string>
#include <vector>

// The regular form: "-" for a negative value whose scaled magnitude exceeds 0.1, then either
// `digits` digits of the value scaled by 10^decimals and rounded (zero-padded, "." before the
// last `decimals` digits when there are integer digits, "," before each group of three integer
// digits), or, when the rounded value needs more digits than that (or digits <= decimals), the
// overflow form "d.ddxE": three significant digits times ten to the E. A value that is not
// finite gives "?".
std::string OGL_number_text(float value, int digits, int decimals);

// One character of the fixed-cell form and its x offset from the left cell edge x'.
struct number_cell {
  char code;
  float x;
};

// The fixed-cell form with cells `advance` wide: "-" at 1, "." at (n + 0.5) cells and ","
// at (n - 3 + 0.5), (n - 6 + 0.5) and (n - 9 + 0.5) cells where n = digits - decimals exceeds
// 3, 6 and 9, then the lowest min(digits, 11) digits of the rounded scaled value, most
// significant first, the k-th at k cells (k from 1).
std::vector<number_cell> OGL_number_cells(float value, int digits, int decimals, int advance);
