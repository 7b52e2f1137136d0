#include "files/mapped_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/folders.h"
#include "runtime/shell_services.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

struct header_row {
  const char* name;
  std::string bytes;
  int type;
  std::vector<int> versions;  // zero-terminated when handed over
  const char* keyword;
  int result;
  long cursor;  // offset after the check; -1: not looked at
  const char* rest;
};

TEST(MappedFile, HouseHeaderTable) {
  using std::string;
  const header_row rows[] = {
      {"wrong version", "I\n900 version\nSERVERS\n", xmap_text, {820}, "SERVERS", 0, 14, "version"},
      {"keyword line", "I\n900 version\nSERVERS\n", xmap_text, {820, 900}, "SERVERS", 900, 22, "version"},
      {"CR ends", "I\r900 version\rSERVERS\rx", xmap_text, {900}, "SERVERS", 900, 22, "version"},
      {"CRLF ends", "I\r\n900 version\r\nSERVERS\r\nx", xmap_text, {900}, "SERVERS", 900, 25, "version"},
      {"NUL ends", string("I\0" "900 version\0SERVERS\0x", 23), xmap_text, {900}, "SERVERS", 900, 22, "version"},
      {"A with words, gaps", "A more words here\n\n \t\r\n900   version notice  \nbody", xmap_text, {900}, nullptr, 900, 46, "version notice  "},
      {"no keyword asked", "I\n9002 version\n_key 1\n", xmap_text, {9002}, nullptr, 9002, 15, "version"},
      {"minus then plus", "I\n-+5 x\n", xmap_text, {5}, nullptr, 5, 8, "x"},
      {"negative", "I\n-17\n", xmap_text, {-17}, nullptr, -17, 6, ""},
      {"plus", "I\n+17 v\n", xmap_text, {17}, nullptr, 17, -1, "v"},
      {"non-digits", "I\n900abc version\n", xmap_text, {900}, nullptr, 0, -1, nullptr},
      {"letters only", "I\nabc version\n", xmap_text, {900}, nullptr, 0, -1, nullptr},
      {"no version", "I\n\n", xmap_text, {900}, nullptr, 0, -1, nullptr},
      {"lone sign", "I\n- version\n", xmap_text, {900}, nullptr, 0, -1, nullptr},
      {"overlong number", "I\n99999999999999999999 version\n", xmap_text, {900}, nullptr, 0, -1, nullptr},
      {"nine digits", "I\n123456789\n", xmap_text, {123456789}, nullptr, 123456789, 12, ""},
      {"bad first letter", "X\n900 version\n", xmap_text, {900}, nullptr, 0, -1, nullptr},
      {"lower-case i", "i\n900 version\n", xmap_text, {900}, nullptr, 0, -1, nullptr},
      {"one line only", "I 900 version", xmap_text, {900}, nullptr, 0, -1, nullptr},
      {"empty list", "I\n900 version\n", xmap_text, {}, nullptr, 0, 14, nullptr},
      {"keyword prefix", "I\n900 version\nDVDX 1\n", xmap_text, {900}, "DVD", 0, 14, "version"},
      {"keyword indented", "I\n900 version\n  \tDVDX 1\n", xmap_text, {900}, "DVD", 0, 17, "version"},
      {"other keyword", "I\n900 version\nSERVERS\n", xmap_text, {900}, "DVD", 0, 14, nullptr},
      {"keyword at end", "I\n900 version\nDVD", xmap_text, {900}, "DVD", 900, 17, nullptr},
      {"keyword then lines", "I\n900 version\n DVD rest\r\n\r\n\tbody", xmap_text, {900}, "DVD", 900, 28, nullptr},
      {"keyword cut", "I\n900 version\nDV", xmap_text, {900}, "DVD", 0, 14, nullptr},
      {"binary big-endian", string("a\0\0\x03\x84rest", 9), xmap_binary, {900}, nullptr, 900, 5, nullptr},
      {"binary little-endian", string("i\x84\x03\0\0", 5), xmap_binary, {900}, nullptr, 900, 5, nullptr},
      {"binary negative", string("i\xff\xff\xff\xff", 5), xmap_binary, {-1}, nullptr, -1, 5, nullptr},
      {"binary 4 bytes", string("i\x84\x03\0", 4), xmap_binary, {900}, nullptr, 0, -1, nullptr},
      {"binary bad letter", string("I\x84\x03\0\0", 5), xmap_binary, {900}, nullptr, 0, -1, nullptr},
      {"binary read as text", string("i\x84\x03\0\0", 5), xmap_text, {900}, nullptr, 0, -1, nullptr},
  };
  temp_tree t;
  for (const header_row& r : rows) {
    std::string path = t.write("h.txt", r.bytes);
    xmap_class m(path);
    ASSERT_TRUE(m.mapped()) << r.name;
    std::vector<int> list = r.versions;
    list.push_back(0);
    std::string rest = "untouched";
    EXPECT_EQ(m.check_file(r.type, list.data(), r.keyword, &rest), r.result) << r.name;
    if (r.cursor >= 0) {
      EXPECT_EQ(m.cursor - m.begin, r.cursor) << r.name;
    }
    if (r.rest) {
      EXPECT_EQ(rest, r.rest) << r.name;
    }
  }
}

TEST(MappedFile, SwapFlagFollowsTheBinaryLetter) {
  temp_tree t;
  const int v900[] = {900, 0};
  xmap_class m(t.write("b", std::string("a\0\0\x03\x84", 5)));
  EXPECT_EQ(m.check_file(xmap_binary, v900, nullptr, nullptr), 900);
  EXPECT_EQ(m.swap_flag, 1);
  m.retry(t.write("b", std::string("i\x84\x03\0\0", 5)));
  EXPECT_EQ(m.check_file(xmap_binary, v900, nullptr, nullptr), 900);
  EXPECT_EQ(m.swap_flag, 0);
  m.retry(t.write("b", "I\n900\n"));
  m.swap_flag = 1;
  EXPECT_EQ(m.check_file(xmap_text, v900, nullptr, nullptr), 900);
  EXPECT_EQ(m.swap_flag, 1) << "the text form leaves the flag alone";
}

TEST(MappedFile, EmptyMissingAndFolder) {
  temp_tree t;
  const int v[] = {900, 0};
  xmap_class empty(t.write("empty", ""));
  ASSERT_TRUE(empty.mapped()) << "an empty file is present";
  EXPECT_EQ(empty.begin, empty.end);
  EXPECT_EQ(empty.size(), 0);
  EXPECT_EQ(empty.check_file(xmap_text, v, nullptr, nullptr), 0);
  std::string line = "x";
  empty.TXT_str_scan_eoln(&line);
  EXPECT_EQ(line, "");

  xmap_class missing(t.path() + "missing");
  EXPECT_FALSE(missing.mapped());
  EXPECT_EQ(missing.retry(t.path() + "missing"), nullptr);
  EXPECT_EQ(missing.check_file(xmap_text, v, nullptr, nullptr), 0);

  make_folders(t.path() + "folder/");
  xmap_class folder(t.path() + "folder");
  EXPECT_FALSE(folder.mapped());

  // A FIFO has no bytes to map and must not block the reader waiting for a writer.
  const std::string fifo = t.path() + "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  xmap_class pipe_view(fifo);
  EXPECT_TRUE(pipe_view.mapped());
  EXPECT_EQ(pipe_view.size(), 0);

  xmap_class unmapped;
  EXPECT_FALSE(unmapped.mapped());
  unmapped.TXT_str_scan_space(&line);
  EXPECT_EQ(line, "");
}

TEST(MappedFile, SmallAndLargeFiles) {
  temp_tree t;
  xmap_class small(t.write("one", "z"));
  ASSERT_EQ(small.size(), 1);
  EXPECT_EQ(*small.begin, 'z');

  // A sparse file past 4 GiB: sizes are 64-bit, and nothing is read but the touched pages.
  std::string big = t.path() + "big.bin";
  int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  const off_t size = (off_t(5) << 30) + 3;
  ASSERT_EQ(pwrite(fd, "END", 3, size - 3), 3);
  ASSERT_EQ(pwrite(fd, "I", 1, 0), 1);
  close(fd);
  xmap_class m(big);
  ASSERT_TRUE(m.mapped());
  EXPECT_EQ(m.size(), size);
  EXPECT_EQ(std::string(m.end - 3, 3), "END");
  EXPECT_EQ(m.begin[1 << 20], 0);
}

int open_descriptors() {
  int n = 0;
  DIR* d = opendir("/proc/self/fd");
  while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
  closedir(d);
  return n;
}

TEST(MappedFile, DescriptorsAreReleased) {
  temp_tree t;
  std::string a = t.write("a", "aaaa"), b = t.write("b", "bb"), e = t.write("e", "");
  const int before = open_descriptors();
  {
    xmap_class m(a);
    EXPECT_GE(m.descriptor, 0);
    int flags = fcntl(m.descriptor, F_GETFD);
    EXPECT_TRUE(flags & FD_CLOEXEC) << "the simulator must not inherit it";
    for (int i = 0; i < 50; ++i) {
      m.retry(i % 3 == 0 ? a : i % 3 == 1 ? b : e);
      m.retry(t.path() + "missing");
    }
    EXPECT_FALSE(m.mapped());
    EXPECT_EQ(m.descriptor, -1);
    m.retry(b);
    EXPECT_EQ(std::string(m.begin, m.end), "bb");
  }
  EXPECT_EQ(open_descriptors(), before);
}

TEST(MappedFile, ReadBlocksWithByteOrder) {
  temp_tree t;
  const int v[] = {900, 0};
  xmap_class m(t.write("b", std::string("a\0\0\x03\x84\x01\x02\x03\x04\x05\x06\x07", 12)));
  ASSERT_EQ(m.check_file(xmap_binary, v, nullptr, nullptr), 900);
  unsigned char out[8] = {0};
  m.read_n_rev(out, 7);
  const unsigned char swapped[7] = {4, 3, 2, 1, 5, 6, 7};
  EXPECT_EQ(memcmp(out, swapped, 7), 0) << "one word swapped, the 3-byte tail left alone";
  EXPECT_EQ(m.cursor, m.end);

  m.cursor = m.begin + 5;
  m.swap_flag = 0;
  m.read_n_rev(out, 4);
  EXPECT_EQ(out[0], 1);

  shell_double::reset();
  m.read_n_rev(out, 4);   // only three bytes left
  m.read_n_rev(out, -1);  // a negative count must not slip past the test
  m.read_n_rev(out, 0x7fffffffffffffffL);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 3u);
  for (const auto& a : alerts) {
    EXPECT_EQ(a.lines[0], "Invalid read_n_rev read!");
    EXPECT_EQ(a.type, t_exit);
    EXPECT_EQ(a.file, "RIzirud/OOPS_cpp/xmap");
  }
  EXPECT_EQ(m.cursor, m.begin + 9);
}

TEST(MappedFile, PathRules) {
  temp_tree t;
  shell_double::reset();
  std::string colon = t.write("Skyrill: the sim/a:b.txt", "I\n900\n");
  xmap_class m(colon);
  EXPECT_TRUE(m.mapped()) << "':' is an ordinary name character";
  EXPECT_TRUE(shell_double::alerts().empty());

  m.retry(t.path() + "a\\b.txt");
  EXPECT_FALSE(m.mapped());
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[0], "OOPS!");
  EXPECT_EQ(alerts[0].lines[1], "I got a bad dirchar! I only want '/'!");
  EXPECT_EQ(alerts[0].lines[2], "The path in question is:");
  EXPECT_EQ(alerts[0].lines[3], t.path() + "a\\b.txt");
  EXPECT_EQ(alerts[0].type, t_exit);

  shell_double::reset();
  app_path = t.path();
  m.retry(t.path() + "Skyrill: the sim/a:b.txt");
  app_path = "";
  alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[0], "retry: We are getting a file string that is not Nimbrel relative!");
  EXPECT_EQ(alerts[0].lines[1], "This is illegal! All paths must be Nimbrel relative!");

  // The root prefix is put in front of relative paths.
  app_path = t.path();
  m.retry("Skyrill: the sim/a:b.txt");
  app_path = "";
  EXPECT_TRUE(m.mapped());

  shell_double::reset();
  t.write("Resources/French.txt", "I\n900 version\nTRANSLATION\n");
  platform_set_executable_path(t.path() + "skyrill-installer");
  xmap_class res("RESOURCE:French.txt");
  const int v[] = {900, 0};
  EXPECT_EQ(res.check_file(xmap_text, v, "TRANSLATION", nullptr), 900);
  EXPECT_EQ(res.retry("RESOURCE:German.txt"), nullptr);
  platform_set_executable_path("");
  EXPECT_TRUE(shell_double::alerts().empty());

  m.label = "the label";
  m.check_file(10002, v, nullptr, nullptr);
  alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[0], "Bad check_file type!");
  EXPECT_EQ(alerts[0].lines[1], "the label");
}

TEST(MappedFile, TextScanners) {
  temp_tree t;
  xmap_class m(t.write("s", " \tword1\tword2  rest of line \r\n\n\t next\0tail"));
  std::string w;
  m.TXT_str_scan_space(&w);
  EXPECT_EQ(w, "word1");
  EXPECT_EQ(*m.cursor, '\t');
  m.TXT_str_scan_space(nullptr);
  m.TXT_str_scan_eoln(&w);
  EXPECT_EQ(w, "rest of line ");
  EXPECT_EQ(*m.cursor, 'n');
  m.TXT_str_scan_space(&w);
  EXPECT_EQ(w, "next");
  m.TXT_str_scan_space(&w);
  EXPECT_EQ(w, "");
  EXPECT_EQ(m.cursor, m.end) << "the C literal ended at the NUL, so the file did too";

  std::string nul("a b\0c d", 7);
  m.retry(t.write("n", nul));
  m.TXT_str_scan_eoln(&w);
  EXPECT_EQ(w, "a b");
  m.TXT_str_scan_eoln(&w);
  EXPECT_EQ(w, "c d");
  EXPECT_EQ(m.cursor, m.end);
}

TEST(MappedFile, LineReportCountsEveryLineEndStyle) {
  temp_tree t;
  struct row {
    const char* text;
    const char* at;
    const char* log;
  } rows[] = {
      {"one\ntwo\nthree\n", "wo", "2 \"two\"\n"},
      {"one\rtwo\rthree", "hree", "3 \"three\"\n"},
      {"one\r\ntwo\r\nthree", "wo", "2 \"two\"\n"},
      {"one\r\n\r\nfour x", "four", "3 \"four x\"\n"},
      {"first", "first", "1 \"first\"\n"},
  };
  for (const row& r : rows) {
    xmap_class m(t.write("l", r.text));
    m.cursor = m.begin + std::string(r.text).find(r.at);
    shell_double::reopen_log();
    m.TXT_xer_line();
    EXPECT_EQ(shell_double::log_text(), r.log) << r.text;
  }
}

}  // namespace
