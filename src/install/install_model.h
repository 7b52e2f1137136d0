// The install model: one history per file path of the release directory, each holding every
// listed version of that file with the newest last. Every step of the engine (scan, decisions,
// sums, scheduler, folders) works on the newest version of each history and writes its results
// into that version's fields. Also the path and global-scenery helpers that read the model.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct file_version_struct {
  int32_t platform = 0;      // 0 every platform, 1 Mac, 2 Windows, 3 Linux, 6 Linux too; 4, 5 never
  int32_t version = 0;       // major * 10000 + minor * 100 + revision
  float zip_size = 0;        // archive size in KB of 1000 bytes
  float unz_size = 0;        // installed size in KB of 1000 bytes
  std::string sig_want;      // MD5 as 32 lower-case hex digits, or "GONE"
  std::string sig_have;      // the scan's MD5 of the local file, "NONE" when there is none
  std::string path;          // DIR folder + FILE name; first component is the platform folder
  int32_t disk = 0;          // disc that holds the archive
  int32_t is_current = 0;    // sig_have equals sig_want
  int32_t is_global = 0;     // a global-scenery tile with a valid cell
  int32_t sector_lat = 0;    // 0..17
  int32_t sector_lon = 0;    // 0..35
  int32_t do_install = 0;    // decided: fetch and install
  int32_t do_delete = 0;     // decided: delete the local file
  float progress_at = 0;     // share of the install total before this file
};

using file_history_struct = std::vector<file_version_struct>;

extern std::vector<file_history_struct> sim_info;

// Folders that the scheduler's deletions may have emptied, each ending "/", for its clean-up.
extern std::set<std::string> deleted_files;

// 1 when the path names a global-scenery tile by folder and ".dsf" suffix (any case).
int is_global_scenery_f(const char* path);

// The 10-degree cell of a tile named like +40-120.dsf; 1 when the leaf has that form and the
// cell is in range, else 0 (the outputs are then not to be used).
int find_sector(int* lon, int* lat, const std::string& path);

// Drops everything up to and including the first "/": a release path becomes the path inside
// the installation.
void trim_dest_folder(std::string& path);

// 1 when the path ends with "/".
int path_has_no_file(const std::string& path);

// The path of a release entry inside the installation folder.
std::string local_path_of(const file_version_struct& v);

// The newest version of a history.
inline file_version_struct& newest_version(int history) { return sim_info[history].back(); }
