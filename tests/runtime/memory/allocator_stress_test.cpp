// Many threads allocating, reallocating and freeing through one pool, handing blocks to each
// other through queues. Every block carries a pattern derived from its own seed, checked before
// it is freed; at every 10,000 operations all threads stop and the spaces are checked.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "runtime/memory/pooled_allocator.h"
#include "support/memory_space_checker.h"

namespace {

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int ops_per_thread = 40000;
#else
constexpr int ops_per_thread = 200000;
#endif
constexpr int check_every = 10000;

struct block {
  unsigned char* mem;
  size_t size;
  uint32_t seed;
};

// Small blocks are patterned throughout; large ones at their ends and every 512th byte.
template <typename F>
void each_patterned_byte(size_t size, F f) {
  if (size <= 8193) {
    for (size_t i = 0; i < size; ++i) f(i);
    return;
  }
  for (size_t i = 0; i < 256; ++i) f(i);
  for (size_t i = 256; i < size - 256; i += 512) f(i);
  for (size_t i = size - 256; i < size; ++i) f(i);
}
inline unsigned char pattern(uint32_t seed, size_t i) { return (unsigned char)(seed + i * 131 + (i >> 8)); }

void fill(block& b, size_t from) {
  each_patterned_byte(b.size, [&](size_t i) {
    if (i >= from) b.mem[i] = pattern(b.seed, i);
  });
}
bool intact(const block& b, size_t upto) {
  bool ok = true;
  each_patterned_byte(b.size, [&](size_t i) {
    if (i < upto && b.mem[i] != pattern(b.seed, i)) ok = false;
  });
  return ok;
}

class stress_run {
 public:
  // The walk allocates through the operators; on the process pool it would change the very
  // space it walks, so there the spaces are checked only after the run.
  stress_run(nedpool* pool, int threads) : pool_(pool), threads_(threads), inbox_(threads) {}

  void run() {
    std::vector<std::thread> ts;
    for (int t = 0; t < threads_; ++t) ts.emplace_back([this, t] { worker(t); });
    for (auto& t : ts) t.join();
  }

  std::atomic<int> faults{0};
  std::string first_fault;

 private:
  size_t pick_size(std::mt19937& rng) {
    unsigned k = rng() % 100;
    if (k < 80) return 1 + rng() % 2048;
    if (k < 90) return 8191 + rng() % 3;  // 8192 - 1 .. 8192 + 1
    if (k < 95) return 200 * 1024;
    return 300 * 1024;
  }

  void fault(const std::string& what) {
    std::lock_guard<std::mutex> lk(fault_mutex_);
    if (faults++ == 0) first_fault = what;
  }

  void release(block& b) {
    if (!intact(b, b.size)) fault("pattern broken before free");
    nedpfree(pool_, b.mem);
  }

  // All threads meet; the last to arrive checks every space while the others wait.
  void checkpoint() {
    std::unique_lock<std::mutex> lk(barrier_mutex_);
    unsigned gen = generation_;
    if (++arrived_ == threads_) {
      for (int n = 0; pool_ && ned_pool_space(pool_, n); ++n) {
        std::string err = memory_checker::check_space(ned_pool_space(pool_, n));
        if (!err.empty()) fault("space " + std::to_string(n) + ": " + err);
      }
      arrived_ = 0;
      ++generation_;
      barrier_cv_.notify_all();
    } else {
      barrier_cv_.wait(lk, [&] { return generation_ != gen; });
    }
  }

  void worker(int me) {
    std::mt19937 rng(1234 + me);
    std::vector<block> mine;
    for (int op = 1; op <= ops_per_thread; ++op) {
      unsigned k = rng() % 100;
      {
        std::lock_guard<std::mutex> lk(inbox_mutex_);
        for (block& b : inbox_[me]) mine.push_back(b);
        inbox_[me].clear();
      }
      if ((k < 40 || mine.empty()) && mine.size() < 300) {
        block b{nullptr, pick_size(rng), (uint32_t)rng()};
        b.mem = (unsigned char*)nedpmalloc(pool_, b.size);
        if (!b.mem) {
          fault("allocation failed");
          continue;
        }
        if ((uintptr_t)b.mem % 16) fault("misaligned block");
        fill(b, 0);
        mine.push_back(b);
      } else if (k < 80 || mine.size() >= 300) {
        size_t i = rng() % mine.size();
        release(mine[i]);
        mine[i] = mine.back();
        mine.pop_back();
      } else if (k < 90) {
        size_t i = rng() % mine.size();
        block& b = mine[i];
        if (!intact(b, b.size)) fault("pattern broken before realloc");
        size_t old = b.size;
        size_t size = pick_size(rng);
        unsigned char* m = (unsigned char*)nedprealloc(pool_, b.mem, size);
        if (!m) {
          fault("realloc failed");
          continue;
        }
        // The pattern of a large block depends on its size; refill it whole.
        b.mem = m;
        b.size = size;
        block prefix{m, size < old ? size : old, b.seed};
        if (size <= 8193 && old <= 8193 && !intact(prefix, prefix.size)) fault("realloc lost content");
        fill(b, 0);
      } else {
        // Hand a block to another thread, which frees or reallocates it.
        size_t i = rng() % mine.size();
        int to = (me + 1 + (int)(rng() % (threads_ > 1 ? threads_ - 1 : 1))) % threads_;
        std::lock_guard<std::mutex> lk(inbox_mutex_);
        inbox_[to].push_back(mine[i]);
        mine[i] = mine.back();
        mine.pop_back();
      }
      if (op % check_every == 0) checkpoint();
    }
    for (block& b : mine) release(b);
    // Blocks that arrive after the end are freed by their receiver's last pass below.
    checkpoint();
    std::lock_guard<std::mutex> lk(inbox_mutex_);
    for (block& b : inbox_[me]) release(b);
    inbox_[me].clear();
  }

  nedpool* pool_;
  int threads_;
  std::mutex inbox_mutex_;
  std::vector<std::deque<block>> inbox_;
  std::mutex barrier_mutex_;
  std::condition_variable barrier_cv_;
  int arrived_ = 0;
  unsigned generation_ = 0;
  std::mutex fault_mutex_;
};

class AllocatorStress : public ::testing::TestWithParam<int> {};

TEST_P(AllocatorStress, BlocksHandedBetweenThreadsKeepTheirContent) {
  nedpool* pool = nedcreatepool(0, 4);
  ASSERT_NE(pool, nullptr);
  {
    stress_run run(pool, GetParam());
    run.run();
    EXPECT_EQ(run.faults.load(), 0) << run.first_fault;
  }
  for (int n = 0; ned_pool_space(pool, n); ++n)
    EXPECT_EQ(memory_checker::check_space(ned_pool_space(pool, n)), "");
  neddestroypool(pool);
}

INSTANTIATE_TEST_SUITE_P(Threads, AllocatorStress, ::testing::Values(8, 2));

// The process pool under the same load, through the global operators when they use it.
TEST(AllocatorStressProcessPool, SystemPoolSurvivesTheSameMix) {
  stress_run run(nullptr, 4);
  run.run();
  EXPECT_EQ(run.faults.load(), 0) << run.first_fault;
}

}  // namespace
