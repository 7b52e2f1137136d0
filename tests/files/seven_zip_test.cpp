#include "files/seven_zip.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "files/archive_fixtures.h"

namespace {

// What a release's 7z archives hold: an ELF binary (for the BCJ filters), text, an empty file,
// a UTF-8 name, a subfolder and enough small files to make a solid block of several items.
struct seven_zip_source {
  temp_tree tmp;
  std::string root = tmp.path() + "src/";
  std::string tool = seven_zip_tool();
  seven_zip_source() {
    tmp.write("src/sub/tool", read_whole_file("/bin/ls"));
    tmp.write("src/sub/R\xC3\xA9sum\xC3\xA9.txt", "caf\xC3\xA9\n");
    tmp.write("src/empty", "");
    for (int i = 0; i < 50; ++i)
      tmp.write("src/many/f" + std::to_string(i), random_bytes(1000 + 37 * i, i) + std::string(500, 'z'));
  }
  std::string pack(const std::string& name, const std::vector<std::string>& method) {
    std::string archive = tmp.path() + name;
    std::vector<std::string> argv{tool, "a", "-bd", "-y", archive};
    argv.insert(argv.end(), method.begin(), method.end());
    argv.insert(argv.end(), {"sub", "empty", "many"});
    EXPECT_EQ(run_process(argv, "", {}, root).exit_code, 0);
    return archive;
  }
};

// Writes a 7z archive holding one file under an arbitrary name, through libarchive's writer.
void write_7z_named(const std::string& path, const std::string& name, const std::string& data) {
  archive* a = archive_write_new();
  archive_write_set_format_7zip(a);
  ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
  archive_entry* e = archive_entry_new();
  archive_entry_set_pathname(e, name.c_str());
  archive_entry_set_filetype(e, AE_IFREG);
  archive_entry_set_perm(e, 0644);
  archive_entry_set_size(e, static_cast<la_int64_t>(data.size()));
  archive_write_header(a, e);
  archive_write_data(a, data.data(), data.size());
  archive_entry_free(e);
  archive_write_close(a);
  archive_write_free(a);
}

TEST(SevenZip, EveryCoderExtractsByteForByte) {
  seven_zip_source s;
  if (s.tool.empty()) GTEST_SKIP() << "no 7z tool";
  struct row {
    const char* coder;
    std::vector<std::string> args;
  } rows[] = {
      {"Copy", {"-m0=Copy"}},
      {"LZMA", {"-m0=LZMA"}},
      {"LZMA2", {"-m0=LZMA2"}},
      {"BCJ + LZMA", {"-mf=BCJ", "-m0=LZMA"}},
      {"BCJ2 + LZMA", {"-mf=BCJ2", "-m0=LZMA"}},
      {"LZMA2, not solid", {"-m0=LZMA2", "-ms=off"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.coder);
    std::string archive = s.pack(std::string(r.coder) + ".7z", r.args);
    std::string out = s.tmp.path() + "out/";
    remove_tree(out);
    make_folders(out + "sub");
    make_folders(out + "many");
    std::string last;
    ASSERT_EQ(p7z_to_file(archive, out, &last, 0), 0);
    EXPECT_EQ(list_tree(out), list_tree(s.root));
    for (const auto& rel : list_tree(s.root)) {
      if (rel.back() == '/') continue;
      EXPECT_EQ(md5sum_of(out + rel), md5sum_of(s.root + rel)) << rel;
    }
    EXPECT_EQ(last.compare(0, out.size(), out), 0);
  }
}

TEST(SevenZip, FolderItemsAreNotMadeAndBadArchivesGiveTheirCodes) {
  seven_zip_source s;
  if (s.tool.empty()) GTEST_SKIP() << "no 7z tool";
  std::string archive = s.pack("lzma.7z", {"-m0=LZMA"});
  std::string bytes = read_whole_file(archive);
  std::string out = s.tmp.path() + "out/";
  make_folders(out);
  // No folder is ever made, so the first item in "sub" or "many" cannot be created.
  EXPECT_EQ(p7z_to_file(archive, out, nullptr, 0), ENOENT);
  EXPECT_FALSE(path_exists(out + "sub"));
  // Items before the failing one stay, as the engine expects of a partial unpack.
  const auto before = list_tree(out);

  EXPECT_EQ(p7z_to_file(s.tmp.path() + "missing.7z", out, nullptr, 0), ENOENT);
  std::string zip = s.tmp.path() + "a.zip";
  ASSERT_EQ(run_process({"zip", "-q", "-r", zip, "sub"}, "", {}, s.root).exit_code, 0);
  struct row {
    const char* what;
    std::string data;
    std::vector<int> codes;
  } rows[] = {
      {"zip file", read_whole_file(zip), {20001}},
      {"text file", "just some text\n", {20001}},
      {"empty file", "", {20001}},
      // Cut inside the packed streams, or with the header lost at the end.
      {"truncated", bytes.substr(0, bytes.size() / 2), {20001, 20002}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    std::string bad = s.tmp.path() + "bad.7z";
    write_whole_file(bad, r.data);
    int rc = p7z_to_file(bad, out, nullptr, 0);
    EXPECT_NE(std::find(r.codes.begin(), r.codes.end(), rc), r.codes.end()) << rc;
  }
  EXPECT_EQ(list_tree(out), before);
}

TEST(SevenZip, DamagedDataIsAnErrorAndKeepsTheOldFile) {
  seven_zip_source s;
  if (s.tool.empty()) GTEST_SKIP() << "no 7z tool";
  std::string archive = s.pack("copy.7z", {"-m0=LZMA2"});
  std::string out = s.tmp.path() + "out/";
  make_folders(out + "sub");
  make_folders(out + "many");
  ASSERT_EQ(p7z_to_file(archive, out, nullptr, 0), 0);
  std::string tool_md5 = md5sum_of(out + "sub/tool");
  std::string bytes = read_whole_file(archive);
  bytes[bytes.size() / 3] = static_cast<char>(bytes[bytes.size() / 3] ^ 0x5A);
  std::string bad = s.tmp.path() + "flipped.7z";
  write_whole_file(bad, bytes);
  int rc = p7z_to_file(bad, out, nullptr, 0);
  EXPECT_TRUE(rc == 20002 || rc == 20001) << rc;
  EXPECT_EQ(md5sum_of(out + "sub/tool"), tool_md5);
  for (const auto& rel : list_tree(out)) EXPECT_EQ(rel.find(".sky-part-"), std::string::npos);
}

TEST(SevenZip, NamesLeavingTheFolderAreRefused) {
  temp_tree t;
  std::string out = t.path() + "out/";
  make_folders(out);
  for (const std::string name : {"../x", "/tmp/sky_7z_abs_x", "a/../../x"}) {
    SCOPED_TRACE(name);
    std::string archive = t.path() + "evil.7z";
    write_7z_named(archive, name, "evil");
    EXPECT_EQ(p7z_to_file(archive, out, nullptr, 0), 20002);
    EXPECT_FALSE(path_exists(t.path() + "x"));
    EXPECT_FALSE(path_exists("/tmp/sky_7z_abs_x"));
  }
  std::string archive = t.path() + "ok.7z";
  write_7z_named(archive, "fine.txt", "fine");
  std::string name = "renamed.txt";
  ASSERT_EQ(p7z_to_file(archive, out, &name, 1), 0);
  EXPECT_EQ(read_whole_file(out + "renamed.txt"), "fine");
  EXPECT_EQ(name, out + "renamed.txt");
}

}  // namespace
