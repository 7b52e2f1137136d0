#include "runtime/memory/lazy_pool.h"

#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_services.h"
#include "runtime/memory/stats.h"

float UTL_lazy_mempool::global_total = 0;

UTL_stat g_memory_used(&UTL_lazy_mempool::global_total, "memory/lazy_pools", UTL_stat_memory);

UTL_lazy_mempool::~UTL_lazy_mempool() {
  while (blocks) {
    char* next = *reinterpret_cast<char**>(blocks);
    nedfree(blocks);
    global_total -= block_size;
    blocks = next;
  }
}

void* UTL_lazy_mempool::request(size_t bytes) {
  // Larger requests are refused: every block is exactly block_size, which keeps global_total
  // exact when the pool gives its blocks back.
  if (bytes > (size_t)(block_size - block_header)) return nullptr;
  int size = (int)((bytes + 15) & ~(size_t)15);
  if (size == 0) size = 16;
  if (size > ready) {
    char* block = static_cast<char*>(nedmalloc(block_size));
    if (!block) return nullptr;
    if (current) wasted += ready;
    *reinterpret_cast<char**>(block) = blocks;
    blocks = block;
    global_total += block_size;
    current = block + block_header;
    ready = block_size - block_header;
  }
  void* piece = current;
  current += size;
  ready -= size;
  handed_out += size;
  return piece;
}

void UTL_lazy_mempool::dump() {
  xer << "Total memory allocated: " << handed_out << "\n";
  xer << "Total wasted memory: " << wasted << "\n";
  xer << "Total ready memory: " << ready << "\n";
}
