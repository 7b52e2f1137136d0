// Number and text conversions shared by every layer: integers and floats to column-aligned
// decimal text and back, and UTF-8 <-> UTF-16 for the few places that hand text to wide APIs.
#pragma once

#include <string>

// Writes value as decimal into buffer (at least 13 characters) with a terminating NUL: "-" for
// negatives, "+" for zero and positive values when plus is non-zero, then at least min_digits
// digits (zero-filled) and never more than ten.
void int_to_str(int value, char* buffer, int min_digits, int plus);

// The value of a decimal text: an optional leading sign and 1 to 9 digits. Anything else
// (empty, a lone sign, ten or more digits, any other character, a sign after the first
// character) gives -1, which is also the value of "-1": callers pass only texts they expect
// to hold digits.
int str_to_int(const std::string& text);

// Replaces *out with value in fixed point: the integer part right-aligned in width - decimals
// columns (blanks for leading zeros), then "." and exactly decimals digits when decimals > 0.
// A negative value gets "-" before the blanks, a non-negative one a blank when blank_for_plus
// is set. With decimals < 0, *out is left unchanged.
void flt_to_str(float value, std::string* out, int width, int decimals, int blank_for_plus);

// Lenient converters: overlong UTF-8 forms are accepted; stray continuation bytes after a
// character are skipped. Malformed input (a truncated sequence, a lead byte 0xF8 to 0xFF, an
// unpaired surrogate) becomes U+FFFD, and neither ever reads past the end of its input.
// Both clear out first.
void string_utf_8_to_16(const std::string& in, std::basic_string<unsigned short>& out);
void string_utf_16_to_8(const std::basic_string<unsigned short>& in, std::string& out);
