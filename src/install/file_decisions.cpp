#include "install/file_decisions.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "install/install_model.h"
#include "install/installer_state.h"
#include "install/modified_file_question.h"
#include "runtime/shell_services.h"

namespace {

bool cell_wanted(const file_version_struct& v) {
  return stg.sector_want[v.sector_lon][v.sector_lat] != 0;
}

bool listed(const std::vector<std::string>& folders, const std::string& folder) {
  return std::find(folders.begin(), folders.end(), folder) != folders.end();
}

}  // namespace

int choose_files() {
  // Folder-wide answers hold for this run only.
  std::vector<std::string> replace_folders, keep_folders;

  for (size_t h = 0; h < sim_info.size(); ++h) {
    file_history_struct& history = sim_info[h];
    file_version_struct& v = history.back();
    v.do_install = 0;
    v.do_delete = 0;
    int act = want_this_f(static_cast<int>(h), static_cast<int>(history.size() - 1));
    if (!act) continue;

    std::string local = local_path_of(v);
    bool gone = v.sig_want == "GONE";
    bool has = v.sig_have != "NONE";
    bool same = has && v.sig_have == v.sig_want;
    // A tile of a cell the user does not want is to go away.
    if (v.is_global && !cell_wanted(v)) {
      gone = true;
      same = false;
    }

    if (!has) {
      act = !gone;
    } else if (same) {
      act = 0;
    } else {
      bool untouched_release = false;
      for (const file_version_struct& old : history)
        untouched_release = untouched_release || v.sig_have == old.sig_want;
      if (!untouched_release) {
        std::string folder = local.substr(0, local.rfind('/') + 1);
        if (listed(replace_folders, folder)) {
          act = 1;
        } else if (listed(keep_folders, folder)) {
          act = 0;
        } else {
          xer << "File: " << local << "  sig_want=" << v.sig_want << "  sig_have=" << v.sig_have
              << "\n";
          switch (select_alert(local, gone)) {
            case answer_replace: act = 1; break;
            case answer_keep: act = 0; break;
            case answer_replace_folder:
              replace_folders.push_back(folder);
              act = 1;
              break;
            case answer_keep_folder:
              keep_folders.push_back(folder);
              act = 0;
              break;
            default: return 0;
          }
        }
      }
    }
    v.do_install = act && !gone;
    v.do_delete = act && gone;
  }

  double sum = 0;
  for (const file_history_struct& history : sim_info)
    if (history.back().do_install) sum += history.back().unz_size;
  double running = 0;
  for (file_history_struct& history : sim_info) {
    file_version_struct& v = history.back();
    if (sum > 0) {
      v.progress_at = static_cast<float>(running / sum);
      if (v.do_install) running += v.unz_size;
    } else {
      v.progress_at = 0.5f;
    }
  }
  return 1;
}

void recalc_disk_sizes() {
  stg.download_total = 0;
  stg.install_total = 0;
  stg.install_count = 0;
  stg.delete_count = 0;
  for (size_t h = 0; h < sim_info.size(); ++h) {
    const file_version_struct& v = sim_info[h].back();
    bool wanted = want_this_f(static_cast<int>(h), static_cast<int>(sim_info[h].size() - 1));
    if (!wanted) continue;
    bool gone = v.sig_want == "GONE";
    if (!gone && !v.is_current && (!v.is_global || cell_wanted(v))) {
      stg.download_total += v.zip_size;
      stg.install_total += v.unz_size;
      stg.install_count += 1;
    }
    if (v.is_global && !cell_wanted(v) && v.is_current) stg.delete_count += 1;
    // A release that only removes files must still be applied.
    if (gone && !v.sig_have.empty() && v.sig_have != "NONE") stg.delete_count += 1;
  }
}

bool nothing_to_update() { return stg.install_count == 0 && stg.delete_count == 0; }

void scenery_take_all() { std::memcpy(stg.sector_want, stg.sector_offered, sizeof(stg.sector_want)); }

void scenery_from_install() {
  std::memset(stg.sector_want, 0, sizeof(stg.sector_want));
  for (const file_history_struct& history : sim_info) {
    const file_version_struct& v = history.back();
    if (v.is_global && v.sig_have != "NONE" && !v.sig_have.empty())
      stg.sector_want[v.sector_lon][v.sector_lat] = 1;
  }
}
