#include "install/install_model.h"

#include <cctype>
#include <cstring>

#include "install/wizard_globals.h"

std::vector<file_history_struct> sim_info;
std::set<std::string> deleted_files;

int is_global_scenery_f(const char* path) {
  static const char* const folders[] = {"Global Scenery/", "/-global overlays-/",
                                        "/-global terrain-/", "/default scenery/DSF 820"};
  bool in_folder = false;
  for (const char* f : folders) in_folder = in_folder || std::strstr(path, f) != nullptr;
  if (!in_folder) return 0;
  size_t n = std::strlen(path);
  if (n <= 4) return 0;
  const char* tail = path + n - 4;
  return tail[0] == '.' && std::tolower(static_cast<unsigned char>(tail[1])) == 'd' &&
         std::tolower(static_cast<unsigned char>(tail[2])) == 's' &&
         std::tolower(static_cast<unsigned char>(tail[3])) == 'f';
}

namespace {
// Reads a sign and `digits` decimal digits at s; false unless all are there.
bool signed_digits(const char* s, int digits, int* out) {
  if (*s != '+' && *s != '-') return false;
  int value = 0;
  for (int i = 1; i <= digits; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    value = value * 10 + (s[i] - '0');
  }
  *out = *s == '-' ? -value : value;
  return true;
}
}  // namespace

int find_sector(int* lon, int* lat, const std::string& path) {
  std::string p = path;
  if (!p.empty() && p.back() == '/') p.pop_back();
  size_t slash = p.rfind('/');
  std::string leaf = slash == std::string::npos ? p : p.substr(slash + 1);
  // Only a leaf named like a tile has a cell. Any other name would read as "not a number" and
  // land in a real cell, where it could be deleted when that cell is not wanted.
  int latitude = 0, longitude = 0;
  if (leaf.size() != 11 || !signed_digits(leaf.c_str(), 2, &latitude) ||
      !signed_digits(leaf.c_str() + 3, 3, &longitude) || leaf[7] != '.') {
    return 0;
  }
  *lat = (latitude + 90) / 10;
  *lon = (longitude + 180) / 10;
  return *lat >= 0 && *lat <= 17 && *lon >= 0 && *lon <= 35;
}

void trim_dest_folder(std::string& path) {
  size_t slash = path.find('/');
  if (slash != std::string::npos) path.erase(0, slash + 1);
}

int path_has_no_file(const std::string& path) { return !path.empty() && path.back() == '/'; }

std::string local_path_of(const file_version_struct& v) {
  std::string inside = v.path;
  trim_dest_folder(inside);
  return dest_dir_path + inside;
}
