#include "runtime/memory/pooled_allocator.h"

#include <pthread.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "runtime/memory/memory_space_internal.h"

using namespace heap;

namespace {

// A freed block waiting in a thread cache; it lives in the block's own user bytes. A bin is a
// chain from its newest block to its oldest, linked towards the older end only: a release then
// writes nothing but the released block, and eviction, which is rare, finds where to cut the
// chain by walking from the newest end (stamps fall along the chain).
struct threadcacheblk {
  unsigned lastUsed;  // the cache's frees count when the block came in: its age stamp
  unsigned size;      // the bin size
  threadcacheblk* older;
};
static_assert(sizeof(threadcacheblk) <= cache_min_request, "a cached block fits the smallest bin");

struct threadcache {
  int mymspace;  // the space this thread last used; -1 once released
  uintptr_t threadid;
  unsigned mallocs;
  unsigned frees;  // also the age clock
  unsigned successes;
  size_t freeInCache;  // tested as signed
  threadcacheblk* bins[cache_bin_count * 2];  // per bin: newest, oldest
  nedpool* pool;  // for the thread-exit hook
  unsigned slot;
};

}  // namespace

// The thread key's value: 0 undecided; a thread-cache record; or -(k+1) for a thread without a
// cache that uses space k. The record pointer (rather than its slot number) lets the thread-exit
// hook find the pool.
struct nedpool {
  spin_lock mutex;
  void* uservalue = nullptr;
  std::atomic<int> threads{0};  // 0: not initialised
  threadcache* caches[pool_cache_slots] = {};
  pthread_key_t mycache = 0;
  std::atomic<malloc_state*> m[pool_max_spaces + 1] = {};  // the slot after the last is null
};

namespace {

// Zero-initialised at load, before any constructor of the program can allocate.
nedpool syspool;

// The process pool's key value of this thread, mirrored in a plain thread-local so that the
// hot path needs no key look-up. The key itself stays: its destructor runs at thread exit.
thread_local intptr_t sys_key_mirror __attribute__((tls_model("initial-exec"))) = 0;

inline intptr_t key_value(nedpool* p) {
  return p == &syspool ? sys_key_mirror : (intptr_t)pthread_getspecific(p->mycache);
}
inline void set_key_value(nedpool* p, intptr_t v) {
  pthread_setspecific(p->mycache, (void*)v);
  if (p == &syspool) sys_key_mirror = v;
}

void threadcache_at_exit(void* value);

[[noreturn]] __attribute__((noinline, cold)) void usage_error() { std::abort(); }

[[noreturn]] __attribute__((noinline, cold)) void double_free(void* mem) {
  std::fprintf(stderr, "Attempt to free already freed memory block %p - aborting!\n", mem);
  std::abort();
}

// Blocks leave a cache in batches; consecutive blocks of one space are released under one
// taking of its lock. Only one space lock is held at a time, so this cannot deadlock against
// another thread doing the same.
void RemoveCacheEntries(threadcache* tc, unsigned age) {
  if (!tc->freeInCache) return;
  mstate held = nullptr;
  for (unsigned b = 0; b < cache_bin_count; ++b) {
    threadcacheblk** binsptr = &tc->bins[b * 2];
    if (!binsptr[1] || tc->frees - binsptr[1]->lastUsed < age) continue;
    // The youngest block old enough, and the block just younger than it, which becomes the
    // bin's oldest.
    threadcacheblk* younger = nullptr;
    threadcacheblk* blk = binsptr[0];
    while (tc->frees - blk->lastUsed < age) {
      younger = blk;
      blk = blk->older;
    }
    if (younger) {
      younger->older = nullptr;
      binsptr[1] = younger;
    } else {
      binsptr[0] = binsptr[1] = nullptr;
    }
    while (blk) {
      threadcacheblk* older = blk->older;
      tc->freeInCache -= blk->size;
      if ((ptrdiff_t)tc->freeInCache < 0) usage_error();
      mstate fm = get_mstate_for(mem2chunk(blk), mparams.magic);
      if (!ok_magic(fm)) usage_error();
      if (fm != held) {
        if (held) release_lock(&held->mutex);
        acquire_lock(&fm->mutex);
        held = fm;
      }
      internal_free(fm, blk);
      blk = older;
    }
  }
  if (held) release_lock(&held->mutex);
}

// Oldest blocks first, by halving ages, until the cache holds less than its capacity.
__attribute__((noinline)) void ReleaseFreeInCache(threadcache* tc) {
  for (unsigned age = cache_first_eviction_age; age; age >>= 1) {
    if (tc->freeInCache < cache_capacity) break;
    RemoveCacheEntries(tc, age);
  }
}

// Returns every block of a cache to its space and frees the cache's slot.
void ReleaseCacheRecord(nedpool* p, threadcache* tc) {
  ++tc->frees;
  RemoveCacheEntries(tc, 0);
  if (tc->freeInCache != 0) usage_error();
  tc->mymspace = -1;
  tc->threadid = 0;
  acquire_lock(&p->mutex);
  if (p->caches[tc->slot] == tc) p->caches[tc->slot] = nullptr;
  release_lock(&p->mutex);
  mspace_free(nullptr, tc);
}

void threadcache_at_exit(void* value) {
  intptr_t v = (intptr_t)value;
  if (v <= 0) return;
  threadcache* tc = (threadcache*)value;
  if (tc->pool == &syspool) sys_key_mirror = 0;
  ReleaseCacheRecord(tc->pool, tc);
}

void release_all_caches(nedpool* p) {
  for (unsigned n = 0; n < pool_cache_slots; ++n) {
    threadcache* tc = p->caches[n];
    if (!tc) continue;
    ++tc->frees;
    RemoveCacheEntries(tc, 0);
    if (tc->freeInCache != 0) usage_error();
    tc->mymspace = -1;
    tc->threadid = 0;
    mspace_free(nullptr, tc);
    p->caches[n] = nullptr;
  }
}

bool InitPool(nedpool* p, size_t capacity, int threads) {
  acquire_lock(&p->mutex);
  if (p->threads.load(std::memory_order_relaxed)) {  // another thread got here first
    release_lock(&p->mutex);
    return true;
  }
  int count = (threads < 1 || threads > (int)pool_max_spaces) ? (int)pool_max_spaces : threads;
  bool key_made = false;
  mstate m0 = nullptr;
  if (pthread_key_create(&p->mycache, threadcache_at_exit) == 0) {
    key_made = true;
    m0 = (mstate)create_mspace(capacity, 1);
  }
  if (!m0) {
    if (threads < 0) std::abort();  // the process pool cannot do without its first space
    release_all_caches(p);
    if (key_made) pthread_key_delete(p->mycache);
    release_lock(&p->mutex);
    return false;
  }
  m0->pool_link = p;
  p->m[0].store(m0, std::memory_order_release);
  p->threads.store(count, std::memory_order_release);
  release_lock(&p->mutex);
  return true;
}

threadcache* AllocCache(nedpool* p) {
  acquire_lock(&p->mutex);
  unsigned n = 0;
  while (n < pool_cache_slots && p->caches[n]) ++n;
  if (n == pool_cache_slots) {
    release_lock(&p->mutex);
    return nullptr;
  }
  threadcache* tc = (threadcache*)mspace_calloc(p->m[0].load(std::memory_order_acquire), 1, sizeof(threadcache));
  if (!tc) {
    release_lock(&p->mutex);
    return nullptr;
  }
  tc->threadid = current_thread_id();
  tc->pool = p;
  tc->slot = n;
  p->caches[n] = tc;
  release_lock(&p->mutex);
  set_key_value(p, (intptr_t)tc);
  return tc;
}

inline nedpool* pool_or_sys(nedpool* p) {
  if (p) return p;
  if (!syspool.threads.load(std::memory_order_acquire)) InitPool(&syspool, 0, -1);
  return &syspool;
}

// The thread's choice: its cache (or none) and the space it last used.
inline threadcache* GetThreadCache(nedpool* p, int* mymspace, size_t* size) {
  if (size && *size < cache_min_request) *size = cache_min_request;
  intptr_t v = key_value(p);
  threadcache* tc;
  if (v > 0) {
    tc = (threadcache*)v;
    *mymspace = tc->mymspace;
  } else if (v == 0) {
    tc = AllocCache(p);
    if (!tc) {
      set_key_value(p, -1);
      *mymspace = 0;
    } else {
      *mymspace = tc->mymspace;
    }
  } else {
    tc = nullptr;
    *mymspace = (int)(-v - 1);
  }
  if (*mymspace < 0 || (tc && tc->threadid != current_thread_id())) usage_error();
  return tc;
}

inline unsigned cache_bin_of(size_t size) {
  return 31 - (unsigned)__builtin_clz((unsigned)(size >> cache_bin_shift));
}

// The bin whose size is the request rounded up to a power of two (requests are 32..8192 here).
// Computed without a branch: whether a request needs the next bin up is as random as the
// sizes asked for, so such a branch would be mispredicted often.
inline unsigned cache_bin_above(size_t size) {
  return (unsigned)(64 - __builtin_clzll(size - 1)) - cache_bin_shift;
}

__attribute__((always_inline)) inline void* threadcache_malloc(threadcache* tc, size_t* size) {
  unsigned idx = cache_bin_above(*size);
  size_t bestsize = (size_t)1 << (idx + cache_bin_shift);
  *size = bestsize;
  threadcacheblk** binsptr = &tc->bins[idx * 2];
  threadcacheblk* blk = *binsptr;
  if ((!blk || blk->size < bestsize) && idx + 1 < cache_bin_count) {
    ++idx;
    binsptr += 2;
    blk = *binsptr;
  }
  ++tc->mallocs;
  if (!blk) return nullptr;
  size_t head = live_block_head(mem2chunk(blk));
  if (!(head & cinuse_bit) || (head & ~inuse_bits) - chunk_overhead < blk->size || blk->size < bestsize)
    usage_error();
  binsptr[0] = blk->older;
  if (!blk->older) binsptr[1] = nullptr;
  tc->freeInCache -= blk->size;
  ++tc->successes;
  return blk;
}

__attribute__((always_inline)) inline void threadcache_free(threadcache* tc, void* mem, size_t size) {
  if (size < cache_min_request || size > cache_max_take_back) usage_error();
  unsigned idx = cache_bin_of(size);
  if (idx >= cache_bin_count) idx = cache_bin_count - 1;
  unsigned binsize = 1u << (idx + cache_bin_shift);
  threadcacheblk** binsptr = &tc->bins[idx * 2];
  threadcacheblk* blk = (threadcacheblk*)mem;
  threadcacheblk* newest = *binsptr;
  if (__builtin_expect(newest == blk, 0)) double_free(mem);
  unsigned stamp = ++tc->frees;
  blk->lastUsed = stamp;
  blk->size = binsize;
  blk->older = newest;
  if (!newest) binsptr[1] = blk;
  *binsptr = blk;
  tc->freeInCache += binsize;
  if (__builtin_expect(tc->freeInCache >= cache_capacity, 0)) ReleaseFreeInCache(tc);
}

inline bool cacheable(size_t usable) {
  return usable >= cache_min_request && usable <= cache_max_take_back;
}

inline void set_space_of_thread(nedpool* p, threadcache* tc, int n) {
  if (tc)
    tc->mymspace = n;
  else
    set_key_value(p, -(n + 1));
}

// The thread's space is busy: take another free one, make a new one while the pool has room,
// or wait for the thread's own.
mstate FindMSpace(nedpool* p, threadcache* tc, int mymspace, size_t size) {
  int n, end;
  mstate m;
  for (n = end = mymspace + 1; n <= (int)pool_max_spaces && (m = p->m[n].load(std::memory_order_acquire)); end = ++n)
    if (try_lock(&m->mutex)) goto found;
  for (n = 0; n < mymspace && (m = p->m[n].load(std::memory_order_acquire)); ++n)
    if (try_lock(&m->mutex)) goto found;
  if (end < p->threads.load(std::memory_order_relaxed)) {
    mstate temp = (mstate)create_mspace(size, 1);
    if (temp) {
      acquire_lock(&temp->mutex);
      acquire_lock(&p->mutex);
      int limit = p->threads.load(std::memory_order_relaxed);
      while (end < limit && p->m[end].load(std::memory_order_relaxed)) ++end;
      if (end >= limit) {
        release_lock(&p->mutex);
        release_lock(&temp->mutex);
        destroy_mspace(temp);
      } else {
        p->m[end].store(temp, std::memory_order_release);
        release_lock(&p->mutex);
        n = end;
        m = temp;
        goto found;
      }
    }
  }
  m = p->m[mymspace].load(std::memory_order_acquire);
  acquire_lock(&m->mutex);
  return m;
found:
  set_space_of_thread(p, tc, n);
  return m;
}

inline mstate GetMSpace(nedpool* p, threadcache* tc, int mymspace, size_t size) {
  mstate m = p->m[mymspace].load(std::memory_order_acquire);
  if (!m) usage_error();
  if (!try_lock(&m->mutex)) m = FindMSpace(p, tc, mymspace, size);
  if (!lock_owned_by_caller(&m->mutex)) usage_error();
  return m;
}

// A request the thread's cache could not serve, from the thread's space.
__attribute__((noinline)) void* space_malloc(nedpool* p, threadcache* tc, int mymspace, size_t size) {
  mstate m = GetMSpace(p, tc, mymspace, size);
  void* ret = internal_malloc(m, size);
  release_lock(&m->mutex);
  return ret;
}

// The rest of an allocation once the thread's choice is made: its cache when it has one and
// the request is small, else its space.
__attribute__((always_inline)) inline void* allocate_for_thread(nedpool* p, threadcache* tc, int mymspace,
                                                                size_t size) {
  if (tc && size <= cache_max_request)
    if (void* ret = threadcache_malloc(tc, &size)) return ret;
  return space_malloc(p, tc, mymspace, size);
}

// The rest of a release once the thread's choice is made: the block's usage checks, then the
// thread's cache for a small block, else the block's own space.
__attribute__((always_inline)) inline void release_for_thread(threadcache* tc, void* mem) {
  size_t head = live_block_head(mem2chunk(mem));
  size_t usable = (head & ~inuse_bits) - chunk_overhead;
  if (!(head & cinuse_bit) || !usable) usage_error();
  if (tc && cacheable(usable))
    threadcache_free(tc, mem, usable);
  else
    mspace_free(nullptr, mem);
}

}  // namespace

// ---- entry points with a pool

void* nedpmalloc(nedpool* p, size_t size) {
  p = pool_or_sys(p);
  int mymspace;
  threadcache* tc = GetThreadCache(p, &mymspace, &size);
  return allocate_for_thread(p, tc, mymspace, size);
}

void* nedpcalloc(nedpool* p, size_t count, size_t size) {
  size_t rsize;
  if (__builtin_mul_overflow(count, size, &rsize) || rsize >= max_request) {
    errno = ENOMEM;
    return nullptr;
  }
  p = pool_or_sys(p);
  int mymspace;
  threadcache* tc = GetThreadCache(p, &mymspace, &rsize);
  void* ret = nullptr;
  if (tc && rsize <= cache_max_request) {
    ret = threadcache_malloc(tc, &rsize);
    if (ret) std::memset(ret, 0, rsize);
  }
  if (!ret) {
    mstate m = GetMSpace(p, tc, mymspace, rsize);
    ret = mspace_calloc(m, 1, rsize);
    release_lock(&m->mutex);
  }
  return ret;
}

void* nedprealloc(nedpool* p, void* mem, size_t size) {
  if (!mem) return nedpmalloc(p, size);
  p = pool_or_sys(p);
  int mymspace;
  threadcache* tc = GetThreadCache(p, &mymspace, &size);
  size_t head = live_block_head(mem2chunk(mem));
  if (!(head & cinuse_bit)) usage_error();
  size_t usable = (head & ~inuse_bits) - chunk_overhead;
  if (!usable) usage_error();
  if (tc && size <= cache_max_request) {
    size_t req = size;
    void* ret = threadcache_malloc(tc, &req);
    if (ret) {
      std::memcpy(ret, mem, req < usable ? req : usable);
      if (cacheable(usable))
        threadcache_free(tc, mem, usable);
      else
        mspace_free(nullptr, mem);
      return ret;
    }
  }
  // Only the block's own space is taken: holding the thread's space as well while waiting for
  // the block's could deadlock against a thread doing the opposite.
  return mspace_realloc(nullptr, mem, size);
}

void nedpfree(nedpool* p, void* mem) {
  if (!mem) usage_error();
  p = pool_or_sys(p);
  int mymspace;
  threadcache* tc = GetThreadCache(p, &mymspace, nullptr);
  release_for_thread(tc, mem);
}

void* nedpmemalign(nedpool* p, size_t alignment, size_t size) {
  p = pool_or_sys(p);
  int mymspace;
  threadcache* tc = GetThreadCache(p, &mymspace, &size);
  mstate m = GetMSpace(p, tc, mymspace, size);
  void* ret = mspace_memalign(m, alignment, size);
  release_lock(&m->mutex);
  return ret;
}

void** nedpindependent_calloc(nedpool* p, size_t count, size_t elem_size, void** chunks) {
  p = pool_or_sys(p);
  int mymspace;
  threadcache* tc = GetThreadCache(p, &mymspace, &elem_size);
  size_t total;
  if (__builtin_mul_overflow(count, elem_size, &total)) {
    errno = ENOMEM;
    return nullptr;
  }
  mstate m = GetMSpace(p, tc, mymspace, total);
  void** ret = mspace_independent_calloc(m, count, elem_size, chunks);
  release_lock(&m->mutex);
  return ret;
}

void** nedpindependent_comalloc(nedpool* p, size_t count, size_t* sizes, void** chunks) {
  p = pool_or_sys(p);
  int mymspace;
  threadcache* tc = GetThreadCache(p, &mymspace, nullptr);
  mstate m = GetMSpace(p, tc, mymspace, 0);
  void** ret = mspace_independent_comalloc(m, count, sizes, chunks);
  release_lock(&m->mutex);
  return ret;
}

ned_mallinfo nedpmallinfo(nedpool* p) {
  p = pool_or_sys(p);
  ned_mallinfo ret{};
  for (unsigned n = 0; n < pool_max_spaces; ++n) {
    mstate m = p->m[n].load(std::memory_order_acquire);
    if (!m) break;
    if (!ok_magic(m)) usage_error();
    ned_mallinfo t = mspace_mallinfo(m);
    ret.arena += t.arena;
    ret.ordblks += t.ordblks;
    ret.hblkhd += t.hblkhd;
    ret.usmblks += t.usmblks;
    ret.uordblks += t.uordblks;
    ret.fordblks += t.fordblks;
    ret.keepcost += t.keepcost;
  }
  return ret;
}

size_t nedpmalloc_footprint(nedpool* p) {
  p = pool_or_sys(p);
  size_t ret = 0;
  for (unsigned n = 0; n < pool_max_spaces; ++n) {
    mstate m = p->m[n].load(std::memory_order_acquire);
    if (!m) break;
    ret += mspace_footprint(m);
  }
  return ret;
}

int nedpmalloc_trim(nedpool* p, size_t pad) {
  p = pool_or_sys(p);
  int ret = 0;
  for (unsigned n = 0; n < pool_max_spaces; ++n) {
    mstate m = p->m[n].load(std::memory_order_acquire);
    if (!m) break;
    ret += mspace_trim(m, pad);
  }
  return ret;
}

void nedpmalloc_stats(nedpool* p) {
  p = pool_or_sys(p);
  for (unsigned n = 0; n < pool_max_spaces; ++n) {
    mstate m = p->m[n].load(std::memory_order_acquire);
    if (!m) break;
    mspace_malloc_stats(m);
  }
}

int nedpmallopt(nedpool*, int param, int value) { return mspace_mallopt(param, value); }

void nedpsetvalue(nedpool* p, void* value) {
  p = pool_or_sys(p);
  p->uservalue = value;
}

// ---- pools

nedpool* nedcreatepool(size_t capacity, int threads) {
  void* mem = nedpcalloc(nullptr, 1, sizeof(nedpool));
  if (!mem) return nullptr;
  nedpool* p = new (mem) nedpool();
  if (!InitPool(p, capacity, threads)) {
    p->~nedpool();
    nedpfree(nullptr, p);
    return nullptr;
  }
  return p;
}

void neddestroypool(nedpool* p) {
  acquire_lock(&p->mutex);
  release_all_caches(p);
  for (unsigned n = 0; n < pool_max_spaces; ++n) {
    mstate m = p->m[n].load(std::memory_order_acquire);
    if (!m) break;
    if (!ok_magic(m)) usage_error();
    destroy_mspace(m);
    p->m[n].store(nullptr, std::memory_order_relaxed);
  }
  release_lock(&p->mutex);
  pthread_key_delete(p->mycache);
  p->~nedpool();
  nedpfree(nullptr, p);
}

void neddisablethreadcache(nedpool* p) {
  p = pool_or_sys(p);
  intptr_t v = key_value(p);
  if (v == 0) {
    set_key_value(p, -1);
    return;
  }
  if (v < 0) return;
  threadcache* tc = (threadcache*)v;
  double allocs = tc->mallocs ? (double)tc->mallocs : 1.0;
  std::printf("Threadcache utilisation: %lf%% in cache with %lf%% lost to other threads\n",
              100.0 * tc->successes / allocs, 100.0 * ((double)tc->mallocs - tc->frees) / allocs);
  set_key_value(p, -(tc->mymspace + 1));
  ReleaseCacheRecord(p, tc);
}

void* nedgetvalue(nedpool** pp, void* mem) {
  if (!mem) return nullptr;
  mchunkptr c = mem2chunk(mem);
  if (((size_t)mem & align_mask) && c->head != fencepost_head) return nullptr;
  if (!cinuse(c)) return nullptr;
  mchunkptr next = next_chunk(c);
  if (!pinuse(next)) return nullptr;
  if (!pinuse(c) && !is_mmapped(c)) {
    mchunkptr prev = chunk_minus_offset(c, c->prev_foot);
    if (chunksize(prev) != c->prev_foot) return nullptr;
  }
  mstate fm = get_mstate_for(c, mparams.magic);
  if (!ok_magic(fm)) return nullptr;
  if ((char*)c < fm->least_addr) return nullptr;
  if (!fm->pool_link) return nullptr;
  nedpool* p = (nedpool*)fm->pool_link;
  if (pp) *pp = p;
  return p->uservalue;
}

size_t nedblksize(void* mem) {
  if (!mem) return 0;
  return (live_block_head(mem2chunk(mem)) & ~inuse_bits) - chunk_overhead;
}

// ---- the process-wide pool

// The process pool's entry points come first for every allocation of the program; a thread
// with a cache is served here without a call when the cache has the block.
void* nedmalloc(size_t size) {
  intptr_t v = sys_key_mirror;
  if (__builtin_expect(v > 0 && size <= cache_max_request, 1)) {
    threadcache* tc = (threadcache*)v;
    int mymspace = tc->mymspace;
    if (mymspace < 0 || tc->threadid != current_thread_id()) usage_error();
    if (size < cache_min_request) size = cache_min_request;
    return allocate_for_thread(&syspool, tc, mymspace, size);
  }
  return nedpmalloc(nullptr, size);
}
void* nedcalloc(size_t count, size_t size) { return nedpcalloc(nullptr, count, size); }
void* nedrealloc(void* mem, size_t size) { return nedprealloc(nullptr, mem, size); }
void nedfree(void* mem) {
  intptr_t v = sys_key_mirror;
  if (__builtin_expect(v > 0 && mem != nullptr, 1)) {
    threadcache* tc = (threadcache*)v;
    if (tc->mymspace < 0 || tc->threadid != current_thread_id()) usage_error();
    release_for_thread(tc, mem);
    return;
  }
  nedpfree(nullptr, mem);
}
void* nedmemalign(size_t alignment, size_t size) { return nedpmemalign(nullptr, alignment, size); }
void** nedindependent_calloc(size_t count, size_t elem_size, void** chunks) {
  return nedpindependent_calloc(nullptr, count, elem_size, chunks);
}
void** nedindependent_comalloc(size_t count, size_t* sizes, void** chunks) {
  return nedpindependent_comalloc(nullptr, count, sizes, chunks);
}
ned_mallinfo nedmallinfo() { return nedpmallinfo(nullptr); }
size_t nedmalloc_footprint() { return nedpmalloc_footprint(nullptr); }
int nedmalloc_trim(size_t pad) { return nedpmalloc_trim(nullptr, pad); }
void nedmalloc_stats() { nedpmalloc_stats(nullptr); }
int nedmallopt(int param, int value) { return nedpmallopt(nullptr, param, value); }
void nedsetvalue(void* value) { nedpsetvalue(nullptr, value); }

// ---- introspection for tests

ned_threadcache_info ned_threadcache_state(nedpool* p) {
  p = pool_or_sys(p);
  ned_threadcache_info info{};
  intptr_t v = key_value(p);
  if (v <= 0) {
    info.space = v < 0 ? (int)(-v - 1) : 0;
    return info;
  }
  threadcache* tc = (threadcache*)v;
  info.has_cache = true;
  info.space = tc->mymspace;
  info.allocations = tc->mallocs;
  info.frees = tc->frees;
  info.hits = tc->successes;
  info.free_bytes = tc->freeInCache;
  for (unsigned b = 0; b < cache_bin_count; ++b)
    for (threadcacheblk* blk = tc->bins[b * 2]; blk; blk = blk->older) ++info.bin_blocks[b];
  return info;
}

unsigned ned_cache_slots_in_use(nedpool* p) {
  p = pool_or_sys(p);
  acquire_lock(&p->mutex);
  unsigned n = 0;
  for (threadcache* tc : p->caches) n += tc != nullptr;
  release_lock(&p->mutex);
  return n;
}

mspace ned_pool_space(nedpool* p, int n) {
  p = pool_or_sys(p);
  if (n < 0 || n > (int)pool_max_spaces) return nullptr;
  return p->m[n].load(std::memory_order_acquire);
}
