#include "platform/file_dialogs.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/process.h"

namespace {

void (*dialog_idle)() = nullptr;

bool has_display() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

// Whether a program is found on PATH, as posix_spawnp would search it.
bool on_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string p = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= p.size()) {
    size_t colon = p.find(':', start);
    std::string dir = p.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (dir.empty()) dir = ".";
    if (access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return false;
}

// Drops the line end and trailing '/' of a tool's answer, keeping "/" itself.
std::string tidy_answer(std::string s) {
  auto nl = s.find('\n');
  if (nl != std::string::npos) s.erase(nl);
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

}  // namespace

bool platform_file_dialog_available() {
  return has_display() && (on_path("zenity") || on_path("kdialog"));
}

void platform_set_dialog_idle(void (*idle)()) { dialog_idle = idle; }

int platform_file_dialog(int kind, const std::string& title, const std::string& start,
                         const std::string& file_name, std::string& chosen) {
  if (kind < 0 || kind > 2 || !has_display()) return 0;
  std::string folder = start;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  std::vector<std::string> argv;
  if (on_path("zenity")) {
    argv = {"zenity", "--file-selection", "--title=" + title};
    if (kind == platform_dialog_folder) argv.push_back("--directory");
    if (kind == platform_dialog_save) argv.push_back("--save");
    if (kind == platform_dialog_save) argv.push_back("--filename=" + folder + file_name);
    else if (!folder.empty()) argv.push_back("--filename=" + folder);
  } else if (on_path("kdialog")) {
    const char* op = kind == platform_dialog_folder ? "--getexistingdirectory"
                     : kind == platform_dialog_save ? "--getsavefilename"
                                                    : "--getopenfilename";
    argv = {"kdialog", "--title", title, op,
            kind == platform_dialog_save ? folder + file_name : (folder.empty() ? "." : folder)};
  } else {
    return 0;
  }
  std::string out;
  int status = -1;
  if (platform_run(argv, &out, &status, dialog_idle) != 0 || status != 0) return 0;
  std::string path = tidy_answer(out);
  if (path.empty() || path[0] != '/') return 0;
  if (kind == platform_dialog_save) {
    // The callers want the folder to save into, as the original dialog reported it.
    auto slash = path.rfind('/');
    path = slash == 0 ? "/" : path.substr(0, slash);
  }
  chosen = path;
  return 1;
}
