// The memory report: the scaling rule, mode names, the region walk's gaps and 64-bit totals over
// synthetic regions, the operators, the lazy pool, and "MemoryLog.txt" across reports and runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "runtime/memory/allocation_operators.h"
#include "runtime/memory/lazy_pool.h"
#include "runtime/memory/memory_report.h"
#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_services.h"
#include "runtime/memory/stats.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

TEST(MemoryReport, ScalingRule) {
  struct {
    unsigned long long bytes;
    unsigned number;
    char suffix;
  } cases[] = {
      {0, 0, 'B'},
      {1433, 1433, 'B'},
      {1434, 1, 'K'},
      {1468006, 1433, 'K'},
      {1468007, 1, 'M'},
      {15032385536ULL, 14336, 'M'},
      {15032385537ULL, 14, 'G'},
      {(1ULL << 47), 131072, 'G'},
  };
  for (auto& c : cases) {
    EXPECT_EQ(mem_to_number(c.bytes), c.number) << c.bytes;
    EXPECT_EQ(mem_to_suffix(c.bytes), c.suffix) << c.bytes;
  }
}

TEST(MemoryReport, SharingModeNames) {
  const char* names[] = {"Unknown", "Copy-on-write", "Private", "Empty", "Shared",
                         "True-Shared", "Private-Aliased", "Shared-Aliased", "Unknown"};
  for (unsigned m = 0; m <= 8; ++m) EXPECT_STREQ(sm_string((unsigned char)m), names[m]) << m;
}

class synthetic_walk : public platform_region_walk {
 public:
  std::vector<platform_region> regions;
  bool region_at(uint64_t address, platform_region* out) override {
    for (auto& r : regions)
      if (r.start + r.size > address) {
        *out = r;
        return true;
      }
    return false;
  }
};

platform_region region(uint64_t start, uint64_t size, uint64_t priv, uint64_t shared, unsigned char mode,
                       const char* image) {
  platform_region r{};
  r.start = start;
  r.size = size;
  r.private_resident = priv;
  r.shared_resident = shared;
  r.sharing_mode = mode;
  r.ref_count = 1;
  r.image = image;
  return r;
}

std::string report_text(const memory_report_sources& src) {
  char* buf = nullptr;
  size_t len = 0;
  FILE* f = open_memstream(&buf, &len);
  write_memory_report(f, "test reason", src);
  std::fclose(f);
  std::string text(buf, len);
  std::free(buf);
  return text;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0, eol;
  while ((eol = text.find('\n', pos)) != std::string::npos) {
    lines.push_back(text.substr(pos, eol - pos));
    pos = eol + 1;
  }
  return lines;
}

TEST(MemoryReport, RegionMapGapsAndTotals) {
  synthetic_walk walk;
  const uint64_t G = 1ULL << 30;
  // A first region far above 0 (a gap larger than 4 GiB), two touching regions, an empty one,
  // and one after a small gap.
  walk.regions = {region(0x555500000000ULL, 8192, 8192, 0, region_private, "skyrill-installer"),
                  region(0x555500002000ULL, 4096, 0, 4096, region_shared, "libc.so.6"),
                  region(0x555500003000ULL, 3 * G, 0, 0, region_empty, ""),
                  region(0x555500003000ULL + 3 * G + 0x1000, 20 * G, 5 * G, 0, region_private, "")};
  memory_report_sources src{};
  src.task = {123456789, 4567};
  src.host.page_size = 4096;
  src.host.free_bytes = 24 * G;  // more than 4 GiB free must not wrap
  src.host.swap_total = 16 * G;
  src.regions = &walk;
  src.ned.uordblks = 3000;
  src.ned.fordblks = 1500000;
  src.ned.ordblks = 7;
  std::string text = report_text(src);
  std::vector<std::string> lines = lines_of(text);

  ASSERT_GE(lines.size(), 30u);
  EXPECT_EQ(lines[0], "dump_mem_stats: test reason");
  EXPECT_EQ(lines[1], "OS X Info:");
  EXPECT_EQ(lines[2], "    Page size:            4K      This is the size of one virtual memory page.");
  EXPECT_EQ(lines[5], "    Free pages:          24G      This is the total free RAM on the machine.");
  EXPECT_EQ(lines[9], "    Total Swap Pages:    16G");
  EXPECT_EQ(lines[12], "    I will now print the entire map of virtual memory.");
  // The leading gap from address 0, then no gap between touching regions.
  EXPECT_EQ(lines[14], "        0x000000000000      87380G               --------");
  EXPECT_EQ(lines[15], "        0x555500000000          8K           8K     0B                Private (  1)       skyrill-installer");
  EXPECT_EQ(lines[16], "        0x555500002000          4K           0B     4K                 Shared (  1)       libc.so.6");
  EXPECT_EQ(lines[17], "        0x555500003000       3072M           0B     0B                  Empty (  1)       ");
  EXPECT_EQ(lines[18], "        0x5555C0003000          4K               --------");
  EXPECT_EQ(lines[19], "        0x5555C0004000         20G        5120M     0B                Private (  1)       ");
  EXPECT_EQ(lines[20], "    Total vsize:        20G      This is the total non-empty virtual address space used by Skyrill.");
  EXPECT_EQ(lines[21], "    Total rsize:      5120M      This is the total amount of real memory used by Skyrill (shared and exclusive).");
  EXPECT_EQ(lines[24], "    Largest free:     3072M      This is the largest empty region in Skyrill's address space.");
  EXPECT_EQ(lines[26], "    Largest gap:     87380G      This is the size of the largest unused gap in Skyrill's address space.");
  EXPECT_EQ(lines[27], "    Total gap:       87380G      This is the size of all of the gaps in Skyrill's address space - that is, total unused address space.");
  EXPECT_EQ(lines[28], "NED-MALLOC INFO:");
  EXPECT_EQ(lines[31], "    Free Chunks:           7       ");
  EXPECT_EQ(lines[34], "    Total Alloc Space:     1M     This is the current space NED has reserved now from any source.");
  EXPECT_EQ(lines[36], "    Total Used Space:      2K     This is how much space Skyrill has allocated fmor NED.");
  EXPECT_EQ(lines.size(), 38u);
}

TEST(MemoryReport, RealProcessReportHasEveryBlock) {
  memory_report_sources src{};
  src.task = platform_task_memory();
  src.host = platform_host_memory_info();
  std::unique_ptr<platform_region_walk> walk(platform_open_region_walk());
  src.regions = walk.get();
  src.ned = nedmallinfo();
  std::string text = report_text(src);
  EXPECT_GT(src.task.resident_size, 0u);
  EXPECT_GT(src.host.free_bytes, 0u);
  EXPECT_NE(text.find("[stack]"), std::string::npos);
  EXPECT_NE(text.find("    Releasable Space:  "), std::string::npos);
}

int count_reports(const std::string& text) {
  int n = 0;
  for (size_t pos = 0; (pos = text.find("dump_mem_stats: ", pos)) != std::string::npos; ++pos) ++n;
  return n;
}

// Each run is a fresh process, so that the first report of the run is really its first.
TEST(MemoryReportDeath, MemoryLogKeepsTheReportsOfOneRun) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child process runs this body again, so the folder must not be a fresh temporary one.
  struct fixed_dir {
    std::string p = std::string(SKY_BINARY_DIR) + "/memory_log_test";
    fixed_dir() { make_folders(p); }
    const std::string& path() const { return p; }
  } dir;
  std::string log = dir.path() + "/MemoryLog.txt";
  write_whole_file(log, "left by an earlier run\n");
  for (int run = 0; run < 2; ++run) {
    EXPECT_EXIT(
        {
          app_path = dir.path() + "/";
          dump_mem_stats("first");
          DumpMemCmd();
          std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    std::string text = read_whole_file(log);
    EXPECT_EQ(count_reports(text), 2) << "run " << run;
    EXPECT_EQ(text.find("left by an earlier run"), std::string::npos);
    EXPECT_EQ(text.rfind("dump_mem_stats: Remote Commanded Dump\n"), text.find("dump_mem_stats: Remote Commanded Dump\n"));
  }
  // A report that could not open the file goes to standard output; the next still appends.
  write_whole_file(log, "kept\n");
  EXPECT_EXIT(
      {
        app_path = dir.path() + "/no such folder/";
        dump_mem_stats("to stdout");
        app_path = dir.path() + "/";
        dump_mem_stats("appended");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  std::string text = read_whole_file(log);
  EXPECT_EQ(text.rfind("kept\n", 0), 0u);
  EXPECT_NE(text.find("dump_mem_stats: appended"), std::string::npos);
  EXPECT_EQ(text.find("to stdout"), std::string::npos);
}

TEST(MemoryReport, LogLineNamesTheReason) {
  std::string logpath = shell_double::reopen_log();
  temp_tree dir;
  std::string saved = app_path;
  app_path = dir.path() + "/";
  dump_mem_stats("unit test");
  app_path = saved;
  EXPECT_NE(shell_double::log_text().find("OK check MemoryLog.txt! I just sent him a dump from unit test\n"),
            std::string::npos);
}

// ---- the operators

struct throws_in_constructor {
  throws_in_constructor() { throw 42; }
  char pad[100];
};

TEST(AllocationOperators, ZeroBytesNullAndExhaustion) {
  void* a = ::operator new(0);
  void* b = ::operator new(0);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(a, b);
  ::operator delete(a);
  ::operator delete(b);
  ::operator delete(nullptr);  // nedfree would abort on null: the operator filters it
  ::operator delete[](nullptr);
  if (allocation_operators_use_pool()) {  // the sanitizers' allocator reports such sizes instead
    EXPECT_EQ(::operator new(size_t(1) << 46, std::nothrow), nullptr);
    EXPECT_THROW(::operator delete(::operator new(size_t(1) << 46)), std::bad_alloc);
  }
  // Every block is aligned for any fundamental type.
  for (size_t s : {1, 7, 24, 100, 1000, 9000}) {
    void* p = ::operator new(s);
    EXPECT_EQ((uintptr_t)p % __STDCPP_DEFAULT_NEW_ALIGNMENT__, 0u) << s;
    ::operator delete(p);
  }
  // A constructor that throws in a (file, line) new-expression gives its block back.
  EXPECT_THROW(new (__FILE__, __LINE__) throws_in_constructor, int);
  EXPECT_THROW(new (std::nothrow, __FILE__, __LINE__) throws_in_constructor, int);
  int* n = new (__FILE__, __LINE__) int[10];
  delete[] n;
}

int handler_calls = 0;
void* reserve = nullptr;

TEST(AllocationOperators, NewHandlerLoop) {
  if (!allocation_operators_use_pool()) GTEST_SKIP() << "this build uses the system allocator";
  const size_t too_big = size_t(1) << 46;
  struct handler_case {
    void (*handler)();
    bool nothrow_gives_null;
    bool throwing_throws;
  };
  // Frees a reserve once, then uninstalls itself.
  auto frees_then_gives_up = [] {
    ++handler_calls;
    if (reserve) {
      nedfree(reserve);
      reserve = nullptr;
    } else {
      std::set_new_handler(nullptr);
    }
  };
  auto throws = [] {
    ++handler_calls;
    throw std::bad_alloc();
  };
  handler_calls = 0;
  std::set_new_handler(frees_then_gives_up);
  EXPECT_EQ(::operator new(too_big, std::nothrow), nullptr);
  EXPECT_EQ(handler_calls, 1) << "an uninstalled handler ends the loop";
  std::set_new_handler(throws);
  handler_calls = 0;
  EXPECT_EQ(::operator new(too_big, std::nothrow), nullptr);
  EXPECT_THROW(::operator delete(::operator new(too_big)), std::bad_alloc);
  EXPECT_EQ(handler_calls, 2);
  std::set_new_handler(nullptr);
}

// ---- the lazy pool

TEST(LazyPool, CountsAddUpToWholeBlocks) {
  const int B = UTL_lazy_mempool::block_size, H = UTL_lazy_mempool::block_header;
  struct {
    const char* name;
    std::vector<size_t> requests;
    int blocks;
  } cases[] = {
      {"100 x 1000", std::vector<size_t>(100, 1000), 4},
      {"40 x 1000 then 20000", [] { std::vector<size_t> v(40, 1000); v.push_back(20000); return v; }(), 2},
      {"40 x 1000 then 30000", [] { std::vector<size_t> v(40, 1000); v.push_back(30000); return v; }(), 3},
      {"exactly a block", {size_t(B - H)}, 1},
      {"one byte more than a block", {size_t(B - H + 1)}, 0},
  };
  for (auto& c : cases) {
    float start = UTL_lazy_mempool::global_total;
    {
      UTL_lazy_mempool pool;
      int blocks = 0;
      for (size_t r : c.requests) {
        void* piece = pool.request(r);
        if (r > size_t(B - H)) {
          EXPECT_EQ(piece, nullptr) << c.name;
          continue;
        }
        ASSERT_NE(piece, nullptr) << c.name;
        EXPECT_EQ((uintptr_t)piece % 16, 0u) << c.name;
        std::memset(piece, 0xab, r);
        blocks = (int)((UTL_lazy_mempool::global_total - start) / B);
        EXPECT_EQ(pool.handed_out + pool.wasted + pool.ready + blocks * H, blocks * B) << c.name;
      }
      EXPECT_EQ(blocks, c.blocks) << c.name;
    }
    EXPECT_EQ(UTL_lazy_mempool::global_total, start) << c.name;
  }
}

TEST(LazyPool, DumpAndStatistic) {
  shell_double::reopen_log();
  UTL_lazy_mempool pool;
  pool.request(100);
  pool.dump();
  EXPECT_EQ(shell_double::log_text(),
            "Total memory allocated: 112\nTotal wasted memory: 0\nTotal ready memory: 32640\n");
  UTL_stat::init_stats();
  bool found = false;
  for (UTL_stat* s : UTL_stat::all_stats()[UTL_stat_memory])
    if (std::strcmp(s->name, "memory/lazy_pools") == 0) found = s->value_ptr == &UTL_lazy_mempool::global_total;
  EXPECT_TRUE(found);
}

}  // namespace
