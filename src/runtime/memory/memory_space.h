// Memory spaces: independent boundary-tag heaps, each with its own recursive spin lock, on which
// the pooled allocator is built. A second configuration, the process heap (`dl*` calls), runs
// the same algorithms on one static state without a lock; nothing in the program calls it.
#pragma once

#include <cstddef>

typedef void* mspace;

// Allocation summary: the ten fields of the classic mallinfo record, 64-bit wide.
struct ned_mallinfo {
  size_t arena;     // bytes in all segments' chunks plus the top reserve
  size_t ordblks;   // free chunks, the top included
  size_t smblks;    // always 0
  size_t hblks;     // always 0
  size_t hblkhd;    // bytes in directly mapped chunks
  size_t usmblks;   // max footprint
  size_t fsmblks;   // always 0
  size_t uordblks;  // bytes in use
  size_t fordblks;  // free bytes: free chunks, the top and the top reserve
  size_t keepcost;  // top size
};

// Creating, destroying and tuning spaces.
mspace create_mspace(size_t capacity, int locked);
mspace create_mspace_with_base(void* base, size_t capacity, int locked);
size_t destroy_mspace(mspace msp);
int mspace_mallopt(int param, int value);  // -1 trim threshold, -2 granularity, -3 direct map
int mspace_trim(mspace msp, size_t pad);
size_t mspace_footprint(mspace msp);
size_t mspace_max_footprint(mspace msp);

// Allocation in one space. mspace_free and mspace_realloc find the block's own space through
// its footer; their first argument is not used.
void* mspace_malloc(mspace msp, size_t bytes);
void mspace_free(mspace msp, void* mem);
void* mspace_calloc(mspace msp, size_t count, size_t elem_size);
void* mspace_realloc(mspace msp, void* mem, size_t bytes);
void* mspace_memalign(mspace msp, size_t alignment, size_t bytes);
void** mspace_independent_calloc(mspace msp, size_t count, size_t elem_size, void* chunks[]);
void** mspace_independent_comalloc(mspace msp, size_t count, size_t sizes[], void* chunks[]);
ned_mallinfo mspace_mallinfo(mspace msp);
void mspace_malloc_stats(mspace msp);
// Usable bytes of an in-use block (0 for null).
size_t mspace_usable_size(const void* mem);

// The process heap.
void* dlmalloc(size_t bytes);
void dlfree(void* mem);
void* dlcalloc(size_t count, size_t elem_size);
void* dlrealloc(void* mem, size_t bytes);
void* dlmemalign(size_t alignment, size_t bytes);
void* dlvalloc(size_t bytes);
void* dlpvalloc(size_t bytes);
void** dlindependent_calloc(size_t count, size_t elem_size, void* chunks[]);
void** dlindependent_comalloc(size_t count, size_t sizes[], void* chunks[]);
ned_mallinfo dlmallinfo();
void dlmalloc_stats();
size_t dlmalloc_usable_size(void* mem);
int dlmalloc_trim(size_t pad);
size_t dlmalloc_footprint();
size_t dlmalloc_max_footprint();
int dlmallopt(int param, int value);
