// Runs the program's own archive and digest code on one input, for bench/unzip to time:
//   unzip_bench ARCHIVE FOLDER/   unpack a zip with zip_to_file
//   unzip_bench --md5 FILE        print calc_file_md5 of a file
#include <cstdio>
#include <cstring>
#include <string>

#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/zip_archive.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--md5") == 0) {
    std::string digest;
    int rc = calc_file_md5(argv[2], digest);
    if (rc) {
      std::fprintf(stderr, "calc_file_md5: %d %s\n", rc, error_str(rc).c_str());
      return 1;
    }
    std::printf("%s  %s\n", digest.c_str(), argv[2]);
    return 0;
  }
  if (argc == 3) {
    std::string folder = argv[2];
    if (folder.back() != '/') folder += '/';
    int rc = zip_to_file(argv[1], folder, nullptr, 0);
    if (rc) {
      std::fprintf(stderr, "zip_to_file: %d %s\n", rc, error_str(rc).c_str());
      return 1;
    }
    return 0;
  }
  std::fprintf(stderr, "usage: unzip_bench ARCHIVE FOLDER/ | unzip_bench --md5 FILE\n");
  return 2;
}
