// The file browser's previews over arbitrary bytes: the cursor passes over whatever files a
// folder holds, so a damaged aircraft or flight-data file may neither read outside its view nor
// end the program.
#include <cstdint>
#include <string>

#include "scratch_file.h"
#include "shell/file_browser.h"
#include "support/shell_double.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = fuzz_scratch::write(data, size);
  unsigned char block[io_acf_block_size];
  io_preview_read_acf(path, block);
  for (int offset : {1552, 1052, 2052, 1012}) io_preview_acf_text(block, offset);
  io_preview_read_fdr(path);
  if (!shell_double::alerts().empty()) __builtin_trap();  // no file ends the program
  shell_double::reset();
  return 0;
}
