#include "platform/folders.h"

#include <errno.h>
#include <ftw.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <vector>

namespace {

std::mutex exe_lock;
std::string exe_override;

std::string read_link(const char* path) {
  std::vector<char> buf(256);
  for (;;) {
    ssize_t n = readlink(path, buf.data(), buf.size());
    if (n < 0) return "";
    // A full buffer may mean a cut name: grow until the text fits with room to spare.
    if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
    buf.resize(buf.size() * 2);
  }
}

bool is_folder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string with_slash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

// $HOME, else the password database's home of the real user.
bool home_folder(std::string* out) {
  const char* home = getenv("HOME");
  if (home && *home == '/') {
    *out = with_slash(home);
    return true;
  }
  std::vector<char> buf(16384);
  passwd pw;
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result &&
      result->pw_dir && result->pw_dir[0] == '/') {
    *out = with_slash(result->pw_dir);
    return true;
  }
  return false;
}

std::string config_home() {
  const char* xdg = getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return with_slash(xdg);
  std::string home;
  if (!home_folder(&home)) return "";
  return home + ".config/";
}

// One value of user-dirs.dirs: a double-quoted text that is either absolute or starts with
// "$HOME/"; a backslash quotes the next byte. "" when the line holds anything else.
std::string user_dir_value(const std::string& quoted, const std::string& home) {
  if (quoted.size() < 2 || quoted[0] != '"') return "";
  std::string text;
  size_t i = 1;
  for (; i < quoted.size() && quoted[i] != '"'; ++i) {
    if (quoted[i] == '\\' && i + 1 < quoted.size()) ++i;
    text += quoted[i];
  }
  if (i == quoted.size()) return "";
  if (text.compare(0, 6, "$HOME/") == 0) return home + text.substr(6);
  if (text == "$HOME") return home;
  if (!text.empty() && text[0] == '/') return text;
  return "";
}

std::string xdg_desktop(const std::string& home) {
  std::string config = config_home();
  if (config.empty()) return "";
  std::ifstream in(config + "user-dirs.dirs");
  std::string line, found;
  const std::string key = "XDG_DESKTOP_DIR=";
  while (std::getline(in, line)) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
    std::string value = line.substr(start + key.size());
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
      value.pop_back();
    found = user_dir_value(value, home);  // the last assignment wins, as in the shell
  }
  return found;
}

// The temporary folder of this run and the process that made it; removal happens only in that
// process, so a forked child that exits never takes its parent's folder along.
std::mutex temp_lock;
std::string temp_folder;
pid_t temp_owner = 0;
bool temp_keep = false;
bool temp_exit_hook = false;

int remove_entry(const char* path, const struct stat*, int, FTW*) {
  remove(path);
  return 0;
}

void remove_temp_locked() {
  if (!temp_folder.empty() && temp_owner == getpid() && !temp_keep)
    nftw(temp_folder.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  temp_folder.clear();
}

void remove_temp_at_exit() {
  std::lock_guard<std::mutex> g(temp_lock);
  remove_temp_locked();
}

}  // namespace

std::string platform_executable_path() {
  {
    std::lock_guard<std::mutex> g(exe_lock);
    if (!exe_override.empty()) return exe_override;
  }
  return read_link("/proc/self/exe");
}

void platform_set_executable_path(const std::string& path) {
  std::lock_guard<std::mutex> g(exe_lock);
  exe_override = path;
}

void platform_split_executable_path(const std::string& executable, std::string* folder,
                                    std::string* bundle) {
  size_t slash = executable.rfind('/');
  if (slash == std::string::npos) {
    *folder = "";
    *bundle = "";
    return;
  }
  *folder = executable.substr(0, slash + 1);
  *bundle = slash == 0 ? "/" : executable.substr(0, slash);
}

std::string platform_app_folder() {
  std::string folder, bundle;
  platform_split_executable_path(platform_executable_path(), &folder, &bundle);
  return folder;
}

std::string platform_bundle_path() {
  std::string folder, bundle;
  platform_split_executable_path(platform_executable_path(), &folder, &bundle);
  return bundle;
}

std::string platform_resource_path(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
    return "";
  std::string folder = platform_app_folder();
  if (folder.empty()) return "";
  std::string path = folder + "Resources/" + name;
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return "";
  return path;
}

bool platform_desktop_folder(std::string* out) {
  std::string home;
  if (!home_folder(&home)) return false;
  std::string desktop = xdg_desktop(home);
  if (!desktop.empty() && is_folder(desktop)) {
    *out = with_slash(desktop);
    return true;
  }
  if (is_folder(home + "Desktop")) {
    *out = home + "Desktop/";
    return true;
  }
  *out = home;
  return true;
}

bool platform_prefs_folder(std::string* out) {
  std::string folder = config_home();
  if (folder.empty() || platform_make_folders(folder, 0700) != 0) return false;
  *out = folder;
  return true;
}

bool platform_temp_folder(std::string* out) {
  std::lock_guard<std::mutex> g(temp_lock);
  if (temp_folder.empty() || temp_owner != getpid()) {
    const char* tmp = getenv("TMPDIR");
    std::string base = tmp && *tmp == '/' ? with_slash(tmp) : "/tmp/";
    std::string templ = base + "skyrill-XXXXXX";
    if (!mkdtemp(templ.data())) return false;  // mkdtemp makes it 0700, owned by us
    temp_folder = templ + "/";
    temp_owner = getpid();
    temp_keep = false;
    if (!temp_exit_hook) {
      atexit(remove_temp_at_exit);
      temp_exit_hook = true;
    }
  }
  *out = temp_folder;
  return true;
}

void platform_remove_temp_folder() {
  std::lock_guard<std::mutex> g(temp_lock);
  remove_temp_locked();
}

void platform_keep_temp_folder() {
  std::lock_guard<std::mutex> g(temp_lock);
  temp_keep = true;
}

int platform_make_folders(const std::string& path, unsigned mode) {
  if (path.empty()) return ENOENT;
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i != path.size() && path[i] != '/') continue;
    if (path[i - 1] == '/') continue;
    std::string part = path.substr(0, i);
    if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return errno;
  }
  return is_folder(path) ? 0 : ENOTDIR;
}
