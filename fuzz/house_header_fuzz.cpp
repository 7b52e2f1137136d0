// The house header check and the text scanners over arbitrary bytes: the server list arrives
// from the network and goes through exactly this code, so no input may read outside the view.
#include <cstdint>
#include <string>

#include "files/mapped_file.h"
#include "scratch_file.h"
#include "support/shell_double.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = fuzz_scratch::write(data, size);
  static const int versions[] = {820, 840, 900, 9002, 0};
  static const char* const keywords[] = {nullptr, "SERVERS", "INSTALLER", "DVD", "TRANSLATION"};
  xmap_class m(path);
  if (!m.mapped()) return 0;
  std::string rest, word;
  for (int type : {xmap_text, xmap_binary}) {
    const char* keyword = keywords[size ? data[0] % 5 : 0];
    m.check_file(type, versions, keyword, &rest);
    long left = m.end - m.cursor;
    if (left > 0) {
      char block[16];
      long want = left < 16 ? left : 16;
      m.read_n_rev(block, want & ~3L);
    }
  }
  m.check_file(xmap_text, versions, nullptr, nullptr);
  while (m.cursor < m.end) {
    const char* before = m.cursor;
    m.TXT_str_scan_space(&word);
    m.TXT_str_scan_eoln(&rest);
    if (m.cursor == before) ++m.cursor;  // a lone NUL-free blank run cannot stall the loop
  }
  shell_double::reset();
  return 0;
}
