// The BMP reader over arbitrary bytes: no input may read outside the file or write outside the
// buffer, which is allocated to exactly the capacity the reader is told.
#include <cstdint>
#include <vector>

#include "graphics/image_bmp.h"
#include "image_view.h"
#include "support/shell_double.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const unsigned formats[] = {TEX_fmt_rgb, TEX_fmt_rgba, TEX_fmt_alpha};
  fuzz_image_view view(data, size);
  const uint8_t pick = size ? data[size - 1] : 0;
  const size_t capacity = 64 * 1024;
  std::vector<unsigned char> buffer(capacity);
  unsigned char* out = buffer.data();
  TEX_image_desc desc;
  TEX_load_bmp("fuzz.bmp", &view.map, out, formats[pick % 3], (pick >> 2) & 1 ? 40 : 0, (pick >> 3) & 1, desc, capacity);
  shell_double::reset();
  return 0;
}
