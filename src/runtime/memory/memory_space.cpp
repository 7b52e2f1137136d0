// The heap inside its segments: chunks with boundary tags, exact small bins, bitwise tries for
// large chunks, the designated victim (the last split remainder, which keeps runs of small
// allocations together) and the top chunk. Getting memory from the system and giving it back
// is in memory_segments.cpp.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/memory_info.h"
#include "runtime/memory/memory_space_internal.h"

namespace heap {

// ---- recursive spin lock

__thread char thread_marker __attribute__((tls_model("initial-exec")));

void acquire_lock(spin_lock* lk) {
  uintptr_t me = current_thread_id();
  if (lk->owner.load(std::memory_order_relaxed) == me) {
    ++lk->count;
    return;
  }
  unsigned spins = 0;
  for (;;) {
    int expected = 0;
    if (lk->word.load(std::memory_order_relaxed) == 0 &&
        lk->word.compare_exchange_weak(expected, 1, std::memory_order_acquire))
      break;
    if ((++spins & 63) == 0) std::this_thread::yield();
  }
  if (lk->owner.load(std::memory_order_relaxed) != 0) corruption_error();
  lk->owner.store(me, std::memory_order_relaxed);
  lk->count = 1;
}

bool try_lock(spin_lock* lk) {
  uintptr_t me = current_thread_id();
  if (lk->owner.load(std::memory_order_relaxed) == me) {
    ++lk->count;
    return true;
  }
  // Reading first keeps a busy lock's cache line shared instead of pulling it over for a
  // compare-and-swap that would fail.
  int expected = 0;
  if (lk->word.load(std::memory_order_relaxed) != 0 ||
      !lk->word.compare_exchange_strong(expected, 1, std::memory_order_acquire))
    return false;
  if (lk->owner.load(std::memory_order_relaxed) != 0) corruption_error();
  lk->owner.store(me, std::memory_order_relaxed);
  lk->count = 1;
  return true;
}

void release_lock(spin_lock* lk) {
  if (lk->owner.load(std::memory_order_relaxed) != current_thread_id()) corruption_error();
  if (--lk->count == 0) {
    lk->owner.store(0, std::memory_order_relaxed);
    lk->word.store(0, std::memory_order_release);
  }
}

// ---- chunk bookkeeping

namespace {

inline bool ok_address(mstate m, const void* a) { return (char*)a >= m->least_addr; }
inline bool ok_next(const void* p, const void* n) { return (char*)p < (char*)n; }

inline void set_inuse(mstate m, mchunkptr p, size_t s) {
  p->head = (p->head & pinuse_bit) | s | cinuse_bit;
  chunk_plus_offset(p, s)->head |= pinuse_bit;
  mark_inuse_foot(m, p, s);
}
inline void set_inuse_and_pinuse(mstate m, mchunkptr p, size_t s) {
  p->head = s | pinuse_bit | cinuse_bit;
  chunk_plus_offset(p, s)->head |= pinuse_bit;
  mark_inuse_foot(m, p, s);
}

inline uint32_t idx2bit(unsigned i) { return (uint32_t)1 << i; }
inline uint32_t least_bit(uint32_t x) { return x & (0u - x); }
inline uint32_t left_bits(uint32_t x) { return (x << 1) | (0u - (x << 1)); }
inline unsigned bit2idx(uint32_t x) { return (unsigned)__builtin_ctz(x); }
inline tchunkptr leftmost_child(tchunkptr t) { return t->child[0] ? t->child[0] : t->child[1]; }

void insert_small_chunk(mstate m, mchunkptr p, size_t s) {
  unsigned i = small_index(s);
  mchunkptr b = smallbin_at(m, i);
  mchunkptr f = b;
  if (!(m->smallmap & idx2bit(i)))
    m->smallmap |= idx2bit(i);
  else if (ok_address(m, b->fd))
    f = b->fd;
  else
    corruption_error();
  b->fd = p;
  f->bk = p;
  p->fd = f;
  p->bk = b;
}

void unlink_small_chunk(mstate m, mchunkptr p, size_t s) {
  mchunkptr f = p->fd, b = p->bk;
  unsigned i = small_index(s);
  if (f == b) {
    m->smallmap &= ~idx2bit(i);
  } else if ((f == smallbin_at(m, i) || ok_address(m, f)) &&
             (b == smallbin_at(m, i) || ok_address(m, b))) {
    f->bk = b;
    b->fd = f;
  } else {
    corruption_error();
  }
}

void unlink_first_small_chunk(mstate m, mchunkptr b, mchunkptr p, unsigned i) {
  mchunkptr f = p->fd;
  if (b == f) {
    m->smallmap &= ~idx2bit(i);
  } else if (ok_address(m, f)) {
    b->fd = f;
    f->bk = b;
  } else {
    corruption_error();
  }
}

// The old victim is always small here: callers replace it only for a small request larger
// than it.
void replace_dv(mstate m, mchunkptr p, size_t s) {
  if (m->dvsize) insert_small_chunk(m, m->dv, m->dvsize);
  m->dvsize = s;
  m->dv = p;
}

// Serves nb bytes from the front of tree chunk v, which is rsize bytes longer. A remainder too
// small for a chunk of its own stays with the block; a larger one becomes the designated victim
// or goes back to the bins.
inline void* take_from_tree_chunk(mstate m, tchunkptr v, size_t nb, size_t rsize, bool rest_is_victim) {
  if (!ok_address(m, v)) corruption_error();
  mchunkptr r = chunk_plus_offset(v, nb);
  if (!ok_next(v, r)) corruption_error();
  unlink_large_chunk(m, v);
  if (rsize < min_chunk_size) {
    set_inuse_and_pinuse(m, (mchunkptr)v, rsize + nb);
  } else {
    set_size_and_pinuse_of_inuse_chunk(m, (mchunkptr)v, nb);
    set_size_and_pinuse_of_free_chunk(r, rsize);
    if (rest_is_victim)
      replace_dv(m, r, rsize);
    else
      insert_chunk(m, r, rsize);
  }
  return chunk2mem(v);
}

// Best fit among the tree chunks for a small request; the remainder becomes the victim.
void* tmalloc_small(mstate m, size_t nb) {
  unsigned i = bit2idx(least_bit(m->treemap));
  tchunkptr v = *treebin_at(m, i), t = v;
  size_t rsize = chunksize((mchunkptr)t) - nb;
  while ((t = leftmost_child(t)) != nullptr) {
    size_t trem = chunksize((mchunkptr)t) - nb;
    if (trem < rsize) {
      rsize = trem;
      v = t;
    }
  }
  return take_from_tree_chunk(m, v, nb, rsize, true);
}

// Best fit for a large request, used only when it beats the designated victim.
void* tmalloc_large(mstate m, size_t nb) {
  tchunkptr v = nullptr;
  size_t rsize = (size_t)0 - nb;
  unsigned idx = compute_tree_index(nb);
  tchunkptr t = *treebin_at(m, idx);
  if (t) {
    // Walk down by the size bits, remembering the subtree to the right of the path.
    size_t sizebits = nb << leftshift_for_tree_index(idx);
    tchunkptr rst = nullptr;
    for (;;) {
      size_t trem = chunksize((mchunkptr)t) - nb;
      if (trem < rsize) {
        v = t;
        if ((rsize = trem) == 0) break;
      }
      tchunkptr rt = t->child[1];
      t = t->child[(sizebits >> (sizeof(size_t) * 8 - 1)) & 1];
      if (rt && rt != t) rst = rt;
      if (!t) {
        t = rst;
        break;
      }
      sizebits <<= 1;
    }
  }
  if (!t && !v) {
    uint32_t leftbits = left_bits(idx2bit(idx)) & m->treemap;
    if (leftbits) t = *treebin_at(m, bit2idx(least_bit(leftbits)));
  }
  while (t) {
    size_t trem = chunksize((mchunkptr)t) - nb;
    if (trem < rsize) {
      rsize = trem;
      v = t;
    }
    t = leftmost_child(t);
  }
  if (v && rsize < (size_t)(m->dvsize - nb)) return take_from_tree_chunk(m, v, nb, rsize, false);
  return nullptr;
}

}  // namespace

void insert_large_chunk(mstate m, tchunkptr x, size_t s) {
  unsigned i = compute_tree_index(s);
  tchunkptr* h = treebin_at(m, i);
  x->index = i;
  x->child[0] = x->child[1] = nullptr;
  if (!(m->treemap & idx2bit(i))) {
    m->treemap |= idx2bit(i);
    *h = x;
    x->parent = (tchunkptr)h;
    x->fd = x->bk = x;
    return;
  }
  tchunkptr t = *h;
  size_t k = s << leftshift_for_tree_index(i);
  for (;;) {
    if (chunksize((mchunkptr)t) != s) {
      tchunkptr* c = &t->child[(k >> (sizeof(size_t) * 8 - 1)) & 1];
      k <<= 1;
      if (*c) {
        t = *c;
      } else if (ok_address(m, c)) {
        *c = x;
        x->parent = t;
        x->fd = x->bk = x;
        return;
      } else {
        corruption_error();
      }
    } else {
      tchunkptr f = t->fd;
      if (!ok_address(m, t) || !ok_address(m, f)) corruption_error();
      t->fd = f->bk = x;
      x->fd = f;
      x->bk = t;
      x->parent = nullptr;
      return;
    }
  }
}

void unlink_large_chunk(mstate m, tchunkptr x) {
  tchunkptr xp = x->parent;
  tchunkptr r;
  if (x->bk != x) {
    tchunkptr f = x->fd;
    r = x->bk;
    if (!ok_address(m, f)) corruption_error();
    f->bk = r;
    r->fd = f;
  } else {
    tchunkptr* rp;
    if (((r = *(rp = &x->child[1])) != nullptr) || ((r = *(rp = &x->child[0])) != nullptr)) {
      tchunkptr* cp;
      while ((*(cp = &r->child[1]) != nullptr) || (*(cp = &r->child[0]) != nullptr)) r = *(rp = cp);
      if (!ok_address(m, rp)) corruption_error();
      *rp = nullptr;
    }
  }
  if (!xp) return;  // a ring member that is not in the trie itself
  tchunkptr* h = treebin_at(m, x->index);
  if (x == *h) {
    if ((*h = r) == nullptr) m->treemap &= ~idx2bit(x->index);
  } else if (ok_address(m, xp)) {
    if (xp->child[0] == x)
      xp->child[0] = r;
    else
      xp->child[1] = r;
  } else {
    corruption_error();
  }
  if (!r) return;
  if (!ok_address(m, r)) corruption_error();
  r->parent = xp;
  for (int side = 0; side < 2; ++side) {
    tchunkptr c = x->child[side];
    if (!c) continue;
    if (!ok_address(m, c)) corruption_error();
    r->child[side] = c;
    c->parent = r;
  }
}

void insert_chunk(mstate m, mchunkptr p, size_t s) {
  if (is_small(s))
    insert_small_chunk(m, p, s);
  else
    insert_large_chunk(m, (tchunkptr)p, s);
}

void unlink_chunk(mstate m, mchunkptr p, size_t s) {
  if (is_small(s))
    unlink_small_chunk(m, p, s);
  else
    unlink_large_chunk(m, (tchunkptr)p);
}

void init_bins(mstate m) {
  for (unsigned i = 0; i < small_bin_count; ++i) {
    mchunkptr bin = smallbin_at(m, i);
    bin->fd = bin->bk = bin;
  }
}

void init_top(mstate m, mchunkptr p, size_t psize) {
  size_t offset = align_offset(chunk2mem(p));
  p = chunk_plus_offset(p, offset);
  psize -= offset;
  m->top = p;
  m->topsize = psize;
  p->head = psize | pinuse_bit;
  chunk_plus_offset(p, psize)->head = top_reserve;
  m->trim_check = params_for(m).trim_threshold;
}

// ---- allocation

void* internal_malloc(mstate m, size_t bytes) {
  void* mem = nullptr;
  size_t nb;
  lock_state(m);
  if (bytes <= max_small_request) {
    nb = request2size(bytes);
    unsigned idx = small_index(nb);
    uint32_t smallbits = m->smallmap >> idx;
    if (smallbits & 3) {
      // An exact fit, or one 8 larger, which the 16-byte alignment never produces.
      idx += ~smallbits & 1;
      mchunkptr b = smallbin_at(m, idx);
      mchunkptr p = b->fd;
      unlink_first_small_chunk(m, b, p, idx);
      set_inuse_and_pinuse(m, p, small_index2size(idx));
      mem = chunk2mem(p);
      goto done;
    }
    if (nb > m->dvsize) {
      if (smallbits) {
        uint32_t leftbits = (smallbits << idx) & left_bits(idx2bit(idx));
        unsigned i = bit2idx(least_bit(leftbits));
        mchunkptr b = smallbin_at(m, i);
        mchunkptr p = b->fd;
        unlink_first_small_chunk(m, b, p, i);
        size_t rsize = small_index2size(i) - nb;
        // With 16-byte steps the next bin can leave a 16-byte remainder: too small to stand.
        if (rsize < min_chunk_size) {
          set_inuse_and_pinuse(m, p, small_index2size(i));
        } else {
          set_size_and_pinuse_of_inuse_chunk(m, p, nb);
          mchunkptr r = chunk_plus_offset(p, nb);
          set_size_and_pinuse_of_free_chunk(r, rsize);
          replace_dv(m, r, rsize);
        }
        mem = chunk2mem(p);
        goto done;
      }
      if (m->treemap && (mem = tmalloc_small(m, nb)) != nullptr) goto done;
    }
  } else if (bytes >= max_request) {
    nb = ~(size_t)0;  // every step below fails
  } else {
    nb = pad_request(bytes);
    if (m->treemap && (mem = tmalloc_large(m, nb)) != nullptr) goto done;
  }

  if (nb <= m->dvsize) {
    size_t rsize = m->dvsize - nb;
    mchunkptr p = m->dv;
    if (rsize >= min_chunk_size) {
      mchunkptr r = m->dv = chunk_plus_offset(p, nb);
      m->dvsize = rsize;
      set_size_and_pinuse_of_free_chunk(r, rsize);
      set_size_and_pinuse_of_inuse_chunk(m, p, nb);
    } else {
      size_t dvs = m->dvsize;
      m->dvsize = 0;
      m->dv = nullptr;
      set_inuse_and_pinuse(m, p, dvs);
    }
    mem = chunk2mem(p);
    goto done;
  }
  if (nb < m->topsize) {
    mem = take_from_top(m, nb);
    goto done;
  }
  mem = sys_alloc(m, nb);
done:
  unlock_state(m);
  return mem;
}

// ---- release

void internal_free(mstate fm, void* mem) {
  mchunkptr p = mem2chunk(mem);
  lock_state(fm);
  if (!ok_address(fm, p) || !cinuse(p)) corruption_error();
  size_t psize = chunksize(p);
  mchunkptr next = chunk_plus_offset(p, psize);
  if (!pinuse(p)) {
    size_t prevsize = p->prev_foot;
    if (prevsize & mmapped_bit) {
      prevsize &= ~mmapped_bit;
      psize += prevsize + direct_map_foot_pad;
      if (platform_unmap_pages((char*)p - prevsize, psize) == 0) fm->footprint -= psize;
      unlock_state(fm);
      return;
    }
    mchunkptr prev = chunk_minus_offset(p, prevsize);
    psize += prevsize;
    p = prev;
    if (!ok_address(fm, prev)) corruption_error();
    if (p != fm->dv) {
      unlink_chunk(fm, p, prevsize);
    } else if ((next->head & inuse_bits) == inuse_bits) {
      fm->dvsize = psize;
      set_free_with_pinuse(p, psize, next);
      unlock_state(fm);
      return;
    }
  }
  if (!ok_next(p, next) || !pinuse(next)) corruption_error();
  if (!cinuse(next)) {
    if (next == fm->top) {
      size_t tsize = fm->topsize += psize;
      fm->top = p;
      p->head = tsize | pinuse_bit;
      if (p == fm->dv) {
        fm->dv = nullptr;
        fm->dvsize = 0;
      }
      if (tsize > fm->trim_check) sys_trim(fm, 0);
      unlock_state(fm);
      return;
    }
    if (next == fm->dv) {
      size_t dsize = fm->dvsize += psize;
      fm->dv = p;
      set_size_and_pinuse_of_free_chunk(p, dsize);
      unlock_state(fm);
      return;
    }
    size_t nsize = chunksize(next);
    psize += nsize;
    unlink_chunk(fm, next, nsize);
    set_size_and_pinuse_of_free_chunk(p, psize);
    if (p == fm->dv) {
      fm->dvsize = psize;
      unlock_state(fm);
      return;
    }
  } else {
    set_free_with_pinuse(p, psize, next);
  }
  if (is_small(psize)) {
    insert_small_chunk(fm, p, psize);
  } else {
    insert_large_chunk(fm, (tchunkptr)p, psize);
    if (--fm->release_checks == 0) release_unused_segments(fm);
  }
  unlock_state(fm);
}

// ---- resizing, alignment, clearing, independent allocation

void* internal_realloc(mstate m, void* oldmem, size_t bytes) {
  if (bytes >= max_request) {
    errno = ENOMEM;
    return nullptr;
  }
  lock_state(m);
  mchunkptr oldp = mem2chunk(oldmem);
  size_t oldsize = chunksize(oldp);
  mchunkptr next = chunk_plus_offset(oldp, oldsize);
  mchunkptr newp = nullptr;
  void* extra = nullptr;
  if (!ok_address(m, oldp) || !cinuse(oldp) || !ok_next(oldp, next) || !pinuse(next))
    corruption_error();
  size_t nb = request2size(bytes);
  if (is_mmapped(oldp)) {
    // No remapping: a mapping is kept only when it is not much too large.
    if (!is_small(nb) && oldsize >= nb + word_size && oldsize - nb <= (params_for(m).granularity << 1))
      newp = oldp;
  } else if (oldsize >= nb) {
    size_t rsize = oldsize - nb;
    newp = oldp;
    if (rsize >= min_chunk_size) {
      mchunkptr remainder = chunk_plus_offset(newp, nb);
      set_inuse(m, newp, nb);
      set_inuse(m, remainder, rsize);
      extra = chunk2mem(remainder);
    }
  } else if (next == m->top && oldsize + m->topsize > nb) {
    size_t newsize = oldsize + m->topsize;
    size_t newtopsize = newsize - nb;
    mchunkptr newtop = chunk_plus_offset(oldp, nb);
    set_inuse(m, oldp, nb);
    newtop->head = newtopsize | pinuse_bit;
    m->top = newtop;
    m->topsize = newtopsize;
    newp = oldp;
  }
  unlock_state(m);
  if (newp) {
    if (extra) internal_free(m, extra);
    return chunk2mem(newp);
  }
  void* newmem = internal_malloc(m, bytes);
  if (newmem) {
    size_t oc = oldsize - chunk_overhead;
    std::memcpy(newmem, oldmem, oc < bytes ? oc : bytes);
    internal_free(m, oldmem);
  }
  return newmem;
}

void* internal_memalign(mstate m, size_t align, size_t bytes) {
  if (align <= alignment) return internal_malloc(m, bytes);
  if (align < min_chunk_size) align = min_chunk_size;
  if (align & (align - 1)) {
    size_t a = alignment << 1;
    while (a < align) a <<= 1;
    align = a;
  }
  if (align >= max_request || bytes >= max_request - align) {
    errno = ENOMEM;
    return nullptr;
  }
  size_t nb = request2size(bytes);
  size_t req = nb + align + min_chunk_size - chunk_overhead;
  char* mem = (char*)internal_malloc(m, req);
  if (!mem) return nullptr;
  void* leader = nullptr;
  void* trailer = nullptr;
  lock_state(m);
  mchunkptr p = mem2chunk(mem);
  if ((size_t)mem % align != 0) {
    // The first aligned spot that leaves room for a chunk in front of it.
    char* br = (char*)mem2chunk((void*)(((size_t)mem + align - 1) & (0 - align)));
    char* pos = (size_t)(br - (char*)p) >= min_chunk_size ? br : br + align;
    mchunkptr newp = (mchunkptr)pos;
    size_t leadsize = pos - (char*)p;
    size_t newsize = chunksize(p) - leadsize;
    if (is_mmapped(p)) {
      newp->prev_foot = p->prev_foot + leadsize;
      newp->head = newsize | cinuse_bit;
    } else {
      set_inuse(m, newp, newsize);
      set_inuse(m, p, leadsize);
      leader = chunk2mem(p);
    }
    p = newp;
  }
  if (!is_mmapped(p)) {
    size_t size = chunksize(p);
    if (size > nb + min_chunk_size) {
      size_t remainder_size = size - nb;
      mchunkptr remainder = chunk_plus_offset(p, nb);
      set_inuse(m, p, nb);
      set_inuse(m, remainder, remainder_size);
      trailer = chunk2mem(remainder);
    }
  }
  unlock_state(m);
  if (leader) internal_free(m, leader);
  if (trailer) internal_free(m, trailer);
  return chunk2mem(p);
}

namespace {

void* internal_calloc(mstate m, size_t count, size_t elem_size) {
  // A product that wraps makes the request impossible; a count of 0 asks for a minimal block.
  size_t req;
  if (__builtin_mul_overflow(count, elem_size, &req)) req = ~(size_t)0;
  // Whether the chunk is a fresh mapping (already zero) is read under the space's lock: the
  // word before an ordinary chunk is its free neighbour's footer, which other threads rewrite.
  lock_state(m);
  void* mem = internal_malloc(m, req);
  bool fresh_mapping = mem && is_mmapped(mem2chunk(mem));
  unlock_state(m);
  if (mem && !fresh_mapping) std::memset(mem, 0, req);
  return mem;
}

}  // namespace

void** ialloc(mstate m, size_t n, size_t* sizes, int opts, void* chunks[]) {
  void** marray;
  size_t array_size;
  if (chunks) {
    if (n == 0) return chunks;
    marray = chunks;
    array_size = 0;
  } else {
    if (n == 0) return (void**)internal_malloc(m, 0);
    marray = nullptr;
    size_t bytes;
    if (__builtin_mul_overflow(n, sizeof(void*), &bytes) || bytes >= max_request) {
      errno = ENOMEM;
      return nullptr;
    }
    array_size = request2size(bytes);
  }
  size_t element_size = 0, contents_size = 0;
  if (opts & 1) {
    if (*sizes >= max_request) {
      errno = ENOMEM;
      return nullptr;
    }
    element_size = request2size(*sizes);
    if (__builtin_mul_overflow(n, element_size, &contents_size)) {
      errno = ENOMEM;
      return nullptr;
    }
  } else {
    for (size_t i = 0; i < n; ++i) {
      if (sizes[i] >= max_request || __builtin_add_overflow(contents_size, request2size(sizes[i]), &contents_size)) {
        errno = ENOMEM;
        return nullptr;
      }
    }
  }
  size_t size;
  if (__builtin_add_overflow(contents_size, array_size, &size) || size >= max_request) {
    errno = ENOMEM;
    return nullptr;
  }
  // One chunk carved into many: it must not be a direct mapping.
  lock_state(m);
  unsigned was = m->mflags & use_mmap_bit;
  m->mflags &= ~use_mmap_bit;
  void* mem = internal_malloc(m, size - chunk_overhead);
  m->mflags |= was;
  if (!mem) {
    unlock_state(m);
    return nullptr;
  }
  mchunkptr p = mem2chunk(mem);
  size_t remainder_size = chunksize(p);
  if (opts & 2) std::memset(mem, 0, remainder_size - chunk_overhead - array_size);
  if (!marray) {
    mchunkptr array_chunk = chunk_plus_offset(p, contents_size);
    size_t array_chunk_size = remainder_size - contents_size;
    marray = (void**)chunk2mem(array_chunk);
    set_size_and_pinuse_of_inuse_chunk(m, array_chunk, array_chunk_size);
    remainder_size = contents_size;
  }
  for (size_t i = 0;; ++i) {
    marray[i] = chunk2mem(p);
    if (i != n - 1) {
      size_t s = element_size ? element_size : request2size(sizes[i]);
      remainder_size -= s;
      set_size_and_pinuse_of_inuse_chunk(m, p, s);
      p = chunk_plus_offset(p, s);
    } else {
      set_size_and_pinuse_of_inuse_chunk(m, p, remainder_size);
      break;
    }
  }
  unlock_state(m);
  return marray;
}

// ---- summaries

ned_mallinfo internal_mallinfo(mstate m) {
  ned_mallinfo nm{};
  lock_state(m);
  if (is_initialized(m)) {
    size_t nfree = 1;
    size_t mfree = m->topsize + top_reserve;
    size_t sum = mfree;
    for (malloc_segment* s = &m->seg; s; s = s->next) {
      mchunkptr q = align_as_chunk(s->base);
      while (segment_holds(s, q) && q != m->top && q->head != fencepost_head) {
        size_t sz = chunksize(q);
        sum += sz;
        if (!cinuse(q)) {
          mfree += sz;
          ++nfree;
        }
        q = next_chunk(q);
      }
    }
    nm.arena = sum;
    nm.ordblks = nfree;
    nm.hblkhd = m->footprint - sum;
    nm.usmblks = m->max_footprint;
    nm.uordblks = m->footprint - mfree;
    nm.fordblks = mfree;
    nm.keepcost = m->topsize;
  }
  unlock_state(m);
  return nm;
}

void internal_malloc_stats(mstate m) {
  size_t maxfp = 0, fp = 0, used = 0;
  lock_state(m);
  if (is_initialized(m)) {
    maxfp = m->max_footprint;
    fp = m->footprint;
    used = fp - (m->topsize + top_reserve);
    for (malloc_segment* s = &m->seg; s; s = s->next) {
      mchunkptr q = align_as_chunk(s->base);
      while (segment_holds(s, q) && q != m->top && q->head != fencepost_head) {
        if (!cinuse(q)) used -= chunksize(q);
        q = next_chunk(q);
      }
    }
  }
  std::fprintf(stderr, "max system bytes = %10lu\n", (unsigned long)maxfp);
  std::fprintf(stderr, "system bytes     = %10lu\n", (unsigned long)fp);
  std::fprintf(stderr, "in use bytes     = %10lu\n", (unsigned long)used);
  unlock_state(m);
}

}  // namespace heap

using namespace heap;

// ---- memory-space entry points

namespace {

mstate checked_space(mspace msp) {
  mstate ms = (mstate)msp;
  if (!ok_magic(ms)) corruption_error();
  return ms;
}

// The owning space of an in-use block, through its footer.
mstate space_of_block(const void* mem) {
  mstate fm = get_mstate_for(mem2chunk(mem), mparams.magic);
  if (!ok_magic(fm)) corruption_error();
  return fm;
}

}  // namespace

void* mspace_malloc(mspace msp, size_t bytes) { return internal_malloc(checked_space(msp), bytes); }

void mspace_free(mspace, void* mem) {
  if (mem) internal_free(space_of_block(mem), mem);
}

void* mspace_calloc(mspace msp, size_t count, size_t elem_size) {
  return internal_calloc(checked_space(msp), count, elem_size);
}

void* mspace_realloc(mspace msp, void* mem, size_t bytes) {
  if (!mem) return mspace_malloc(msp, bytes);
  return internal_realloc(space_of_block(mem), mem, bytes);
}

void* mspace_memalign(mspace msp, size_t align, size_t bytes) {
  return internal_memalign(checked_space(msp), align, bytes);
}

void** mspace_independent_calloc(mspace msp, size_t count, size_t elem_size, void* chunks[]) {
  size_t sz = elem_size;
  return ialloc(checked_space(msp), count, &sz, 3, chunks);
}

void** mspace_independent_comalloc(mspace msp, size_t count, size_t sizes[], void* chunks[]) {
  return ialloc(checked_space(msp), count, sizes, 0, chunks);
}

ned_mallinfo mspace_mallinfo(mspace msp) { return internal_mallinfo(checked_space(msp)); }

void mspace_malloc_stats(mspace msp) { internal_malloc_stats(checked_space(msp)); }

size_t mspace_usable_size(const void* mem) {
  if (!mem) return 0;
  mchunkptr p = mem2chunk(mem);
  return cinuse(p) ? chunksize(p) - chunk_overhead : 0;
}

// ---- process heap: one unlocked state, `_gm_`

namespace {

mstate gm() {
  init_mparams();
  return &_gm_;
}

mstate gm_block(void* mem) {
  mstate fm = get_mstate_for(mem2chunk(mem), gparams.magic);
  if (fm != &_gm_) corruption_error();
  return fm;
}

}  // namespace

void* dlmalloc(size_t bytes) { return internal_malloc(gm(), bytes); }

void dlfree(void* mem) {
  if (mem) internal_free(gm_block(mem), mem);
}

void* dlcalloc(size_t count, size_t elem_size) { return internal_calloc(gm(), count, elem_size); }

void* dlrealloc(void* mem, size_t bytes) {
  if (!mem) return dlmalloc(bytes);
  return internal_realloc(gm_block(mem), mem, bytes);
}

void* dlmemalign(size_t align, size_t bytes) { return internal_memalign(gm(), align, bytes); }

void* dlvalloc(size_t bytes) {
  mstate m = gm();
  return internal_memalign(m, gparams.page_size, bytes);
}

void* dlpvalloc(size_t bytes) {
  mstate m = gm();
  size_t ps = gparams.page_size;
  if (bytes >= max_request) {
    errno = ENOMEM;
    return nullptr;
  }
  return internal_memalign(m, ps, (bytes + ps - 1) & ~(ps - 1));
}

void** dlindependent_calloc(size_t count, size_t elem_size, void* chunks[]) {
  size_t sz = elem_size;
  return ialloc(gm(), count, &sz, 3, chunks);
}

void** dlindependent_comalloc(size_t count, size_t sizes[], void* chunks[]) {
  return ialloc(gm(), count, sizes, 0, chunks);
}

ned_mallinfo dlmallinfo() { return internal_mallinfo(gm()); }

void dlmalloc_stats() { internal_malloc_stats(gm()); }

size_t dlmalloc_usable_size(void* mem) { return mspace_usable_size(mem); }
