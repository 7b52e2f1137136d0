// The invariant checker of a memory space: walks every segment and every bin and reports the
// first broken rule as text ("" when the space is sound). Header-only so that the libFuzzer
// target can use it without the test libraries.
#pragma once

#include <cstdio>
#include <set>
#include <string>

#include "runtime/memory/memory_space_internal.h"

namespace memory_checker {

using namespace heap;

inline std::string fail(const char* what, const void* where, size_t value = 0) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "%s at %p (value %zu)", what, where, value);
  return buf;
}

struct tree_walk {
  mstate m;
  unsigned index;
  std::set<const void*>* members;
  std::string error;

  // Every chunk below a node agrees with the size bits on the path to it.
  void node(tchunkptr t, tchunkptr parent, unsigned depth, size_t path_bits) {
    if (!error.empty()) return;
    size_t size = chunksize((mchunkptr)t);
    size_t lo = minsize_for_tree_index(index);
    size_t hi = index + 1 < tree_bin_count ? minsize_for_tree_index(index + 1) : ~(size_t)0;
    if (size < lo || size >= hi) { error = fail("tree chunk in the wrong bin", t, size); return; }
    if (t->index != index) { error = fail("tree chunk with a wrong index", t, t->index); return; }
    if (t->parent != parent) { error = fail("tree chunk with a wrong parent", t); return; }
    size_t shifted = size << leftshift_for_tree_index(index);
    if (depth > 0 && (shifted >> (64 - depth)) != path_bits) {
      error = fail("tree chunk under the wrong bit", t, size);
      return;
    }
    // The ring of equal sizes hanging on this node.
    tchunkptr u = t;
    do {
      if (chunksize((mchunkptr)u) != size) { error = fail("ring member of another size", u); return; }
      if (cinuse((mchunkptr)u)) { error = fail("in-use chunk in a tree bin", u); return; }
      if (u->fd->bk != u || u->bk->fd != u) { error = fail("broken ring links", u); return; }
      if (u != t && u->parent != nullptr) { error = fail("ring member with a parent", u); return; }
      if (!members->insert(u).second) { error = fail("chunk twice in the bins", u); return; }
      u = u->fd;
    } while (u != t);
    for (unsigned k = 0; k < 2; ++k)
      if (t->child[k]) node(t->child[k], t, depth + 1, (path_bits << 1) | k);
  }
};

inline std::string check_space(mspace msp) {
  mstate m = (mstate)msp;
  if (!ok_magic(m)) return fail("bad magic", m);
  if (!is_initialized(m)) return "";
  std::set<const void*> binned;

  for (unsigned i = 0; i < small_bin_count; ++i) {
    mchunkptr b = smallbin_at(m, i);
    bool marked = (m->smallmap >> i) & 1;
    // An emptied bin keeps stale links; only the map says whether it is empty.
    if (!marked) continue;
    if (b->fd == b) return fail("small-bin map disagrees with the bin", b, i);
    for (mchunkptr p = b->fd; p != b; p = p->fd) {
      if (p->fd->bk != p || p->bk->fd != p) return fail("broken small-bin links", p);
      if (chunksize(p) != small_index2size(i)) return fail("chunk in the wrong small bin", p, chunksize(p));
      if (cinuse(p)) return fail("in-use chunk in a small bin", p);
      if (!binned.insert(p).second) return fail("chunk twice in the bins", p);
    }
  }
  for (unsigned i = 0; i < tree_bin_count; ++i) {
    tchunkptr t = *treebin_at(m, i);
    bool marked = (m->treemap >> i) & 1;
    if ((t != nullptr) != marked) return fail("tree-bin map disagrees with the bin", treebin_at(m, i), i);
    if (!t) continue;
    tree_walk w{m, i, &binned, ""};
    w.node(t, (tchunkptr)treebin_at(m, i), 0, 0);
    if (!w.error.empty()) return w.error;
  }
  if (m->dvsize) {
    if (binned.count(m->dv)) return fail("designated victim in a bin", m->dv);
    if (chunksize(m->dv) != m->dvsize || cinuse(m->dv)) return fail("bad designated victim", m->dv, m->dvsize);
  }

  // Walk every segment's chunks.
  size_t walked_free_in_bins = 0, sum = m->topsize + top_reserve, mfree = sum, nfree = 1;
  bool top_seen = false;
  for (malloc_segment* s = &m->seg; s; s = s->next) {
    if (s->base < m->least_addr) return fail("segment below the lowest address", s->base);
    mchunkptr q = align_as_chunk(s->base);
    bool prev_inuse = true;
    while (segment_holds(s, q) && q->head != fencepost_head) {
      if ((size_t)chunk2mem(q) & align_mask) return fail("misaligned chunk", q);
      if (pinuse(q) != prev_inuse) return fail("previous-in-use bit disagrees", q);
      if (q == m->top) {
        top_seen = true;
        if (s != &m->seg) return fail("top outside the newest segment", q);
        if (chunksize(q) != m->topsize) return fail("top size disagrees", q, chunksize(q));
        if (!pinuse(q)) return fail("free chunk before the top", q);
        if (chunk_plus_offset(q, m->topsize)->head != top_reserve) return fail("top reserve lost", q);
        if ((char*)q + m->topsize + top_reserve != s->base + s->size) return fail("top does not end its segment", q);
        break;
      }
      size_t sz = chunksize(q);
      if (sz < min_chunk_size || (sz & align_mask)) return fail("bad chunk size", q, sz);
      mchunkptr next = chunk_plus_offset(q, sz);
      if (!segment_holds(s, (char*)next + word_size)) return fail("chunk runs past its segment", q, sz);
      sum += sz;
      if (cinuse(q)) {
        if ((next->prev_foot ^ m->magic) != (size_t)m) return fail("bad footer", q);
      } else {
        if (!prev_inuse) return fail("two free chunks side by side", q);
        if (next->prev_foot != sz) return fail("free chunk's size not repeated after it", q, sz);
        if (q != m->dv) {
          if (!binned.count(q)) return fail("free chunk in no bin", q, sz);
          ++walked_free_in_bins;
        }
        mfree += sz;
        ++nfree;
      }
      prev_inuse = cinuse(q);
      q = next;
    }
  }
  if (!top_seen) return fail("top not found", m->top);
  if (walked_free_in_bins != binned.size()) return fail("bin member outside the segments", nullptr, binned.size());
  ned_mallinfo info = internal_mallinfo(m);
  if (info.arena != sum || info.fordblks != mfree || info.ordblks != nfree ||
      info.uordblks != m->footprint - mfree || info.hblkhd != m->footprint - sum)
    return fail("summary totals disagree with the walk", m, info.arena);
  if (m->footprint > m->max_footprint) return fail("footprint above its maximum", m, m->footprint);
  return "";
}

}  // namespace memory_checker
