// Memory and diagnostics: stand-ins for the Mach virtual-memory calls (vm_allocate and
// vm_deallocate for heap segments, task and host statistics, the swap-usage sysctl and the
// vm_region walk). Linux has no "wired" or "inactive" page counts in the Mach sense: wired is
// Unevictable + Mlocked and inactive is the kernel's Inactive list from /proc/meminfo. Regions
// come from /proc/self/smaps; Linux has no reference counts or top-object sharing modes, so the
// reference count is always 1 and the mode is derived from the permissions and resident counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Anonymous private read-write pages for the heap; null on failure. The seam lets tests count
// or refuse system calls and force placements.
struct platform_page_calls {
  void* (*map)(size_t bytes);
  int (*unmap)(void* base, size_t bytes);  // 0 on success
};
void* platform_map_pages(size_t bytes);
int platform_unmap_pages(void* base, size_t bytes);
// Replaces the calls (null restores the system's); returns the previous set.
platform_page_calls platform_set_page_calls(const platform_page_calls* calls);

// The system page size (sysconf).
long platform_page_size();

// The process's own size in bytes (0 when unknown).
struct platform_task_info {
  uint64_t virtual_size;
  uint64_t resident_size;
};
platform_task_info platform_task_memory();

// The machine's memory in bytes (0 when unknown).
struct platform_host_memory {
  uint64_t page_size;
  uint64_t free_bytes;
  uint64_t active_bytes;
  uint64_t inactive_bytes;
  uint64_t wired_bytes;
  uint64_t swap_total;
  uint64_t swap_free;
  uint64_t swap_used;
};
platform_host_memory platform_host_memory_info();

// Sharing modes in the Mach numbering that the memory report prints.
enum { region_copy_on_write = 1, region_private = 2, region_empty = 3, region_shared = 4 };

struct platform_region {
  uint64_t start;
  uint64_t size;
  uint64_t private_resident;  // bytes
  uint64_t shared_resident;   // bytes
  unsigned char sharing_mode;
  int ref_count;
  std::string image;  // last path component of the mapped file; "" for anonymous memory
};

// A snapshot of the address space in address order, read from /proc/self/smaps when the walk
// starts; region_at answers "the region at or above address" from it.
class platform_region_walk {
 public:
  virtual ~platform_region_walk() = default;
  // False when no region lies at or above the address.
  virtual bool region_at(uint64_t address, platform_region* out) = 0;
};
platform_region_walk* platform_open_region_walk();  // caller deletes

// Parses smaps text (exposed for tests).
platform_region_walk* platform_region_walk_from_smaps(const std::string& smaps_text);

// The process's mappings in address order with their access, from /proc/self/maps (cheaper
// than the walk above, for checking addresses during a stack dump); empty when unreadable.
struct platform_memory_region {
  uintptr_t start = 0, end = 0;
  bool readable = false, writable = false;
};
std::vector<platform_memory_region> platform_memory_regions();
