#include "graphics/text_layout.h"

#include <cstring>

namespace {

inline bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}

unsigned utf8_decode(const char* p, const char* end, const char** next) {
  const unsigned char lead = static_cast<unsigned char>(*p);
  const char* q = p + 1;
  unsigned code;
  int more;
  if (lead < 0x80) {
    *next = q;
    return lead;
  } else if (lead >= 0xC0 && lead <= 0xDF) {
    code = lead & 0x1F;
    more = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    code = lead & 0x0F;
    more = 2;
  } else if (lead >= 0xF0 && lead <= 0xF7) {
    code = lead & 0x07;
    more = 3;
  } else {
    // Not a lead byte: the character is 0, and it swallows the continuations after it so that
    // the next character starts at a real lead byte.
    while (q < end && is_continuation(static_cast<unsigned char>(*q))) ++q;
    *next = q;
    return 0;
  }
  for (int i = 0; i < more; ++i) {
    if (q >= end || !is_continuation(static_cast<unsigned char>(*q))) {
      *next = q;
      return utf8_replacement;
    }
    code = (code << 6) | (static_cast<unsigned char>(*q) & 0x3F);
    ++q;
  }
  *next = q;
  return code;
}

int utf8_encode(unsigned code, char* out) {
  if (code > 0x10FFFF) code = utf8_replacement;
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code >> 6));
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (code >> 12));
    out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (code >> 18));
  out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (code & 0x3F));
  return 4;
}

const char* text_end_at_nul(const char* begin, const char* end) {
  const void* nul = std::memchr(begin, 0, static_cast<size_t>(end - begin));
  return nul ? static_cast<const char*>(nul) : end;
}
