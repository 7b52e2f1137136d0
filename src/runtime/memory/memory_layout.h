// Every size, alignment and threshold of the heap, the pooled allocator and their system side,
// in one place. The heap was first laid out for 32-bit words; these values are derived for
// x86_64 (64-bit words, 16-byte alignment as `operator new` must guarantee there) from the same
// rules, so that tests and callers can use the names instead of numbers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace memory_layout {

// Chunk geometry. A chunk is [previous-size word][head word][user bytes...]; the next chunk's
// previous-size word is the footer of an in-use chunk (the owning state XOR the magic).
constexpr size_t word_size = sizeof(size_t);            // 8
constexpr size_t alignment = 16;                         // __STDCPP_DEFAULT_NEW_ALIGNMENT__
constexpr size_t align_mask = alignment - 1;
constexpr size_t chunk_overhead = 2 * word_size;         // head word + footer: 16
constexpr size_t min_chunk_size = 32;                    // prev, head, two links, rounded to 16
constexpr size_t min_request = min_chunk_size - chunk_overhead - 1;  // 15: below it, a minimum chunk
constexpr size_t min_usable = min_chunk_size - chunk_overhead;        // 16

// Bins. Small bins are exact lists indexed by size / 8 (only even indexes are used with a
// 16-byte alignment); the trees hold chunks of 256 bytes and more.
constexpr unsigned small_bin_count = 32;
constexpr unsigned tree_bin_count = 32;
constexpr unsigned small_bin_shift = 3;
constexpr unsigned tree_bin_shift = 8;
constexpr size_t min_large_size = size_t(1) << tree_bin_shift;                 // 256
constexpr size_t max_small_size = min_large_size - 1;                          // 255
constexpr size_t max_small_request = max_small_size - align_mask - chunk_overhead;  // 224

// Requests at or above this fail with ENOMEM before any system call. 2^47 is the whole user
// address space of x86_64, so no valid request is refused and size arithmetic near it cannot
// wrap.
constexpr size_t max_request = size_t(1) << 47;

// System side.
constexpr size_t space_page_size = 4096;
constexpr size_t space_granularity = size_t(1) << 20;   // memory spaces grow in 1 MiB granules
constexpr size_t direct_map_threshold = 256 * 1024;     // requests this large get own mapping
constexpr size_t trim_threshold = 2 * 1024 * 1024;
constexpr unsigned release_check_period = 4095;         // large frees between unmapping passes
// A directly mapped chunk: the mapping holds offset + chunk + footer + fence post + zero word.
constexpr size_t direct_map_foot_pad = 4 * word_size;   // 32
constexpr size_t direct_map_request_pad = 6 * word_size + align_mask;  // 63, added before rounding
constexpr size_t fencepost_head = 3 | word_size;        // both in-use bits and the value 8
// The segment record kept in the top reserve, and the reserve itself.
constexpr size_t segment_record_size = 32;              // base, size, next, flags
constexpr size_t pad_request(size_t req) { return (req + chunk_overhead + align_mask) & ~align_mask; }
constexpr size_t top_reserve = pad_request(segment_record_size) + min_chunk_size;  // 48 + 32 = 80

// Thread caches of the pooled allocator. A cached block holds its age (4 bytes), its bin size
// (4 bytes) and two links (16 bytes): 24 bytes, so the smallest bin is 32 bytes.
constexpr size_t cache_min_request = 32;                // smaller requests are raised to this
constexpr unsigned cache_bin_shift = 5;                 // bin i holds blocks of 2^(i+5) bytes
constexpr unsigned cache_bin_count = 9;                 // 32, 64, ..., 8192
constexpr size_t cache_max_request = 8192;
constexpr size_t cache_max_take_back = cache_max_request + chunk_overhead;  // 8208
constexpr size_t cache_capacity = 512 * 1024;           // reaching this starts an eviction
constexpr unsigned cache_first_eviction_age = cache_capacity / cache_max_request;  // 64
constexpr unsigned pool_cache_slots = 256;
constexpr unsigned pool_max_spaces = 4;

static_assert(pad_request(min_usable) == min_chunk_size, "the smallest chunk holds 16 usable bytes");
static_assert(pad_request(max_small_request) == 240 && pad_request(max_small_request + 1) == 256,
              "the largest small request is the last one below the tree bins");
static_assert(cache_min_request >= 2 * sizeof(unsigned) + 2 * sizeof(void*), "a cached block's header fits the smallest bin");

}  // namespace memory_layout
