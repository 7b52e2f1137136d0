// The message queue against the queue a C++ programmer would write instead (std::mutex,
// std::deque and std::condition_variable), in the same run: throughput of one producer and one
// consumer, and the wake-up latency from a write to the return of a reader that was waiting.
// The last line is the throughput ratio (ours / the standard one; above 1 means ours is faster).
//   queue_bench [ITEMS]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/threads.h"

namespace {

using clock_type = std::chrono::steady_clock;

struct std_queue {
  std::mutex m;
  std::condition_variable cv;
  std::deque<void*> items;
  void write(void* p) {
    {
      std::lock_guard<std::mutex> g(m);
      items.push_back(p);
    }
    cv.notify_one();
  }
  void* read() {
    std::unique_lock<std::mutex> g(m);
    cv.wait(g, [this] { return !items.empty(); });
    void* p = items.front();
    items.pop_front();
    return p;
  }
};

struct ours {
  UTL_message_queue* q;
  ours() { UTL_message_queue_create(&q); }
  ~ours() { UTL_message_queue_destroy(q); }
  void write(void* p) { UTL_message_queue_write(q, p); }
  void* read() { return UTL_message_queue_read(q, -1); }
};

template <typename Q>
double items_per_second(long items) {
  Q q;
  auto start = clock_type::now();
  std::thread consumer([&] {
    for (long i = 0; i < items; ++i) q.read();
  });
  for (long i = 1; i <= items; ++i) q.write(reinterpret_cast<void*>(i));
  consumer.join();
  return items / std::chrono::duration<double>(clock_type::now() - start).count();
}

// Median microseconds from a write to the return of a reader already waiting; the writer
// waits for the reader's answer on a second queue before the next round.
template <typename Q>
double wake_latency_us(int rounds) {
  Q there, back;
  std::vector<double> us;
  std::thread reader([&] {
    for (int i = 0; i < rounds; ++i) {
      void* p = there.read();
      auto now = clock_type::now().time_since_epoch().count();
      back.write(reinterpret_cast<void*>(now - reinterpret_cast<long>(p)));
    }
  });
  for (int i = 0; i < rounds; ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));  // let the reader wait
    there.write(reinterpret_cast<void*>(clock_type::now().time_since_epoch().count()));
    us.push_back(reinterpret_cast<long>(back.read()) / 1000.0);
  }
  reader.join();
  std::sort(us.begin(), us.end());
  return us[us.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  long items = argc > 1 ? std::atol(argv[1]) : 2000000;
  double best_ours = 0, best_std = 0;
  for (int run = 0; run < 3; ++run) {
    best_ours = std::max(best_ours, items_per_second<ours>(items));
    best_std = std::max(best_std, items_per_second<std_queue>(items));
  }
  double lat_ours = wake_latency_us<ours>(2000);
  double lat_std = wake_latency_us<std_queue>(2000);
  std::printf("1 producer, 1 consumer: ours %.0f items/s, std::mutex+deque %.0f items/s\n",
              best_ours, best_std);
  std::printf("wake-up latency (median): ours %.1f us, std::mutex+deque %.1f us\n", lat_ours,
              lat_std);
  std::printf("throughput ratio ours/std: %.2f\n", best_ours / best_std);
  return 0;
}
