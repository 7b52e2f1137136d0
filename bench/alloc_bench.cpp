// One allocator workload per run, for the same program linked four ways: our pooled allocator
// (alloc_bench), glibc malloc, jemalloc and tcmalloc (alloc_bench_glibc, _jemalloc, _tcmalloc;
// the last two replace malloc and the C++ operators by being linked in). bench/alloc runs them
// all and prints the ratios.
//   alloc_bench WORKLOAD [ARG]   prints "<operations per second> <peak RSS in KiB>"
// Workloads:
//   pairs1      1 thread, 16..8192-byte blocks through a ring of 256 live blocks
//   pairs8      8 threads, the same each
//   handoff     4 producer/consumer pairs: blocks allocated on one thread, freed on another
//   large       256 KiB..4 MiB blocks through a ring of 8
//   scan DIR    the MD5 scan's pattern on a tree (tasks of ten files on the worker pool, each
//               file read into a fresh buffer, digests and paths as strings)
//   make DIR    writes the tree for "scan": 10,000 files of 1..32 KiB
#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/threads.h"
#include "runtime/md5.h"
#include "runtime/thread_layer.h"
#include "runtime/worker_pool.h"

#ifdef ALLOC_BENCH_SYSTEM
inline void* bench_alloc(size_t n) { return std::malloc(n); }
inline void bench_free(void* p) { std::free(p); }
#else
#include "runtime/memory/pooled_allocator.h"
inline void* bench_alloc(size_t n) { return nedmalloc(n); }
inline void bench_free(void* p) { nedfree(p); }
#endif

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start) {
  return std::chrono::duration<double>(clock_type::now() - start).count();
}

std::vector<size_t> random_sizes(unsigned seed, size_t lo, size_t hi, size_t count) {
  std::mt19937 rng(seed);
  std::vector<size_t> v(count);
  for (auto& s : v) s = lo + rng() % (hi - lo + 1);
  return v;
}

// Each step frees the oldest block of the ring and allocates a new one in its place.
unsigned long long ring_run(unsigned seed, size_t lo, size_t hi, size_t ring, unsigned long long ops) {
  std::vector<size_t> sizes = random_sizes(seed, lo, hi, 4096);
  std::vector<void*> live(ring, nullptr);
  for (unsigned long long i = 0; i < ops; ++i) {
    void*& slot = live[i % ring];
    if (slot) bench_free(slot);
    slot = bench_alloc(sizes[i & 4095]);
    *static_cast<volatile char*>(slot) = (char)i;
  }
  for (void* p : live)
    if (p) bench_free(p);
  return ops;
}

double pairs(int threads, unsigned long long ops_per_thread) {
  auto start = clock_type::now();
  std::vector<std::thread> ts;
  for (int t = 0; t < threads; ++t) ts.emplace_back([=] { ring_run(7 + t, 16, 8192, 256, ops_per_thread); });
  for (auto& t : ts) t.join();
  return threads * (double)ops_per_thread / seconds_since(start);
}

// A single-producer single-consumer ring of block pointers.
struct spsc {
  static constexpr size_t capacity = 1024;
  void* slots[capacity];
  std::atomic<size_t> head{0}, tail{0};
  bool push(void* p) {
    size_t h = head.load(std::memory_order_relaxed);
    if (h - tail.load(std::memory_order_acquire) == capacity) return false;
    slots[h % capacity] = p;
    head.store(h + 1, std::memory_order_release);
    return true;
  }
  void* pop() {
    size_t t = tail.load(std::memory_order_relaxed);
    if (t == head.load(std::memory_order_acquire)) return nullptr;
    void* p = slots[t % capacity];
    tail.store(t + 1, std::memory_order_release);
    return p;
  }
};

double handoff(int pairs_count, unsigned long long per_pair) {
  std::vector<spsc> queues(pairs_count);
  auto start = clock_type::now();
  std::vector<std::thread> ts;
  for (int q = 0; q < pairs_count; ++q) {
    ts.emplace_back([&, q] {
      std::vector<size_t> sizes = random_sizes(11 + q, 16, 8192, 4096);
      for (unsigned long long i = 0; i < per_pair; ++i) {
        void* p = bench_alloc(sizes[i & 4095]);
        *static_cast<volatile char*>(p) = 1;
        while (!queues[q].push(p)) std::this_thread::yield();
      }
    });
    ts.emplace_back([&, q] {
      for (unsigned long long i = 0; i < per_pair;) {
        if (void* p = queues[q].pop()) {
          bench_free(p);
          ++i;
        } else {
          std::this_thread::yield();
        }
      }
    });
  }
  for (auto& t : ts) t.join();
  return pairs_count * (double)per_pair / seconds_since(start);
}

double large(unsigned long long ops) {
  auto start = clock_type::now();
  ring_run(3, 256 * 1024, 4 * 1024 * 1024, 8, ops);
  return ops / seconds_since(start);
}

// ---- the scan replay

class scan_task : public UTL_work_task {
 public:
  explicit scan_task(std::vector<std::string> files) : paths(std::move(files)) {}
  void do_it() override {
    for (const std::string& path : paths) {
      std::vector<unsigned char> content;
      int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd >= 0) {
        struct stat st;
        if (fstat(fd, &st) == 0) {
          content.resize(static_cast<size_t>(st.st_size));
          ssize_t got = read(fd, content.data(), content.size());
          if (got >= 0) content.resize(static_cast<size_t>(got));
        }
        close(fd);
      }
      MD5Context ctx;
      MD5Init(&ctx);
      MD5UpdateWide(&ctx, content.data(), content.size());
      MD5Final(&ctx);
      char hex[33];
      for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", ctx.digest[i]);
      digests.emplace_back(hex);
      names.push_back(path.substr(path.rfind('/') + 1));
    }
  }
  int check_error(std::string&) override { return 0; }
  std::vector<std::string> paths, digests, names;
};

std::vector<std::string>* found = nullptr;
int add_file(const char* path, const struct stat*, int type, struct FTW*) {
  if (type == FTW_F) found->push_back(path);
  return 0;
}

double scan(const std::string& dir, int rounds) {
  std::vector<std::string> files;
  found = &files;
  nftw(dir.c_str(), add_file, 32, FTW_PHYS);
  THREAD_init();
  const int threads = platform_processor_count();
  auto start = clock_type::now();
  size_t done = 0;
  for (int round = 0; round < rounds; ++round) {
    // A fresh pool per scan, as the engine makes one.
    UTL_worker_threads pool(threads, 4 * threads);
    auto collect = [&](UTL_work_task* t) {
      done += static_cast<scan_task*>(t)->digests.size();
      delete t;
    };
    size_t next = 0;
    while (next < files.size()) {
      while (next < files.size() && pool.has_free_slot()) {
        size_t n = std::min<size_t>(10, files.size() - next);
        pool.enqueue_task(new scan_task({files.begin() + next, files.begin() + next + n}));
        next += n;
      }
      collect(pool.wait_retired_tasks());
      while (UTL_work_task* t = pool.check_retired_tasks()) collect(t);
    }
    while (UTL_work_task* t = pool.wait_retired_tasks()) collect(t);
  }
  return done / seconds_since(start);
}

int make_tree(const std::string& dir) {
  std::mt19937 rng(5);
  std::vector<char> data(32 * 1024);
  for (auto& c : data) c = (char)rng();
  for (int i = 0; i < 10000; ++i) {
    std::string folder = dir + "/d" + std::to_string(i % 50);
    mkdir(folder.c_str(), 0755);
    std::string path = folder + "/file" + std::to_string(i);
    size_t size = 1024 + rng() % (31 * 1024);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data.data(), 1, size, f) != size || std::fclose(f) != 0) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string w = argc > 1 ? argv[1] : "";
  double rate = 0;
  if (w == "pairs1")
    rate = pairs(1, 20000000);
  else if (w == "pairs8")
    rate = pairs(8, 5000000);
  else if (w == "handoff")
    rate = handoff(4, 2000000);
  else if (w == "large")
    rate = large(200000);
  else if (w == "scan" && argc == 3)
    rate = scan(argv[2], 5);
  else if (w == "make" && argc == 3)
    return make_tree(argv[2]);
  else {
    std::fprintf(stderr, "usage: %s pairs1|pairs8|handoff|large|scan DIR|make DIR\n", argv[0]);
    return 2;
  }
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  std::printf("%.0f %ld\n", rate, ru.ru_maxrss);
  return 0;
}
