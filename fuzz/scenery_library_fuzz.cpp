// A package's "library.txt" as the fuzzer makes it, read by the scenery scan: no crash, no read
// past the file, every entry names a scanned package, and the Multiple look-up stays bounded.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "files/scenery_library.h"
#include "files/scenery_lookup.h"
#include "runtime/shell_services.h"

namespace {
// One application folder for the whole run, made on the first input. The program's relative
// paths resolve against app_path; the current folder stays, so libFuzzer's own paths still work.
std::string library_file;
bool enter_folder() {
  char name[] = "/tmp/sky_scenery_fuzz_XXXXXX";
  if (!mkdtemp(name)) return false;
  app_path = std::string(name) + "/";
  library_file = app_path + "Custom Scenery/P/library.txt";
  return system(("mkdir -p '" + app_path + "Custom Scenery/P' '" + app_path + "Custom Scenery/Q'").c_str()) == 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = enter_folder();
  if (!ready) return 0;
  {
    std::ofstream out(library_file, std::ios::binary | std::ios::trunc);
    out << "I\n800 version\nLIBRARY\n\n";
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  DSF_ScanSceneryFolder();
  for (const auto& item : dsf_library) {
    for (const lib_entry* e = item.second; e; e = e->next)
      if (e->package < 0 || static_cast<size_t>(e->package) >= scenery_packages.size()) std::abort();
    std::vector<std::string> out;
    DSF_LookupLibraryResourceAnywhereMultiple(item.first, out);
    if (out.size() > 20000) std::abort();
    std::string path = item.first;
    DSF_LookupLibraryResource(0, 0, path, static_cast<int>(size));
  }
  return 0;
}
