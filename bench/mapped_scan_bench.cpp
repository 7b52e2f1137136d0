// Maps text files and walks each line by line with the house text scanner, the way the release
// directory and the server list are read. Prints the line count and the seconds taken.
//   mapped_scan_bench FILE...
#include <chrono>
#include <cstdio>
#include <string>

#include "files/mapped_file.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s FILE...\n", argv[0]);
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  long lines = 0;
  for (int i = 1; i < argc; ++i) {
    xmap_class m(argv[i]);
    if (!m.mapped()) {
      fprintf(stderr, "cannot map %s\n", argv[i]);
      return 1;
    }
    std::string line;
    while (m.cursor < m.end) {
      m.TXT_str_scan_eoln(&line);
      ++lines;
    }
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("%ld lines in %.4f s\n", lines, seconds);
  return 0;
}
