// A pool that takes memory from the pooled allocator in 32,768-byte blocks, hands out pieces
// of them and gives everything back at once when destroyed. One thread per pool.
#pragma once

#include <cstddef>

class UTL_lazy_mempool {
 public:
  static constexpr int block_size = 32768;
  // Each block begins with the link to the next; pieces start after it, 16-byte aligned.
  static constexpr int block_header = 16;

  UTL_lazy_mempool() = default;
  ~UTL_lazy_mempool();
  UTL_lazy_mempool(const UTL_lazy_mempool&) = delete;
  UTL_lazy_mempool& operator=(const UTL_lazy_mempool&) = delete;

  // A piece of at least `bytes` (rounded up to 16), 16-byte aligned; null when the request is
  // larger than a block can hold or the allocator has no memory.
  void* request(size_t bytes);
  // Writes the three counts to the log.
  void dump();

  // Bytes held by all pools, published as the statistic "memory/lazy_pools".
  static float global_total;

  int handed_out = 0;
  int wasted = 0;
  char* blocks = nullptr;
  char* current = nullptr;
  int ready = 0;
};
