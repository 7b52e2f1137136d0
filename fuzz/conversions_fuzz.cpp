// Number parsing and printing and the UTF-8/UTF-16 converters on arbitrary bytes: no read past
// the input, no undefined behaviour, and the converters settle after one round trip.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  int value = str_to_int(bytes);
  if (value != -1) {
    char buf[16];
    int_to_str(value, buf, 0, 0);
    if (str_to_int(buf) != value) std::abort();
  }

  if (size >= 7) {
    int as_int;
    float as_float;
    std::memcpy(&as_int, data, 4);
    std::memcpy(&as_float, data, 4);
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    int_to_str(as_int, buf, static_cast<int8_t>(data[4]), data[5] & 1);
    if (std::strlen(buf) > 12) std::abort();
    std::string out;
    flt_to_str(as_float, &out, static_cast<int8_t>(data[4]) % 40, static_cast<int8_t>(data[6]) % 24,
               data[5] & 2);
  }

  std::basic_string<unsigned short> wide, wide_again;
  std::string narrow, narrow_again;
  string_utf_8_to_16(bytes, wide);
  if (wide.size() > size) std::abort();
  string_utf_16_to_8(wide, narrow);
  string_utf_8_to_16(narrow, wide_again);
  string_utf_16_to_8(wide_again, narrow_again);
  if (narrow_again != narrow) std::abort();

  std::basic_string<unsigned short> units(size / 2, 0);
  std::memcpy(&units[0], data, units.size() * 2);
  string_utf_16_to_8(units, narrow);
  if (narrow.size() > units.size() * 3) std::abort();
  return 0;
}
