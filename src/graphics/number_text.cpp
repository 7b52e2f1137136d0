#include "graphics/number_text.h"

#include <algorithm>
#include <cmath>

namespace {

double power_of_ten(int p) {
  double r = 1;
  for (int i = 0; i < p; ++i) r *= 10;
  return r;
}

// The digit at power p of a non-negative whole number held in a double. Doubles, not ints:
// a float of 3e9 already passes the int range.
int digit_at(double whole, int p) {
  double q = std::floor(whole / power_of_ten(p));
  return static_cast<int>(std::fmod(q, 10.0));
}

// The digits of a non-negative whole number (at least 1). The count comes from the rounded
// value, so a rounding that carries into a new digit (9.6 -> 10) is counted.
int digit_count(double whole) {
  int n = 1;
  while (n < 400 && whole >= power_of_ten(n)) ++n;
  return n;
}

struct scaled_value {
  double magnitude;  // |value|
  double scaled;     // |value| x 10^decimals
  double whole;      // scaled rounded half up
  bool minus;
};

scaled_value scale(float value, int decimals) {
  scaled_value s;
  s.magnitude = std::fabs(static_cast<double>(value));
  s.scaled = s.magnitude * power_of_ten(decimals);
  s.whole = std::floor(s.scaled + 0.5);
  s.minus = value < 0 && s.scaled > 0.1;
  return s;
}

}

std::string OGL_number_text(float value, int digits, int decimals) {
  if (!std::isfinite(value)) return "?";
  decimals = std::max(decimals, 0);
  const scaled_value v = scale(value, decimals);
  const int int_digits = digits - decimals;
  std::string text;
  if (v.minus) text += '-';

  if (digits < std::max(digit_count(v.whole), decimals + 1)) {
    // Three significant digits and the power of ten they are multiplied by.
    double a = v.magnitude;
    int e = 2;
    while (a >= 999) {
      a /= 10;
      ++e;
    }
    int m = static_cast<int>(std::floor(a + 0.5));
    text += static_cast<char>('0' + m / 100 % 10);
    text += '.';
    text += static_cast<char>('0' + m / 10 % 10);
    text += static_cast<char>('0' + m % 10);
    text += 'x';
    text += std::to_string(e);
    return text;
  }

  for (int p = digits - 1; p >= 0; --p) {
    if (p == decimals - 1 && int_digits > 0) text += '.';
    const int int_left = p + 1 - decimals;  // integer digits from this one on
    if (int_left > 0 && int_left % 3 == 0 && int_digits > int_left) text += ',';
    text += static_cast<char>('0' + digit_at(v.whole, p));
  }
  return text;
}

std::vector<number_cell> OGL_number_cells(float value, int digits, int decimals, int advance) {
  std::vector<number_cell> cells;
  if (!std::isfinite(value)) return cells;
  decimals = std::max(decimals, 0);
  const scaled_value v = scale(value, decimals);
  const int n = digits - decimals;
  const float step = static_cast<float>(advance);
  if (v.minus) cells.push_back({'-', 1});
  if (decimals > 0) cells.push_back({'.', (n + 0.5f) * step});
  for (int group : {3, 6, 9})
    if (n > group) cells.push_back({',', (n - group + 0.5f) * step});
  const int count = std::min(digits, 11);
  for (int k = 1; k <= count; ++k)
    cells.push_back({static_cast<char>('0' + digit_at(v.whole, count - k)), k * step});
  return cells;
}
