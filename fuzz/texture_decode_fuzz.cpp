// The texture loader's decode step over an arbitrary file: the signature sniffing, the size
// check on the declared header, the decode into the 16 MB buffer, the reduction for the
// resolution level and the DDS chain copy and flip. Nothing may read or write out of bounds.
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/gl_capabilities.h"
#include "graphics/texture_loading.h"
#include "runtime/shell_records.h"
#include "scratch_file.h"
#include "support/shell_double.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<unsigned char> shared(TEX_scratch_bytes);
  scratch_array = shared.data();
  glExt.max_tex_size = 2048;
  const uint8_t pick = size ? data[0] : 0;
  mnw.tex_res = pick % 6;
  const std::string& path = fuzz_scratch::write(data, size);
  tex_load_vars vars;
  vars.ref = 396;
  // Colour codes 1 to 5, with or without exact sizes and the resolution flags.
  vars.flags = 1 + (pick >> 3) % 5 + ((pick & 0x80) ? 0x2000 : 0) + ((pick & 0x40) ? 0x40 : 0);
  vars.name = path;
  load_texture_io(&vars);
  shell_double::reset();
  return 0;
}
