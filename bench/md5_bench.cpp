// Hashes files with the program's MD5 on one thread, read in 1 MiB pieces (mapping a file costs
// a page fault per few pages, which here took a third of the time). Prints "<digest>  <path>" lines like md5sum, and the time taken
// and the rate on standard error:
//   md5_bench FILE...
//   md5_bench --memory   the MD5 code alone: a 16 KiB buffer hashed over and over for about two
//                        seconds, as `openssl speed -evp md5 -bytes 16384` does; prints MB/s
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/md5.h"

int memory_rate() {
  std::vector<unsigned char> block(16384);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 131 + 7);
  auto start = std::chrono::steady_clock::now();
  unsigned long long bytes = 0;
  double seconds = 0;
  unsigned char fold = 0;
  while (seconds < 2.0) {
    for (int k = 0; k < 256; ++k) {
      MD5Context ctx;
      MD5Init(&ctx);
      MD5UpdateWide(&ctx, block.data(), block.size());
      MD5Final(&ctx);
      fold ^= ctx.digest[0];
      bytes += block.size();
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  std::printf("%.1f MB/s (%02x)\n", bytes / seconds / 1e6, fold);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--memory") return memory_rate();
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  unsigned long long total = 0;
  std::vector<unsigned char> buffer(1 << 20);
  for (int i = 1; i < argc; ++i) {
    int fd = open(argv[i], O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
      std::perror(argv[i]);
      return 1;
    }
    MD5Context ctx;
    MD5Init(&ctx);
    ssize_t got;
    while ((got = read(fd, buffer.data(), buffer.size())) > 0)
      MD5UpdateWide(&ctx, buffer.data(), got);
    if (got < 0) {
      std::perror(argv[i]);
      return 1;
    }
    close(fd);
    MD5Final(&ctx);
    for (unsigned char b : ctx.digest) std::printf("%02x", b);
    std::printf("  %s\n", argv[i]);
    total += st.st_size;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "%.3f s %.1f MB/s\n", seconds, total / seconds / 1e6);
  return 0;
}
