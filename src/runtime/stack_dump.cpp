#include "runtime/stack_dump.h"

#include <signal.h>

#include <cctype>
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/memory_info.h"

namespace {

void copy_text(char* to, const std::string& from) {
  std::strncpy(to, from.c_str(), 1023);
  to[1023] = 0;
}

const char* last_component(const char* path) {
  const char* leaf = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') leaf = p + 1;
  return leaf;
}

void fill(const platform_symbol& s, symbol_info* info) {
  copy_text(info->image, s.image);
  info->image_base = reinterpret_cast<void*>(s.image_base);
  copy_text(info->symbol, s.name);
  info->symbol_address = reinterpret_cast<void*>(s.address);
  copy_text(info->source_file, s.source_file);
  info->line = s.line;
}

// Addresses are printed in full and offsets as pointer differences: the 32-bit conversions of
// old truncated both on a 64-bit build.
void print_info(FILE* f, void* address, const symbol_info& info) {
  uintptr_t a = reinterpret_cast<uintptr_t>(address);
  uintptr_t sym = reinterpret_cast<uintptr_t>(info.symbol_address);
  uintptr_t base = reinterpret_cast<uintptr_t>(info.image_base);
  if (info.symbol[0] && sym)
    std::fprintf(f, "%s + %td", info.symbol, static_cast<ptrdiff_t>(a - sym));
  else if (sym)
    std::fprintf(f, "0x%012" PRIxPTR " + %td", sym, static_cast<ptrdiff_t>(a - sym));
  else
    std::fprintf(f, "0x%012" PRIxPTR, a);
  if (info.source_file[0]) std::fprintf(f, " (%s:%d)", last_component(info.source_file), info.line);
  if (info.image[0] && base)
    std::fprintf(f, " (%s + %td)\n", last_component(info.image), static_cast<ptrdiff_t>(a - base));
  else if (base)
    std::fprintf(f, " (0x%012" PRIxPTR " + %td)\n", base, static_cast<ptrdiff_t>(a - base));
  else
    std::fprintf(f, " (??" "?)\n");
}

void print_return_address(FILE* f, void* address) {
  symbol_info info;
  platform_symbol s;
  uintptr_t a = reinterpret_cast<uintptr_t>(address);
  platform_lookup_symbol(a, a ? a - 1 : a, s);
  fill(s, &info);
  print_info(f, address, info);
}

bool region_access(const std::vector<platform_memory_region>& regions, uintptr_t start,
                   uintptr_t length, bool want_read, bool want_write) {
  if (length == 0) return true;
  uintptr_t at = start;
  uintptr_t end = start + length;
  if (end < start) return false;
  for (const platform_memory_region& r : regions) {
    if (r.end <= at) continue;
    if (r.start > at) return false;  // a gap
    if ((want_read && !r.readable) || (want_write && !r.writable)) return false;
    at = r.end;
    if (at >= end) return true;
  }
  return false;
}

}  // namespace

void UTL_debug_init() { signal(SIGPIPE, SIG_IGN); }

void UTL_get_debug_symbol(void* address, symbol_info* info) {
  platform_symbol s;
  uintptr_t a = reinterpret_cast<uintptr_t>(address);
  platform_lookup_symbol(a, a, s);
  fill(s, info);
}

void print_symbol(FILE* file, void* address) {
  symbol_info info;
  UTL_get_debug_symbol(address, &info);
  print_info(file, address, info);
}

__attribute__((noinline)) void UTL_dump_stack(FILE* file, stack_frame* start, void* pc) {
  int n = 0;
  if (pc) {
    std::fprintf(file, " % 2d) ", n++);
    print_symbol(file, pc);  // the instruction itself, not a return address
  }
  stack_frame* frame = start ? start : static_cast<stack_frame*>(__builtin_frame_address(0));
  // One look at the mappings serves the whole walk.
  const std::vector<platform_memory_region> regions = platform_memory_regions();
  while (frame) {
    if (!region_access(regions, reinterpret_cast<uintptr_t>(frame), sizeof(stack_frame), true,
                       true))
      break;
    if (n > 99) break;
    stack_frame* next = frame->next;
    if (reinterpret_cast<uintptr_t>(next) <= reinterpret_cast<uintptr_t>(frame)) break;
    std::fprintf(file, " % 2d) ", n++);
    print_return_address(file, frame->return_address);
    frame = next;
  }
  std::fflush(file);
}

int UTL_valid_memory(const void* start, size_t length, int want_read, int want_write) {
  if (length == 0) return 1;
  return region_access(platform_memory_regions(), reinterpret_cast<uintptr_t>(start), length,
                       want_read != 0, want_write != 0);
}

void dump_hex(FILE* file, const void* data, int count) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (count > 0) {
    int n = count < 16 ? count : 16;
    std::fputc(' ', file);
    for (int i = 0; i < 16; ++i) {
      if (i > 0 && i % 4 == 0) std::fputc(' ', file);
      if (i < n)
        std::fprintf(file, "%02X", p[i]);
      else
        std::fputs("  ", file);
    }
    std::fputs("     ", file);
    for (int i = 0; i < 16; ++i) {
      if (i > 0 && i % 4 == 0) std::fputc(' ', file);
      // isprint needs the byte as unsigned: a plain char above 0x7F is undefined there.
      std::fputc(i < n ? (std::isprint(p[i]) ? p[i] : '.') : ' ', file);
    }
    std::fputc('\n', file);
    p += 16;
    count -= 16;
  }
}
