#include "runtime/conversions.h"

#include <cmath>
#include <cstdint>

namespace {

// Writes the digits of places 10^9 down to 10^0: a place is written once the magnitude
// reaches it or min_digits asks for it, so there are never more than ten digits.
char* write_digits(char* p, unsigned long long magnitude, int min_digits) {
  static const unsigned long long place[10] = {1ull,         10ull,         100ull,
                                               1000ull,      10000ull,      100000ull,
                                               1000000ull,   10000000ull,   100000000ull,
                                               1000000000ull};
  for (int k = 9; k >= 1; --k)
    if (magnitude >= place[k] || min_digits > k) *p++ = char('0' + (magnitude / place[k]) % 10);
  *p++ = char('0' + magnitude % 10);
  return p;
}

bool is_continuation(unsigned char b) { return b >= 0x80 && b <= 0xBF; }

const uint32_t replacement = 0xFFFD;

void append_utf_8(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

}  // namespace

void int_to_str(int value, char* buffer, int min_digits, int plus) {
  char* p = buffer;
  unsigned long long magnitude;
  if (value < 0) {
    *p++ = '-';
    // Negating in unsigned arithmetic keeps INT_MIN's magnitude, which has no int form.
    magnitude = 0u - static_cast<unsigned>(value);
  } else {
    if (plus) *p++ = '+';
    magnitude = static_cast<unsigned>(value);
  }
  p = write_digits(p, magnitude, min_digits);
  *p = 0;
}

int str_to_int(const std::string& text) {
  if (text.empty()) return -1;
  size_t start = 0;
  int sign = 1;
  if (text[0] == '+' || text[0] == '-') {
    sign = text[0] == '-' ? -1 : 1;
    start = 1;
  }
  size_t body = text.size() - start;
  if (body < 1 || body > 9) return -1;
  int value = 0;
  for (size_t i = start; i < text.size(); ++i) {
    // A sign inside the number is as bad as a letter: "1-1" must not read as a number.
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return sign * value;
}

void flt_to_str(float value, std::string* out, int width, int decimals, int blank_for_plus) {
  if (decimals < 0) return;
  // int_to_str shows at most ten digits, so more decimals than nine add nothing but overflow.
  int exponent = decimals > 9 ? 9 : decimals;
  long long scale = static_cast<long long>(std::pow(10.0, exponent));
  float scaled_f = value * static_cast<float>(scale);
  long long scaled = 0;
  // lroundf has no defined result outside the range of long; such values only need to
  // print something.
  if (std::isfinite(scaled_f))
    scaled = std::fabs(scaled_f) < 9.0e18f ? std::llroundf(scaled_f)
                                           : (scaled_f < 0 ? -9000000000000000000ll
                                                           : 9000000000000000000ll);
  long long whole = scaled / scale;
  long long fraction = scaled - whole * scale;

  char left[24], right[24];
  *write_digits(left, static_cast<unsigned long long>(whole < 0 ? -whole : whole),
                width - decimals) = 0;
  *write_digits(right, static_cast<unsigned long long>(fraction < 0 ? -fraction : fraction),
                decimals) = 0;
  for (char* p = left; p[0] == '0' && p[1] != 0; ++p) *p = ' ';

  std::string text;
  if (value < 0)
    text = "-";
  else if (blank_for_plus)
    text = " ";
  text += left;
  if (decimals > 0) {
    text += '.';
    text += right;
  }
  *out = text;
}

void string_utf_8_to_16(const std::string& in, std::basic_string<unsigned short>& out) {
  out.clear();
  const size_t n = in.size();
  size_t i = 0;
  while (i < n) {
    unsigned char lead = static_cast<unsigned char>(in[i++]);
    uint32_t cp;
    int need;
    if (lead < 0x80) {
      cp = lead, need = 0;
    } else if (lead < 0xC0) {
      cp = replacement, need = 0;  // text that starts inside a character
    } else if (lead < 0xE0) {
      cp = lead & 0x1F, need = 1;
    } else if (lead < 0xF0) {
      cp = lead & 0x0F, need = 2;
    } else if (lead < 0xF8) {
      cp = lead & 0x07, need = 3;
    } else {
      cp = replacement, need = 0;
    }
    for (int k = 0; k < need; ++k) {
      if (i < n && is_continuation(static_cast<unsigned char>(in[i]))) {
        cp = (cp << 6) | (static_cast<unsigned char>(in[i++]) & 0x3F);
      } else {
        // Truncated: the byte that cut it short starts the next character.
        cp = replacement;
        break;
      }
    }
    if (cp < 0x10000) {
      out += static_cast<unsigned short>(cp);
    } else {
      out += static_cast<unsigned short>(0xD800 | (((cp >> 10) - 64) & 0x3FF));
      out += static_cast<unsigned short>(0xDC00 | (cp & 0x3FF));
    }
    while (i < n && is_continuation(static_cast<unsigned char>(in[i]))) ++i;
  }
}

void string_utf_16_to_8(const std::basic_string<unsigned short>& in, std::string& out) {
  out.clear();
  const size_t n = in.size();
  size_t i = 0;
  while (i < n) {
    uint32_t unit = in[i++];
    uint32_t cp = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i < n && in[i] >= 0xDC00 && in[i] <= 0xDFFF)
        cp = 0x10000 + ((unit & 0x3FF) << 10) + (in[i++] & 0x3FF);
      else
        cp = replacement;  // the unit after it, if any, is a character of its own
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      cp = replacement;
    }
    append_utf_8(cp, out);
  }
}
