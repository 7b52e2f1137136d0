#include "runtime/memory/memory_report.h"

#include <string>

#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_services.h"
#include "runtime/memory/stats.h"

namespace {

UTL_remote_cmd dump_mem_now("Dump Memory Info", DumpMemCmd);

// Every "% 5u%c" pair of the report. (The space flag of the original formats has no effect on
// an unsigned conversion; "%5u" prints the same bytes without the compiler's complaint.)
#define MEM_FMT "%5u%c"
#define MEM_ARG(v) mem_to_number(v), mem_to_suffix(v)

}  // namespace

unsigned mem_to_number(unsigned long long bytes) {
  if (bytes > 15032385536ULL) return (unsigned)(bytes >> 30);
  double d = (double)bytes;
  if (d > 1468006.4) return (unsigned)(bytes >> 20);
  if (d > 1433.6) return (unsigned)(bytes >> 10);
  return (unsigned)bytes;
}

char mem_to_suffix(unsigned long long bytes) {
  if (bytes > 15032385536ULL) return 'G';
  double d = (double)bytes;
  if (d > 1468006.4) return 'M';
  if (d > 1433.6) return 'K';
  return 'B';
}

const char* sm_string(unsigned char mode) {
  switch (mode) {
    case 1: return "Copy-on-write";
    case 2: return "Private";
    case 3: return "Empty";
    case 4: return "Shared";
    case 5: return "True-Shared";
    case 6: return "Private-Aliased";
    case 7: return "Shared-Aliased";
    default: return "Unknown";
  }
}

void write_memory_report(FILE* out, const char* reason, const memory_report_sources& src) {
  const platform_host_memory& h = src.host;
  std::fprintf(out, "dump_mem_stats: %s\n", reason);
  std::fprintf(out, "OS X Info:\n");
  std::fprintf(out, "    Page size:        " MEM_FMT "      This is the size of one virtual memory page.\n", MEM_ARG(h.page_size));
  std::fprintf(out, "    Vsize (reported): " MEM_FMT "      This is the total virtual address space used by Skyrill (including empty regions).\n", MEM_ARG(src.task.virtual_size));
  std::fprintf(out, "    Rsize:            " MEM_FMT "      This is the total amount of real RAM used by Skyrill (virtual pages resident in RAM).\n", MEM_ARG(src.task.resident_size));
  std::fprintf(out, "    Free pages:       " MEM_FMT "      This is the total free RAM on the machine.\n", MEM_ARG(h.free_bytes));
  std::fprintf(out, "    Active Pages:     " MEM_FMT "      This is the total actively used RAM among all apps - it probably can't be paged out without causing huge performance problems.\n", MEM_ARG(h.active_bytes));
  std::fprintf(out, "    Inactive Pages:   " MEM_FMT "      This is the total inactive RAM from all apps - pages that is elligible to be paged out since it hasn't been used recently.\n", MEM_ARG(h.inactive_bytes));
  std::fprintf(out, "    Wired Pages:      " MEM_FMT "      This is the total wired RAM - pages that are 'wired down' and cannot ever be paged out.\n", MEM_ARG(h.wired_bytes));
  std::fprintf(out, "    Total Swap Pages: " MEM_FMT "\n", MEM_ARG(h.swap_total));
  std::fprintf(out, "    Avail Swap Pages: " MEM_FMT "\n", MEM_ARG(h.swap_free));
  std::fprintf(out, "    Used  Swap Pages: " MEM_FMT "\n", MEM_ARG(h.swap_used));
  std::fprintf(out, "    I will now print the entire map of virtual memory.\n");
  std::fprintf(out, "        Address           Size    r-private r-shared sharing-mode (ref count)\n");

  // Running values are 64-bit: the first gap of a 64-bit address space alone exceeds 4 GiB.
  uint64_t expected = 0, address = 0;
  uint64_t total_vsize = 0, total_rsize = 0, shared_rsize = 0, private_rsize = 0;
  uint64_t largest_free = 0, total_free = 0, largest_gap = 0, total_gap = 0;
  platform_region r;
  while (src.regions && src.regions->region_at(address, &r)) {
    if (r.start != expected) {
      uint64_t gap = r.start - expected;
      std::fprintf(out, "        0x%012llX      " MEM_FMT "               --------\n",
                   (unsigned long long)expected, MEM_ARG(gap));
      if (gap > largest_gap) largest_gap = gap;
      total_gap += gap;
    }
    std::fprintf(out, "        0x%012llX      " MEM_FMT "       " MEM_FMT " " MEM_FMT "   %20s (% 3d)       %s\n",
                 (unsigned long long)r.start, MEM_ARG(r.size), MEM_ARG(r.private_resident),
                 MEM_ARG(r.shared_resident), sm_string(r.sharing_mode), r.ref_count, r.image.c_str());
    if (r.sharing_mode == region_empty) {
      if (r.size > largest_free) largest_free = r.size;
      total_free += r.size;
    } else {
      total_vsize += r.size;
    }
    private_rsize += r.private_resident;
    shared_rsize += r.shared_resident;
    total_rsize += r.private_resident + r.shared_resident;
    expected = address = r.start + r.size;
    if (address == 0) break;  // the last region ends at the top of the address space
  }

  std::fprintf(out, "    Total vsize:     " MEM_FMT "      This is the total non-empty virtual address space used by Skyrill.\n", MEM_ARG(total_vsize));
  std::fprintf(out, "    Total rsize:     " MEM_FMT "      This is the total amount of real memory used by Skyrill (shared and exclusive).\n", MEM_ARG(total_rsize));
  std::fprintf(out, "    Shared rsize:    " MEM_FMT "      This is the total amonut of real memory used by Skyrill that is shared with other processes.\n", MEM_ARG(shared_rsize));
  std::fprintf(out, "    Private rsize:   " MEM_FMT "      This is the total amount of real memory used by Skyrill exclusively (private).\n", MEM_ARG(private_rsize));
  std::fprintf(out, "    Largest free:    " MEM_FMT "      This is the largest empty region in Skyrill's address space.\n", MEM_ARG(largest_free));
  std::fprintf(out, "    Total free:      " MEM_FMT "      This is the size of all empty regions in Skyrill's address space.\n", MEM_ARG(total_free));
  std::fprintf(out, "    Largest gap:     " MEM_FMT "      This is the size of the largest unused gap in Skyrill's address space.\n", MEM_ARG(largest_gap));
  std::fprintf(out, "    Total gap:       " MEM_FMT "      This is the size of all of the gaps in Skyrill's address space - that is, total unused address space.\n", MEM_ARG(total_gap));

  const ned_mallinfo& n = src.ned;
  uint64_t alloc_space = (uint64_t)n.uordblks + n.fordblks;
  std::fprintf(out, "NED-MALLOC INFO:\n");
  std::fprintf(out, "    This version of Skyrill is using the NED allocator.\n");
  std::fprintf(out, "    Arena:             " MEM_FMT "     This is the space NED is using that was not created using mmap.\n", MEM_ARG(n.arena));
  std::fprintf(out, "    Free Chunks:       %5u       \n", (unsigned)n.ordblks);
  std::fprintf(out, "    Mapped Space:      " MEM_FMT "     This is the space NED has allocated for use via mmap.\n", MEM_ARG(n.hblkhd));
  std::fprintf(out, "    Max Alloc Space:   " MEM_FMT "     This is the most space NED ever had reserved from any source.\n", MEM_ARG(n.usmblks));
  std::fprintf(out, "    Total Alloc Space: " MEM_FMT "     This is the current space NED has reserved now from any source.\n", MEM_ARG(alloc_space));
  std::fprintf(out, "    Total Free Space:  " MEM_FMT "     This is how much free space NED has in its reserves.\n", MEM_ARG(n.fordblks));
  std::fprintf(out, "    Total Used Space:  " MEM_FMT "     This is how much space Skyrill has allocated fmor NED.\n", MEM_ARG(alloc_space - n.fordblks));
  std::fprintf(out, "    Releasable Space:  " MEM_FMT "     This is how much space NED could give back to the OS if desired.\n", MEM_ARG(n.keepcost));
}

void dump_mem_stats(const char* reason) {
  static int first_dump = 1;
  xer << "OK check MemoryLog.txt! I just sent him a dump from " << reason << "\n";
  std::string path = (diagnostics_folder.empty() ? app_path : diagnostics_folder) + "MemoryLog.txt";
  FILE* f = std::fopen(path.c_str(), first_dump ? "we" : "ae");
  first_dump = 0;
  FILE* out = f ? f : stdout;

  memory_report_sources src{};
  src.task = platform_task_memory();
  src.host = platform_host_memory_info();
  platform_region_walk* walk = platform_open_region_walk();
  src.regions = walk;
  src.ned = nedmallinfo();
  write_memory_report(out, reason, src);
  delete walk;
  if (f)
    std::fclose(f);
  else
    std::fflush(stdout);
}

void DumpMemCmd() { dump_mem_stats("Remote Commanded Dump"); }
