#include "platform/threads.h"

#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

namespace {
int64_t monotonic_microseconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}
std::atomic<platform_time_source> time_source{nullptr};
}  // namespace

int64_t platform_microseconds() {
  platform_time_source source = time_source.load(std::memory_order_acquire);
  return source ? source() : monotonic_microseconds();
}

void platform_set_time_source(platform_time_source source) {
  time_source.store(source, std::memory_order_release);
}

int platform_processor_count() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}
