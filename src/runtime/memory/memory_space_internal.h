// The heap's records and chunk primitives, shared by the core, its system side, the pooled
// allocator and the invariant checker of the tests. Not for other callers.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "runtime/memory/memory_layout.h"
#include "runtime/memory/memory_space.h"

namespace heap {

using namespace memory_layout;

// A recursive spin lock: a thread that holds it may take it again. The lock word is an atomic
// with acquire/release ordering so that ThreadSanitizer understands it.
struct spin_lock {
  std::atomic<uintptr_t> owner{0};
  unsigned count = 0;
  std::atomic<int> word{0};
};
// The address of a thread-local byte names the thread: cheaper than pthread_self() on the hot
// paths, and never 0.
extern __thread char thread_marker __attribute__((tls_model("initial-exec")));
inline uintptr_t current_thread_id() { return (uintptr_t)&thread_marker; }
void acquire_lock(spin_lock* lk);
bool try_lock(spin_lock* lk);
void release_lock(spin_lock* lk);
inline bool lock_owned_by_caller(const spin_lock* lk) {
  return lk->owner.load(std::memory_order_relaxed) == current_thread_id();
}

struct malloc_chunk {
  size_t prev_foot;
  size_t head;
  malloc_chunk* fd;
  malloc_chunk* bk;
};
typedef malloc_chunk* mchunkptr;

struct malloc_tree_chunk {
  size_t prev_foot;
  size_t head;
  malloc_tree_chunk* fd;
  malloc_tree_chunk* bk;
  malloc_tree_chunk* child[2];
  malloc_tree_chunk* parent;
  unsigned index;
};
typedef malloc_tree_chunk* tchunkptr;

enum : unsigned { segment_mapped = 1, segment_external = 8 };

struct malloc_segment {
  char* base;
  size_t size;
  malloc_segment* next;
  unsigned sflags;
};
static_assert(sizeof(malloc_segment) == segment_record_size, "segment record size");

enum : unsigned { use_mmap_bit = 1, use_lock_bit = 2, noncontiguous_bit = 4, process_heap_bit = 8 };

struct malloc_state {
  uint32_t smallmap;
  uint32_t treemap;
  size_t dvsize;
  size_t topsize;
  char* least_addr;
  mchunkptr dv;
  mchunkptr top;
  size_t trim_check;
  size_t release_checks;
  size_t magic;
  mchunkptr smallbins[(small_bin_count + 1) * 2];
  tchunkptr treebins[tree_bin_count];
  size_t footprint;
  size_t max_footprint;
  unsigned mflags;
  spin_lock mutex;
  malloc_segment seg;
  void* pool_link;  // the pool that owns the space (first space of a pool only)
  void* extension;  // reserved, always null
};
typedef malloc_state* mstate;

struct malloc_params {
  size_t magic;
  size_t page_size;
  size_t granularity;
  size_t mmap_threshold;
  size_t trim_threshold;
  unsigned default_mflags;
};
extern malloc_params mparams;  // memory spaces
extern malloc_params gparams;  // the process heap
extern malloc_state _gm_;
void init_mparams();
inline malloc_params& params_for(mstate m) {
  return (m->mflags & process_heap_bit) ? gparams : mparams;
}

// The state's own chunk at the start of a space's first segment, padded.
constexpr size_t state_size = pad_request(sizeof(malloc_state));
// create_mspace_with_base needs more than this; create_mspace maps capacity plus this.
constexpr size_t space_overhead = state_size + top_reserve;

constexpr size_t pinuse_bit = 1, cinuse_bit = 2, inuse_bits = 3;
constexpr size_t mmapped_bit = 1;  // in the previous-size word of a directly mapped chunk

inline void* chunk2mem(const void* p) { return (char*)p + 2 * word_size; }
inline mchunkptr mem2chunk(const void* m) { return (mchunkptr)((char*)m - 2 * word_size); }
inline size_t align_offset(const void* a) {
  return ((size_t)a & align_mask) == 0 ? 0 : ((alignment - ((size_t)a & align_mask)) & align_mask);
}
inline mchunkptr align_as_chunk(char* a) { return (mchunkptr)(a + align_offset(chunk2mem(a))); }

inline size_t chunksize(const malloc_chunk* p) { return p->head & ~inuse_bits; }
inline bool cinuse(const malloc_chunk* p) { return p->head & cinuse_bit; }
inline bool pinuse(const malloc_chunk* p) { return p->head & pinuse_bit; }
inline mchunkptr chunk_plus_offset(const void* p, size_t s) { return (mchunkptr)((char*)p + s); }
inline mchunkptr chunk_minus_offset(const void* p, size_t s) { return (mchunkptr)((char*)p - s); }
inline mchunkptr next_chunk(const malloc_chunk* p) { return chunk_plus_offset(p, chunksize(p)); }
// The head word of a live block read without its space's lock (the pooled allocator's cache
// paths). Only the size and the in-use bit are used, and they stay fixed while the block is
// live; a free of the chunk just before it may at the same moment clear the previous-in-use
// bit of this word under that space's lock, which changes nothing read here. ThreadSanitizer is
// told so, as it cannot know which bits matter.
__attribute__((no_sanitize("thread"))) inline size_t live_block_head(const malloc_chunk* p) {
  return __atomic_load_n(&p->head, __ATOMIC_RELAXED);
}
inline bool is_mmapped(const malloc_chunk* p) {
  return !(p->head & pinuse_bit) && (p->prev_foot & mmapped_bit);
}
inline size_t request2size(size_t req) { return req < min_request ? min_chunk_size : pad_request(req); }
// The owning space of a live block, from its footer, read before that space is locked.
__attribute__((no_sanitize("thread"))) inline mstate get_mstate_for(const malloc_chunk* p, size_t magic) {
  const malloc_chunk* next = chunk_plus_offset(p, live_block_head(p) & ~inuse_bits);
  return (mstate)(__atomic_load_n(&next->prev_foot, __ATOMIC_RELAXED) ^ magic);
}
inline bool is_small(size_t s) { return (s >> small_bin_shift) < small_bin_count; }
inline unsigned small_index(size_t s) { return (unsigned)(s >> small_bin_shift); }
inline size_t small_index2size(unsigned i) { return (size_t)i << small_bin_shift; }
inline mchunkptr smallbin_at(mstate m, unsigned i) { return (mchunkptr)(&m->smallbins[i << 1]); }
inline tchunkptr* treebin_at(mstate m, unsigned i) { return &m->treebins[i]; }
inline unsigned compute_tree_index(size_t s) {
  size_t x = s >> tree_bin_shift;
  if (x == 0) return 0;
  if (x > 0xFFFF) return tree_bin_count - 1;
  unsigned k = 31 - (unsigned)__builtin_clz((unsigned)x);
  return (k << 1) + (unsigned)((s >> (k + (tree_bin_shift - 1))) & 1);
}
inline unsigned leftshift_for_tree_index(unsigned i) {
  return i == tree_bin_count - 1 ? 0 : (unsigned)(sizeof(size_t) * 8 - 1) - ((i >> 1) + tree_bin_shift - 2);
}
inline size_t minsize_for_tree_index(unsigned i) {
  return ((size_t)1 << ((i >> 1) + tree_bin_shift)) | (((size_t)(i & 1)) << ((i >> 1) + tree_bin_shift - 1));
}
inline bool is_initialized(mstate m) { return m->top != nullptr; }

// Marking chunks in use or free, with the footer that names the owning space.
inline void mark_inuse_foot(mstate m, mchunkptr p, size_t s) {
  chunk_plus_offset(p, s)->prev_foot = (size_t)m ^ m->magic;
}
inline void set_size_and_pinuse_of_inuse_chunk(mstate m, mchunkptr p, size_t s) {
  p->head = s | pinuse_bit | cinuse_bit;
  mark_inuse_foot(m, p, s);
}
// Serves nb bytes from the front of the top chunk, which must be longer than nb.
inline void* take_from_top(mstate m, size_t nb) {
  size_t rsize = m->topsize -= nb;
  mchunkptr p = m->top;
  mchunkptr r = m->top = chunk_plus_offset(p, nb);
  r->head = rsize | pinuse_bit;
  set_size_and_pinuse_of_inuse_chunk(m, p, nb);
  return chunk2mem(p);
}
inline void set_size_and_pinuse_of_free_chunk(mchunkptr p, size_t s) {
  p->head = s | pinuse_bit;
  chunk_plus_offset(p, s)->prev_foot = s;
}
inline void set_free_with_pinuse(mchunkptr p, size_t s, mchunkptr n) {
  n->head &= ~pinuse_bit;
  set_size_and_pinuse_of_free_chunk(p, s);
}

inline bool segment_holds(const malloc_segment* s, const void* a) {
  return (char*)a >= s->base && (char*)a < s->base + s->size;
}
inline bool ok_magic(mstate m) { return m->magic != 0 && m->magic == params_for(m).magic; }

// Abort on a broken heap or a misused block: after corruption nothing can be trusted.
[[noreturn]] inline void corruption_error() { std::abort(); }

// Shared steps used across the units.
void* internal_malloc(mstate m, size_t bytes);
void internal_free(mstate m, void* mem);
void* internal_realloc(mstate m, void* oldmem, size_t bytes);
void* internal_memalign(mstate m, size_t alignment, size_t bytes);
void** ialloc(mstate m, size_t n, size_t* sizes, int opts, void* chunks[]);
ned_mallinfo internal_mallinfo(mstate m);
void internal_malloc_stats(mstate m);
void* sys_alloc(mstate m, size_t nb);
int sys_trim(mstate m, size_t pad);
size_t release_unused_segments(mstate m);
void init_bins(mstate m);
void init_top(mstate m, mchunkptr p, size_t psize);
void insert_chunk(mstate m, mchunkptr p, size_t s);
void unlink_chunk(mstate m, mchunkptr p, size_t s);
void insert_large_chunk(mstate m, tchunkptr x, size_t s);
void unlink_large_chunk(mstate m, tchunkptr x);
mstate init_user_mstate(char* tbase, size_t tsize);

inline void lock_state(mstate m) {
  if (m->mflags & use_lock_bit) acquire_lock(&m->mutex);
}
inline void unlock_state(mstate m) {
  if (m->mflags & use_lock_bit) release_lock(&m->mutex);
}

}  // namespace heap
