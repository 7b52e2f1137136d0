// The repair flow: pick the registered copy, scan every file that is not global scenery, confirm
// how many files will be reinstalled, reinstall them from the discs (the install step's repair
// twin) and finish. Stopping keeps what was repaired.
#include <string>

#include "install/disc_pipeline.h"
#include "install/file_decisions.h"
#include "install/folder_cleanup.h"
#include "install/install_model.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "runtime/shell_services.h"
#include "wizard/disc_screens.h"
#include "wizard/disk_space_report.h"
#include "wizard/page_calls.h"
#include "wizard/scenery_repair_common.h"
#include "wizard/web_update_flow.h"

namespace {

std::string tr(const char* english) { return UTL_translate_string(english); }

int num_file_install = 0;  // files the repair will install, counted on the confirm screen's first frame

void push_repair_steps() {
  set_wizard_steps({
      {"Welcome", dvd_start},
      {"Select Skyrill", dvd_pick_repair},
      {"Scan For Problems", dvd_scan_repair},
      {"Confirm Repairs", dvd_confirm_repair},
      {"Repair Skyrill", dvd_install_repair},
      {"Finish", dvd_done_repair},
  });
}

}  // namespace

bool disc_install_errors() { return num_install_errors > 0 || failed_deletes > 0; }

void repair_flow_reset() { num_file_install = 0; }

int dvd_pick_repair(int first, wizard_screen& page) {
  if (first) push_repair_steps();
  return disc_pick_copy(first, page, "Repair Skyrill 9", "Please pick which copy of Skyrill 9 you would like to repair.",
                        dvd_scan_repair);
}

int dvd_confirm_repair(int first, wizard_screen& page) {
  if (first) {
    if (repair_is_running) {
      if (!disc_stop_question("Are you sure you want to stop the repair operation?  Skyrill may not be usable until "
                              "repairs are complete.  You can run the repair operation on Skyrill again later to "
                              "complete repairs.",
                              "the repair operation.")) {
        page.go_next = dvd_install_repair;
        return 1;
      }
      // The files repaired so far stay; the archives waiting in the staging folder go.
      leave_disc_install();
      repair_is_running = 0;
    }
    recalc_disk_sizes();
    // Files to reinstall: wanted, not current, and not marked gone (those are deleted, not
    // installed).
    num_file_install = 0;
    for (size_t h = 0; h < sim_info.size(); ++h) {
      const file_version_struct& v = sim_info[h].back();
      if (!v.is_current && v.sig_want != "GONE" &&
          want_this_f(static_cast<int>(h), static_cast<int>(sim_info[h].size() - 1)))
        ++num_file_install;
    }
  }
  page.title = tr("Confirm Repairs");
  page.text = page_sub(page_plural(num_file_install, "I need to install approximately %1:count% file to repair %2:path%.",
                                   "I need to install approximately %1:count% files to repair %2:path%."),
                       {std::to_string(num_file_install), dest_dir_path});
  page.go_back = dvd_pick_repair;
  page.go_next = dvd_install_repair;
  if (!UTIL_disk_space(tr("You have enough free disk space to repair this copy of Skyrill."),
                       tr("You do not have enough free disk space to repair this copy of Skyrill.")))
    page.go_next = nullptr;
  if (page.go_next) page.text += tr("\n\nClick continue to begin repairing Skyrill.");
  return 0;
}

int dvd_done_repair(int, wizard_screen& page) {
  page.title = tr("Finished Repairing Skyrill.");
  page.go_back = dvd_start;
  page.go_next = wizard_quit;
  if (disc_install_errors()) {
    page.text = tr("There were errors during the repair; your copy of Skyrill may not be usable.\n\nYou can click Go "
                   "Back and use the repair and add-remove scenery functions to try to reinstall any missing or "
                   "damaged files.");
  } else {
    page.text = page_sub(tr("I have finished repairing %1:install path% - click Go Back to return to the main menu."),
                         {dest_dir_path});
    page.choices.push_back(tr("Run Skyrill Now"));
    page.choice_funcs.push_back(dvd_do_run_sim);
  }
  return 0;
}
