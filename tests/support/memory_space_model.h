// A differential run over one fresh memory space: a stream of operation codes (from a seeded
// generator or from the fuzzer) drives malloc, free, realloc, memalign, calloc and independent
// allocation; after every step the invariant checker runs, and a model of the live blocks proves
// that no two overlap and that no byte written into a block is lost.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/memory_space_checker.h"

namespace memory_checker {

// Source of choices: bytes from the fuzzer, or a seeded generator.
class choice_source {
 public:
  choice_source(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit choice_source(uint64_t seed) : seeded_(true), state_(seed * 2654435761u + 1) {}
  bool exhausted() const { return !seeded_ && pos_ >= size_; }
  uint32_t next() {
    if (seeded_) {
      state_ ^= state_ << 13;
      state_ ^= state_ >> 7;
      state_ ^= state_ << 17;
      return (uint32_t)(state_ >> 11);
    }
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | (pos_ < size_ ? data_[pos_++] : 0);
    return v;
  }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  bool seeded_ = false;
  uint64_t state_ = 0;
};

class space_model {
 public:
  explicit space_model(mspace space) : space_(space) {}
  ~space_model() {
    for (auto& kv : live_) mspace_free(space_, kv.second.mem);
  }

  // Runs up to `steps` operations; returns "" or the first fault found.
  std::string run(choice_source& src, size_t steps) {
    for (size_t i = 0; i < steps && !src.exhausted(); ++i) {
      std::string err = step(src);
      if (err.empty()) err = check_space(space_);
      if (!err.empty()) return "step " + std::to_string(i) + ": " + err;
    }
    // Every byte of every live block still holds its pattern.
    for (auto& kv : live_)
      if (!intact(kv.second)) return fail("content lost", kv.second.mem, kv.second.size);
    return "";
  }

  size_t live_blocks() const { return live_.size(); }

 private:
  struct block {
    void* mem;
    size_t size;
    uint8_t tag;
  };

  static size_t pick_size(uint32_t r) {
    uint32_t kind = r % 100, v = r / 100;
    if (kind < 55) return v % 257;                  // 0..256: small bins and the edge
    if (kind < 85) return 257 + v % 8192;           // tree bins
    if (kind < 95) return 8192 + v % (200 * 1024);  // larger tree chunks
    return 200 * 1024 + v % (3 * 1024 * 1024);      // around and above the direct-map threshold
  }

  static bool intact(const block& b) {
    const uint8_t* p = (const uint8_t*)b.mem;
    for (size_t i = 0; i < b.size; ++i)
      if (p[i] != (uint8_t)(b.tag + i * 7)) return false;
    return true;
  }
  static void fill(block& b, size_t from) {
    uint8_t* p = (uint8_t*)b.mem;
    for (size_t i = from; i < b.size; ++i) p[i] = (uint8_t)(b.tag + i * 7);
  }

  std::string add(void* mem, size_t size) {
    if ((uintptr_t)mem % memory_layout::alignment) return fail("misaligned block", mem);
    if (mspace_usable_size(mem) < size) return fail("block smaller than asked", mem, size);
    char* lo = (char*)mem;
    char* hi = lo + (size ? size : 1);
    auto it = live_.lower_bound(mem);
    if (it != live_.end() && (char*)it->first < hi) return fail("blocks overlap", mem, size);
    if (it != live_.begin()) {
      --it;
      if ((char*)it->first + (it->second.size ? it->second.size : 1) > lo) return fail("blocks overlap", mem, size);
    }
    block b{mem, size, (uint8_t)(++tag_)};
    fill(b, 0);
    live_[mem] = b;
    return "";
  }

  std::map<void*, block>::iterator pick_live(uint32_t r) {
    auto it = live_.begin();
    std::advance(it, r % live_.size());
    return it;
  }

  std::string step(choice_source& src) {
    uint32_t op = src.next() % 16;
    uint32_t r = src.next();
    if (live_.empty() || live_.size() > 400) op = live_.empty() ? 0 : 8;
    if (op < 6) {  // malloc
      size_t size = pick_size(r);
      void* mem = mspace_malloc(space_, size);
      return mem ? add(mem, size) : fail("malloc failed", nullptr, size);
    }
    if (op < 7) {  // calloc, the product sometimes wrapping
      size_t count = 1 + r % 64, elem = pick_size(src.next()) / count;
      if (r % 17 == 0) {
        if (mspace_calloc(space_, (size_t)1 << 40, (size_t)1 << 40) != nullptr) return "wrapped calloc succeeded";
        count = 0;
      }
      void* mem = mspace_calloc(space_, count, elem);
      if (!mem) return fail("calloc failed", nullptr, count * elem);
      for (size_t i = 0; i < count * elem; ++i)
        if (((uint8_t*)mem)[i]) return fail("calloc block not cleared", mem, i);
      return add(mem, count * elem);
    }
    if (op < 8) {  // memalign
      size_t align = (size_t)16 << (r % 9);
      if (r % 5 == 0) align += 8;  // not a power of two: raised to the next one
      size_t size = pick_size(src.next()) % 70000;
      void* mem = mspace_memalign(space_, align, size);
      if (!mem) return fail("memalign failed", nullptr, size);
      size_t want = 1;
      while (want < align) want <<= 1;
      if ((uintptr_t)mem % want) return fail("memalign block misaligned", mem, want);
      return add(mem, size);
    }
    if (op < 12) {  // free
      auto it = pick_live(r);
      if (!intact(it->second)) return fail("content lost before free", it->first, it->second.size);
      mspace_free(space_, it->first);
      live_.erase(it);
      return "";
    }
    if (op < 15) {  // realloc: the prefix must survive
      auto it = pick_live(r);
      block b = it->second;
      if (!intact(b)) return fail("content lost before realloc", b.mem, b.size);
      size_t size = src.next() % 3 == 0 ? b.size / 2 : pick_size(src.next());
      void* mem = mspace_realloc(space_, b.mem, size);
      if (!mem) return fail("realloc failed", b.mem, size);
      live_.erase(it);
      block nb{mem, size < b.size ? size : b.size, b.tag};
      if (!intact(nb)) return fail("realloc lost content", mem, nb.size);
      if (mspace_usable_size(mem) < size) return fail("realloc block too small", mem, size);
      std::string err = add(mem, size);
      if (!err.empty()) return err;
      // add() refilled the block with a new tag; that is as good as the old one.
      return "";
    }
    // independent allocation of a few elements, each a live block of its own
    size_t n = 1 + r % 5;
    size_t sizes[5];
    for (size_t i = 0; i < n; ++i) sizes[i] = src.next() % 600;
    void* ptrs[5];
    if (!mspace_independent_comalloc(space_, n, sizes, ptrs)) return "independent_comalloc failed";
    for (size_t i = 0; i < n; ++i) {
      std::string err = add(ptrs[i], sizes[i]);
      if (!err.empty()) return err;
    }
    return "";
  }

  mspace space_;
  std::map<void*, block> live_;
  unsigned tag_ = 0;
};

}  // namespace memory_checker
