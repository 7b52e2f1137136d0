#include "platform/memory_info.h"

#include <sys/mman.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

void* system_map(size_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

int system_unmap(void* base, size_t bytes) { return munmap(base, bytes); }

// Read on every heap growth from any thread; replaced only by tests while the heap is quiet.
std::atomic<void* (*)(size_t)> g_map{system_map};
std::atomic<int (*)(void*, size_t)> g_unmap{system_unmap};

// Reads a whole /proc file without the C++ allocator's help being essential; /proc files
// report a size of 0, so they are read until end of file.
std::string read_proc(const char* path) {
  std::string text;
  FILE* f = std::fopen(path, "re");
  if (!f) return text;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fclose(f);
  return text;
}

// "Key:   1234 kB" lines of /proc/meminfo and /proc/self/status; 0 when absent.
uint64_t kb_field(const std::string& text, const char* key) {
  size_t klen = std::strlen(key);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    if (text.compare(pos, klen, key) == 0 && pos + klen < text.size() && text[pos + klen] == ':')
      return std::strtoull(text.c_str() + pos + klen + 1, nullptr, 10) * 1024;
    pos = eol + 1;
  }
  return 0;
}

// One mapping line of maps or smaps: "lo-hi perms offset dev inode [path]". False for any
// other line (smaps' per-mapping counters).
bool parse_mapping_line(const std::string& line, unsigned long long* lo, unsigned long long* hi,
                        char perms[8], std::string* path) {
  char p[8] = {};
  int name_at = 0;
  if (std::sscanf(line.c_str(), "%llx-%llx %7s %*s %*s %*s %n", lo, hi, p, &name_at) != 3 ||
      line.find('-') > line.find(' '))
    return false;
  std::memcpy(perms, p, 8);
  path->clear();
  if (name_at > 0 && static_cast<size_t>(name_at) <= line.size()) *path = line.substr(name_at);
  return true;
}

class smaps_walk : public platform_region_walk {
 public:
  explicit smaps_walk(const std::string& text) { parse(text); }

  bool region_at(uint64_t address, platform_region* out) override {
    for (const platform_region& r : regions_) {
      if (r.start + r.size > address) {
        *out = r;
        return true;
      }
    }
    return false;
  }

 private:
  void parse(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    platform_region* cur = nullptr;
    char perms[8] = {};
    uint64_t rss = 0;
    auto finish = [&]() {
      if (!cur) return;
      bool shared_map = perms[3] == 's';
      if (rss == 0)
        cur->sharing_mode = region_empty;
      else if (shared_map || cur->shared_resident != 0)
        cur->sharing_mode = region_shared;
      else
        cur->sharing_mode = region_private;
    };
    while (std::getline(in, line)) {
      unsigned long long lo, hi;
      std::string path;
      if (parse_mapping_line(line, &lo, &hi, perms, &path)) {
        finish();
        regions_.push_back(platform_region{});
        cur = &regions_.back();
        cur->start = lo;
        cur->size = hi - lo;
        cur->ref_count = 1;
        rss = 0;
        size_t slash = path.rfind('/');
        cur->image = slash == std::string::npos ? path : path.substr(slash + 1);
        continue;
      }
      if (!cur) continue;
      unsigned long long kb = 0;
      char key[64];
      if (std::sscanf(line.c_str(), "%63[^:]: %llu kB", key, &kb) != 2) continue;
      uint64_t bytes = kb * 1024;
      if (!std::strcmp(key, "Rss"))
        rss = bytes;
      else if (!std::strcmp(key, "Private_Clean") || !std::strcmp(key, "Private_Dirty"))
        cur->private_resident += bytes;
      else if (!std::strcmp(key, "Shared_Clean") || !std::strcmp(key, "Shared_Dirty"))
        cur->shared_resident += bytes;
    }
    finish();
  }

  std::vector<platform_region> regions_;
};

}  // namespace

void* platform_map_pages(size_t bytes) { return g_map.load(std::memory_order_relaxed)(bytes); }

int platform_unmap_pages(void* base, size_t bytes) {
  return g_unmap.load(std::memory_order_relaxed)(base, bytes);
}

platform_page_calls platform_set_page_calls(const platform_page_calls* calls) {
  platform_page_calls old{g_map.load(), g_unmap.load()};
  g_map.store(calls ? calls->map : system_map);
  g_unmap.store(calls ? calls->unmap : system_unmap);
  return old;
}

long platform_page_size() { return sysconf(_SC_PAGESIZE); }

platform_task_info platform_task_memory() {
  std::string status = read_proc("/proc/self/status");
  return platform_task_info{kb_field(status, "VmSize"), kb_field(status, "VmRSS")};
}

platform_host_memory platform_host_memory_info() {
  platform_host_memory m{};
  long page = sysconf(_SC_PAGESIZE);
  m.page_size = page > 0 ? static_cast<uint64_t>(page) : 0;
  std::string meminfo = read_proc("/proc/meminfo");
  m.free_bytes = kb_field(meminfo, "MemFree");
  m.active_bytes = kb_field(meminfo, "Active");
  m.inactive_bytes = kb_field(meminfo, "Inactive");
  m.wired_bytes = kb_field(meminfo, "Unevictable") + kb_field(meminfo, "Mlocked");
  struct sysinfo si;
  if (sysinfo(&si) == 0) {
    uint64_t unit = si.mem_unit ? si.mem_unit : 1;
    m.swap_total = static_cast<uint64_t>(si.totalswap) * unit;
    m.swap_free = static_cast<uint64_t>(si.freeswap) * unit;
    m.swap_used = m.swap_total - m.swap_free;
  }
  return m;
}

platform_region_walk* platform_open_region_walk() {
  return new smaps_walk(read_proc("/proc/self/smaps"));
}

platform_region_walk* platform_region_walk_from_smaps(const std::string& smaps_text) {
  return new smaps_walk(smaps_text);
}

std::vector<platform_memory_region> platform_memory_regions() {
  std::vector<platform_memory_region> regions;
  std::istringstream in(read_proc("/proc/self/maps"));
  std::string line, path;
  char perms[8];
  unsigned long long lo, hi;
  while (std::getline(in, line)) {
    if (!parse_mapping_line(line, &lo, &hi, perms, &path)) continue;
    platform_memory_region r;
    r.start = static_cast<uintptr_t>(lo);
    r.end = static_cast<uintptr_t>(hi);
    r.readable = perms[0] == 'r';
    r.writable = perms[1] == 'w';
    regions.push_back(r);
  }
  return regions;
}
