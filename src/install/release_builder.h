// Release builder, second half: turns the source tree of a release into disc masters that the
// installers read: one archive per released file, the release directory "directory.txt" (zipped)
// listing every file with its versions, sizes and MD5, and the disc identity "dvd_version.txt".
// An update build first reads the previous release's directory so that the new one carries the
// older versions of every file and a "GONE" record for every file the release no longer holds.
// The source scan and the file filter are in release_builder_scan.h.
//
// Layout written below dst_fold_base:
//   disk_0/dvd_version.txt
//   disk_0/<sim_name>/directory.txt.zip
//   disk_<n>/<sim_name>/<release path>.zip  (".7z" for a prepared archive under Global Scenery)
#pragma once

#include <map>
#include <string>

#include "install/release_builder_scan.h"

// The release number every record of this build's own files carries (91001 is 9.10r1). One
// number per program build: a previous directory that already holds it is refused.
extern const int builder_version;

// The previous release's directory, read by update builds; "/directory.txt" by default.
extern std::string old_dir_path;

// Folder of the last DIR record written; "---" at the start of a build.
extern std::string prev_dir;

// Current disc and the KB of archives placed on it so far.
extern int dvd_now;
extern double zip_size_dvd;

// A disc takes archives until their total passes this many KB (630,000 by default; tests
// lower it to see a split without writing gigabytes).
extern double builder_disc_limit_kb;

// The file digest the compile step uses; tests put a failing one in its place.
extern int (*builder_file_md5)(const std::string& path, std::string& digest);

// Letter-case-blind key order of the previous histories.
struct no_case_compare_string {
  bool operator()(const std::string& a, const std::string& b) const;
};
extern std::map<std::string, int, no_case_compare_string> sim_info_index;

// One whole build of the kind the builder was compiled for, then the checklist alert.
// Returns 0, or 1 when an alert stopped the build.
int build_install();

// The build run for the current sim_name and reg. Returns 0 or 1 as above.
int sub_install();

// Compiles one source file: its archive on the current disc, its directory records, the disc
// split. Returns 0 or 1 as above.
int comp_file(const std::string& source);

// Entry of the builder program: takes "--build_src=<folder>", "--build_dst=<folder>" and
// "--build_old_dir=<file>" (each optional; the defaults above stand otherwise), then builds.
// Returns the process exit status.
int release_builder_main(int argc, char** argv);
