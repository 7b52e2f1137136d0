#include "files/zip_archive.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "files/archive_fixtures.h"
#include "support/shell_double.h"

namespace {

// A source tree with what releases carry: nested folders, blanks and UTF-8 in names, an empty
// file, an executable, a large random file and a link.
struct source_tree {
  temp_tree tmp;
  std::string root = tmp.path() + "src/";
  source_tree() {
    tmp.write("src/plain.txt", "hello\n");
    tmp.write("src/empty", "");
    tmp.write("src/sub dir/R\xC3\xA9sum\xC3\xA9.txt", "caf\xC3\xA9\n");
    tmp.write("src/sub dir/deeper/big.bin", random_bytes(3 << 20, 7));
    tmp.write("src/run.sh", "#!/bin/sh\necho hi\n");
    chmod((root + "run.sh").c_str(), 0755);
    chmod((root + "plain.txt").c_str(), 0640);
    symlink("sub dir/deeper/big.bin", (root + "link").c_str());
  }
};

std::string zip_of(const source_tree& s, const std::string& archive,
                   std::vector<std::string> flags) {
  std::vector<std::string> argv{"zip", "-q", "-X"};
  argv.insert(argv.end(), flags.begin(), flags.end());
  argv.insert(argv.end(), {archive, "."});
  EXPECT_EQ(run_process(argv, "", {}, s.root).exit_code, 0);
  return archive;
}

void expect_same_tree(const std::string& source, const std::string& copy) {
  ASSERT_EQ(list_tree(source), list_tree(copy));
  for (const auto& rel : list_tree(source)) {
    if (rel.back() == '/') continue;
    std::string a = source + rel, b = copy + rel;
    struct stat st;
    ASSERT_EQ(lstat(a.c_str(), &st), 0);
    if (S_ISLNK(st.st_mode)) {
      char t1[4096] = {}, t2[4096] = {};
      ASSERT_GT(readlink(a.c_str(), t1, sizeof t1), 0);
      ASSERT_GT(readlink(b.c_str(), t2, sizeof t2), 0) << rel << " is not a link";
      EXPECT_STREQ(t1, t2) << rel;
      continue;
    }
    EXPECT_EQ(md5sum_of(a), md5sum_of(b)) << rel;
    EXPECT_EQ(mode_of(a) & 0777, mode_of(b) & 0777) << rel;
  }
}

std::string apple_double(uint16_t count, const std::string& descriptors, size_t tail,
                         bool good_magic = true) {
  std::string s = good_magic ? std::string("\x00\x05\x16\x07\x00\x02\x00\x00", 8)
                             : std::string("\x00\x05\x16\x08\x00\x02\x00\x00", 8);
  s += std::string(16, '\0');
  s += static_cast<char>(count >> 8);
  s += static_cast<char>(count & 0xFF);
  s += descriptors;
  s += std::string(tail, 'r');
  return s;
}

std::string be32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (24 - 8 * i));
  return s;
}

TEST(ZipExtract, ArchivesFromZipRoundTripByMd5ModeAndLinks) {
  source_tree s;
  std::string archive = zip_of(s, s.tmp.path() + "all.zip", {"-r", "-y"});
  std::string out = s.tmp.path() + "out/";
  make_folders(out);
  std::string first;
  ASSERT_EQ(zip_to_file(archive, out, &first, 0), 0) << shell_double::log_text();
  EXPECT_FALSE(first.empty());
  expect_same_tree(s.root, out);
  EXPECT_EQ(mode_of(out + "run.sh"), 0755u);
  // Entry dates are kept to the zip format's two seconds.
  struct stat a, b;
  ASSERT_EQ(stat((s.root + "plain.txt").c_str(), &a), 0);
  ASSERT_EQ(stat((out + "plain.txt").c_str(), &b), 0);
  EXPECT_LE(std::labs(a.st_mtime - b.st_mtime), 2);

  // Unpacking again over the same files (folders already there) succeeds and changes nothing.
  ASSERT_EQ(zip_to_file(archive, out, nullptr, 0), 0);
  expect_same_tree(s.root, out);
  // No temporary file is left behind.
  for (const auto& rel : list_tree(out)) EXPECT_EQ(rel.find(".sky-part-"), std::string::npos);
}

TEST(ZipExtract, FileInMissingFolderFailsWithEnoentAndKeepsEarlierFiles) {
  source_tree s;
  // -D: no folder entries, so "sub dir/..." lands in a folder that is not there.
  std::string archive = zip_of(s, s.tmp.path() + "nodirs.zip", {"-r", "-D", "-y"});
  std::string out = s.tmp.path() + "out/";
  make_folders(out);
  EXPECT_EQ(zip_to_file(archive, out, nullptr, 0), ENOENT);
  EXPECT_NE(shell_double::log_text().find("UNZIP zip_to_file failed with err=2"), std::string::npos);
}

TEST(ZipExtract, ModesFromUnixWindowsAndBareEntries) {
  temp_tree t;
  std::string archive = t.path() + "modes.zip";
  ASSERT_TRUE(make_crafted_zip(archive, {
      {"unix644", "a", 0100644u << 16, 3},
      {"unix750", "b", 0100750u << 16, 3},
      {"windows", "c", 0x20, 0},       // MS-DOS host, archive bit: no Unix mode at all
      {"bare", "d", 0, 3},             // no attributes: default mode, current time
      {"stored", "e", 0100600u << 16, 3, false},
  }));
  std::string out = t.path() + "out/";
  make_folders(out);
  time_t before = time(nullptr);
  ASSERT_EQ(zip_to_file(archive, out, nullptr, 0), 0) << shell_double::log_text();
  mode_t def = 0666 & ~022;
  EXPECT_EQ(mode_of(out + "unix644"), 0644u);
  EXPECT_EQ(mode_of(out + "unix750"), 0750u);
  EXPECT_EQ(mode_of(out + "windows"), def);
  EXPECT_EQ(mode_of(out + "bare"), def);
  EXPECT_EQ(read_whole_file(out + "stored"), "e");
  // A regular file entry is never taken for a link.
  struct stat st;
  ASSERT_EQ(lstat((out + "unix644").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  ASSERT_EQ(stat((out + "bare").c_str(), &st), 0);
  EXPECT_GE(st.st_mtime, before - 2);
  ASSERT_EQ(stat((out + "windows").c_str(), &st), 0);
  struct tm t2020{};
  t2020.tm_year = 120; t2020.tm_mon = 0; t2020.tm_mday = 2; t2020.tm_hour = 3; t2020.tm_min = 4;
  t2020.tm_sec = 6; t2020.tm_isdst = -1;
  EXPECT_EQ(st.st_mtime, mktime(&t2020));
}

TEST(ZipExtract, LongNamesAreWrittenWhole) {
  temp_tree t;
  std::string dir = std::string(200, 'd') + "/";
  std::string name = dir + std::string(100, 'f') + ".txt";
  std::string archive = t.path() + "long.zip";
  ASSERT_TRUE(make_crafted_zip(archive, {{dir, "", 040755u << 16, 3}, {name, "long", 0100644u << 16, 3}}));
  std::string out = t.path() + "out/";
  make_folders(out);
  ASSERT_EQ(zip_to_file(archive, out, nullptr, 0), 0);
  EXPECT_EQ(read_whole_file(out + name), "long");
}

TEST(ZipExtract, RenameWritesTheOneFileUnderTheGivenName) {
  temp_tree t;
  std::string archive = t.path() + "one.zip";
  ASSERT_TRUE(make_crafted_zip(archive, {{"stored name", "payload", 0100644u << 16, 3}}));
  std::string out = t.path() + "out/";
  make_folders(out);
  std::string name = "wanted.txt";
  ASSERT_EQ(zip_to_file(archive, out, &name, 1), 0);
  EXPECT_EQ(read_whole_file(out + "wanted.txt"), "payload");
  EXPECT_EQ(name, "stored name");
  EXPECT_FALSE(path_exists(out + "stored name"));
}

TEST(ZipExtract, SideEntriesAreCheckedAndDropped) {
  std::string finder_and_fork =
      be32(9) + be32(50) + be32(32) + be32(2) + be32(82) + be32(10);
  std::string good = apple_double(2, finder_and_fork, 32 + 10);
  struct row {
    const char* what;
    std::string side;
    bool side_first;
    int expect;
  } rows[] = {
      {"good header after its file", good, false, 0},
      {"good header before its file", good, true, 0},
      {"wrong magic", apple_double(2, finder_and_fork, 42, false), false, 20012},
      {"too short for a header", std::string("\x00\x05\x16", 3), false, 20012},
      {"count 32767 with no descriptors", apple_double(32767, "", 0), false, 20012},
      {"descriptor past the end", apple_double(1, be32(2) + be32(50) + be32(1000), 10), false, 20012},
      {"offset plus length wraps 32 bits", apple_double(1, be32(9) + be32(0xFFFFFFF0u) + be32(32), 40), false, 20012},
      {"count 0: no descriptors", apple_double(0, "", 0), false, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    temp_tree t;
    std::vector<crafted_entry> entries;
    crafted_entry file{"folder/my._file", "data", 0100644u << 16, 3};
    crafted_entry side{"__MACOSX/folder/._my._file", r.side, 0, 3};
    entries.push_back({"folder/", "", 040755u << 16, 3});
    if (r.side_first) entries.push_back(side);
    entries.push_back(file);
    if (!r.side_first) entries.push_back(side);
    entries.push_back({"after", "later", 0100644u << 16, 3});
    std::string archive = t.path() + "side.zip";
    ASSERT_TRUE(make_crafted_zip(archive, entries));
    std::string out = t.path() + "out/";
    make_folders(out);
    shell_double::reopen_log();
    EXPECT_EQ(zip_to_file(archive, out, nullptr, 0), r.expect);
    // The side entry never becomes a file of its own, and never renames "my._file".
    EXPECT_EQ(read_whole_file(out + "folder/my._file"), "data");
    EXPECT_FALSE(path_exists(out + "__MACOSX"));
    EXPECT_FALSE(path_exists(out + "folder/myfile"));
    // A bad side entry stops the unpacking there.
    EXPECT_EQ(path_exists(out + "after"), r.expect == 0);
    if (r.expect) {
      EXPECT_NE(shell_double::log_text().find("Unzip RF failed with error 20012"), std::string::npos);
    }
  }
}

TEST(ZipExtract, HostileNamesNeverWriteOutsideTheFolder) {
  struct row {
    const char* what;
    std::vector<crafted_entry> entries;
  };
  temp_tree t;
  std::string victim = t.path() + "victim/";  // "outside": beside the target folder
  std::vector<row> rows = {
      {"dot-dot", {{"../victim/x", "evil"}}},
      {"absolute", {{victim + "x", "evil"}}},
      {"dot-dot inside", {{"a/", "", 040755u << 16}, {"a/../../victim/x", "evil"}}},
      {"backslash", {{"..\\victim\\x", "evil"}}},
      {"through a link to the root", {{"l", "/", 0120777u << 16}, {"l" + victim + "x", "evil"}}},
      {"through a link to outside",
       {{"l", "../victim", 0120777u << 16, 3, false}, {"l/x", "evil"}}},
      {"through a link made inside, then a folder entry",
       {{"in/", "", 040755u << 16}, {"in/l", "..", 0120777u << 16, 3, false}, {"in/l/x/", "", 040755u << 16}}},
      {"link named ./l then l/x", {{"./l", "../victim", 0120777u << 16, 3, false}, {"l/x", "evil"}}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    remove_tree(victim);
    make_folders(victim);
    std::string out = t.path() + "out/";
    remove_tree(out);
    make_folders(out);
    std::string archive = t.path() + "evil.zip";
    ASSERT_TRUE(make_crafted_zip(archive, r.entries));
    EXPECT_NE(zip_to_file(archive, out, nullptr, 0), 0);
    EXPECT_TRUE(list_tree(victim).empty());
    EXPECT_FALSE(path_exists(t.path() + "x"));
    EXPECT_FALSE(path_exists("/x"));
  }
}

TEST(ZipExtract, LinksInsideTheFolderAreKept) {
  temp_tree t;
  std::string archive = t.path() + "links.zip";
  ASSERT_TRUE(make_crafted_zip(archive, {
      {"Versions/", "", 040755u << 16},
      {"Versions/A/", "", 040755u << 16},
      {"Versions/A/lib", "code"},
      {"Versions/Current", "A", 0120755u << 16, 3, false},
      {"lib", "Versions/Current/lib", 0120755u << 16, 3, false},
  }));
  std::string out = t.path() + "out/";
  make_folders(out);
  write_whole_file(out + "lib", "an old file where the link goes");
  ASSERT_EQ(zip_to_file(archive, out, nullptr, 0), 0) << shell_double::log_text();
  EXPECT_EQ(read_whole_file(out + "lib"), "code");
  char text[64] = {};
  ASSERT_GT(readlink((out + "Versions/Current").c_str(), text, sizeof text), 0);
  EXPECT_STREQ(text, "A");
}

TEST(ZipExtract, DamagedArchivesFailAndLeaveTheTargetAlone) {
  source_tree s;
  std::string good = zip_of(s, s.tmp.path() + "good.zip", {"-r", "-y"});
  std::string bytes = read_whole_file(good);
  std::string out = s.tmp.path() + "out/";
  make_folders(out);
  ASSERT_EQ(zip_to_file(good, out, nullptr, 0), 0);
  std::string big = out + "sub dir/deeper/big.bin";
  std::string old_md5 = md5sum_of(big);

  struct row {
    const char* what;
    std::string data;
    bool open_fails;
  };
  // A byte in the middle of the big entry's deflated data.
  size_t local = bytes.find("sub dir/deeper/big.bin");
  ASSERT_NE(local, std::string::npos);
  std::string flipped = bytes;
  flipped[local + 200000] = static_cast<char>(flipped[local + 200000] ^ 0x55);
  std::vector<row> rows = {
      {"truncated", bytes.substr(0, bytes.size() / 2), true},
      {"empty file", "", true},
      {"text file", "this is not a zip file\n", true},
      {"flipped byte", flipped, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    std::string archive = s.tmp.path() + "bad.zip";
    write_whole_file(archive, r.data);
    shell_double::reopen_log();
    int rc = zip_to_file(archive, out, nullptr, 0);
    if (r.open_fails) {
      EXPECT_EQ(rc, 20001);
      std::string log = shell_double::log_text();
      EXPECT_NE(log.find("OK I am about to report that I could not open a zip file for extraction!\n"
                         "That incoming file is " + archive + "\nIn c-form, it is " + archive +
                         "\nThe size is " + std::to_string(archive.size()) + "\n"),
                std::string::npos)
          << log;
    } else {
      EXPECT_TRUE(rc == 20002 || rc == UNZ_CRCERROR) << rc;
    }
    EXPECT_EQ(md5sum_of(big), old_md5);
    for (const auto& rel : list_tree(out)) EXPECT_EQ(rel.find(".sky-part-"), std::string::npos);
  }
}

// A write that fails mid-entry (the disk fills up) must leave the old file as it was.
TEST(ZipExtract, FullDiskMidEntryKeepsTheOldFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for a small tmpfs";
  temp_tree t;
  std::string mnt = t.path() + "small/";
  make_folders(mnt);
  if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=1m") != 0) GTEST_SKIP() << "mount refused";
  struct unmounter {
    std::string p;
    ~unmounter() { umount2(p.c_str(), MNT_DETACH); }
  } um{mnt};
  write_whole_file(mnt + "file.bin", "the good old file");
  std::string archive = t.path() + "big.zip";
  t.write("new/file.bin", random_bytes(3 << 20, 3));
  ASSERT_EQ(run_process({"zip", "-q", "-j", archive, t.path() + "new/file.bin"}).exit_code, 0);
  EXPECT_EQ(zip_to_file(archive, mnt, nullptr, 0), ENOSPC);
  EXPECT_EQ(read_whole_file(mnt + "file.bin"), "the good old file");
  EXPECT_EQ(list_tree(mnt), std::vector<std::string>{"file.bin"});
}

TEST(ZipPack, FileAndLinkRoundTripThroughStandardTools) {
  temp_tree t;
  std::string src = t.write("data/tool", random_bytes(100000, 5));
  chmod(src.c_str(), 0750);
  symlink("tool", (t.path() + "data/alias").c_str());
  std::string archive = t.path() + "tool.zip";
  write_whole_file(archive, "an older archive");
  ASSERT_EQ(file_to_zip(src, archive), 0);
  EXPECT_EQ(run_process({"unzip", "-tq", archive}).exit_code, 0);
  auto info = run_process({"zipinfo", archive});
  EXPECT_NE(info.out.find("-rwxr-x---"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("unx"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("defN"), std::string::npos) << info.out;

  std::string out = t.path() + "out/";
  make_folders(out);
  ASSERT_EQ(zip_to_file(archive, out, nullptr, 0), 0);
  EXPECT_EQ(md5sum_of(out + "tool"), md5sum_of(src));
  EXPECT_EQ(mode_of(out + "tool"), 0750u);

  std::string link_zip = t.path() + "alias.zip";
  ASSERT_EQ(file_to_zip(t.path() + "data/alias", link_zip), 0);
  auto linfo = run_process({"zipinfo", link_zip});
  EXPECT_NE(linfo.out.find("lrwxr-xr-x"), std::string::npos) << linfo.out;
  EXPECT_NE(linfo.out.find("stor"), std::string::npos) << linfo.out;
  ASSERT_EQ(zip_to_file(link_zip, out, nullptr, 0), 0);
  char text[16] = {};
  ASSERT_EQ(readlink((out + "alias").c_str(), text, sizeof text), 4);
  EXPECT_STREQ(text, "tool");

  EXPECT_EQ(file_to_zip(t.path() + "missing", t.path() + "m.zip"), ENOENT);
  EXPECT_FALSE(path_exists(t.path() + "m.zip"));
  EXPECT_EQ(file_to_zip(src, t.path() + "no/such/folder.zip"), 20003);
}

}  // namespace
