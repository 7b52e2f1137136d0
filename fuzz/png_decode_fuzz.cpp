// The PNG reader over arbitrary bytes: image files come from the user's installation and from
// downloads, so no input may read outside the file or write outside the buffer. The buffer is
// allocated to exactly the capacity the reader is told.
#include <cstdint>
#include <vector>

#include "graphics/image_png.h"
#include "image_view.h"
#include "runtime/memory/pooled_allocator.h"
#include "support/shell_double.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const unsigned formats[] = {TEX_fmt_rgb, TEX_fmt_rgba, TEX_fmt_alpha};
  fuzz_image_view view(data, size);
  const uint8_t pick = size ? data[size - 1] : 0;
  // Small capacities make the buffer check matter; the allocation is exactly that size.
  const size_t capacity = 64 * 1024;
  std::vector<unsigned char> buffer(capacity);
  unsigned char* out = buffer.data();
  TEX_image_desc desc;
  TEX_load_png("fuzz.png", &view.map, out, formats[pick % 3], (pick >> 2) & 1 ? 64 : 0, (pick >> 3) & 1, (pick >> 4) & 1,
               desc, capacity);
  view.rewind();
  unsigned char* allocated = nullptr;
  if (TEX_load_png("fuzz.png", &view.map, allocated, formats[(pick + 1) % 3], 0, 0, 1, desc) && allocated)
    nedfree(allocated);
  shell_double::reset();
  return 0;
}
