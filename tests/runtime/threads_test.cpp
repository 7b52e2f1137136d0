#include "runtime/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <thread>
#include <vector>

#include "support/shell_double.h"

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start) {
  return std::chrono::duration<double>(clock_type::now() - start).count();
}

void* item(uintptr_t v) { return reinterpret_cast<void*>(v); }

struct Queue : ::testing::Test {
  UTL_message_queue* q = nullptr;
  void SetUp() override {
    shell_double::reset();
    UTL_message_queue_create(&q);
  }
  void TearDown() override {
    UTL_message_queue_destroy(q);
    // No queue operation here may fail, so nothing may have raised an alert.
    EXPECT_TRUE(shell_double::alerts().empty());
  }
};

TEST_F(Queue, PollOfEmptyQueueReturnsAtOnceWithoutRegisteringAReader) {
  auto start = clock_type::now();
  EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
  EXPECT_LT(seconds_since(start), 1.0);
  EXPECT_EQ(UTL_message_queue_waiting(q), 0);
}

TEST_F(Queue, ItemsComeOutInOrderAndNullIsAnItem) {
  UTL_message_queue_write(q, nullptr);
  UTL_message_queue_write(q, item(1));
  UTL_message_queue_write(q, item(2));
  EXPECT_EQ(UTL_message_queue_read(q, -1), nullptr);  // the written null, not a time-out
  EXPECT_EQ(UTL_message_queue_read(q, -1), item(1));
  EXPECT_EQ(UTL_message_queue_read(q, 0), item(2));
  EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
  EXPECT_EQ(UTL_message_queue_waiting(q), 0);
}

// Only -1 waits for ever: other negative time-outs once built an invalid deadline and ended in
// a fatal alert; now they poll.
TEST_F(Queue, NegativeTimeOutsOtherThanMinusOnePoll) {
  for (int ms : {-2, -5, -500, -999, -1000, -1500, INT_MIN}) {
    SCOPED_TRACE(ms);
    auto start = clock_type::now();
    EXPECT_EQ(UTL_message_queue_read(q, ms), nullptr);
    EXPECT_LT(seconds_since(start), 1.0);
    UTL_message_queue_write(q, item(7));
    EXPECT_EQ(UTL_message_queue_read(q, ms), item(7));
    EXPECT_EQ(UTL_message_queue_waiting(q), 0);
  }
}

TEST_F(Queue, TimedReadOfEmptyQueueWaitsItsTimeThenGivesNull) {
  auto start = clock_type::now();
  EXPECT_EQ(UTL_message_queue_read(q, 300), nullptr);
  double waited = seconds_since(start);
  EXPECT_GE(waited, 0.29);
  EXPECT_LT(waited, 10.0);
  EXPECT_EQ(UTL_message_queue_waiting(q), 0);
}

TEST_F(Queue, WaitingReaderIsWokenByAWriteFromAnotherThread) {
  std::thread writer([this] {
    while (UTL_message_queue_waiting(q) == 0) std::this_thread::yield();
    UTL_sleep(100);
    UTL_message_queue_write(q, item(42));
  });
  EXPECT_EQ(UTL_message_queue_read(q, -1), item(42));
  writer.join();
  EXPECT_EQ(UTL_message_queue_waiting(q), 0);
}

TEST_F(Queue, TimedReaderIsWokenByAWriteBeforeItsDeadline) {
  std::thread writer([this] {
    while (UTL_message_queue_waiting(q) == 0) std::this_thread::yield();
    UTL_message_queue_write(q, item(5));
  });
  EXPECT_EQ(UTL_message_queue_read(q, 60000), item(5));
  writer.join();
}

// A queue never owns its items: destroying one with items left must not touch them (the
// address sanitizer build would catch a free of these stack objects).
TEST(QueueOwnership, DestroyLeavesQueuedItemsToTheirOwners) {
  int objects[3] = {1, 2, 3};
  UTL_message_queue* q = nullptr;
  UTL_message_queue_create(&q);
  for (int& o : objects) UTL_message_queue_write(q, &o);
  UTL_message_queue_destroy(q);
  EXPECT_EQ(objects[0] + objects[1] + objects[2], 6);
}

// Many producers and consumers, consumers mixing waits for ever, timed reads and polls: every
// item arrives exactly once, each producer's items in the order written, and no item is left
// behind by a reader whose time-out raced with a write.
TEST(QueueStress, EveryItemOnceAndInProducerOrder) {
  const int producers = 4, consumers = 4, per_producer = 25000;
  UTL_message_queue* q = nullptr;
  UTL_message_queue_create(&q);
  std::vector<std::atomic<int>> seen(producers * per_producer);
  std::atomic<int> out_of_order{0};
  const uintptr_t stop = ~uintptr_t(0);

  std::vector<std::thread> threads;
  for (int c = 0; c < consumers; ++c) {
    threads.emplace_back([&, c] {
      std::vector<long> last(producers, -1);
      const int timeouts[] = {-1, 1, 0, 5};
      for (unsigned n = 0;; ++n) {
        void* got = UTL_message_queue_read(q, timeouts[(c + n) % 4]);
        if (!got) continue;
        uintptr_t v = reinterpret_cast<uintptr_t>(got);
        if (v == stop) return;
        int p = static_cast<int>(v >> 32);
        long seq = static_cast<long>(v & 0xFFFFFFFF) - 1;
        if (seq <= last[p]) out_of_order++;
        last[p] = seq;
        seen[p * per_producer + seq]++;
      }
    });
  }
  std::vector<std::thread> writers;
  for (int p = 0; p < producers; ++p) {
    writers.emplace_back([&, p] {
      for (int i = 0; i < per_producer; ++i)
        UTL_message_queue_write(q, item((uintptr_t(p) << 32) | uintptr_t(i + 1)));
    });
  }
  for (auto& w : writers) w.join();
  for (int c = 0; c < consumers; ++c) UTL_message_queue_write(q, item(stop));
  for (auto& t : threads) t.join();

  EXPECT_EQ(out_of_order.load(), 0);
  int wrong = 0;
  for (auto& s : seen) wrong += s.load() != 1;
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
  UTL_message_queue_destroy(q);
}

TEST(QueueDeadline, NormalisesIntoWholeSecondsAndNanoseconds) {
  struct row {
    long sec, usec;
    int ms;
    long want_sec, want_nsec;
  } rows[] = {
      {100, 0, 0, 100, 0},
      {100, 0, 1, 100, 1000000},
      {100, 999999, 1, 101, 999000},  // the carry
      {100, 500000, 500, 101, 0},
      {100, 250000, 1500, 101, 750000000},
      {100, 0, 60000, 160, 0},
      {100, 0, -5, 99, 995000000},  // never a negative nanosecond field
      {100, 499999, -500, 99, 999999000},
      {100, 0, -1500, 98, 500000000},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.sec << " " << r.usec << " " << r.ms);
    timespec t = UTL_queue_deadline(r.sec, r.usec, r.ms);
    EXPECT_EQ(t.tv_sec, r.want_sec);
    EXPECT_EQ(t.tv_nsec, r.want_nsec);
  }
}

TEST(CriticalSection, IsRecursiveAndFreeOnlyAfterAsManyUnlocks) {
  UTL_critical_section cs;
  UTL_critical_section_create(&cs);
  UTL_critical_section_lock(&cs);
  UTL_critical_section_lock(&cs);
  auto other_can_take = [&] {
    int took = 0;
    std::thread([&] {
      took = UTL_critical_section_trylock(&cs);
      if (took) UTL_critical_section_unlock(&cs);
    }).join();
    return took;
  };
  EXPECT_EQ(other_can_take(), 0);
  UTL_critical_section_unlock(&cs);
  EXPECT_EQ(other_can_take(), 0);
  UTL_critical_section_unlock(&cs);
  EXPECT_EQ(other_can_take(), 1);
  UTL_critical_section_destroy(&cs);
}

TEST(Sleep, ZeroAndNegativeReturnAtOnce) {
  auto start = clock_type::now();
  UTL_sleep(0);
  UTL_sleep(-5);
  UTL_sleep(INT_MIN);
  EXPECT_LT(seconds_since(start), 1.0);
}

TEST(Threads, CreateRunsTheFunctionAndJoinReturnsItsResult) {
  UTL_thread t{}, id{}, join{};
  UTL_thread_create([](void* arg) -> void* { return static_cast<char*>(arg) + 1; },
                    item(0x1000), &t, &id, &join);
  EXPECT_TRUE(pthread_equal(t, id));
  EXPECT_TRUE(pthread_equal(t, join));
  EXPECT_EQ(UTL_thread_join(t, join), item(0x1001));
  EXPECT_GE(UTL_count_processors(), 1);
}

TEST(Threads, ExitEndsTheThreadWithItsResult) {
  UTL_thread t{}, id{}, join{};
  UTL_thread_create([](void*) -> void* { UTL_thread_exit(item(9)); }, nullptr, &t, &id, &join);
  EXPECT_EQ(UTL_thread_join(t, join), item(9));
}

TEST(Threads, FailedJoinOnlyWarnsInTheLog) {
  shell_double::reopen_log();
  shell_double::reset();
  // Joining oneself is refused with EDEADLK.
  EXPECT_EQ(UTL_thread_join(pthread_self(), pthread_self()), nullptr);
  EXPECT_TRUE(shell_double::alerts().empty());
  EXPECT_EQ(shell_double::log_text(),
            "Warning: wait on thread cleanup failed with error " + std::to_string(EDEADLK) + "\n");
}

}  // namespace
