// Maps a text file and walks it line by line with the house text scanner, the way the release
// directory and the server list are read. Prints the line count and the seconds taken.
//   mapped_scan_bench FILE
#include <chrono>
#include <cstdio>
#include <string>

#include "files/mapped_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  xmap_class m(argv[1]);
  if (!m.mapped()) {
    fprintf(stderr, "cannot map %s\n", argv[1]);
    return 1;
  }
  std::string line;
  long lines = 0;
  while (m.cursor < m.end) {
    m.TXT_str_scan_eoln(&line);
    ++lines;
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("%ld lines in %.4f s\n", lines, seconds);
  return 0;
}
