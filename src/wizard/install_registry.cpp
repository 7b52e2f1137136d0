#include "wizard/install_registry.h"

#include <algorithm>
#include <fstream>

#include "files/file_ops.h"
#include "files/folder_listing.h"
#include "files/paths.h"
#include "install/wizard_globals.h"
#include "runtime/shell_services.h"
#include "wizard/page_calls.h"

std::vector<std::string> all_nimbrels;

namespace {

const char* const registration_leaf = "skyrill_install.txt";

int native_folder_chooser(const std::string& prompt, const std::string& button, std::string& io_path) {
  const std::string start = io_path;
  return GetFilePathFromUser(2, prompt, button, 0, start, io_path);
}

folder_chooser chooser = native_folder_chooser;

// A line of the file as a folder path: cut at its first CR or NUL (getline took the LF).
std::string line_path(const std::string& line) {
  return line.substr(0, line.find_first_of(std::string("\r\0", 2)));
}

// Every path line of the file, whole; empty when it cannot be opened.
bool read_registrations(const std::string& file, std::vector<std::string>* paths) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    std::string path = line_path(line);
    if (!path.empty()) paths->push_back(path);
  }
  return true;
}

// The preferences folder, or a warning in the log.
std::string registration_file_or_warn() {
  std::string file = registration_file_path();
  if (file.empty()) xer << "WARNING: registration of this nimbrel folder failed!\n";
  return file;
}

bool ends_without_newline(const std::string& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in || in.tellg() <= 0) return false;
  in.seekg(-1, std::ios::end);
  char last = 0;
  in.get(last);
  return last != '\n';
}

// The parent of a folder path ending "/": "/a/b/" gives "/a/", "/a/" gives "/"; "" for "/".
std::string parent_folder(const std::string& folder) {
  std::string parent, leaf;
  split_folder_and_leaf(folder, &parent, &leaf);
  if (parent.empty() || parent == folder) return "";
  if (parent.back() != '/') parent += '/';
  return parent;
}

}  // namespace

std::string registration_file_path() {
  std::string folder;
  get_OS_abs_path(os_dir_prefs, folder);
  if (folder.empty()) return "";
  if (folder.back() != '/') folder += '/';
  return folder + registration_leaf;
}

void locate_all_skyrills() {
  all_nimbrels.clear();
  const std::string file = registration_file_or_warn();
  if (file.empty()) return;
  std::vector<std::string> paths;
  read_registrations(file, &paths);
  for (std::string path : paths) {
    // Only absolute folder paths: a relative line would resolve against the program's folder,
    // and every later join with a release path needs the trailing "/".
    if (path[0] != '/') continue;
    if (path.back() != '/') path += '/';
    if (std::find(all_nimbrels.begin(), all_nimbrels.end(), path) != all_nimbrels.end()) continue;
    if (dir_exists(path)) all_nimbrels.push_back(path);
  }
}

void register_new_skyrill() {
  const std::string file = registration_file_or_warn();
  if (file.empty() || dest_dir_path.empty()) return;
  std::vector<std::string> paths;
  read_registrations(file, &paths);
  if (std::find(paths.begin(), paths.end(), dest_dir_path) != paths.end()) return;
  const bool join_guard = ends_without_newline(file);
  std::ofstream out(file, std::ios::binary | std::ios::app);
  if (out) {
    if (join_guard) out << '\n';
    out << dest_dir_path << '\n';
    out.flush();
  }
  if (!out) xer << "WARNING: could not append registration file: " << file << "\n";
}

int path_is_to_a_sim(const std::string& folder) {
  if (folder.empty()) return 0;
  std::string listed = folder;
  if (listed.back() != '/') listed += '/';
  std::vector<std::string> names;
  std::vector<int> flags;
  if (opensave_getitems(listed, 0, names, flags) < 0) return 0;
  static const char* const words[] = {"Airfoils", "Instructions", "Output", "Resources"};
  bool seen[4] = {false, false, false, false};
  for (size_t i = 0; i < names.size(); ++i) {
    if (flags[i] != 1) continue;  // a folder; a link to one is listed as a file
    for (int w = 0; w < 4; ++w)
      if (names[i].find(words[w]) != std::string::npos) seen[w] = true;
  }
  return seen[0] && seen[1] && seen[2] && seen[3] ? 1 : 0;
}

int path_is_to_a_sim() { return path_is_to_a_sim(dest_dir_path); }

int climb_to_installation(const std::string& picked, std::string* found, std::string* last) {
  std::string path = picked;
  if (path.empty()) path = "/";
  if (path != "/" && path.back() != '/') path += '/';
  while (!path_is_to_a_sim(path)) {
    // The parent keeps its "/": the folder listing takes only folder paths that end with one.
    std::string parent = parent_folder(path);
    if (parent.empty() || parent == path) {
      if (last) *last = path;
      return 0;
    }
    path = parent;
  }
  if (found) *found = path;
  return 1;
}

void set_folder_chooser(folder_chooser c) { chooser = c ? c : native_folder_chooser; }

int choose_folder(const std::string& prompt, const std::string& button, std::string& io_path) {
  return chooser(prompt, button, io_path);
}

void UTIL_pick_install() {
  if (all_nimbrels.size() == 1 && dest_dir_path.empty()) dest_dir_path = all_nimbrels[0];

  // The rows shown: all of them, or the part of a long list that holds the chosen one.
  const int count = static_cast<int>(all_nimbrels.size());
  const int shown = std::min<int>(count, chooser_max_rows);
  int first = 0;
  auto chosen = std::find(all_nimbrels.begin(), all_nimbrels.end(), dest_dir_path);
  if (chosen != all_nimbrels.end()) {
    const int at = static_cast<int>(chosen - all_nimbrels.begin());
    if (at >= shown) first = at - shown + 1;
  }
  for (int row = 0; row < shown; ++row) {
    const std::string& path = all_nimbrels[first + row];
    const float y = 400.0f - 25.0f * row;
    page_draw_text(45, 280, y, path, 500);
    if (page_check_box(250, y, path == dest_dir_path ? 1 : 0)) dest_dir_path = path;
  }

  const std::string question =
      UTL_translate_string("Is the copy of Skyrill 9 you're looking for missing from this list?");
  page_draw_text(45, 230, 400.0f - 25.0f * shown, question, 400);
  const float width = page_text_width(question);
  const float x = width > 400.0f ? 680.0f : width + 280.0f;
  if (!page_push_button(x, 403.0f - 25.0f * shown, 100, UTL_translate_string("Find It"))) return;

  const std::string kept = dest_dir_path;
  std::string picked = dest_dir_path;
  if (!chooser(UTL_translate_string("Please select your Skyrill 9 folder."),
               UTL_translate_string("Select"), picked))
    return;
  std::string found, last;
  if (!climb_to_installation(picked, &found, &last)) {
    __MACIBM_alert(0, UTL_translate_string("You selected the folder path:"), last,
                   UTL_translate_string("But it does not appear to be an installed copy of Skyrill 9."),
                   UTL_translate_string("Please be sure to select the folder that contains the "
                                        "Skyrill application."),
                   t_alert, "Zuzazuziv-e/main", __LINE__);
    dest_dir_path = kept;
    return;
  }
  dest_dir_path = found;
  register_new_skyrill();
  locate_all_skyrills();
}
