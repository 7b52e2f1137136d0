// Whole builds of a full disc set (the kind this program links) from a real source tree into
// real disc masters, checked with unzip, zipinfo, md5sum and stat, and once against a release
// made independently with zip and md5sum.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <sstream>

#include "install/release_builder.h"
#include "runtime/shell_services.h"
#include "support/process.h"
#include "support/release_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

struct record {
  std::string kind;  // "DIR", "DISK" or "FILE"
  std::string folder;
  int disk = 0;
  int platform = 0, version = 0;
  long long zip_kb = 0, unz_kb = 0;
  std::string sig, name;
  bool after_empty_line = false;
};

std::vector<record> parse_records(const std::string& text) {
  std::vector<record> out;
  std::istringstream in(text);
  std::string line, previous;
  while (std::getline(in, line)) {
    record r;
    r.after_empty_line = previous.empty();
    if (line.compare(0, 4, "DIR ") == 0) {
      r.kind = "DIR";
      r.folder = line.substr(4);
    } else if (line.compare(0, 5, "DISK ") == 0) {
      r.kind = "DISK";
      r.disk = std::stoi(line.substr(5));
    } else if (line.compare(0, 5, "FILE ") == 0) {
      r.kind = "FILE";
      std::istringstream f(line.substr(5));
      std::string zero;
      f >> zero >> r.platform >> r.version >> r.zip_kb >> r.unz_kb >> r.sig;
      EXPECT_EQ(zero, "0") << line;
      f.get();
      std::getline(f, r.name);
    }
    if (!r.kind.empty()) out.push_back(r);
    previous = line;
  }
  return out;
}

long long file_size(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// A Windows executable just big enough for the large-address-aware patch.
std::string tiny_pe() {
  std::string s(64 + 24, '\0');
  s[0] = 'M';
  s[1] = 'Z';
  s[60] = 64;
  s.replace(64, 4, std::string("PE\0\0", 4));
  return s;
}

int (*const original_md5)(const std::string&, std::string&) = builder_file_md5;

class FullBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    shell_double::reset();
    shell_double::reset_builder_display();
    shell_double::reopen_log();
    src = tree.path() + "src/";
    auto files = sample_release_files(1);
    files.push_back({"All/Resources/default scenery/900 red terrain/red.png", noise(1200, 9)});
    files.push_back({"All/Resources/bitmaps/Earth Orbit Textures/orbit.png", "orbit"});
    files.push_back({"All/Global Scenery/-global terrain-/+40-120/+45-118.dsf", noise(4000, 8)});
    files.push_back({"All/Global Scenery/+50-010/+51-002.dsf", noise(2500, 10)});
    files.push_back({"All/Custom Scenery/DSF 900 Mars World-Wide/mars.dsf", "mars"});
    files.push_back({"All/Resources/stray prepared.dat", noise(3000, 11)});
    files.push_back({"Windows/Skyrill.exe", tiny_pe()});
    write_release_source(src, files);
    // Prepared archives: one where the disc installer asks for ".7z", one where nothing does.
    for (const char* f : {"All/Global Scenery/+50-010/+51-002.dsf", "All/Resources/stray prepared.dat"}) {
      // Debian's 7zip names its program 7zz before trixie.
      const std::string seven = path_exists("/usr/bin/7z") ? "7z" : "7zz";
      auto r = run_process({seven, "a", "-bso0", "-bsp0", src + f + ".7z", src + f});
      ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    builder_set_source_root(src);
    dst_fold_base = tree.path() + "masters/";
    make_folders(dst_fold_base);
    builder_disc_limit_kb = 630000.0;
  }
  void TearDown() override {
    builder_set_source_root("/Skyrill 9.00/");
    builder_disc_limit_kb = 630000.0;
    builder_file_md5 = original_md5;
  }

  std::string release() const { return dst_fold_base + "disk_0/Skyrill 9.10r1/"; }
  std::string directory_text() const {
    auto r = run_process({"unzip", "-p", release() + "directory.txt.zip", "directory.txt"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
  }
  // Every FILE record with its release path, checking the DIR records on the way.
  std::map<std::string, record> files_by_path(const std::vector<record>& records) {
    std::map<std::string, record> out;
    std::string folder;
    for (const auto& r : records) {
      if (r.kind == "DIR") {
        EXPECT_TRUE(r.after_empty_line) << r.folder;
        EXPECT_NE(r.folder, folder) << "a DIR record that does not change the folder";
        folder = r.folder;
      }
      if (r.kind == "FILE") out[folder + r.name] = r;
    }
    return out;
  }

  temp_tree tree;
  std::string src;
};

TEST_F(FullBuild, WritesArchivesDirectoryAndDiscIdentity) {
  ASSERT_EQ(build_install(), 0);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, t_alert);
  EXPECT_EQ(alerts[0].lines[0], "OK compression is done. Checklist if doing net:");

  EXPECT_EQ(read_whole_file(dst_fold_base + "disk_0/dvd_version.txt"),
            "I\n900 version\nDVD\n\nVERSION Skyrill 9.10r1\n");
  EXPECT_FALSE(path_exists(release() + "directory.txt"));
  const std::string text = directory_text();
  ASSERT_EQ(text.compare(0, 25, "I\n900 version\nINSTALLER\n\n"), 0) << text;

  auto files = files_by_path(parse_records(text));
  const std::vector<std::string> want = {
      "All/Aircraft/General Aviation/c4 trainer.acf",
      "All/Airfoils/naca 2412.afl",
      "All/Global Scenery/+50-010/+51-002.dsf",
      "All/Global Scenery/-global terrain-/+40-120/+45-118.dsf",
      "All/Instructions/readme.txt",
      "All/Output/empty.txt",
      "All/Resources/bitmaps/Earth Orbit Textures/orbit.png",
      "All/Resources/default data/earth.dat",
      "All/Resources/default scenery/900 red terrain/red.png",
      "All/Resources/menus/English/Skyrill.txt",
      "All/Resources/retired.txt",
      "All/Resources/sizes/2000 bytes.dat",
      "All/Resources/sizes/999 bytes.dat",
      "All/Resources/stray prepared.dat",
      "All/Resources/text/English/Skyrill.txt",
      "All/Weapons/missile.wpn",
      "Linux/skyrill",
      "Macintosh/Skyrill.app.txt",
      "Windows/Skyrill.dll",
      "Windows/Skyrill.exe",
  };
  std::vector<std::string> have;
  for (const auto& f : files) have.push_back(f.first);
  EXPECT_EQ(have, want);

  const std::map<std::string, int> platforms = {{"All", 0}, {"Macintosh", 1}, {"Windows", 2}, {"Linux", 3}};
  for (const auto& [path, r] : files) {
    SCOPED_TRACE(path);
    const std::string source = src + path;
    const bool prepared = path == "All/Global Scenery/+50-010/+51-002.dsf";
    const std::string archive = release() + path + (prepared ? ".7z" : ".zip");
    EXPECT_EQ(r.platform, platforms.at(path.substr(0, path.find('/'))));
    EXPECT_EQ(r.version, 91001);
    EXPECT_EQ(r.unz_kb, file_size(source) / 1000);
    EXPECT_EQ(r.zip_kb, file_size(archive) / 1000);
    EXPECT_EQ(r.sig, md5sum_of(source));
    if (prepared) continue;
    EXPECT_FALSE(path_exists(release() + path + ".7z"));
    auto content = run_process({"unzip", "-p", archive});
    EXPECT_EQ(content.exit_code, 0);
    EXPECT_EQ(content.out, read_whole_file(source));
    auto names = run_process({"zipinfo", "-1", archive});
    EXPECT_EQ(names.out, path.substr(path.rfind('/') + 1) + "\n");
  }
  EXPECT_EQ(files["All/Resources/sizes/999 bytes.dat"].unz_kb, 0);
  EXPECT_EQ(files["All/Resources/sizes/2000 bytes.dat"].unz_kb, 2);

  // The executable keeps its mode inside its archive.
  auto listing = run_process({"zipinfo", release() + "Linux/skyrill.zip"});
  EXPECT_NE(listing.out.find("-rwxr-xr-x"), std::string::npos) << listing.out;

  // The Windows program is shipped patched, and its record describes the patched file.
  EXPECT_EQ(read_whole_file(src + "Windows/Skyrill.exe")[64 + 22] & 0x20, 0x20);

  // The prepared archive the disc installer asks for is the prepared file itself; the other one
  // is not shipped, its file is zipped as usual, and the log says so.
  struct stat a, b;
  ASSERT_EQ(stat((src + "All/Global Scenery/+50-010/+51-002.dsf.7z").c_str(), &a), 0);
  ASSERT_EQ(stat((release() + "All/Global Scenery/+50-010/+51-002.dsf.7z").c_str(), &b), 0);
  EXPECT_EQ(a.st_ino, b.st_ino);
  EXPECT_FALSE(path_exists(release() + "All/Global Scenery/+50-010/+51-002.dsf.zip"));
  EXPECT_NE(shell_double::log_text().find("Prepared archive not shipped (installers ask for \".zip\" here): " +
                                          src + "All/Resources/stray prepared.dat.7z"),
            std::string::npos);

  // Scenery of other worlds stays out of a full build of this one.
  EXPECT_FALSE(path_exists(release() + "All/Custom Scenery"));

  // The masters of one build are never overwritten by the next.
  shell_double::reset();
  shell_double::reset_builder_display();
  EXPECT_EQ(build_install(), 1);
  ASSERT_EQ(shell_double::alerts().size(), 1u);
  EXPECT_EQ(shell_double::alerts()[0].lines[0], "Could not make the dst_folder!");
}

TEST_F(FullBuild, MatchesAReleaseMadeWithZipAndMd5sum) {
  ASSERT_EQ(build_install(), 0);
  auto files = files_by_path(parse_records(directory_text()));
  temp_tree ref;
  int n = 0;
  for (const auto& [path, r] : files) {
    if (path.find("Global Scenery/+50-010") != std::string::npos) continue;  // the prepared 7z
    SCOPED_TRACE(path);
    const std::string source = src + path;
    const std::string archive = ref.path() + std::to_string(n++) + ".zip";
    auto z = run_process({"zip", "-q", "-X", "-j", "-6", archive, source});
    ASSERT_EQ(z.exit_code, 0) << z.err;
    auto md5 = run_process({"md5sum", source});
    EXPECT_EQ(r.sig, md5.out.substr(0, 32));
    EXPECT_EQ(r.unz_kb, file_size(source) / 1000);
    // Both archives deflate at the default level; their headers differ by a few bytes, which
    // may move a size across a whole KB.
    EXPECT_NEAR(static_cast<double>(r.zip_kb), static_cast<double>(file_size(archive) / 1000), 1.0);
    EXPECT_EQ(run_process({"unzip", "-p", release() + path + ".zip"}).out,
              run_process({"unzip", "-p", archive}).out);
  }
  EXPECT_EQ(n, 19);
}

TEST_F(FullBuild, SplitsDiscsWhereverTheArchivesCrossTheLimit) {
  for (int i = 0; i < 6; ++i)
    write_whole_file(src + "All/Output/noise " + std::to_string(i) + ".bin", noise(5000, 20 + i));
  builder_disc_limit_kb = 4.0;
  ASSERT_EQ(build_install(), 0);
  auto records = parse_records(directory_text());
  int disc = 0, discs_seen = 1;
  std::string folder;
  const record* last = nullptr;
  for (const auto& r : records) {
    if (r.kind == "DIR") folder = r.folder;
    if (r.kind == "DISK") {
      ASSERT_NE(last, nullptr);
      EXPECT_EQ(last->kind, "FILE") << "a DISK record follows the file that crossed the limit";
      EXPECT_EQ(r.disk, disc + 1);
      disc = r.disk;
      ++discs_seen;
    }
    if (r.kind == "FILE") {
      const bool prepared = r.name == "+51-002.dsf";
      const std::string archive = dst_fold_base + "disk_" + std::to_string(disc) +
                                  "/Skyrill 9.10r1/" + folder + r.name + (prepared ? ".7z" : ".zip");
      EXPECT_TRUE(path_exists(archive)) << archive;
    }
    last = &r;
  }
  // More discs than the three the scan prepares folders for.
  EXPECT_GE(discs_seen, 5);
  EXPECT_TRUE(path_exists(dst_fold_base + "disk_0/dvd_version.txt"));
  EXPECT_TRUE(path_exists(release() + "directory.txt.zip"));
}

TEST_F(FullBuild, AFileThatCannotBeDigestedFailsTheBuild) {
  builder_file_md5 = [](const std::string& path, std::string& digest) {
    if (path.find("readme.txt") != std::string::npos) return 20006;
    return original_md5(path, digest);
  };
  EXPECT_EQ(build_install(), 1);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, t_exit);
  EXPECT_EQ(alerts[0].lines[0], "Could not MD5 file!");
  EXPECT_EQ(alerts[0].lines[1], src + "All/Instructions/readme.txt");
  // No directory is published that could list another file's digest for it.
  EXPECT_FALSE(path_exists(release() + "directory.txt.zip"));
}

TEST_F(FullBuild, KeyQStopsTheCompileStep) {
  for (int i = 0; i < 20; ++i)
    write_whole_file(src + "All/Output/f" + std::to_string(i) + ".txt", "x");
  shell_double::press_q_at_poll(1);
  EXPECT_EQ(build_install(), 1);
  auto lines = shell_double::builder_progress();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].status, "reg: 0: total files to compress: 40. now doing: 20.");
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[0], "You hit Q dumbass!");
}

}  // namespace
