// The text renderer's UTF-8 decoding and line breaking, and the number texts, on arbitrary
// bytes: no read past the text, every line makes progress and lies inside the text, and the
// lines together cover it.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/number_text.h"
#include "graphics/text_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  // The first bytes choose the wrap width and the fixed advance; the rest is the text, copied
  // to a block exactly its size so that ASan sees any read past it.
  const float wrap = static_cast<float>(static_cast<int8_t>(data[0])) * 4;
  const int fixed = data[1] % 4 == 0 ? data[1] % 13 : 0;
  float value;
  std::memcpy(&value, data + 2, 4);
  std::vector<char> text(data + 6, data + size);
  const char* begin = text.data();
  const char* end = begin + text.size();

  for (const char* p = begin; p < end;) {
    const char* next;
    utf8_decode(p, end, &next);
    if (next <= p || next > end) std::abort();
    p = next;
  }

  const char* stop = text_end_at_nul(begin, end);
  for (const char* p = begin; p < stop;) {
    text_line l = text_next_line(p, stop, wrap, fixed, [](unsigned code) {
      return code == ' ' ? 3.0f : static_cast<float>(code % 11);
    });
    if (l.begin != p || l.end < l.begin || l.end > stop || l.next <= p || l.next > stop) std::abort();
    p = l.next;
  }

  if (std::isfinite(value)) {
    const int digits = data[1] % 24;
    const int decimals = data[0] % 8;
    std::string s = OGL_number_text(value, digits, decimals);
    if (s.empty() || s.size() > 64) std::abort();
    std::vector<number_cell> cells = OGL_number_cells(value, digits, decimals, 10);
    for (const number_cell& c : cells)
      if (!(c.code == '-' || c.code == '.' || c.code == ',' || (c.code >= '0' && c.code <= '9'))) std::abort();
  }
  return 0;
}
