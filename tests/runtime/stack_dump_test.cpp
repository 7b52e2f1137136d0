#include "runtime/stack_dump.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

// Three local functions, which the dynamic loader cannot name: the dump must find them in the
// program's own symbol table. The empty asm keeps each call out of tail position, so every
// function keeps its frame.
static int dump_line = 0;
static int b_line = 0;
static int a_line = 0;
__attribute__((noinline)) static void c(FILE* f) {
  dump_line = __LINE__ + 1;
  UTL_dump_stack(f, nullptr, nullptr);
  asm volatile("" ::: "memory");
}
__attribute__((noinline)) static void b(FILE* f) {
  b_line = __LINE__ + 1;
  c(f);
  asm volatile("" ::: "memory");
}
__attribute__((noinline)) static void a(FILE* f) {
  a_line = __LINE__ + 1;
  b(f);
  asm volatile("" ::: "memory");
}

namespace {

// Runs f with a temporary FILE and returns what it wrote.
template <typename F>
std::string captured(F f) {
  FILE* tmp = std::tmpfile();
  f(tmp);
  std::fflush(tmp);
  std::rewind(tmp);
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, tmp)) > 0) out.append(buf, n);
  std::fclose(tmp);
  return out;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

TEST(StackDump, NamesLocalFunctionsWithFileLineAndImageOffset) {
  std::vector<std::string> lines = lines_of(captured([](FILE* f) { a(f); }));
  ASSERT_GE(lines.size(), 4u);
  const char* names[] = {"c", "b", "a"};
  const int* source_lines[] = {&dump_line, &b_line, &a_line};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(lines[i]);
    std::regex want("^ +" + std::to_string(i) + "\\) " + names[i] +
                    "\\(_IO_FILE\\*\\) \\+ [0-9]+ \\(stack_dump_test\\.cpp:" +
                    std::to_string(*source_lines[i]) + "\\) \\(runtime_stack_dump_test \\+ [0-9]+\\)$");
    EXPECT_TRUE(std::regex_match(lines[i], want));
  }
  // The walk goes on to the test's own callers.
  EXPECT_NE(lines[3].find("StackDump_NamesLocalFunctions"), std::string::npos) << lines[3];
}

TEST(StackDump, AProgramCounterComesFirstAsLineZero) {
  std::vector<std::string> lines =
      lines_of(captured([](FILE* f) { UTL_dump_stack(f, nullptr, reinterpret_cast<void*>(&b)); }));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("  0) b(_IO_FILE*) + 0 (stack_dump_test.cpp:", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("  1) ", 0), 0u) << lines[1];
}

// Crafted frame chains in pages of their own: the walk must stop on a frame that goes back
// down the stack, on one in an unmapped page, and after 100 lines.
TEST(StackDump, WalkStopsOnBadChainsWithoutFaulting) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t frames_per_page = page / sizeof(stack_frame);
  void* ret = reinterpret_cast<void*>(&a);
  struct row {
    const char* name;
    int frames;
    int end;  // 0: a null link; 1: a link below the frame; 2: a link into an unmapped page
    size_t want_lines;
  } rows[] = {
      {"saved frame pointer below the frame", 3, 1, 2},
      {"frame pointer into an unmapped page", 3, 2, 3},
      {"null frame pointer", 3, 0, 2},
      {"deep chain", 200, 0, 100},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    size_t pages = (r.frames + 2) / frames_per_page + 3;
    char* base = static_cast<char*>(
        mmap(nullptr, pages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(base, MAP_FAILED);
    stack_frame* frames = reinterpret_cast<stack_frame*>(base + page);  // room below
    for (int i = 0; i < r.frames; ++i) {
      frames[i].next = &frames[i + 1];
      frames[i].return_address = ret;
    }
    stack_frame* last = &frames[r.frames - 1];
    if (r.end == 0) last->next = nullptr;
    if (r.end == 1) last->next = reinterpret_cast<stack_frame*>(base);
    if (r.end == 2) {
      char* last_page = base + (pages - 1) * page;
      last->next = reinterpret_cast<stack_frame*>(last_page);
      munmap(last_page, page);
      ASSERT_LT(reinterpret_cast<char*>(last), last_page);
    }
    std::string out = captured([&](FILE* f) { UTL_dump_stack(f, frames, nullptr); });
    std::vector<std::string> lines = lines_of(out);
    EXPECT_EQ(lines.size(), r.want_lines) << out;
    for (const std::string& l : lines) EXPECT_NE(l.find(" a(_IO_FILE*) + 0 "), std::string::npos) << l;
    munmap(base, pages * page);
  }
}

TEST(StackDump, UnknownAddressPrintsInFullWithoutImage) {
  std::unique_ptr<int> heap(new int(0));
  void* address = heap.get();
  char want[64];
  std::snprintf(want, sizeof want, "0x%012" PRIxPTR " (??" "?)\n", reinterpret_cast<uintptr_t>(address));
  EXPECT_EQ(captured([&](FILE* f) { print_symbol(f, address); }), want);
  symbol_info info;
  UTL_get_debug_symbol(address, &info);
  EXPECT_STREQ(info.image, "");
  EXPECT_EQ(info.image_base, nullptr);
  EXPECT_STREQ(info.symbol, "");
  EXPECT_EQ(info.symbol_address, nullptr);
  EXPECT_EQ(info.line, -1);
}

TEST(StackDump, SymbolOfAnExportedFunctionInALibrary) {
  symbol_info info;
  UTL_get_debug_symbol(reinterpret_cast<void*>(&getpid), &info);
  EXPECT_NE(std::string(info.image).find("libc.so"), std::string::npos) << info.image;
  EXPECT_NE(info.image_base, nullptr);
  EXPECT_NE(info.symbol_address, nullptr);
  EXPECT_NE(info.symbol[0], 0);
}

TEST(ValidMemory, AccessOverThreePages) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  char* p = static_cast<char*>(
      mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(p, MAP_FAILED);
  ASSERT_EQ(mprotect(p + page, page, PROT_READ), 0);
  ASSERT_EQ(munmap(p + 2 * page, page), 0);
  struct row {
    const void* start;
    size_t length;
    int r, w, want;
  } rows[] = {
      {p, page, 1, 1, 1},
      {p, 2 * page, 1, 0, 1},
      {p, 2 * page, 0, 1, 0},
      {p + page, 2 * page, 1, 0, 0},
      {p + page, page, 0, 0, 1},  // mapped is enough when no access is asked
      {p + 2 * page, 1, 0, 0, 0},
      {p, 0, 1, 1, 1},
      {reinterpret_cast<void*>(8), 1, 1, 0, 0},
      {reinterpret_cast<void*>(8), 0, 1, 0, 1},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(UTL_valid_memory(rows[i].start, rows[i].length, rows[i].r, rows[i].w), rows[i].want);
  }
  munmap(p, 2 * page);
}

TEST(DumpHex, RowsOfSixteen) {
  unsigned char bytes[17];
  const unsigned char pattern[] = {0x00, 0x41, 0x7F, 0xFF};
  for (int i = 0; i < 17; ++i) bytes[i] = pattern[i % 4];
  struct row {
    int count;
    std::string want;
  } rows[] = {
      {0, ""},
      {5, " 00417FFF 00" + std::string(29, ' ') + ".A.. ." + std::string(13, ' ') + "\n"},
      {16, " 00417FFF 00417FFF 00417FFF 00417FFF     .A.. .A.. .A.. .A..\n"},
      {17,
       " 00417FFF 00417FFF 00417FFF 00417FFF     .A.. .A.. .A.. .A..\n"
           " 00" + std::string(38, ' ') + "." + std::string(18, ' ') + "\n"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.count);
    EXPECT_EQ(captured([&](FILE* f) { dump_hex(f, bytes, r.count); }), r.want);
  }
}

TEST(DebugInit, WriteToAClosedPeerGivesEpipeAndTheProcessLives) {
  UTL_debug_init();
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  close(fds[1]);
  errno = 0;
  EXPECT_EQ(write(fds[0], "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  close(fds[0]);
}

}  // namespace
