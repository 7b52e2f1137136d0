// Runs the program's own archive and digest code on one input, for bench/unzip to time:
//   unzip_bench ARCHIVE FOLDER/   unpack a zip with zip_to_file
//   unzip_bench --md5 FILE        print calc_file_md5 of a file
//   unzip_bench --pool N          unpack every "ARCHIVE<tab>FOLDER/" line of standard input with
//                                 zip_to_file on N threads (one process, no process starts)
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/zip_archive.h"

int unpack_on_threads(int threads) {
  std::vector<std::pair<std::string, std::string>> jobs;
  std::string line;
  while (std::getline(std::cin, line)) {
    size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    jobs.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  std::atomic<size_t> next{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&] {
      for (size_t i; (i = next++) < jobs.size();)
        if (zip_to_file(jobs[i].first, jobs[i].second, nullptr, 0) != 0) ++failures;
    });
  for (std::thread& t : pool) t.join();
  return failures ? 1 : 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--pool") == 0) return unpack_on_threads(std::max(1, std::atoi(argv[2])));
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
