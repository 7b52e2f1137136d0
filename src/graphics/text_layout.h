// Text layout without a font: UTF-8 decoding and the line breaking of the text renderer. Both
// work on byte ranges and never read past the range's end; the advances come from the caller,
// so the same code lays out text for drawing and for tests with made-up widths.
#pragma once

#include <cstddef>

// The code point that a bad sequence decodes to: a sequence cut short by the end of the range
// or by a byte that is not a continuation byte.
enum { utf8_replacement = 0xFFFD };

// Decodes the character that starts at p (p < end) and returns its code point; *next receives
// the start of the following character. A lead byte 0xC0-0xDF, 0xE0-0xEF or 0xF0-0xF7 takes
// one, two or three continuation bytes; a missing one makes the character U+FFFD and the next
// character starts at the byte that is not a continuation (or at end). Any other lead byte
// (a stray continuation 0x80-0xBF, or 0xF8-0xFF) decodes as 0 and the bytes after it that are
// continuations belong to it.
unsigned utf8_decode(const char* p, const char* end, const char** next);

// Appends the UTF-8 form of a code point (U+FFFD for one above U+10FFFF) to out; returns the
// number of bytes written (1 to 4). out must hold 4 bytes.
int utf8_encode(unsigned code, char* out);

// The end of the text the renderer draws: the first zero byte of [begin, end), or end.
const char* text_end_at_nul(const char* begin, const char* end);

// One line of a laid-out text: the bytes [begin, end) are drawn; width is the line's width in
// whole units (each character's advance truncated, or the fixed advance), used for alignment;
// next is where the following line starts (end when the text is done).
struct text_line {
  const char* begin;
  const char* end;
  float width;
  const char* next;
};

// Wrapping is on only for a width between 0 and 9999, both excluded.
inline bool text_wraps(float wrap_width) { return wrap_width > 0 && wrap_width < 9999; }

// Lays out the line that starts at p (p < end). A CR or LF ends the line (and is not part of
// it); with wrapping on the line also ends once its width has reached wrap_width: at the last
// space before that point (the space is not drawn), or, when there is none after the line's
// start, after the character that reached the width. Spaces at the start of the next line are
// skipped. advance(code) gives a character's width; a non-zero fixed_advance replaces it.
template <class Advance>
text_line text_next_line(const char* p, const char* end, float wrap_width, int fixed_advance,
                         Advance&& advance) {
  const bool wraps = text_wraps(wrap_width);
  const char* pos = p;
  const char* brk = p;  // the last break point: a space, or the CR or LF that ended the scan
  float width = 0;
  float break_width = 0;
  bool hard_break = false;
  while (pos < end) {
    if (wraps && width >= wrap_width) break;
    const char* after;
    unsigned code = utf8_decode(pos, end, &after);
    if (code == 13 || code == 10) {
      brk = pos;
      hard_break = true;
      break;
    }
    if (code == 32) {
      brk = pos;
      break_width = width;
    }
    width += fixed_advance != 0 ? static_cast<float>(fixed_advance)
                                : static_cast<float>(static_cast<int>(advance(code)));
    pos = after;
  }
  text_line line;
  line.begin = p;
  if (hard_break) {
    line.end = brk;
    line.width = width;
  } else if (pos >= end || brk == p) {
    line.end = pos;
    line.width = width;
  } else {
    line.end = brk;
    line.width = break_width;
  }
  const char* next = line.end;
  if (hard_break) ++next;  // CR and LF are one byte each
  while (next < end && *next == ' ') ++next;
  line.next = next;
  return line;
}
