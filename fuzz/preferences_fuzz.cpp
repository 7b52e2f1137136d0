// The preference reader over arbitrary bytes: a damaged or hand-edited preference file must
// read as some set of lines, never crash or read past the file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "files/preferences.h"
#include "scratch_file.h"
#include "support/shell_double.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Half the inputs get a valid header, so the fuzzer reaches the line reader at once.
  const std::string& path =
      fuzz_scratch::write(data, size, size && (data[0] & 1) ? "I\n9002 version\n" : "");
  scan_class s(path, 0);
  int value = 0;
  std::string text;
  for (const char* key : {"_stream_count", "_log_actions", "_proxy_port_int", "_get_beta"})
    s.int_io(&value, key);
  s.str_io(&text, "_proxy_host");
  s.str_io(&text, "_proxy_port");
  for (const auto& kv : s.values) {
    if (kv.first.find_first_of(std::string(" \t\r\n\0", 5)) != std::string::npos) std::abort();
    s.int_io(&value, kv.first);
  }
  shell_double::reset();
  return 0;
}
