#include "files/folder_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

#include "files/paths.h"
#include "platform/dialogs.h"
#include "platform/file_dialogs.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"

namespace {

const char* const kFile = "files/folder_listing.cpp";

struct filter_row {
  int type;
  const char* ext;
};
// Types by the upper-cased last four characters of a name. Panel images (12) take the image
// extensions too, which is why 12 never appears here.
const filter_row kFilters[] = {
    {2, ".BMP"}, {2, ".PNG"}, {3, ".ACF"}, {4, ".AFL"}, {5, ".WPN"}, {6, ".WAV"},
    {7, ".OBJ"}, {8, ".FDR"}, {9, ".SIT"}, {10, ".SMO"}, {11, ".FMS"}, {13, ".TRA"},
    {14, ".CAR"}, {15, ".SPA"}, {16, ".REG"}, {17, ".DSF"}, {18, ".HGT"}, {19, ".TXT"},
};

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool starts_with_nocase(const std::string& s, const std::string& prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (lower(s[i]) != lower(prefix[i])) return false;
  return true;
}

// Byte order after lower-casing, bytes taken as signed: UTF-8 names sort before ASCII.
bool name_less(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    signed char x = static_cast<signed char>(lower(a[i]));
    signed char y = static_cast<signed char>(lower(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

void sort_together(std::vector<std::string>& names, std::vector<int>& flags) {
  std::vector<size_t> order(names.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&](size_t i, size_t j) { return name_less(names[i], names[j]); });
  std::vector<std::string> n2;
  std::vector<int> f2;
  n2.reserve(order.size());
  f2.reserve(order.size());
  for (size_t i : order) {
    n2.push_back(std::move(names[i]));
    f2.push_back(flags[i]);
  }
  names.swap(n2);
  flags.swap(f2);
}

// Reads the folder's items with their folder flag (links are never folders here).
int read_folder(const std::string& folder, bool with_dot_names, std::vector<std::string>& names,
                std::vector<int>& flags) {
  DIR* d = opendir(folder.empty() ? "." : folder.c_str());
  if (!d) return -errno;
  errno = 0;
  while (dirent* e = readdir(d)) {
    const char* n = e->d_name;
    if (!std::strcmp(n, ".") || !std::strcmp(n, "..")) continue;
    if (n[0] == '.' && !with_dot_names) continue;
    int flag;
    if (e->d_type == DT_DIR) {
      flag = 1;
    } else if (e->d_type != DT_UNKNOWN) {
      flag = 0;
    } else {
      struct stat st;
      flag = lstat((folder + n).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
    }
    names.emplace_back(n);
    flags.push_back(flag);
  }
  int err = errno;
  closedir(d);
  return err ? -err : static_cast<int>(names.size());
}

}  // namespace

int opensave_takeit(const std::string& folder, const std::string& name, int type, int& flag) {
  if (name.size() >= 4) {
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = upper(c);
    for (const auto& f : kFilters)
      if (ext == f.ext) flag = f.type;
  }
  if (type == 12) {
    std::string path = folder + name;
    if (starts_with_nocase(path, std::string("Resources/bitmaps/cockpit/-panels-/").substr(0, 32)))
      return 0;
    if (path.size() >= 6) {
      std::string tail = path.substr(path.size() - 6, 3);
      for (const char* bad : {"-1.", "-2.", "-3.", "-4."})
        if (starts_with_nocase(tail, bad)) return 0;
    }
  }
  if (name.empty() || name[0] == '.') return 0;
  return flag == 1 || flag == type || type == 0 || (type == 12 && flag == 2);
}

int opensave_getitems(const std::string& folder, int type, std::vector<std::string>& names,
                      std::vector<int>& flags) {
  names.clear();
  flags.clear();
  if (type == 20) return 0;
  if (type == 21) {
    cmnd.get_cmds_in_path(folder, names);
    std::sort(names.begin(), names.end());
    flags.assign(names.size(), 21);
    for (size_t i = 0; i < names.size(); ++i) {
      if (!names[i].empty() && names[i].back() == '/') {
        names[i].pop_back();
        flags[i] = 1;
      }
    }
    return static_cast<int>(names.size());
  }
  std::string path = folder;
  set_path_to_full(path);
  if (path.size() > 1 && path.back() != '/') {
    __MACIBM_alert(0, "Working path does not appear to be a directory!",
                   "This is not consistent with my labelling practices!",
                   "I need to end all paths with the directory indicator!", path, t_exit, kFile,
                   __LINE__);
    return -1;
  }
  std::vector<std::string> all;
  std::vector<int> all_flags;
  // A folder we cannot read must not look empty: the clean-up would take it for one.
  if (read_folder(path, false, all, all_flags) < 0) return -1;
  for (size_t i = 0; i < all.size(); ++i) {
    int flag = all_flags[i];
    if (opensave_takeit(folder, all[i], type, flag)) {
      names.push_back(all[i]);
      flags.push_back(flag);
    }
  }
  sort_together(names, flags);
  return static_cast<int>(names.size());
}

int list_folder_for_tree(const std::string& folder, std::vector<std::string>& names,
                         std::vector<int>& flags) {
  names.clear();
  flags.clear();
  int n = read_folder(folder, true, names, flags);
  if (n < 0) {
    names.clear();
    flags.clear();
    return n;
  }
  sort_together(names, flags);
  return n;
}

int (*in_window_file_dialog)(int kind, const std::string& start_folder, std::string& io_path) = nullptr;

int GetFilePathFromUser(int kind, const std::string& message, const std::string& /*action*/,
                        int /*pref_key*/, const std::string& start_folder, std::string& io_path) {
  std::string start;
  struct stat st;
  if (!start_folder.empty() && stat(start_folder.c_str(), &st) == 0) start = start_folder;
  if (!platform_file_dialog_available() && in_window_file_dialog) return in_window_file_dialog(kind, start, io_path);
  std::string chosen;
  std::string file_name = kind == 1 ? io_path : std::string();
  if (!platform_file_dialog(kind, message, start, file_name, chosen)) return 0;
  io_path = chosen;
  return 1;
}

void DoUserAlert(const char* text) { platform_alert_box(text ? text : "", ""); }

int16_t EndianFlipShort(int16_t* value) {
  uint16_t v = static_cast<uint16_t>(*value);
  v = static_cast<uint16_t>((v >> 8) | (v << 8));
  *value = static_cast<int16_t>(v);
  return *value;
}

int32_t EndianFlipLong(int32_t* value) {
  uint32_t v = static_cast<uint32_t>(*value);
  v = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
  *value = static_cast<int32_t>(v);
  return *value;
}
