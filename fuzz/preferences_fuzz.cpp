// The preference reader over arbitrary bytes: a damaged or hand-edited preference file must
// read as some set of lines, never crash or read past the file.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "files/preferences.h"
#include "support/shell_double.h"

namespace {
std::string scratch_file() {
  const char* tmp = getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/preferences_fuzz_XXXXXX";
  int fd = mkstemp(templ.data());
  if (fd >= 0) close(fd);
  return templ;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = scratch_file();
  {
    // Half the inputs get a valid header, so the fuzzer reaches the line reader at once.
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (size && (data[0] & 1)) out << "I\n9002 version\n";
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  scan_class s(path, 0);
  int value = 0;
  std::string text;
  for (const char* key : {"_stream_count", "_log_actions", "_proxy_port_int", "_get_beta"})
    s.int_io(&value, key);
  s.str_io(&text, "_proxy_host");
  s.str_io(&text, "_proxy_port");
  for (const auto& kv : s.values) {
    if (kv.first.find_first_of(std::string(" \t\r\n\0", 5)) != std::string::npos) abort();
    s.int_io(&value, kv.first);
  }
  shell_double::reset();
  return 0;
}
