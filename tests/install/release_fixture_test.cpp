// The builder programs as processes: two successive releases made by the builders of two
// release numbers, laid out as a web mirror, checked with unzip and md5sum; the refusal of a
// previous directory that already holds the builder's number; and the product's own builder
// program (the installer's sources with is_build set).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "support/process.h"
#include "support/release_fixture.h"
#include "support/temp_tree.h"

namespace {

struct file_line {
  std::string path;
  int version = 0;
  std::string sig;
};

// Every FILE record with its full path, in order.
std::vector<file_line> file_lines(const std::string& directory) {
  std::vector<file_line> out;
  std::istringstream in(directory);
  std::string line, folder;
  while (std::getline(in, line)) {
    if (line.compare(0, 4, "DIR ") == 0) folder = line.substr(4);
    if (line.compare(0, 5, "FILE ") != 0) continue;
    std::istringstream f(line.substr(5));
    std::string zero, platform, zip_kb, unz_kb, name;
    file_line r;
    f >> zero >> platform >> r.version >> zip_kb >> unz_kb >> r.sig;
    f.get();
    std::getline(f, name);
    r.path = folder + name;
    out.push_back(r);
  }
  return out;
}

std::vector<file_line> history_of(const std::vector<file_line>& lines, const std::string& path) {
  std::vector<file_line> out;
  for (const auto& l : lines)
    if (l.path == path) out.push_back(l);
  return out;
}

TEST(ReleaseFixture, TwoSuccessiveReleasesOnAWebMirror) {
  temp_tree t;
  write_release_source(t.path() + "src1/", sample_release_files(1));
  auto r1 = run_release_builder(t.path() + "src1/", t.path() + "masters1/", "", release_older);
  ASSERT_EQ(r1.exit_code, 0) << r1.output;
  write_release_source(t.path() + "src2/", sample_release_files(2));
  auto r2 = run_release_builder(t.path() + "src2/", t.path() + "masters2/", r1.directory_file,
                                release_current);
  ASSERT_EQ(r2.exit_code, 0) << r2.output;

  const auto lines = file_lines(r2.directory_text);
  auto retired = history_of(lines, "All/Resources/retired.txt");
  ASSERT_EQ(retired.size(), 2u);
  EXPECT_EQ(retired[0].version, 90901);
  EXPECT_EQ(retired[1].version, 91001);
  EXPECT_EQ(retired[1].sig, "GONE");
  auto changed = history_of(lines, "All/Weapons/missile.wpn");
  ASSERT_EQ(changed.size(), 2u);
  EXPECT_EQ(changed[0].version, 90901);
  EXPECT_EQ(changed[0].sig, md5sum_of(t.path() + "src1/All/Weapons/missile.wpn"));
  EXPECT_EQ(changed[1].version, 91001);
  auto kept = history_of(lines, "All/Instructions/readme.txt");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].version, 91001);

  const std::string www = t.path() + "www/" + release_name + "/";
  publish_web_mirror(r2.masters, www);
  EXPECT_TRUE(path_exists(www + "directory.txt.zip"));
  int served = 0;
  for (const auto& l : lines) {
    if (l.version != 91001 || l.sig == "GONE") continue;
    SCOPED_TRACE(l.path);
    const std::string source = t.path() + "src2/" + l.path;
    auto unzipped = run_process({"unzip", "-p", www + l.path + ".zip"});
    EXPECT_EQ(unzipped.exit_code, 0);
    EXPECT_EQ(unzipped.out, read_whole_file(source));
    EXPECT_EQ(l.sig, md5sum_of(source));
    ++served;
  }
  EXPECT_EQ(served, 14);

  // The executable comes out of its archive executable.
  const std::string out = t.path() + "unpacked/";
  make_folders(out);
  ASSERT_EQ(run_process({"unzip", "-q", www + "Linux/skyrill.zip", "-d", out}).exit_code, 0);
  struct stat st;
  ASSERT_EQ(stat((out + "skyrill").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);

  // A builder never extends a directory that already holds its own release number.
  auto again = run_release_builder(t.path() + "src2/", t.path() + "masters3/", r2.directory_file,
                                   release_current);
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.output.find("You idiot! I already have a version:"), std::string::npos)
      << again.output;
  EXPECT_NE(again.output.find("version_number 91001.000000"), std::string::npos);
  EXPECT_FALSE(path_exists(t.path() + "masters3/disk_0"));
}

TEST(ReleaseBuilderProgram, BuildsAFullDiscSetFromTheGivenTree) {
  temp_tree t;
  const std::string src = t.path() + "src/";
  auto files = sample_release_files(1);
  files.push_back({"All/Resources/default scenery/900 red terrain/red.png", "red"});
  files.push_back({"All/Resources/bitmaps/Earth Orbit Textures/orbit.png", "orbit"});
  write_release_source(src, files);
  const std::string masters = t.path() + "masters/";
  make_folders(masters);
  auto r = run_process({SKY_BINARY_DIR "/src/skyrill-release-builder", "--fps_test",
                        "--build_src=" + src, "--build_dst=" + masters});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(read_whole_file(masters + "disk_0/dvd_version.txt"),
            "I\n900 version\nDVD\n\nVERSION Skyrill 9.10r1\n");
  auto dir = run_process({"unzip", "-p", masters + "disk_0/Skyrill 9.10r1/directory.txt.zip"});
  ASSERT_EQ(dir.exit_code, 0);
  EXPECT_NE(dir.out.find("\nDIR All/Resources/default scenery/900 red terrain/\nFILE 0 0 91001 0 0 " +
                         md5sum_of(src + "All/Resources/default scenery/900 red terrain/red.png") +
                         " red.png\n"),
            std::string::npos)
      << dir.out;
}

}  // namespace
