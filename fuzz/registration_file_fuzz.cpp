// The registration file as any program or person may have left it: every installation listed
// is an absolute folder path ending "/", listed once, and a registration made afterwards is a
// whole line of the file, never joined to the last one.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "install/wizard_globals.h"
#include "wizard/install_registry.h"

namespace {
const std::string& prefs_folder() {
  static const std::string made = [] {
    const char* tmp = getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/sky_fuzz_prefs_XXXXXX";
    if (!mkdtemp(templ.data())) std::abort();
    setenv("XDG_CONFIG_HOME", templ.c_str(), 1);
    return templ + "/";
  }();
  static const bool cleanup = std::atexit([] {
    unlink((prefs_folder() + "skyrill_install.txt").c_str());
    rmdir(prefs_folder().c_str());
  }) == 0;
  (void)cleanup;
  return made;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = prefs_folder() + "skyrill_install.txt";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  locate_all_skyrills();
  for (size_t i = 0; i < all_nimbrels.size(); ++i) {
    const std::string& p = all_nimbrels[i];
    if (p.empty() || p.front() != '/' || p.back() != '/') std::abort();
    if (std::count(all_nimbrels.begin(), all_nimbrels.end(), p) != 1) std::abort();
  }
  // A registration that is new to the file ends up on a line of its own.
  dest_dir_path = prefs_folder();
  register_new_skyrill();
  std::ifstream in(file, std::ios::binary);
  std::string line;
  bool found = false;
  while (std::getline(in, line)) found = found || line.substr(0, line.find_first_of(std::string("\r\0", 2))) == dest_dir_path;
  if (!found) std::abort();
  return 0;
}
