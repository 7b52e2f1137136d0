// The DDS reader over arbitrary bytes, followed by what the texture loader does with an
// accepted file: size the chain, copy it out of the mapping and flip it. Nothing may read past
// the file.
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/image_dds.h"
#include "graphics/image_flip.h"
#include "graphics/image_ops.h"
#include "image_view.h"
#include "support/shell_double.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_image_view view(data, size);
  const unsigned char* pixels = nullptr;
  TEX_image_desc desc;
  if (TEX_load_dds("fuzz.dds", &view.map, pixels, desc)) {
    const int bytes = TEX_bytes_needed_for_image(desc);
    std::vector<unsigned char> copy(pixels, pixels + bytes);
    TEX_flip_y(desc, copy.data());
  }
  shell_double::reset();
  return 0;
}
