#include "files/scenery_library.h"

#include <cstdarg>
#include <cstdio>
#include <iomanip>
#include <memory>

#include "files/folder_listing.h"
#include "files/mapped_file.h"
#include "files/paths.h"
#include "runtime/shell_services.h"

std::vector<std::string> scenery_packages;
std::vector<int> package_problems;
std::vector<int> package_is_custom;
std::map<std::string, lib_entry*> dsf_library;
std::map<std::string, lib_region*> dsf_regions;

const char* const cus_path = "Custom Scenery/";
const char* const glb_path = "Global Scenery/";
const char* const def_path = "Resources/default scenery/";
const char* const obj_path = "Resources/objects/";
const char* const def_ovr_str = "-global overlays-";
const char* const def_ter_str = "-global terrain-";

namespace {

const char* const kFile = "files/scenery_library.cpp";

// Everything one scan made; the entries point at regions of earlier library files, so both
// live until the next scan.
std::vector<std::unique_ptr<lib_entry>> entry_arena;
std::vector<std::unique_ptr<lib_region>> region_arena;

scenery_bitmap_loader bitmap_loader = nullptr;

std::string format_message(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, format, args);
  std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(&text[0], text.size() + 1, format, again);
  va_end(again);
  return text;
}

// The package a scenery file belongs to: the first whose folder is a prefix of the file's path.
int package_of(const std::string& scenery_file) {
  for (size_t i = 0; i < scenery_packages.size(); ++i)
    if (!scenery_packages[i].empty() && scenery_file.compare(0, scenery_packages[i].size(), scenery_packages[i]) == 0)
      return static_cast<int>(i);
  return -1;
}

void log_error(const char* source, int line, const char* scenery_file, const std::string& message) {
  xer << "***Error with scenery file \"" << (scenery_file ? scenery_file : "") << "\" (" << (source ? source : "")
      << ": " << line << ".)\n  " << message << "\n";
}

bool ends_word(char c) { return c == '\0' || c == '\t' || c == ' ' || c == '\r' || c == '\n'; }
bool is_blank(char c) { return c == '\t' || c == ' '; }

void skip_blanks(xmap_class& m) {
  while (m.cursor < m.end && is_blank(*m.cursor)) ++m.cursor;
}

void skip_line_ends_and_blanks(xmap_class& m) {
  while (m.cursor < m.end && ends_word(*m.cursor)) ++m.cursor;
}

// A keyword at the cursor, followed by a tab or a blank; the cursor moves past the keyword.
bool keyword(xmap_class& m, const char* word) {
  size_t n = std::char_traits<char>::length(word);
  if (static_cast<size_t>(m.end - m.cursor) <= n || std::string(m.cursor, n) != word) return false;
  if (!is_blank(m.cursor[n])) return false;
  m.cursor += n;
  return true;
}

// An integer operand: an optional "-", then an optional "+", then digits up to the end of the
// word. A character that is not a digit ends the number (the rest of the word is passed over),
// and the value stops growing at the int range instead of overflowing.
int scan_int(xmap_class& m) {
  skip_blanks(m);
  bool negative = false;
  if (m.cursor < m.end && *m.cursor == '-') negative = true, ++m.cursor;
  if (m.cursor < m.end && *m.cursor == '+') negative = false, ++m.cursor;
  long long value = 0;
  bool digits = true;
  for (; m.cursor < m.end && !ends_word(*m.cursor); ++m.cursor) {
    if (!digits || *m.cursor < '0' || *m.cursor > '9') {
      digits = false;
      continue;
    }
    if (value < 2147483648LL) value = value * 10 + (*m.cursor - '0');
  }
  if (negative) value = -value;
  if (value > 2147483647LL) value = 2147483647LL;
  if (value < -2147483648LL) value = -2147483648LL;
  return static_cast<int>(value);
}

// The rest of the line after tabs and blanks, up to NUL, CR or LF; then every following NUL,
// tab, blank, CR and LF is skipped.
std::string rest_of_line(xmap_class& m) {
  skip_blanks(m);
  const char* start = m.cursor;
  while (m.cursor < m.end && *m.cursor != '\0' && *m.cursor != '\r' && *m.cursor != '\n') ++m.cursor;
  std::string text(start, m.cursor);
  skip_line_ends_and_blanks(m);
  return text;
}

void skip_line(xmap_class& m) {
  while (m.cursor < m.end && *m.cursor != '\0' && *m.cursor != '\r' && *m.cursor != '\n') ++m.cursor;
  skip_line_ends_and_blanks(m);
}

bool load_bitmap(const std::string& file, int* width, int* height, std::vector<unsigned char>* pixels) {
  if (!bitmap_loader) return false;
  // As the image loader of the program does: the name with its last four characters replaced
  // by ".png", then by ".bmp".
  std::string stem = file.size() >= 4 ? file.substr(0, file.size() - 4) : file;
  for (const char* ext : {".png", ".bmp"})
    if (bitmap_loader(stem + ext, width, height, pixels)) return true;
  return false;
}

void read_library(int package, const std::string& package_path) {
  const std::string file = package_path + "library.txt";
  xmap_class m(file);
  if (!m.mapped()) return;
  static const int versions[] = {800, 0};
  if (m.check_file(xmap_text, versions, "LIBRARY", nullptr) == 0) {
    __DSF_NonFatalError(kFile, __LINE__, file.c_str(), "Incorrect version for scenery library file.  Will skip.");
    return;
  }
  dsf_regions.clear();
  lib_region* current = nullptr;
  lib_region* defining = nullptr;

  struct export_kind {
    const char* keyword;
    uint32_t flags;
  };
  static const export_kind exports[] = {
      {"EXPORT", lib_kind_export | 1},         {"EXPORT_EXTEND", lib_kind_extend | 1},
      {"EXPORT_EXCLUDE", lib_kind_exclude | 1}, {"EXPORT_BACKUP", lib_kind_backup | 1},
  };
  while (m.cursor < m.end) {
    skip_blanks(m);
    if (m.cursor >= m.end) break;
    bool handled = false;
    for (const export_kind& k : exports) {
      if (!keyword(m, k.keyword)) continue;
      std::string virtual_path;
      m.TXT_str_scan_space(&virtual_path);
      std::string path = rest_of_line(m);
      set_path_to_right_dirchars(virtual_path);
      set_path_to_right_dirchars(path);
      auto entry = std::make_unique<lib_entry>();
      entry->region = current;
      entry->package = package;
      entry->flags = k.flags;
      entry->path = path;
      DSF_RegisterEntry(virtual_path, entry.release());
      handled = true;
      break;
    }
    if (handled) continue;
    if (keyword(m, "EXPORT_RATIO")) {
      int ratio = scan_int(m);
      std::string virtual_path;
      m.TXT_str_scan_space(&virtual_path);
      std::string path = rest_of_line(m);
      set_path_to_right_dirchars(virtual_path);
      set_path_to_right_dirchars(path);
      if (static_cast<uint32_t>(ratio) > lib_weight_mask)
        __DSF_NonFatalError(kFile, __LINE__, file.c_str(),
                            "Library error: you cannot have a ratio of more than 2^24 lib items for %s -> %s.",
                            path.c_str(), virtual_path.c_str());
      auto entry = std::make_unique<lib_entry>();
      entry->region = current;
      entry->package = package;
      entry->flags = lib_kind_export | (static_cast<uint32_t>(ratio) & lib_weight_mask);
      entry->path = path;
      DSF_RegisterEntry(virtual_path, entry.release());
    } else if (keyword(m, "REGION_DEFINE")) {
      std::string name;
      m.TXT_str_scan_space(&name);
      if (dsf_regions.count(name)) {
        __DSF_NonFatalError(kFile, __LINE__, file.c_str(), "REGION_DEFINE %s - region already defined.  Ignoring.",
                            name.c_str());
        defining = nullptr;
      } else {
        region_arena.push_back(std::make_unique<lib_region>());
        defining = region_arena.back().get();
        defining->name = name;
        dsf_regions[name] = defining;
      }
    } else if (keyword(m, "REGION_RECT")) {
      if (!defining) {
        __DSF_NonFatalError(kFile, __LINE__, file.c_str(), "REGION_RECT command used but no region has been defined.");
        continue;
      }
      // Sums in 64 bits: operands near the int range must not overflow on the way.
      long long x0 = scan_int(m) + 180LL, y0 = scan_int(m) + 90LL, x1 = scan_int(m) + 180LL, y1 = scan_int(m) + 90LL;
      if (x0 < 0 || y0 < 0 || x1 > 359 || y1 > 179 || y0 > y1 || x0 > x1) {
        __DSF_NonFatalError(kFile, __LINE__, file.c_str(),
                            "The boundaries to a REGION_RECT command are out of range: %lld,%lld->%lld,%lld", x0, y0,
                            x1, y1);
        continue;
      }
      for (long long x = x0; x <= x1; ++x)
        for (long long y = y0; y <= y1; ++y) defining->cells[x * 180 + y] = 1;
    } else if (keyword(m, "REGION_BITMAP")) {
      std::string bitmap;
      m.TXT_str_scan_space(&bitmap);
      set_path_to_right_dirchars(bitmap);
      if (!defining) {
        __DSF_NonFatalError(kFile, __LINE__, file.c_str(),
                            "REGION_BITMAP used with no region defined.  REGION_BITMAP will be ignored.");
        continue;
      }
      int width = 0, height = 0;
      std::vector<unsigned char> pixels;
      if (!load_bitmap(package_path + bitmap, &width, &height, &pixels)) {
        __DSF_NonFatalError(kFile, __LINE__, file.c_str(),
                            "Unable to load bitmap file '%s' for REGION_BITMAP command - will skip.", bitmap.c_str());
      } else if (width != 360 || height != 180 || pixels.size() < 360u * 180u) {
        __DSF_NonFatalError(kFile, __LINE__, file.c_str(),
                            "REGION_BITMAP with bitmap %s has a size of %d, %d but need sa size of 360x180.",
                            bitmap.c_str(), width, height);
      } else {
        // Rows from the bottom: row y is latitude y - 90.
        for (int x = 0; x < 360; ++x)
          for (int y = 0; y < 180; ++y) defining->cells[x * 180 + y] = pixels[static_cast<size_t>(y) * 360 + x] ? 1 : 0;
      }
    } else if (keyword(m, "REGION")) {
      std::string name;
      m.TXT_str_scan_space(&name);
      auto found = dsf_regions.find(name);
      if (found == dsf_regions.end())
        __DSF_NonFatalError(kFile, __LINE__, file.c_str(), "REGION %s - region unknown.  Ingoring", name.c_str());
      else
        current = found->second;
    } else {
      skip_line(m);
    }
  }
}

void add_package(const std::string& path, int custom) {
  scenery_packages.push_back(path);
  package_problems.push_back(0);
  package_is_custom.push_back(custom);
}

}  // namespace

void set_scenery_bitmap_loader(scenery_bitmap_loader load) { bitmap_loader = load; }

void DSF_RegisterEntry(const std::string& virtual_path, lib_entry* entry) {
  entry_arena.emplace_back(entry);
  entry->next = nullptr;
  lib_entry*& head = dsf_library[virtual_path];
  lib_entry** at = &head;
  // In front of the first backup, or at the end when there is none.
  while (*at && ((*at)->flags & lib_kind_mask) != lib_kind_backup) at = &(*at)->next;
  if ((entry->flags & lib_kind_mask) == lib_kind_backup || *at) {
    entry->next = *at;
    *at = entry;
  } else {
    *at = entry;
  }
}

void DSF_ScanSceneryFolder() {
  dsf_library.clear();
  dsf_regions.clear();
  entry_arena.clear();
  region_arena.clear();
  scenery_packages.clear();
  package_problems.clear();
  package_is_custom.clear();

  std::vector<std::string> names;
  std::vector<int> flags;
  bool overlays = false, terrain = false;
  opensave_getitems(cus_path, 1, names, flags);
  for (const std::string& name : names) {
    if (name == def_ovr_str) overlays = true;
    else if (name == def_ter_str) terrain = true;
    else add_package(std::string(cus_path) + name + "/", 1);
  }
  opensave_getitems(glb_path, 1, names, flags);
  for (const std::string& name : names) add_package(std::string(glb_path) + name + "/", 0);
  if (overlays) add_package(std::string(cus_path) + def_ovr_str + "/", 1);
  if (terrain) add_package(std::string(cus_path) + def_ter_str + "/", 1);
  opensave_getitems(def_path, 1, names, flags);
  for (const std::string& name : names) add_package(std::string(def_path) + name + "/", 0);

  xer << "I found the following scenery packages (prioritized in this order):\n";
  for (size_t i = 0; i < scenery_packages.size(); ++i)
    xer << std::setw(3) << i << " " << scenery_packages[i] << "\n";
  xer << "\n";
  xer.flush();

  for (size_t p = 0; p < scenery_packages.size(); ++p) read_library(static_cast<int>(p), scenery_packages[p]);
}

void __DSF_NonFatalError(const char* source, int line, const char* scenery_file, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = format_message(format, args);
  va_end(args);
  log_error(source, line, scenery_file, message);
  const std::string file = scenery_file ? scenery_file : "";
  int package = package_of(file);
  if (package < 0) {
    __MACIBM_alert(0, "Error loading the scenery package:", file, "The scenery may not look correct.",
                   "Please see the log.txt file for detailed error information.", t_alert, kFile, __LINE__);
  } else if (!package_problems[package]) {
    package_problems[package] = 1;
    __MACIBM_alert(0, "Error loading the scenery package:", scenery_packages[package],
                   "The scenery may not look correct.", "Please see the log.txt file for detailed error information.",
                   t_alert, kFile, __LINE__);
  }
  xer.flush();
}

void __DSF_FatalError(const char* source, int line, const char* scenery_file, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = format_message(format, args);
  va_end(args);
  log_error(source, line, scenery_file, message);
  xer.flush();
  const std::string file = scenery_file ? scenery_file : "";
  int package = package_of(file);
  if (package < 0) {
    __MACIBM_alert(0, "Error loading the scenery package:", file, "Skyrill cannot run with this corrupt file.",
                   "Please see the log.txt file for detailed error information.", t_exit, kFile, __LINE__);
    return;
  }
  package_problems[package] = 1;
  __MACIBM_alert(0, "Error loading the scenery package:", scenery_packages[package],
                 package_is_custom[package]
                     ? "Skyrill cannot run with this package installed - you may need to remove the custom  scenery package."
                     : "Skyrill cannot run with this package installed - You may need to reinstall Skyrill.",
                 "Please see the log.txt file for detailed error information.", t_exit, kFile, __LINE__);
}
