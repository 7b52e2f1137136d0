// The thread-caching pooled allocator behind every allocation of the program's own code. A pool
// groups up to four memory spaces and up to 256 per-thread caches of freed small blocks; small
// requests are served from the calling thread's cache without a lock. Blocks always go back to
// the space they came from, whichever thread frees them. A thread's cache is returned to its
// spaces when the thread ends.
#pragma once

#include <cstddef>

#include "runtime/memory/memory_space.h"

struct nedpool;

// The process-wide pool.
void* nedmalloc(size_t size);
void* nedcalloc(size_t count, size_t size);
void* nedrealloc(void* mem, size_t size);
void nedfree(void* mem);  // never null
void* nedmemalign(size_t alignment, size_t size);
void** nedindependent_calloc(size_t count, size_t elem_size, void** chunks);
void** nedindependent_comalloc(size_t count, size_t* sizes, void** chunks);
ned_mallinfo nedmallinfo();
size_t nedmalloc_footprint();
int nedmalloc_trim(size_t pad);
void nedmalloc_stats();
int nedmallopt(int param, int value);
void nedsetvalue(void* value);

// The same on a pool made by nedcreatepool (null means the process-wide pool).
void* nedpmalloc(nedpool* p, size_t size);
void* nedpcalloc(nedpool* p, size_t count, size_t size);
void* nedprealloc(nedpool* p, void* mem, size_t size);
void nedpfree(nedpool* p, void* mem);
void* nedpmemalign(nedpool* p, size_t alignment, size_t size);
void** nedpindependent_calloc(nedpool* p, size_t count, size_t elem_size, void** chunks);
void** nedpindependent_comalloc(nedpool* p, size_t count, size_t* sizes, void** chunks);
ned_mallinfo nedpmallinfo(nedpool* p);
size_t nedpmalloc_footprint(nedpool* p);
int nedpmalloc_trim(nedpool* p, size_t pad);
void nedpmalloc_stats(nedpool* p);
int nedpmallopt(nedpool* p, int param, int value);
void nedpsetvalue(nedpool* p, void* value);

// Pools.
nedpool* nedcreatepool(size_t capacity, int threads);
void neddestroypool(nedpool* p);
void neddisablethreadcache(nedpool* p);
// The user value of the pool whose first space holds the block (and that pool through `p`);
// 0 for anything else.
void* nedgetvalue(nedpool** p, void* mem);
// Usable bytes of a block; 0 for null.
size_t nedblksize(void* mem);

// Introspection for tests: the calling thread's cache in a pool (null: the process pool).
struct ned_threadcache_info {
  bool has_cache;
  int space;                 // the space the thread last used
  unsigned allocations, frees, hits;
  size_t free_bytes;
  size_t bin_blocks[10];     // blocks held per bin (bin i holds 2^(i+5) bytes)
};
ned_threadcache_info ned_threadcache_state(nedpool* p);
unsigned ned_cache_slots_in_use(nedpool* p);
mspace ned_pool_space(nedpool* p, int n);  // null past the last space
