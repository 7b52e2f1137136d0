// The release directory's records on arbitrary bytes: no read past the input, and whatever is
// accepted is a model every later step can use (safe paths, clamped platforms, valid cells).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "install/install_model.h"
#include "install/release_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* begin = reinterpret_cast<const char*>(data);
  int r = read_directory_records(begin, begin + size);
  if (r != directory_read_refused && r != directory_read_ok) std::abort();
  if (r == directory_read_refused && !sim_info.empty()) std::abort();
  for (const file_history_struct& h : sim_info) {
    if (h.empty()) std::abort();
    for (const file_version_struct& v : h) {
      if (!is_safe_release_path(v.path) || v.path != h.front().path) std::abort();
      if (v.platform < 0 || v.platform > 6) std::abort();
      if (v.is_global && (v.sector_lat < 0 || v.sector_lat > 17 || v.sector_lon < 0 ||
                          v.sector_lon > 35))
        std::abort();
    }
  }
  sim_info.clear();
  return 0;
}
