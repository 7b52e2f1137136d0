// Memory spaces: boundaries of the 64-bit layout, growth, trimming and unmapping, and a seeded
// differential run with the invariant checker after every step.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/memory_info.h"
#include "runtime/memory/memory_space_internal.h"
#include "support/memory_space_checker.h"
#include "support/memory_space_model.h"

using namespace memory_layout;
using memory_checker::check_space;

namespace {

// Counts the heap's system calls and can place the next mapping at a chosen address.
struct counting_pages {
  static inline int maps = 0, unmaps = 0;
  static inline void* next_at = nullptr;
  static void* map(size_t bytes) {
    ++maps;
    void* want = next_at;
    next_at = nullptr;
    int flags = MAP_PRIVATE | MAP_ANONYMOUS | (want ? MAP_FIXED_NOREPLACE : 0);
    void* p = mmap(want, bytes, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (p == MAP_FAILED || (want && p != want)) return nullptr;
    return p;
  }
  static int unmap(void* base, size_t bytes) {
    ++unmaps;
    return munmap(base, bytes);
  }
};

class MemorySpace : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_page_calls calls{counting_pages::map, counting_pages::unmap};
    old_ = platform_set_page_calls(&calls);
    counting_pages::maps = counting_pages::unmaps = 0;
    space_ = create_mspace(0, 1);
    ASSERT_NE(space_, nullptr);
  }
  void TearDown() override {
    if (space_) destroy_mspace(space_);
    platform_set_page_calls(&old_);
  }
  heap::mstate state() const { return (heap::mstate)space_; }

  platform_page_calls old_{};
  mspace space_ = nullptr;
};

TEST_F(MemorySpace, NewSpaceMapsTwoGranulesAndIsSound) {
  EXPECT_EQ(mspace_footprint(space_), 2 * space_granularity);
  EXPECT_EQ(counting_pages::maps, 1);
  EXPECT_EQ(check_space(space_), "");
}

TEST_F(MemorySpace, RequestBoundaries) {
  // Request 0 gets a minimum chunk.
  void* zero = mspace_malloc(space_, 0);
  ASSERT_NE(zero, nullptr);
  EXPECT_EQ(heap::chunksize(heap::mem2chunk(zero)), min_chunk_size);
  EXPECT_EQ(mspace_usable_size(zero), min_usable);
  // The largest small request comes from the small side, one more from the trees.
  void* small = mspace_malloc(space_, max_small_request);
  void* large = mspace_malloc(space_, max_small_request + 1);
  EXPECT_TRUE(heap::is_small(heap::chunksize(heap::mem2chunk(small))));
  EXPECT_FALSE(heap::is_small(heap::chunksize(heap::mem2chunk(large))));
  for (void* p : {zero, small, large}) EXPECT_EQ((uintptr_t)p % 16, 0u);
  // Impossible requests fail with ENOMEM and no system call.
  int maps = counting_pages::maps;
  for (size_t bad : {max_request, ~(size_t)0, max_request + 12345}) {
    errno = 0;
    EXPECT_EQ(mspace_malloc(space_, bad), nullptr);
    EXPECT_EQ(errno, ENOMEM);
    errno = 0;
    EXPECT_EQ(mspace_memalign(space_, 64, bad), nullptr);
    EXPECT_EQ(errno, ENOMEM);
  }
  EXPECT_EQ(mspace_calloc(space_, (size_t)1 << 33, (size_t)1 << 33), nullptr);
  EXPECT_EQ(counting_pages::maps, maps);
  // A zero count with a large size neither divides by zero nor fails.
  void* cz = mspace_calloc(space_, 0, 70000);
  ASSERT_NE(cz, nullptr);
  EXPECT_EQ(mspace_usable_size(cz), min_usable);
  // Alignment that is not a power of two is raised to the next one.
  void* a = mspace_memalign(space_, 24, 100);
  EXPECT_EQ((uintptr_t)a % 32, 0u);
  for (void* p : {zero, small, large, cz, a}) mspace_free(space_, p);
  EXPECT_EQ(check_space(space_), "");
}

TEST_F(MemorySpace, ReallocKeepsAddressWhenShrinkingOrGrowingIntoTop) {
  void* p = mspace_malloc(space_, 1000);
  std::memset(p, 0x5a, 1000);
  EXPECT_EQ(mspace_realloc(space_, p, 500), p);
  EXPECT_EQ(check_space(space_), "");
  // p is now followed by its freed tail, which merged into the top.
  EXPECT_EQ(mspace_realloc(space_, p, 4000), p);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(((unsigned char*)p)[i], 0x5a);
  EXPECT_EQ(check_space(space_), "");
  mspace_free(space_, p);
}

TEST_F(MemorySpace, DirectMappingIsUnmappedAtOnce) {
  // The top serves what it can; a threshold-sized request beyond it gets its own mapping.
  void* filler = mspace_malloc(space_, state()->topsize - direct_map_threshold / 2);
  ASSERT_NE(filler, nullptr);
  size_t before = mspace_footprint(space_);
  int maps = counting_pages::maps, unmaps = counting_pages::unmaps;
  void* big = mspace_malloc(space_, direct_map_threshold);
  ASSERT_NE(big, nullptr);
  EXPECT_TRUE(heap::is_mmapped(heap::mem2chunk(big)));
  EXPECT_EQ(counting_pages::maps, maps + 1);
  std::memset(big, 1, direct_map_threshold);
  mspace_free(space_, big);
  EXPECT_EQ(counting_pages::unmaps, unmaps + 1);
  EXPECT_EQ(mspace_footprint(space_), before);
  mspace_free(space_, filler);
  EXPECT_EQ(check_space(space_), "");
}

// Trimming tests move the process-wide thresholds and put them back.
class MemorySpaceTrim : public MemorySpace {
 protected:
  void SetUp() override {
    MemorySpace::SetUp();
    mspace_mallopt(-3, 1 << 30);  // no direct mappings: big blocks live in segments
  }
  void TearDown() override {
    mspace_mallopt(-3, (int)direct_map_threshold);
    mspace_mallopt(-1, (int)memory_layout::trim_threshold);
    MemorySpace::TearDown();
  }
};

TEST_F(MemorySpaceTrim, LaterSegmentGivesBackWholeGranules) {
  heap::mstate m = state();
  // Force the new region away from the first segment so that it becomes a segment of its own.
  counting_pages::next_at = m->seg.base + 512 * space_granularity;
  void* big = mspace_malloc(space_, 3 * space_granularity);
  ASSERT_NE(big, nullptr);
  ASSERT_NE(m->seg.next, nullptr) << "a second segment was added";
  EXPECT_EQ(check_space(space_), "");
  int unmaps = counting_pages::unmaps;
  size_t footprint = mspace_footprint(space_);
  mspace_free(space_, big);
  EXPECT_EQ(counting_pages::unmaps, unmaps + 1);
  EXPECT_GT(m->topsize, top_reserve);
  EXPECT_LE(m->topsize, space_granularity + top_reserve);
  EXPECT_EQ(mspace_footprint(space_), footprint - 3 * space_granularity);
  EXPECT_EQ(check_space(space_), "");
}

TEST_F(MemorySpaceTrim, FirstSegmentTopIsNeverShortened) {
  mspace_mallopt(-1, 64 * 1024);  // trim early; a space takes the threshold when it is made
  destroy_mspace(space_);
  space_ = create_mspace(0, 1);
  heap::mstate m = state();
  void* a = mspace_malloc(space_, 600000);
  void* b = mspace_malloc(space_, 100);
  int unmaps = counting_pages::unmaps;
  mspace_free(space_, b);
  mspace_free(space_, a);
  EXPECT_EQ(counting_pages::unmaps, unmaps);
  EXPECT_EQ(m->trim_check, ~(size_t)0) << "automatic trimming stops after a failed attempt";
  EXPECT_EQ(check_space(space_), "");
}

TEST_F(MemorySpace, AdjacentRegionExtendsTheSegment) {
  heap::mstate m = state();
  char* end = m->seg.base + m->seg.size;
  counting_pages::next_at = end;
  size_t seg_size = m->seg.size;
  void* p = mspace_malloc(space_, m->topsize + 1000);
  ASSERT_NE(p, nullptr);
  if (counting_pages::next_at == nullptr && m->seg.next == nullptr) {
    EXPECT_GT(m->seg.size, seg_size);
    EXPECT_EQ(check_space(space_), "");
  } else {
    GTEST_SKIP() << "the address after the space was taken";
  }
  mspace_free(space_, p);
  EXPECT_EQ(check_space(space_), "");
}

TEST(MemorySpaceParams, GranularityMustBeAPowerOfTwoAtLeastAPage) {
  EXPECT_EQ(mspace_mallopt(-2, 3000), 0);
  EXPECT_EQ(mspace_mallopt(-2, 2048), 0);
  EXPECT_EQ(mspace_mallopt(-2, 12288), 0);
  EXPECT_EQ(heap::mparams.granularity, space_granularity);
  EXPECT_EQ(mspace_mallopt(7, 1), 0);
}

TEST(MemorySpaceCreate, WithBaseAndDestroy) {
  alignas(16) static char buf[64 * 1024];
  EXPECT_EQ(create_mspace_with_base(buf, heap::space_overhead, 1), nullptr);
  mspace ext = create_mspace_with_base(buf, sizeof buf, 1);
  ASSERT_NE(ext, nullptr);
  void* p = mspace_malloc(ext, 1000);
  EXPECT_TRUE(p >= (void*)buf && p < (void*)(buf + sizeof buf));
  EXPECT_EQ(check_space(ext), "");
  mspace_free(ext, p);
  EXPECT_EQ(destroy_mspace(ext), 0u) << "external memory is never unmapped";

  mspace sp = create_mspace(0, 1);
  std::vector<void*> blocks;
  for (int i = 0; i < 40; ++i) blocks.push_back(mspace_malloc(sp, 100000));
  heap::mstate m = (heap::mstate)sp;
  size_t total = 0;
  std::vector<std::pair<uintptr_t, size_t>> segs;
  for (heap::malloc_segment* s = &m->seg; s; s = s->next) {
    total += s->size;
    segs.push_back({(uintptr_t)s->base, s->size});
  }
  EXPECT_EQ(destroy_mspace(sp), total);
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    unsigned long lo = std::stoul(line.substr(0, line.find('-')), nullptr, 16);
    for (auto& s : segs) EXPECT_FALSE(lo >= s.first && lo < s.first + s.second) << line;
  }
}

TEST_F(MemorySpace, UnmappingPassReleasesAFreeOlderSegment) {
  heap::mstate m = state();
  // Three segments, placed apart from each other so that none extends or prepends another.
  std::vector<void*> blocks;
  int placed = 0;
  while (m->seg.next == nullptr || m->seg.next->next == nullptr) {
    if (!counting_pages::next_at) counting_pages::next_at = m->seg.base + (size_t)(++placed) * 256 * space_granularity;
    blocks.push_back(mspace_malloc(space_, 150000));
    ASSERT_NE(blocks.back(), nullptr);
  }
  counting_pages::next_at = nullptr;
  // A large block between two small ones, in the newest segment: freeing it and asking again
  // counts large frees without touching the older segments.
  void* guard0 = mspace_malloc(space_, 40);
  void* large = mspace_malloc(space_, 300);
  void* guard1 = mspace_malloc(space_, 40);
  size_t nsegs_before = 0;
  for (heap::malloc_segment* s = &m->seg; s; s = s->next) ++nsegs_before;
  for (void* p : blocks) mspace_free(space_, p);
  EXPECT_EQ(check_space(space_), "");
  int unmaps = counting_pages::unmaps;
  for (unsigned i = 0; i < release_check_period + 1; ++i) {
    mspace_free(space_, large);
    large = mspace_malloc(space_, 300);
  }
  size_t nsegs_after = 0;
  for (heap::malloc_segment* s = &m->seg; s; s = s->next) ++nsegs_after;
  EXPECT_LT(nsegs_after, nsegs_before);
  EXPECT_GT(counting_pages::unmaps, unmaps);
  EXPECT_EQ(check_space(space_), "");
  for (void* p : {guard0, large, guard1}) mspace_free(space_, p);
  EXPECT_EQ(check_space(space_), "");
}

TEST(MemorySpaceDeath, DoubleFreeAndForeignPointerAbort) {
  mspace sp = create_mspace(0, 1);
  void* p = mspace_malloc(sp, 100);
  void* q = mspace_malloc(sp, 100);
  mspace_free(sp, p);
  EXPECT_DEATH(mspace_free(sp, p), "");
  alignas(16) static char foreign[256] = {};
  EXPECT_DEATH(mspace_free(sp, foreign + 64), "");
  mspace_free(sp, q);
  destroy_mspace(sp);
}

TEST(MemorySpaceModel, SeededDifferentialRuns) {
  for (uint64_t seed = 1; seed <= 12; ++seed) {
    mspace sp = create_mspace(seed % 3 == 0 ? 5 * 1024 * 1024 : 0, 1);
    {
      memory_checker::space_model model(sp);
      memory_checker::choice_source src(seed);
      ASSERT_EQ(model.run(src, 3000), "") << "seed " << seed;
    }
    EXPECT_EQ(check_space(sp), "");
    destroy_mspace(sp);
  }
}

TEST(ProcessHeap, SameAlgorithmsWithoutALock) {
  std::vector<void*> v;
  for (size_t s : {0, 1, 100, 240, 5000, 300000}) {
    void* p = dlmalloc(s);
    ASSERT_NE(p, nullptr);
    EXPECT_GE(dlmalloc_usable_size(p), s);
    v.push_back(p);
  }
  void* a = dlmemalign(4096, 100);
  EXPECT_EQ((uintptr_t)a % 4096, 0u);
  void* c = dlcalloc(10, 10);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(((char*)c)[i], 0);
  void* r = dlrealloc(v[2], 10000);
  v[2] = r;
  EXPECT_EQ(check_space(&heap::_gm_), "");
  for (void* p : v) dlfree(p);
  dlfree(a);
  dlfree(c);
  EXPECT_EQ(check_space(&heap::_gm_), "");
  EXPECT_GT(dlmallinfo().arena, 0u);
}

}  // namespace
