// Zip extraction of arbitrary bytes into a scratch folder: whatever the archive holds, nothing
// may appear outside the target folder, and no link inside it may lead out of it.
#include <ftw.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/zip_archive.h"
#include "runtime/shell_services.h"

namespace {

std::string scratch;  // holds "in.zip" and the target folder "box/", nothing else
std::string box;

int remove_entry(const char* path, const struct stat*, int, FTW*) {
  remove(path);
  return 0;
}

void empty_box() {
  nftw(box.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  mkdir(box.c_str(), 0755);
}

int check_entry(const char* path, const struct stat* st, int, FTW*) {
  std::string p = path;
  if (p + "/" == scratch || p == scratch + "in.zip") return 0;
  if (p.compare(0, box.size(), box) != 0 && p + "/" != box) {
    std::fprintf(stderr, "written outside the folder: %s\n", path);
    std::abort();
  }
  if (S_ISLNK(st->st_mode)) {
    // Resolved, a link must stay inside (or lead nowhere).
    char real[PATH_MAX];
    if (realpath(path, real) && std::string(real).compare(0, box.size() - 1, box, 0, box.size() - 1) != 0) {
      std::fprintf(stderr, "link leads outside the folder: %s -> %s\n", path, real);
      std::abort();
    }
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  xer.close();
  char templ[] = "/tmp/sky_zip_fuzz_XXXXXX";
  if (!mkdtemp(templ)) std::abort();
  char real[PATH_MAX];
  if (!realpath(templ, real)) std::abort();
  scratch = std::string(real) + "/";
  box = scratch + "box/";
  mkdir(box.c_str(), 0755);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string archive = scratch + "in.zip";
  FILE* f = std::fopen(archive.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::string first;
  zip_to_file(archive, box, &first, 0);
  nftw(scratch.c_str(), check_entry, 16, FTW_PHYS);
  empty_box();
  return 0;
}
