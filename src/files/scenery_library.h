// The scenery library: the ordered list of scenery packages (folders under "Custom Scenery/",
// "Global Scenery/" and "Resources/default scenery/") and the virtual paths their "library.txt"
// files publish, optionally only inside regions of the globe. Built whole by one scan, read by
// the look-ups of scenery_lookup.h; both on one thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct lib_region {
  std::string name;
  // One byte per one-degree cell: longitude index x (longitude + 180) times 180 plus latitude
  // index y (latitude + 90). Non-zero is inside.
  unsigned char cells[360 * 180] = {};
};

// One provider of a virtual path.
struct lib_entry {
  lib_entry* next = nullptr;      // the next provider of the same virtual path
  lib_region* region = nullptr;   // where the entry is valid; null = everywhere
  int package = 0;                // package number
  uint32_t flags = 0;             // low 24 bits the weight, high byte the kind (below)
  std::string path;               // relative to the package folder
};

enum : uint32_t {
  lib_kind_extend = 0x00000000,
  lib_kind_exclude = 0x01000000,
  lib_kind_export = 0x02000000,
  lib_kind_backup = 0x04000000,
  lib_kind_mask = 0xFF000000,
  lib_weight_mask = 0x00FFFFFF,
};

extern std::vector<std::string> scenery_packages;  // package folders ending in "/", by priority
extern std::vector<int> package_problems;          // 1 once a package's error was shown
extern std::vector<int> package_is_custom;         // 1 for packages under "Custom Scenery/"
extern std::map<std::string, lib_entry*> dsf_library;  // virtual path to its first provider
extern std::map<std::string, lib_region*> dsf_regions;  // regions of the library file being read

extern const char* const cus_path;     // "Custom Scenery/"
extern const char* const glb_path;     // "Global Scenery/"
extern const char* const def_path;     // "Resources/default scenery/"
extern const char* const obj_path;     // "Resources/objects/"
extern const char* const def_ovr_str;  // "-global overlays-"
extern const char* const def_ter_str;  // "-global terrain-"

// Rebuilds the package list and the library from the folders below the current folder. The
// entries and regions of the previous scan are released here, never while look-ups run.
void DSF_ScanSceneryFolder();

// Adds a provider: after the providers that are not backups, in front of the backups already
// there (so backups read in reverse package order). The library owns the entry from then on.
void DSF_RegisterEntry(const std::string& virtual_path, lib_entry* entry);

// Scenery error reports: logged with where they came from, and shown once per package per scan
// (the fatal one always, as a fatal alert that ends the program). A message of any length is
// taken whole.
void __DSF_NonFatalError(const char* source, int line, const char* scenery_file, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void __DSF_FatalError(const char* source, int line, const char* scenery_file, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Region bitmaps are images, and images are read by the graphics layer above this one: the
// program installs its loader here at start-up. It loads one image file as one byte per pixel,
// rows from the bottom up; false when the file cannot be read. Without a loader every region
// bitmap is reported as unreadable.
using scenery_bitmap_loader = bool (*)(const std::string& path, int* width, int* height,
                                       std::vector<unsigned char>* pixels);
void set_scenery_bitmap_loader(scenery_bitmap_loader load);
