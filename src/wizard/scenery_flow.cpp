// The scenery add-and-remove flow: pick the registered copy, scan its installed global scenery,
// edit the selection on the world map, install and delete (the install step's scenery twin),
// finish. The scan screen is shared with the repair flow, which differs by the table below.
#include <algorithm>
#include <string>
#include <vector>

#include "install/disc_pipeline.h"
#include "install/file_decisions.h"
#include "install/folder_cleanup.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "runtime/shell_services.h"
#include "wizard/scenery_repair_common.h"
#include "wizard/disc_screens.h"
#include "wizard/disk_space_report.h"
#include "wizard/install_registry.h"
#include "wizard/page_calls.h"
#include "wizard/web_update_flow.h"
#include "wizard/world_map.h"

namespace {

std::string tr(const char* english) { return UTL_translate_string(english); }

int scan_cursor = 0;  // histories handed to the scan so far

void push_scenery_steps() {
  set_wizard_steps({
      {"Welcome", dvd_start},
      {"Select Skyrill", dvd_pick_scenery},
      {"Scan Existing Scenery", dvd_scan_scenery},
      {"Select New Scenery", dvd_edit_scenery},
      {"Install Scenery", dvd_install_scenery},
      {"Finish", dvd_done_scenery},
  });
}

// The scan screen's twins.
struct scan_twin {
  int want_sim, want_global;
  const char* title;
  const char* text;
  wizard_func back;
  wizard_func next;
};

const scan_twin scenery_scan = {
    0, 1, "Scanning Skyrill 9 for Installed Scenery",
    "I am scanning %1:install folder% to see what scenery you already have installed.\n\nNote: I am only checking "
    "for the scenery already installed from your DVDs.  This scan will not show any custom scenery downloaded from "
    "the internet.",
    dvd_pick_scenery, dvd_edit_scenery};
const scan_twin repair_scan = {
    1, 0, "Scanning Skyrill for Problems",
    "I am scanning %1:folder% for missing or damaged files.\n\nNote: if you have updated this copy of Skyrill from "
    "the Internet, the repair operation will remove the updates.  Once the repair has finished, you should reapply "
    "the updates from the web.",
    dvd_pick_repair, dvd_confirm_repair};

int scan_screen(const scan_twin& twin, int first, wizard_screen& page) {
  if (first) {
    // A scan left running by an earlier visit would share the cursor with this one.
    checksum_directory_kill();
    scan_cursor = 0;
    set_install_filter(twin.want_sim, twin.want_global);
  }
  page.title = tr(twin.title);
  page.text = page_sub(tr(twin.text), {dest_dir_path});
  page.on_cancel = checksum_directory_kill;
  float fraction = 0;
  if (checksum_directory(scan_cursor, fraction)) {
    page.go_back = nullptr;
    page.go_next = twin.next;
    return 1;
  }
  page.progress_text = page_sub(tr("Scanning %1:number% of %2:total% files."),
                                {std::to_string(scan_cursor), std::to_string(sim_info.size())});
  page.progress = fraction;
  page.go_back = twin.back;
  page.go_next = nullptr;
  return 0;
}

}  // namespace

// ---- shared with the repair flow ----

int disc_pick_copy(int first, wizard_screen& page, const char* title, const char* prompt, wizard_func next) {
  if (first) {
    checksum_directory_kill();
    // Only a registered copy may be changed: a folder left from the install flow's destination
    // (or from a copy since removed) is not offered.
    if (std::find(all_nimbrels.begin(), all_nimbrels.end(), dest_dir_path) == all_nimbrels.end())
      dest_dir_path.clear();
  }
  page.title = tr(title);
  page.go_back = dvd_start;
  page.go_next = next;
  if (all_nimbrels.size() == 1) dest_dir_path = all_nimbrels[0];
  UTIL_pick_install();
  if (dest_dir_path.empty()) page.go_next = nullptr;
  page.text = (all_nimbrels.size() > 1 ? tr("You have more than one copy of Skyrill 9 installed on this computer.  ")
                                       : std::string()) +
              tr(prompt);
  return 0;
}

int disc_stop_question(const char* question, const char* note) {
  const std::string n = tr(note);
  // 1 is the Stop button; Continue, the close box and Return leave the install running.
  return abort_alert(tr(question), tr("Stop"), n, tr("Continue"), n) == 1 ? 1 : 0;
}

int dvd_scan_repair(int first, wizard_screen& page) { return scan_screen(repair_scan, first, page); }

// ---- the scenery flow ----

void scenery_flow_reset() {
  scan_cursor = 0;
  world_map_reset();
}

int dvd_pick_scenery(int first, wizard_screen& page) {
  if (first) push_scenery_steps();
  return disc_pick_copy(first, page, "Select Skyrill 9 to Add or Remove Scenery",
                        "Please pick which copy of Skyrill 9 you would like to add scenery to.", dvd_scan_scenery);
}

int dvd_scan_scenery(int first, wizard_screen& page) { return scan_screen(scenery_scan, first, page); }

int dvd_edit_scenery(int first, wizard_screen& page) {
  if (first) {
    if (scenery_install_is_running) {
      if (!disc_stop_question("Are you sure you want to stop scenery installation?  You can add or remove more "
                              "scenery later.",
                              "the scenery install.")) {
        page.go_next = dvd_install_scenery;
        return 1;
      }
      // What is installed or deleted stays; the archives waiting in the staging folder go.
      leave_disc_install();
      scenery_install_is_running = 0;
    }
    // The decisions of the next step must touch global scenery only.
    set_install_filter(0, 1);
    scenery_from_install();
    recalc_disk_sizes();
  }
  UTIL_world_map();
  page.text = tr("Click on the world map to select what scenery you would like to install.  Scenery that you "
                 "deselect will be removed; scenery that you select will be installed.  If you fly into an area "
                 "with no scenery installed, you will see only ocean.");
  page.title = tr("Select Scenery");
  page.go_back = dvd_pick_scenery;
  page.go_next = dvd_install_scenery;
  if (!UTIL_disk_space(tr("You have enough free disk space to install this scenery."),
                       tr("You do not have enough free disk space to install this scenery.")))
    page.go_next = nullptr;
  return 0;
}

int dvd_done_scenery(int, wizard_screen& page) {
  page.title = tr("Finished With Add/Remove Scenery");
  page.go_back = dvd_start;
  page.go_next = wizard_quit;
  static const char* const texts[2][2][2] = {
      // [errors][installed][deleted]
      {{"I have successfully updated scenery to match your choices on the map.",
        "I have successfully removed scenery to match your choices on the map."},
       {"I have successfully installed more scenery to match your choices on the map.",
        "I have successfully added and removed scenery to match your choices on the map."}},
      {{"There were errors while updating your scenery.", "There were errors while removing your scenery."},
       {"There were errors while installing more your scenery.",
        "There were errors while adding and removing your scenery."}},
  };
  const int errors = disc_install_errors() ? 1 : 0;
  page.text = tr(texts[errors][stg.install_count > 0 ? 1 : 0][stg.delete_count > 0 ? 1 : 0]);
  if (errors) {
    page.text += tr("  Your copy of Skyrill may not be usable.\n\nYou can click Go Back and use the repair and "
                    "add-remove scenery functions to try to reinstall any missing or damaged files.");
  } else {
    page.choices.push_back(tr("Run Skyrill Now"));
    page.choice_funcs.push_back(dvd_do_run_sim);
  }
  return 0;
}
