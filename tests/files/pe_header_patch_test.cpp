#include "files/pe_header_patch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "support/temp_tree.h"

namespace {

// A minimal PE file: DOS header with e_lfanew at 60, the signature, a 20-byte COFF header with
// the given characteristics, and some body bytes after it.
std::string make_pe(int32_t pe_at, const char* signature, uint16_t characteristics,
                    size_t total = 512) {
  std::string b(total, '\0');
  for (size_t i = 0; i < total; ++i) b[i] = static_cast<char>(i * 7 + 3);
  b[0] = 'M';
  b[1] = 'Z';
  for (int i = 0; i < 4; ++i) b[60 + i] = static_cast<char>((uint32_t(pe_at) >> (8 * i)) & 0xFF);
  if (pe_at >= 0 && size_t(pe_at) + 24 <= total) {
    b.replace(size_t(pe_at), 4, signature, 4);
    b[size_t(pe_at) + 22] = static_cast<char>(characteristics & 0xFF);
    b[size_t(pe_at) + 23] = static_cast<char>(characteristics >> 8);
  }
  return b;
}

TEST(PeHeaderPatch, Table) {
  temp_tree t;
  struct row {
    const char* name;
    std::string bytes;
    int code;  // the file is byte-identical afterwards in every row
  } rows[] = {
      {"shorter than 64 bytes", std::string(63, 'M'), EIO},
      {"text file", std::string(200, 'x'), 20013},
      {"MZ with a wrong signature", make_pe(128, "PX\0\0", 0x0102), 20014},
      {"NE executable", make_pe(128, "NE\0\0", 0x0102), 20014},
      {"e_lfanew past the end", make_pe(4000, "PE\0\0", 0), EIO},
      {"signature cut by the end", make_pe(500, "PE\0\0", 0), EIO},
      {"negative e_lfanew", make_pe(-8, "PE\0\0", 0), EINVAL},
      {"flag already set", make_pe(128, "PE\0\0", 0x0122), 0},
  };
  for (const row& r : rows) {
    const std::string path = t.write("f.exe", r.bytes);
    EXPECT_EQ(make_file_large_address_aware(path), r.code) << r.name;
    EXPECT_TRUE(read_whole_file(path) == r.bytes) << r.name;
  }
  EXPECT_EQ(make_file_large_address_aware(t.path() + "missing.exe"), ENOENT);
}

TEST(PeHeaderPatch, OnlyTheFlagByteChanges) {
  temp_tree t;
  const std::string before = make_pe(0x80, "PE\0\0", 0x0102, 4096);
  const std::string path = t.write("Skyrill.exe", before);
  ASSERT_EQ(make_file_large_address_aware(path), 0);
  const std::string after = read_whole_file(path);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    if (i == 0x80 + 22) {
      EXPECT_EQ(static_cast<unsigned char>(after[i]), 0x22);
    } else if (before[i] != after[i]) {
      ADD_FAILURE() << "byte " << i << " changed";
    }
  }
  ASSERT_EQ(make_file_large_address_aware(path), 0);
  EXPECT_TRUE(read_whole_file(path) == after) << "a second patch changes nothing";
}

TEST(PeHeaderPatch, ReadOnlyFileIsRefused) {
  temp_tree t;
  const std::string bytes = make_pe(128, "PE\0\0", 0);
  const std::string path = t.write("ro/f.exe", bytes);
  chmod(path.c_str(), 0444);
  chmod((t.path() + "ro").c_str(), 0755);
  chmod(t.path().c_str(), 0755);
  int code = -1;
  if (geteuid() != 0) {
    code = make_file_large_address_aware(path);
  } else {
    // Root may write anything: try as an ordinary user in a child process.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      int result = setresgid(65534, 65534, 65534) == 0 && setresuid(65534, 65534, 65534) == 0
                       ? make_file_large_address_aware(path)
                       : -2;
      if (write(fds[1], &result, sizeof result) != sizeof result) _exit(3);
      _exit(0);
    }
    close(fds[1]);
    ASSERT_EQ(read(fds[0], &code, sizeof code), static_cast<ssize_t>(sizeof code));
    close(fds[0]);
    waitpid(child, nullptr, 0);
  }
  EXPECT_EQ(code, EACCES);
  EXPECT_TRUE(read_whole_file(path) == bytes);
}

}  // namespace
