// The pooled allocator: thread caches (hits, bins, eviction, cross-thread frees, the return of a
// dead thread's cache), space selection under contention, realloc across spaces, and the usage
// checks. Each case uses a pool of its own on fresh threads, so the allocations of the test
// framework do not disturb the cache counts.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/memory/memory_space_internal.h"
#include "runtime/memory/pooled_allocator.h"
#include "support/memory_space_checker.h"

using namespace memory_layout;

namespace {

void on_thread(const std::function<void()>& f) {
  std::thread t(f);
  t.join();
}

struct pool_guard {
  nedpool* p;
  explicit pool_guard(int threads) : p(nedcreatepool(0, threads)) {}
  ~pool_guard() { neddestroypool(p); }
};

heap::spin_lock* space_lock(nedpool* p, int n) { return &((heap::mstate)ned_pool_space(p, n))->mutex; }

// Holds a pool's space 0 from a thread of its own until released.
class space_holder {
 public:
  explicit space_holder(nedpool* p) : p_(p) {
    t_ = std::thread([this] {
      heap::acquire_lock(space_lock(p_, 0));
      held_ = true;
      while (!release_) std::this_thread::yield();
      heap::release_lock(space_lock(p_, 0));
    });
    while (!held_) std::this_thread::yield();
  }
  void release() {
    release_ = true;
    if (t_.joinable()) t_.join();
  }
  ~space_holder() { release(); }

 private:
  nedpool* p_;
  std::atomic<bool> held_{false}, release_{false};
  std::thread t_;
};

// A thread that has its cache (made from space 0) before the test holds that space.
class pool_thread {
 public:
  explicit pool_thread(nedpool* p) {
    t_ = std::thread([this, p] {
      nedpfree(p, nedpmalloc(p, 64));
      std::unique_lock<std::mutex> lk(m_);
      ready_ = true;
      cv_.notify_all();
      for (;;) {
        cv_.wait(lk, [&] { return job_ != nullptr || quit_; });
        if (!job_) return;
        auto job = job_;
        lk.unlock();
        (*job)();
        lk.lock();
        job_ = nullptr;
        cv_.notify_all();
      }
    });
    std::unique_lock<std::mutex> lk(m_);
    cv_.wait(lk, [&] { return ready_; });
  }
  void start(const std::function<void()>* job) {
    std::lock_guard<std::mutex> lk(m_);
    job_ = job;
    cv_.notify_all();
  }
  bool wait(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lk(m_);
    return cv_.wait_for(lk, limit, [&] { return job_ == nullptr; });
  }
  ~pool_thread() {
    {
      std::lock_guard<std::mutex> lk(m_);
      quit_ = true;
      cv_.notify_all();
    }
    t_.join();
  }

 private:
  std::thread t_;
  std::mutex m_;
  std::condition_variable cv_;
  const std::function<void()>* job_ = nullptr;
  bool ready_ = false, quit_ = false;
};

TEST(ThreadCache, ServesAndFilesBlocksByBin) {
  pool_guard pool(4);
  nedpool* p = pool.p;
  on_thread([&] {
    // Requests below the smallest bin still give room for a cached block's header.
    for (size_t s : {0, 1}) {
      void* b = nedpmalloc(p, s);
      EXPECT_GE(nedblksize(b), cache_min_request);
      EXPECT_EQ((uintptr_t)b % 16, 0u);
      nedpfree(p, b);
    }
    // The largest cached request is served from the cache after a free; one more never is.
    void* a = nedpmalloc(p, cache_max_request);
    nedpfree(p, a);
    unsigned hits = ned_threadcache_state(p).hits;
    EXPECT_EQ(nedpmalloc(p, cache_max_request), a);
    EXPECT_EQ(ned_threadcache_state(p).hits, hits + 1);
    void* over = nedpmalloc(p, cache_max_request + 1);
    nedpfree(p, over);
    hits = ned_threadcache_state(p).hits;
    void* over2 = nedpmalloc(p, cache_max_request + 1);
    EXPECT_EQ(ned_threadcache_state(p).hits, hits) << "8193 bytes never come from the cache";
    nedpfree(p, over2);
    nedpfree(p, a);

    // 33..64 bytes: the 64-byte bin, then the next bin up, then the space.
    void* b64 = nedpmalloc(p, 64);
    void* b128 = nedpmalloc(p, 128);
    nedpfree(p, b128);
    EXPECT_EQ(ned_threadcache_state(p).bin_blocks[2], 1u);
    EXPECT_EQ(nedpmalloc(p, 40), b128) << "empty 64 bin: a block of the 128 bin";
    hits = ned_threadcache_state(p).hits;
    void* fresh = nedpmalloc(p, 40);
    EXPECT_EQ(ned_threadcache_state(p).hits, hits) << "both bins empty: from the space";
    nedpfree(p, b64);
    nedpfree(p, b128);
    nedpfree(p, fresh);
    EXPECT_EQ(nedprealloc(p, nullptr, 100) != nullptr, true);
  });
}

// A request is served from the bin of its size rounded up to a power of two: a bin's own size
// and anything above half of it find a block of that bin; one byte more never does.
TEST(ThreadCache, RequestsRoundUpToTheirBin) {
  pool_guard pool(4);
  nedpool* p = pool.p;
  for (size_t bin = cache_min_request; bin <= cache_max_request; bin *= 2) {
    for (size_t request : {bin / 2 + 1, bin - 1, bin, bin + 1}) {
      if (request < cache_min_request || request > cache_max_request) continue;
      // A fresh thread each time: its cache starts empty and goes back when it ends.
      on_thread([&] {
        void* block = nedpmalloc(p, bin);
        ASSERT_GE(nedblksize(block), bin);
        ASSERT_LT(nedblksize(block), 2 * bin);
        nedpfree(p, block);
        void* got = nedpmalloc(p, request);
        if (request <= bin)
          EXPECT_EQ(got, block) << "request " << request << ", bin " << bin;
        else
          EXPECT_NE(got, block) << "request " << request << ", bin " << bin;
        nedpfree(p, got);
      });
    }
  }
}

TEST(ThreadCache, OddUsableSizeIsFiledInTheBinBelow) {
  pool_guard pool(4);
  nedpool* p = pool.p;
  void* odd = nullptr;
  on_thread([&] {
    neddisablethreadcache(p);  // no rounding to bin sizes on this thread
    odd = nedpmalloc(p, 40);
  });
  ASSERT_EQ(nedblksize(odd), 48u);
  on_thread([&] {
    nedpfree(p, odd);
    ned_threadcache_info info = ned_threadcache_state(p);
    EXPECT_EQ(info.bin_blocks[0], 1u) << "usable 48 goes to the 32-byte bin";
    EXPECT_EQ(nedpmalloc(p, 32), odd);
    nedpfree(p, odd);
  });
}

TEST(ThreadCache, EvictionKeepsTheCacheBelowItsCapacity) {
  pool_guard pool(4);
  nedpool* p = pool.p;
  on_thread([&] {
    std::vector<void*> blocks;
    for (size_t total = 0; total < 600 * 1024; total += 8192) blocks.push_back(nedpmalloc(p, 8192));
    for (void* b : blocks) {
      nedpfree(p, b);
      ASSERT_LT(ned_threadcache_state(p).free_bytes, cache_capacity);
    }
  });
}

// Releases alternate between two bins, so the ages interleave: eviction must cut each bin's
// chain at the right block, free only the oldest, and leave the rest served newest first.
TEST(ThreadCache, EvictionTakesTheOldestOfEachBinAndKeepsTheRestInOrder) {
  pool_guard pool(4);
  nedpool* p = pool.p;
  on_thread([&] {
    std::vector<void*> big, small;
    for (int i = 0; i < 43; ++i) big.push_back(nedpmalloc(p, 8192));
    for (int i = 0; i < 42; ++i) small.push_back(nedpmalloc(p, 4096));
    unsigned frees_before = ned_threadcache_state(p).frees;
    // 42 pairs hold 516,096 bytes; the 43rd large block reaches the capacity. By then the
    // cache has counted 85 more frees, so the age-64 pass takes the first 21 releases: 11
    // large and 10 small blocks.
    for (int i = 0; i < 43; ++i) {
      nedpfree(p, big[i]);
      if (i < 42) nedpfree(p, small[i]);
    }
    ned_threadcache_info info = ned_threadcache_state(p);
    ASSERT_EQ(info.frees - frees_before, 85u);
    EXPECT_EQ(info.bin_blocks[8], 32u);
    EXPECT_EQ(info.bin_blocks[7], 32u);
    EXPECT_EQ(info.free_bytes, 32u * 8192 + 32u * 4096);
    for (int i = 42; i >= 11; --i) ASSERT_EQ(nedpmalloc(p, 8192), big[i]) << i;
    for (int i = 41; i >= 10; --i) ASSERT_EQ(nedpmalloc(p, 4096), small[i]) << i;
    info = ned_threadcache_state(p);
    EXPECT_EQ(info.free_bytes, 0u);
    EXPECT_EQ(info.bin_blocks[8] + info.bin_blocks[7], 0u);
    EXPECT_EQ(memory_checker::check_space(ned_pool_space(p, 0)), "");
    for (int i = 11; i < 43; ++i) nedpfree(p, big[i]);
    for (int i = 10; i < 42; ++i) nedpfree(p, small[i]);
  });
}

TEST(ThreadCache, CrossThreadFreeIsReusedByTheFreeingThread) {
  pool_guard pool(4);
  nedpool* p = pool.p;
  void* block = nullptr;
  on_thread([&] { block = nedpmalloc(p, 500); });
  on_thread([&] {
    nedpfree(p, block);
    EXPECT_EQ(nedpmalloc(p, 500), block);
    nedpfree(p, block);
  });
  EXPECT_EQ(memory_checker::check_space(ned_pool_space(p, 0)), "");
}

TEST(ThreadCache, DeadThreadsReturnTheirCachesAndSlots) {
  pool_guard pool(4);
  nedpool* p = pool.p;
  size_t used_before = nedpmallinfo(p).uordblks;
  // More threads than there are slots: every one still gets a cache.
  for (int t = 0; t < 300; ++t) {
    on_thread([&] {
      std::vector<void*> v;
      for (int i = 0; i < 50; ++i) v.push_back(nedpmalloc(p, 64 + i * 40));
      for (void* b : v) nedpfree(p, b);
      ned_threadcache_info info = ned_threadcache_state(p);
      ASSERT_TRUE(info.has_cache) << "thread " << t;
      ASSERT_GT(info.free_bytes, 0u);
    });
    ASSERT_EQ(ned_cache_slots_in_use(p), 0u);
  }
  EXPECT_EQ(nedpmallinfo(p).uordblks, used_before) << "cached blocks went back to the space";
  EXPECT_EQ(memory_checker::check_space(ned_pool_space(p, 0)), "");
}

TEST(PoolSpaces, BusySpaceMakesASecondAndGetValueKnowsOnlyTheFirst) {
  pool_guard pool(2);
  nedpool* p = pool.p;
  int marker = 0;
  nedpsetvalue(p, &marker);
  void* first = nedpmalloc(p, 20000);
  nedpool* owner = nullptr;
  EXPECT_EQ(nedgetvalue(&owner, first), &marker);
  EXPECT_EQ(owner, p);
  // With space 0 held, another thread works in a new space.
  void* second = nullptr;
  {
    pool_thread worker(p);
    space_holder hold(p);
    std::function<void()> job = [&] { second = nedpmalloc(p, 20000); };
    worker.start(&job);
    ASSERT_TRUE(worker.wait(std::chrono::seconds(5)));
  }
  ASSERT_NE(ned_pool_space(p, 1), nullptr);
  EXPECT_EQ(nedgetvalue(nullptr, second), nullptr) << "a second space carries no pool link";
  nedpfree(p, first);
  nedpfree(p, second);
}

TEST(PoolSpaces, FullPoolWaitsForItsOwnSpace) {
  pool_guard pool(1);
  nedpool* p = pool.p;
  pool_thread worker(p);
  space_holder hold(p);
  void* b = nullptr;
  std::function<void()> job = [&] { b = nedpmalloc(p, 100000); };
  worker.start(&job);
  EXPECT_FALSE(worker.wait(std::chrono::milliseconds(100))) << "the only space is busy: the allocation waits";
  EXPECT_EQ(ned_pool_space(p, 1), nullptr);
  hold.release();
  ASSERT_TRUE(worker.wait(std::chrono::seconds(5)));
  EXPECT_NE(b, nullptr);
  nedpfree(p, b);
}

// Two threads reallocating each other's blocks in two different spaces must not wait on each
// other.
TEST(PoolSpaces, CrossSpaceReallocDoesNotDeadlock) {
  pool_guard pool(2);
  nedpool* p = pool.p;
  std::vector<void*> blocks[2];
  pool_thread t0(p), t1(p);
  std::function<void()> fill0 = [&] { for (int i = 0; i < 64; ++i) blocks[0].push_back(nedpmalloc(p, 10000 + i)); };
  std::function<void()> fill1 = [&] { for (int i = 0; i < 64; ++i) blocks[1].push_back(nedpmalloc(p, 10000 + i)); };
  t0.start(&fill0);
  ASSERT_TRUE(t0.wait(std::chrono::seconds(5)));
  {
    space_holder hold(p);  // thread 1 moves to space 1
    t1.start(&fill1);
    ASSERT_TRUE(t1.wait(std::chrono::seconds(5)));
  }
  ASSERT_NE(ned_pool_space(p, 1), nullptr);
  auto swap_work = [&](int me) {
    std::vector<void*>& theirs = blocks[1 - me];
    for (int round = 0; round < 200; ++round)
      for (size_t i = me; i < theirs.size(); i += 2)
        theirs[i] = nedprealloc(p, theirs[i], 9000 + (round * 37 + i) % 20000);
  };
  std::function<void()> w0 = [&] { swap_work(0); };
  std::function<void()> w1 = [&] { swap_work(1); };
  t0.start(&w0);
  t1.start(&w1);
  if (!t0.wait(std::chrono::seconds(60)) || !t1.wait(std::chrono::seconds(60))) {
    ADD_FAILURE() << "realloc across spaces deadlocked";
    std::_Exit(1);
  }
  for (auto& v : blocks)
    for (void* b : v) nedpfree(p, b);
}

TEST(PooledAllocator, CallocChecksTheProductAndClears) {
  pool_guard pool(4);
  nedpool* p = pool.p;
  EXPECT_EQ(nedpcalloc(p, (size_t)1 << 33, (size_t)1 << 33), nullptr);
  EXPECT_EQ(nedpcalloc(p, ~(size_t)0, 2), nullptr);
  on_thread([&] {
    void* dirty = nedpmalloc(p, 100);
    std::memset(dirty, 0xff, nedblksize(dirty));
    nedpfree(p, dirty);
    unsigned char* c = (unsigned char*)nedpcalloc(p, 10, 10);
    ASSERT_EQ((void*)c, dirty) << "served from the cache";
    for (int i = 0; i < 128; ++i) ASSERT_EQ(c[i], 0) << i;
    nedpfree(p, c);
    void* z = nedpcalloc(p, 0, 70000);
    EXPECT_NE(z, nullptr);
    nedpfree(p, z);
  });
}

TEST(PooledAllocatorDeath, DoubleFreeIsReported) {
  EXPECT_DEATH(
      {
        void* b = nedmalloc(100);
        nedfree(b);
        nedfree(b);
      },
      "Attempt to free already freed memory block 0x[0-9a-f]+ - aborting!");
}

TEST(PooledAllocator, SummaryAndTrim) {
  pool_guard pool(4);
  nedpool* p = pool.p;
  void* big = nedpmalloc(p, 100000);
  ned_mallinfo info = nedpmallinfo(p);
  EXPECT_GE(info.uordblks, 100000u);
  EXPECT_EQ(info.uordblks + info.fordblks, nedpmalloc_footprint(p) - info.hblkhd);
  nedpfree(p, big);
  EXPECT_GE(nedpmalloc_trim(p, 0), 0);
  EXPECT_EQ(nedpmallopt(p, -2, 3000), 0);
}

}  // namespace
