// A private file for fuzz targets whose code under test reads from disk: made once per process,
// rewritten for every input, and removed when the fuzzer exits so no run leaves files behind.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace fuzz_scratch {

inline const std::string& path() {
  static const std::string made = [] {
    const char* tmp = getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/sky_fuzz_XXXXXX";
    int fd = mkstemp(templ.data());
    if (fd < 0) std::abort();
    close(fd);
    return templ;
  }();
  static const bool cleanup = std::atexit([] { std::remove(path().c_str()); }) == 0;
  (void)cleanup;
  return made;
}

// Writes prefix then the input bytes over the scratch file and returns its path.
inline const std::string& write(const uint8_t* data, size_t size, const char* prefix = "") {
  const std::string& p = path();
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << prefix;
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return p;
}

}  // namespace fuzz_scratch
