// The heap's system side: parameters, growth by new mappings (extending, prepending or adding
// segments), direct mappings for large requests, trimming the top, unmapping free segments, and
// the creation and destruction of memory spaces. Both configurations grow by mappings only: the
// program break belongs to the C library's malloc, which the rest of the process still uses.
#include <cerrno>
#include <cstring>
#include <ctime>
#include <new>

#include "platform/memory_info.h"
#include "runtime/memory/memory_space_internal.h"

namespace heap {

malloc_params mparams;
malloc_params gparams;
malloc_state _gm_;

namespace {

spin_lock magic_init_mutex;
std::atomic<bool> mparams_ready{false};

inline size_t granularity_align(const malloc_params& mp, size_t s) {
  // A size that is already a multiple still gets one more granule.
  return (s + mp.granularity) & ~(mp.granularity - 1);
}


void note_footprint(mstate m, size_t grown) {
  if ((m->footprint += grown) > m->max_footprint) m->max_footprint = m->footprint;
}

malloc_segment* segment_holding(mstate m, const void* addr) {
  for (malloc_segment* sp = &m->seg; sp; sp = sp->next)
    if (segment_holds(sp, addr)) return sp;
  return nullptr;
}

// Whether any segment record lies inside the segment (the first segment of a space holds the
// state and with it the newest record).
bool has_segment_link(mstate m, malloc_segment* ss) {
  for (malloc_segment* sp = &m->seg; sp; sp = sp->next)
    if ((char*)sp >= ss->base && (char*)sp < ss->base + ss->size) return true;
  return false;
}

// A large request with its own mapping: the chunk, its footer, a fence post and a zero word.
void* mmap_alloc(mstate m, size_t nb) {
  const malloc_params& mp = params_for(m);
  size_t mmsize = granularity_align(mp, nb + direct_map_request_pad);
  if (mmsize <= nb) return nullptr;
  char* mm = (char*)platform_map_pages(mmsize);
  if (!mm) return nullptr;
  size_t offset = align_offset(chunk2mem(mm));
  size_t psize = mmsize - offset - direct_map_foot_pad;
  mchunkptr p = (mchunkptr)(mm + offset);
  p->prev_foot = offset | mmapped_bit;
  p->head = psize | cinuse_bit;
  mark_inuse_foot(m, p, psize);
  chunk_plus_offset(p, psize)->head = fencepost_head;
  chunk_plus_offset(p, psize + word_size)->head = 0;
  if (!m->least_addr || mm < m->least_addr) m->least_addr = mm;
  note_footprint(m, mmsize);
  return chunk2mem(p);
}

// A region just below an existing segment: the request is served from its start and the rest
// joins the old segment's first chunk.
void* prepend_alloc(mstate m, char* newbase, char* oldbase, size_t nb) {
  mchunkptr p = align_as_chunk(newbase);
  mchunkptr oldfirst = align_as_chunk(oldbase);
  size_t psize = (char*)oldfirst - (char*)p;
  mchunkptr q = chunk_plus_offset(p, nb);
  size_t qsize = psize - nb;
  set_size_and_pinuse_of_inuse_chunk(m, p, nb);
  if (oldfirst == m->top) {
    size_t tsize = m->topsize += qsize;
    m->top = q;
    q->head = tsize | pinuse_bit;
  } else if (oldfirst == m->dv) {
    size_t dsize = m->dvsize += qsize;
    m->dv = q;
    set_size_and_pinuse_of_free_chunk(q, dsize);
  } else {
    if (!cinuse(oldfirst)) {
      size_t nsize = chunksize(oldfirst);
      unlink_chunk(m, oldfirst, nsize);
      oldfirst = chunk_plus_offset(oldfirst, nsize);
      qsize += nsize;
    }
    set_free_with_pinuse(q, qsize, oldfirst);
    insert_chunk(m, q, qsize);
  }
  return chunk2mem(p);
}

// A region that touches nothing: it becomes the newest segment and holds the top. The old
// newest segment's record moves into the old top's reserve, followed by fence posts.
void add_segment(mstate m, char* tbase, size_t tsize, unsigned mmapped) {
  char* old_top = (char*)m->top;
  malloc_segment* oldsp = segment_holding(m, old_top);
  if (!oldsp) corruption_error();
  char* old_end = oldsp->base + oldsp->size;
  size_t ssize = pad_request(sizeof(malloc_segment));
  char* rawsp = old_end - (ssize + 4 * word_size + align_mask);
  size_t offset = align_offset(chunk2mem(rawsp));
  char* asp = rawsp + offset;
  char* csp = asp < old_top + min_chunk_size ? old_top : asp;
  mchunkptr sp = (mchunkptr)csp;
  malloc_segment* ss = (malloc_segment*)chunk2mem(sp);
  mchunkptr tnext = chunk_plus_offset(sp, ssize);
  mchunkptr p = tnext;

  init_top(m, (mchunkptr)tbase, tsize - top_reserve);

  set_size_and_pinuse_of_inuse_chunk(m, sp, ssize);
  *ss = m->seg;
  m->seg.base = tbase;
  m->seg.size = tsize;
  m->seg.sflags = mmapped;
  m->seg.next = ss;

  for (;;) {
    mchunkptr nextp = chunk_plus_offset(p, word_size);
    p->head = fencepost_head;
    if ((char*)&nextp->head < old_end)
      p = nextp;
    else
      break;
  }

  if (csp != old_top) {
    mchunkptr q = (mchunkptr)old_top;
    size_t psize = csp - old_top;
    mchunkptr tn = chunk_plus_offset(q, psize);
    set_free_with_pinuse(q, psize, tn);
    insert_chunk(m, q, psize);
  }
}

}  // namespace

void init_mparams() {
  if (mparams_ready.load(std::memory_order_acquire)) return;
  acquire_lock(&magic_init_mutex);
  if (!mparams_ready.load(std::memory_order_relaxed)) {
    mparams.mmap_threshold = direct_map_threshold;
    mparams.trim_threshold = memory_layout::trim_threshold;
    mparams.default_mflags = use_mmap_bit | use_lock_bit | noncontiguous_bit;
    size_t s = (size_t)std::time(nullptr) ^ (size_t)0x5555555555555555ULL;
    s |= 8;
    s &= ~(size_t)7;
    mparams.magic = s;
    mparams.page_size = space_page_size;
    mparams.granularity = space_granularity;

    gparams.mmap_threshold = direct_map_threshold;
    gparams.trim_threshold = memory_layout::trim_threshold;
    gparams.default_mflags = use_mmap_bit;
    gparams.magic = 0x5858585858585858ULL;
    long ps = platform_page_size();
    if (ps <= 0 || (ps & (ps - 1)) != 0) corruption_error();
    gparams.page_size = (size_t)ps;
    gparams.granularity = (size_t)ps;
    _gm_.mflags = gparams.default_mflags | process_heap_bit;
    mparams_ready.store(true, std::memory_order_release);
  }
  release_lock(&magic_init_mutex);
}

void* sys_alloc(mstate m, size_t nb) {
  const malloc_params& mp = params_for(m);
  if (nb >= max_request) {
    errno = ENOMEM;
    return nullptr;
  }
  if ((m->mflags & use_mmap_bit) && nb >= mp.mmap_threshold) {
    void* mem = mmap_alloc(m, nb);
    if (mem) return mem;
  }
  char* tbase = nullptr;
  size_t tsize = 0;
  size_t req = nb + top_reserve + 1;
  size_t rsize = granularity_align(mp, req);
  if (rsize > nb) {
    tbase = (char*)platform_map_pages(rsize);
    if (tbase) tsize = rsize;
  }
  if (!tbase) {
    errno = ENOMEM;
    return nullptr;
  }
  const unsigned mmap_flag = segment_mapped;
  note_footprint(m, tsize);
  if (!is_initialized(m)) {
    // The process heap's first region.
    m->seg.base = m->least_addr = tbase;
    m->seg.size = tsize;
    m->seg.sflags = mmap_flag;
    m->magic = mp.magic;
    m->release_checks = release_check_period;
    init_bins(m);
    init_top(m, (mchunkptr)tbase, tsize - top_reserve);
  } else {
    malloc_segment* sp = &m->seg;
    while (sp && tbase != sp->base + sp->size) sp = sp->next;
    if (sp && !(sp->sflags & segment_external) && (sp->sflags & segment_mapped) == mmap_flag &&
        segment_holds(sp, m->top)) {
      sp->size += tsize;
      init_top(m, m->top, m->topsize + tsize);
    } else {
      if (tbase < m->least_addr) m->least_addr = tbase;
      sp = &m->seg;
      while (sp && sp->base != tbase + tsize) sp = sp->next;
      if (sp && !(sp->sflags & segment_external) && (sp->sflags & segment_mapped) == mmap_flag) {
        char* oldbase = sp->base;
        sp->base = tbase;
        sp->size += tsize;
        return prepend_alloc(m, tbase, oldbase, nb);
      }
      add_segment(m, tbase, tsize, mmap_flag);
    }
  }
  if (nb < m->topsize) return take_from_top(m, nb);
  errno = ENOMEM;
  return nullptr;
}

size_t release_unused_segments(mstate m) {
  size_t released = 0;
  size_t nsegs = 0;
  malloc_segment* pred = &m->seg;
  malloc_segment* sp = pred->next;
  while (sp) {
    char* base = sp->base;
    size_t size = sp->size;
    malloc_segment* next = sp->next;
    ++nsegs;
    if ((sp->sflags & segment_mapped) && !(sp->sflags & segment_external)) {
      mchunkptr p = align_as_chunk(base);
      size_t psize = chunksize(p);
      if (!cinuse(p) && (char*)p + psize >= base + size - top_reserve) {
        tchunkptr tp = (tchunkptr)p;
        if (p == m->dv) {
          m->dv = nullptr;
          m->dvsize = 0;
        } else {
          unlink_large_chunk(m, tp);
        }
        if (platform_unmap_pages(base, size) == 0) {
          released += size;
          m->footprint -= size;
          sp = pred;  // the record went with the segment
          sp->next = next;
        } else {
          insert_large_chunk(m, tp, psize);
        }
      }
    }
    pred = sp;
    sp = next;
  }
  m->release_checks = nsegs > release_check_period ? nsegs : release_check_period;
  return released;
}

int sys_trim(mstate m, size_t pad) {
  size_t released = 0;
  if (pad < max_request && is_initialized(m)) {
    const malloc_params& mp = params_for(m);
    pad += top_reserve;
    if (m->topsize > pad) {
      size_t unit = mp.granularity;
      size_t extra = ((m->topsize - pad + (unit - 1)) / unit - 1) * unit;
      malloc_segment* sp = segment_holding(m, m->top);
      if (sp && extra && !(sp->sflags & segment_external) && (sp->sflags & segment_mapped) &&
          sp->size >= extra && !has_segment_link(m, sp)) {
        size_t newsize = sp->size - extra;
        if (platform_unmap_pages(sp->base + newsize, extra) == 0) released = extra;
      }
      if (released) {
        sp->size -= released;
        m->footprint -= released;
        init_top(m, m->top, m->topsize - released);
      }
    }
    released += release_unused_segments(m);
    if (!released && m->topsize > m->trim_check) m->trim_check = ~(size_t)0;
  }
  return released != 0;
}

mstate init_user_mstate(char* tbase, size_t tsize) {
  mchunkptr msp = align_as_chunk(tbase);
  mstate m = (mstate)chunk2mem(msp);
  std::memset((void*)m, 0, state_size - chunk_overhead);
  new (&m->mutex) spin_lock();
  m->magic = mparams.magic;
  msp->head = state_size | pinuse_bit | cinuse_bit;
  mark_inuse_foot(m, msp, state_size);
  m->seg.base = m->least_addr = tbase;
  m->seg.size = m->footprint = m->max_footprint = tsize;
  m->release_checks = release_check_period;
  m->mflags = mparams.default_mflags | noncontiguous_bit;
  init_bins(m);
  mchunkptr mn = next_chunk(msp);
  init_top(m, mn, (size_t)((tbase + tsize) - (char*)mn) - top_reserve);
  return m;
}

}  // namespace heap

using namespace heap;

namespace {

void set_lock(mstate m, int locked) {
  if (locked)
    m->mflags |= use_lock_bit;
  else
    m->mflags &= ~use_lock_bit;
}

int change_mparam(malloc_params& mp, int param, int value) {
  size_t val = value == -1 ? ~(size_t)0 : (size_t)(unsigned)value;
  switch (param) {
    case -1:
      mp.trim_threshold = val;
      return 1;
    case -2:
      if (value > 0 && val >= mp.page_size && (val & (val - 1)) == 0) {
        mp.granularity = val;
        return 1;
      }
      return 0;
    case -3:
      mp.mmap_threshold = val;
      return 1;
    default:
      return 0;
  }
}

mstate checked(mspace msp) {
  mstate ms = (mstate)msp;
  if (!ok_magic(ms)) corruption_error();
  return ms;
}

}  // namespace

mspace create_mspace(size_t capacity, int locked) {
  init_mparams();
  if (capacity >= max_request - (state_size + mparams.page_size)) return nullptr;
  size_t rs = capacity == 0 ? mparams.granularity : capacity + space_overhead;
  size_t tsize = granularity_align(mparams, rs);
  char* tbase = (char*)platform_map_pages(tsize);
  if (!tbase) return nullptr;
  mstate m = init_user_mstate(tbase, tsize);
  m->seg.sflags = segment_mapped;
  set_lock(m, locked);
  return m;
}

mspace create_mspace_with_base(void* base, size_t capacity, int locked) {
  init_mparams();
  if (capacity <= space_overhead || capacity >= max_request - (state_size + mparams.page_size))
    return nullptr;
  mstate m = init_user_mstate((char*)base, capacity);
  m->seg.sflags = segment_external;
  set_lock(m, locked);
  return m;
}

size_t destroy_mspace(mspace msp) {
  mstate ms = checked(msp);
  size_t freed = 0;
  malloc_segment* sp = &ms->seg;
  while (sp) {
    char* base = sp->base;
    size_t size = sp->size;
    unsigned flag = sp->sflags;
    sp = sp->next;
    if ((flag & segment_mapped) && !(flag & segment_external) && platform_unmap_pages(base, size) == 0)
      freed += size;
  }
  return freed;
}

int mspace_trim(mspace msp, size_t pad) {
  mstate ms = checked(msp);
  lock_state(ms);
  int result = sys_trim(ms, pad);
  unlock_state(ms);
  return result;
}

size_t mspace_footprint(mspace msp) { return checked(msp)->footprint; }
size_t mspace_max_footprint(mspace msp) { return checked(msp)->max_footprint; }

int mspace_mallopt(int param, int value) {
  init_mparams();
  return change_mparam(mparams, param, value);
}

int dlmalloc_trim(size_t pad) {
  init_mparams();
  return sys_trim(&_gm_, pad);
}
size_t dlmalloc_footprint() { return _gm_.footprint; }
size_t dlmalloc_max_footprint() { return _gm_.max_footprint; }
int dlmallopt(int param, int value) {
  init_mparams();
  return change_mparam(gparams, param, value);
}
