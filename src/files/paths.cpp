#include "files/paths.h"

#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>

#include <vector>

#include "platform/folders.h"
#include "runtime/shell_services.h"

namespace {

// Unicode code points of the Mac Roman bytes 0x80 to 0xFF.
const unsigned short mac_roman_high[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4,
    0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF,
    0x00F1, 0x00F3, 0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020,
    0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4,
    0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202,
    0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1,
    0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3,
    0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A,
    0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC,
    0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, 0x00AF,
    0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

// The plain structural test: every byte of 0x80 or above begins a sequence of the right
// length of continuation bytes. Overlong forms are not looked for.
bool looks_like_utf8(const std::string& s) {
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t follow;
    if (c < 0x80) follow = 0;
    else if ((c & 0xE0) == 0xC0) follow = 1;
    else if ((c & 0xF0) == 0xE0) follow = 2;
    else if ((c & 0xF8) == 0xF0) follow = 3;
    else return false;
    if (follow > n - i - 1) return false;
    for (size_t k = 1; k <= follow; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += follow + 1;
  }
  return true;
}

void append_utf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The entry of folder that names component: the exact name when present, else the byte-wise
// smallest name equal to it regardless of (ASCII) case, so the choice never depends on the
// order readdir happens to give. False when the folder cannot be read or nothing matches.
bool match_entry(const std::string& folder, const std::string& component, std::string* found) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return false;
  bool have = false;
  std::string best;
  while (dirent* e = readdir(dir)) {
    if (strcasecmp(e->d_name, component.c_str()) != 0) continue;
    if (component == e->d_name) {
      best = component;
      have = true;
      break;
    }
    if (!have || best > e->d_name) best = e->d_name;
    have = true;
  }
  closedir(dir);
  if (have) *found = best;
  return have;
}

}  // namespace

void set_path_to_full(std::string& path) {
  path = app_path + path;
  if (g_case_sensitive != 0 && !path.empty()) findPath(path);
}

void findPath(std::string& path) {
  if (path.empty() || exists(path)) return;
  size_t start = 0;
  while (start < path.size()) {
    if (path[start] == '/') {
      ++start;
      continue;
    }
    size_t stop = path.find('/', start);
    if (stop == std::string::npos) stop = path.size();
    std::string folder = path.substr(0, start);
    std::string component = path.substr(start, stop - start);
    std::string found;
    if (!exists(folder + component)) {
      if (!match_entry(folder, component, &found)) return;
      // A case-insensitive match of ASCII letters has the same length.
      path.replace(start, stop - start, found);
    }
    start = stop + 1;
  }
}

void set_path_to_right_dirchars(std::string& path) {
  if (!looks_like_utf8(path)) {
    std::string out;
    out.reserve(path.size() * 2);
    for (char ch : path) {
      unsigned char c = static_cast<unsigned char>(ch);
      append_utf8(out, c < 0x80 ? c : mac_roman_high[c - 0x80]);
    }
    path.swap(out);
  }
  for (char& c : path)
    if (c == '\\' || c == ':') c = '/';
}

void get_OS_abs_path(int which, std::string& out) {
  // Folders from the OS are used exactly as the OS names them: re-encoding them as Mac Roman
  // or turning ':' into '/' would name a different folder on Linux.
  std::string found;
  bool ok = false;
  switch (which) {
    case os_dir_this_app:
      found = platform_app_folder();
      ok = !found.empty();
      break;
    case os_dir_this_bundle:
      found = platform_bundle_path();
      ok = !found.empty();
      break;
    case os_dir_desktop:
    case os_dir_default_apps:
      ok = platform_desktop_folder(&found);
      break;
    case os_dir_temp:
      ok = platform_temp_folder(&found);
      break;
    case os_dir_prefs:
      ok = platform_prefs_folder(&found);
      break;
    default:
      break;
  }
  if (ok) out = found;
}

int UTL_path_is_resource(std::string& path) {
  static const char prefix[] = "RESOURCE:";
  const size_t len = sizeof prefix - 1;
  if (path.size() <= len || path.compare(0, len, prefix) != 0) return 0;
  path.erase(0, len);
  return 1;
}

std::string UTL_resource_get_file(const std::string& name) { return platform_resource_path(name); }

void split_folder_and_leaf(const std::string& path, std::string* folder, std::string* leaf) {
  std::string p = path;
  if (p.size() > 1 && p.back() == '/') p.pop_back();
  size_t slash = p.rfind('/');
  if (slash == std::string::npos) {
    *folder = "";
    *leaf = p;
    return;
  }
  *leaf = p.substr(slash + 1);
  *folder = slash == 0 ? "/" : p.substr(0, slash);
}

std::string leaf_of(const std::string& path) {
  std::string folder, leaf;
  split_folder_and_leaf(path, &folder, &leaf);
  return leaf;
}

int FilePathToFSRefAndName(const char* path, std::string* folder, std::string* name) {
  std::string target = path ? path : "";
  if (name) {
    std::string leaf;
    split_folder_and_leaf(target, &target, &leaf);
    *name = leaf;
    if (target.empty()) target = ".";
  }
  if (target.empty()) return ENOENT;
  char* resolved = realpath(target.c_str(), nullptr);
  if (!resolved) return errno;
  if (folder) *folder = resolved;
  free(resolved);
  return 0;
}

void ConvertPathToCFM(std::string&) {}
