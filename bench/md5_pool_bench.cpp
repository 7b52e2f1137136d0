// The MD5 scan's shape on a whole tree: MD5 tasks of at most ten files on a worker pool of one
// thread per processor with four slots per thread, the owner enqueueing while a slot is free.
//   md5_pool_bench make DIR COUNT MEGABYTES   writes COUNT files of random sizes and content
//                                             totalling about MEGABYTES
//   md5_pool_bench hash DIR                   prints "<digest>  <path>" for every file, like
//                                             md5sum, and the time and rate on standard error
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/threads.h"
#include "runtime/md5.h"
#include "runtime/thread_layer.h"
#include "runtime/worker_pool.h"

namespace {

class md5_task : public UTL_work_task {
 public:
  explicit md5_task(std::vector<std::string> files) : paths(std::move(files)) {}
  void do_it() override {
    std::vector<unsigned char> buffer(1 << 20);
    for (const std::string& path : paths) {
      MD5Context ctx;
      MD5Init(&ctx);
      int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) {
        failed = true;
        digests.emplace_back();
        continue;
      }
      ssize_t got;
      while ((got = read(fd, buffer.data(), buffer.size())) > 0) {
        MD5UpdateWide(&ctx, buffer.data(), static_cast<size_t>(got));
        bytes += static_cast<unsigned long long>(got);
      }
      close(fd);
      MD5Final(&ctx);
      char hex[33];
      for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", ctx.digest[i]);
      digests.emplace_back(hex);
    }
  }
  int check_error(std::string& message) override {
    if (failed) message = "a file could not be read";
    if (!escaped.empty()) message = escaped;
    return message.empty() ? 0 : 1;
  }
  std::vector<std::string> paths, digests;
  unsigned long long bytes = 0;
  bool failed = false;
};

std::vector<std::string>* found = nullptr;
int add_file(const char* path, const struct stat*, int type, struct FTW*) {
  if (type == FTW_F) found->push_back(path);
  return 0;
}

int make_tree(const std::string& dir, int count, long megabytes) {
  std::mt19937_64 rng(42);
  const unsigned long long mean = static_cast<unsigned long long>(megabytes) * 1000000 / count;
  std::vector<unsigned long long> block((2 * mean + 8) / 8 + 1);
  for (auto& w : block) w = rng();
  for (int i = 0; i < count; ++i) {
    std::string folder = dir + "/d" + std::to_string(i % 20);
    mkdir(folder.c_str(), 0755);
    std::string path = folder + "/file " + std::to_string(i);
    size_t size = static_cast<size_t>(rng() % (2 * mean + 1));
    block[i % block.size()] = rng();  // no two files alike
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(block.data(), 1, size, f) != size || std::fclose(f) != 0) {
      std::perror(path.c_str());
      return 1;
    }
  }
  return 0;
}

int hash_tree(const std::string& dir) {
  auto start = std::chrono::steady_clock::now();
  std::vector<std::string> files;
  found = &files;
  nftw(dir.c_str(), add_file, 32, FTW_PHYS);

  THREAD_init();
  const int threads = platform_processor_count();
  unsigned long long bytes = 0;
  int status = 0;
  {
    UTL_worker_threads pool(threads, 4 * threads);
    auto collect = [&](UTL_work_task* t) {
      md5_task* task = static_cast<md5_task*>(t);
      std::string message;
      if (task->check_error(message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        status = 1;
      }
      for (size_t i = 0; i < task->paths.size(); ++i)
        std::printf("%s  %s\n", task->digests[i].c_str(), task->paths[i].c_str());
      bytes += task->bytes;
      delete task;
    };
    size_t next = 0;
    while (next < files.size()) {
      while (next < files.size() && pool.has_free_slot()) {
        size_t n = std::min<size_t>(10, files.size() - next);
        pool.enqueue_task(new md5_task({files.begin() + next, files.begin() + next + n}));
        next += n;
      }
      collect(pool.wait_retired_tasks());
      while (UTL_work_task* t = pool.check_retired_tasks()) collect(t);
    }
    while (UTL_work_task* t = pool.wait_retired_tasks()) collect(t);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "%zu files, %d threads: %.3f s %.1f MB/s\n", files.size(), threads, seconds,
               bytes / seconds / 1e6);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "make" && argc == 5) return make_tree(argv[2], std::atoi(argv[3]), std::atol(argv[4]));
  if (mode == "hash" && argc == 3) return hash_tree(argv[2]);
  std::fprintf(stderr, "usage: %s make DIR COUNT MEGABYTES | hash DIR\n", argv[0]);
  return 2;
}
