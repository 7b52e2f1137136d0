#include "install/folder_cleanup.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/folder_listing.h"
#include "install/install_model.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "runtime/shell_services.h"

int failed_deletes = 0;

namespace {

// Working folders every installation has, parents first.
const char* const working_folders[] = {"Output",         "Output/FMS plans", "Output/logbooks",
                                       "Output/movies",  "Output/situations", "Resources",
                                       "Resources/preferences"};

const char* const plugin_frameworks[] = {"Resources/plugins/OSTREL.framework/",
                                         "Resources/plugins/OstrelKit.framework/"};

// mkdir leaves an existing entry alone, so a folder link that leads nowhere (or round in a
// loop) would read as made, and the files meant for it would fail one by one or be written
// somewhere the scan never looked. Such a folder is reported instead.
int make_one(const std::string& folder) {
  int code = make_folder(folder);
  if (show_make_dir_err(code)) return code;
  std::string entry = folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
  struct stat st;
  if (lstat(entry.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && stat(entry.c_str(), &st) != 0)
    return errno == ELOOP ? ELOOP : ENOENT;
  return 0;
}

bool exists_no_follow(const std::string& path) {
  std::string target;
  return is_sim_link(path, &target) || file_exists(path) || dir_exists(path);
}

// A framework entry that must be a link but is a real folder is moved aside. An earlier run's
// "_Current" would make the rename fail, and the link unpacked later could then not replace the
// folder; it is moved to a free numbered name first so nothing of the user's is deleted.
void move_aside(const std::string& folder, const std::string& name) {
  std::string path = folder + name;
  if (is_sim_link(path, nullptr)) return;
  std::string aside = "_" + name;
  if (exists_no_follow(folder + aside)) {
    for (int n = 2; n < 1000; ++n) {
      std::string numbered = aside + " " + std::to_string(n);
      if (!exists_no_follow(folder + numbered)) {
        rename_file(folder, aside, numbered);
        break;
      }
    }
  }
  rename_file(folder, name, aside);
}

void add_folders_of(const std::string& local, std::set<std::string>& folders) {
  std::string folder;
  get_path_with_path(folder, local);
  while (folder.size() > dest_dir_path.size()) {
    folders.insert(folder);
    std::string shorter = folder.substr(0, folder.size() - 1);
    get_path_with_path(folder, shorter);
  }
}

}  // namespace

void get_path_with_path(std::string& out, const std::string& path) {
  std::string p = path;
  if (!p.empty() && p.back() == '/') p.pop_back();
  size_t slash = p.rfind('/');
  if (slash == std::string::npos) {
    out = path.size() == 1 && path[0] == '/' ? "/" : "";
    return;
  }
  out = p.substr(0, slash + 1);
}

void make_dir_error(const std::string& folder, int code) {
  __MACIBM_alert(0,
                 UTL_translate_string("I am unable to install or update Skyrill. An error occurred "
                                      "while creating new folders. Make sure you are installing to "
                                      "a directory that you have access to!"),
                 UTL_translate_string("Error: ") + error_str(code),
                 UTL_translate_string("Install Location: ") + dest_dir_path,
                 UTL_translate_string("Install Path:") + folder, t_alert, "Zuzazuziv-e/utils",
                 __LINE__);
}

int make_dirs() {
  std::string dest = dest_dir_path.substr(0, dest_dir_path.size() - 1);
  for (size_t i = 1; i < dest.size(); ++i) {
    if (dest[i] != '/') continue;
    std::string folder = dest.substr(0, i);
    if (int code = make_one(folder)) {
      make_dir_error(folder, code);
      return code;
    }
  }
  if (int code = make_one(dest)) {
    make_dir_error(dest, code);
    return code;
  }

  std::set<std::string> folders;
  for (size_t h = 0; h < sim_info.size(); ++h) {
    const file_version_struct& v = sim_info[h].back();
    if (!v.do_install || !want_this_f(static_cast<int>(h), static_cast<int>(sim_info[h].size() - 1)))
      continue;
    std::string inside = v.path;
    trim_dest_folder(inside);
    for (size_t slash = inside.rfind('/'); slash != std::string::npos && slash > 0;
         slash = inside.rfind('/', slash - 1)) {
      folders.insert(inside.substr(0, slash + 1));
    }
  }
  for (const std::string& folder : folders) {
    if (int code = make_one(dest_dir_path + folder)) {
      make_dir_error(dest_dir_path + folder, code);
      return code;
    }
  }

  for (const char* w : working_folders) {
    if (int code = make_one(dest_dir_path + w)) make_dir_error(dest_dir_path + w, code);
  }
  for (const char* f : plugin_frameworks) {
    move_aside(dest_dir_path + f + "Versions/", "Current");
    move_aside(dest_dir_path + f, "Resources");
  }
  return 0;
}

int delete_installed_file(int history, std::set<std::string>& folders, const char* log_prefix) {
  return note_installed_file_delete(history, delete_file(local_path_of(sim_info[history].back())), folders,
                                    log_prefix);
}

int note_installed_file_delete(int history, int code, std::set<std::string>& folders, const char* log_prefix) {
  file_version_struct& v = sim_info[history].back();
  std::string local = local_path_of(v);
  stg.current_action = 0;
  if (code == ENOENT) code = 0;
  if (stg.log_actions)
    xer << log_prefix << "DELETING  file " << local << ", with result=" << code << ".\n";
  add_folders_of(local, folders);
  if (code == 0) {
    v.is_current = 0;
    v.sig_have = "NONE";
  } else {
    // The file is still there: the model must keep saying so.
    ++failed_deletes;
    xer << "WARNING: could not delete " << local << ": " << error_str(code) << "\n";
    xer.flush();
  }
  return code;
}

void remove_emptied_folders(const std::set<std::string>& folders) {
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    std::vector<std::string> names;
    std::vector<int> flags;
    if (opensave_getitems(*it, 0, names, flags) != 0) continue;
    int code = delete_file(*it);
    if (stg.log_actions)
      xer << "cleanup: DELETING  file " << *it << ", with result=" << code << ".\n";
  }
}

void delete_files() {
  std::set<std::string> folders;
  for (size_t h = 0; h < sim_info.size(); ++h) {
    if (!sim_info[h].back().do_delete) continue;
    delete_installed_file(static_cast<int>(h), folders, "");
  }
  remove_emptied_folders(folders);
}
