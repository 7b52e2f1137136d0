// Real releases for tests: writes a source tree with the shape the release builder requires,
// runs the builder program on it (an update build, of the current release number or of an
// older one, so that two successive releases can be made), and lays the result out the way a
// web mirror serves it.
//
// Typical use, two releases on one mirror folder:
//   temp_tree t;
//   write_release_source(t.path() + "src1/", sample_release_files(1));
//   auto r1 = run_release_builder(t.path() + "src1/", t.path() + "masters1/", "", release_older);
//   write_release_source(t.path() + "src2/", sample_release_files(2));
//   auto r2 = run_release_builder(t.path() + "src2/", t.path() + "masters2/",
//                                 r1.directory_file, release_current);
//   publish_web_mirror(r2.masters, t.path() + "www/" + release_name + "/");
// A mirror entry then answers server path "/" + release_name + "/" + release path + ".zip", and
// "directory.txt.zip" sits beside the archives.
#pragma once

#include <string>
#include <vector>

// The release name the builder writes (the folder below each disc folder and on the mirror).
extern const char* const release_name;

// Release numbers of the two builder programs.
enum release_version { release_older = 90901, release_current = 91001 };

// Bytes that do not compress (so that archive sizes are not all zero KB), the same for a seed.
std::string noise(size_t size, unsigned seed);

struct release_source_file {
  std::string path;     // release path below the source root, e.g. "All/Aircraft/c4.acf"
  std::string content;  // the bytes
  int mode = 0644;      // permission bits (0755 for executables)
};

// Writes the folders and files every build requires (the platform folders, the named folders
// under All, the plug-in folder and the two "Skyrill.txt" files), then the given files, below
// root (which ends with "/" and may not exist yet).
void write_release_source(const std::string& root, const std::vector<release_source_file>& files);

// A small release: text and binary files on every platform, blanks in names, an executable
// under Linux/, a 999-byte file and one of exactly 2,000 bytes. Release 2 differs from 1: one
// file changed, one removed ("All/Resources/retired.txt"), one added, the rest the same.
std::vector<release_source_file> sample_release_files(int release);

struct release_build {
  int exit_code = -1;          // 0 when the build finished
  std::string output;          // the builder's alerts and log
  std::string masters;         // the disc masters folder, ending with "/"
  std::string release_folder;  // masters + "disk_0/" + release_name + "/"
  std::string directory_file;  // the unzipped "directory.txt", beside the masters folder
  std::string directory_text;  // its contents
};

// Runs the update builder on source_root (ending with "/") into masters (ending with "/"; made
// when missing, and it must not hold an earlier build). previous_directory is the previous release's
// "directory.txt", or "" for a first release (a header-only directory is then used). The
// release's directory is unzipped next to the masters as "<masters less '/'>.directory.txt".
// A disc limit above 0 (KB) starts the next disc once the archives on one pass it.
release_build run_release_builder(const std::string& source_root, const std::string& masters,
                                  const std::string& previous_directory, release_version version,
                                  double disc_limit_kb = 0);

// Copies the release folder of every disc folder of masters into one folder (ending with "/",
// made when missing): the archives at their release paths, "directory.txt.zip" at the top.
void publish_web_mirror(const std::string& masters, const std::string& mirror_release_folder);
