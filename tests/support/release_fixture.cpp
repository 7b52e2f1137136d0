#include "support/release_fixture.h"

#include <sys/stat.h>

#include <stdexcept>

#include "support/process.h"
#include "support/temp_tree.h"

const char* const release_name = "Skyrill 9.10r1";

namespace {

std::string builder_program(release_version version) {
  return version == release_older ? SKY_RELEASE_BUILDER_OLDER : SKY_RELEASE_BUILDER_CURRENT;
}

void write_file_with_mode(const std::string& path, const std::string& content, int mode) {
  make_folders(path.substr(0, path.rfind('/') + 1));
  write_whole_file(path, content);
  chmod(path.c_str(), static_cast<mode_t>(mode));
}


}  // namespace

void write_release_source(const std::string& root, const std::vector<release_source_file>& files) {
  static const char* const folders[] = {
      "All/Aircraft/",       "All/Airfoils/",      "All/Instructions/",
      "All/Output/",         "All/Resources/plugins/", "All/Weapons/",
      "All/Custom Scenery/", "All/Global Scenery/", "Macintosh/",
      "Windows/",            "Linux/"};
  for (const char* f : folders) make_folders(root + f);
  write_file_with_mode(root + "All/Resources/menus/English/Skyrill.txt", "menus\n", 0644);
  write_file_with_mode(root + "All/Resources/text/English/Skyrill.txt", "text\n", 0644);
  for (const auto& f : files) write_file_with_mode(root + f.path, f.content, f.mode);
}

std::vector<release_source_file> sample_release_files(int release) {
  std::vector<release_source_file> files = {
      {"All/Aircraft/General Aviation/c4 trainer.acf", "aircraft c4\n" + noise(3000, 1)},
      {"All/Airfoils/naca 2412.afl", std::string(5000, 'a')},
      {"All/Instructions/readme.txt", "Read me first.\n"},
      {"All/Resources/sizes/999 bytes.dat", noise(999, 2)},
      {"All/Resources/sizes/2000 bytes.dat", noise(2000, 3)},
      {"All/Resources/default data/earth.dat", noise(12000, 4)},
      {"All/Output/empty.txt", ""},
      {"Macintosh/Skyrill.app.txt", "mac program\n"},
      {"Windows/Skyrill.dll", noise(1500, 5)},
      {"Linux/skyrill", "#!/bin/sh\necho skyrill\n", 0755},
  };
  if (release == 1) {
    files.push_back({"All/Resources/retired.txt", "this file leaves in release 2\n"});
    files.push_back({"All/Weapons/missile.wpn", "weapon 1\n"});
  } else {
    files.push_back({"All/Weapons/missile.wpn", "weapon 2, changed\n"});
    files.push_back({"All/Weapons/new rocket.wpn", "new in release 2\n"});
  }
  return files;
}

release_build run_release_builder(const std::string& source_root, const std::string& masters,
                                  const std::string& previous_directory, release_version version,
                                  double disc_limit_kb) {
  release_build r;
  r.masters = masters;
  r.release_folder = masters + "disk_0/" + release_name + "/";
  const std::string base = masters.substr(0, masters.size() - 1);
  std::string previous = previous_directory;
  if (previous.empty()) {
    previous = base + ".empty-directory.txt";
    write_whole_file(previous, "I\n900 version\nINSTALLER\n\n");
  }
  make_folders(masters);
  std::vector<std::string> argv = {builder_program(version), "--build_src=" + source_root,
                                   "--build_dst=" + masters, "--build_old_dir=" + previous};
  if (disc_limit_kb > 0) argv.push_back("--disc_limit_kb=" + std::to_string(disc_limit_kb));
  process_result p = run_process(argv);
  r.exit_code = p.exit_code;
  r.output = p.out + p.err;
  if (r.exit_code != 0) return r;
  r.directory_file = base + ".directory.txt";
  process_result u = run_process({"unzip", "-p", r.release_folder + "directory.txt.zip"});
  if (u.exit_code != 0) throw std::runtime_error("unzip of the directory failed: " + u.err);
  r.directory_text = u.out;
  write_whole_file(r.directory_file, r.directory_text);
  return r;
}

void publish_web_mirror(const std::string& masters, const std::string& mirror_release_folder) {
  make_folders(mirror_release_folder);
  for (int disc = 0; path_exists(masters + "disk_" + std::to_string(disc) + "/"); ++disc) {
    const std::string from =
        masters + "disk_" + std::to_string(disc) + "/" + release_name + "/.";
    process_result p = run_process({"cp", "-a", from, mirror_release_folder});
    if (p.exit_code != 0) throw std::runtime_error("cp failed: " + p.err);
  }
}

std::string noise(size_t size, unsigned seed) {
  std::string s(size, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (auto& c : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return s;
}
