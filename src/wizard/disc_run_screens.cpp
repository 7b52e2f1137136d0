// The disc change and check screens of the three install steps, the question after an unpack
// error, and the screen that picks which registered copy to run.
#include "files/error_codes.h"
#include "install/disc_drive.h"
#include "install/disc_pipeline.h"
#include "install/wizard_globals.h"
#include "wizard/disc_flow_internal.h"
#include "wizard/disc_screens.h"
#include "wizard/install_registry.h"
#include "wizard/web_update_flow.h"

namespace {

struct disc_pair {
  const char* change_title;
  const char* check_title;
  wizard_func back;
  wizard_func change;
  wizard_func check;
  wizard_func install;
};

const disc_pair pair_install = {"Installing Skyrill - Please Change DVDs", "Installing Skyrill - Checking DVD...",
                                dvd_scenery_install, dvd_switch_disk_install, dvd_verify_disk_install,
                                dvd_run_install};
const disc_pair pair_scenery = {"Installing Scenery - Please change DVDs", "Installing Scenery - Verifying DVD",
                                dvd_edit_scenery, dvd_switch_disk_scenery, dvd_verify_disk_scenery,
                                dvd_install_scenery};
const disc_pair pair_repair = {"Repairing Skyrill - Please Change DVDs", "Repairing Skyrill - Checking DVD",
                               dvd_confirm_repair, dvd_switch_disk_repair, dvd_verify_disk_repair,
                               dvd_install_repair};

// Ejects the disc in the drive on the first frame and asks for the one the install needs.
int change_screen(const disc_pair& p, int first, wizard_screen& page) {
  const int disk = UTIL_switch_disk(first);
  page.title = disc_tr(p.change_title);
  page.text = disc_sub(disc_tr("Please insert DVD number %1:disk number% and click continue."),
                       {std::to_string(disk + 1)});
  page.go_back = p.back;
  page.go_next = p.check;
  // Quit while the install waits for a disc: the idle pipeline goes, the partial copy stays.
  page.on_cancel = leave_disc_install;
  return 0;
}

// Shown for one frame: back to the install step when the disc holds the archive, else to the
// change screen, which ejects the wrong disc.
int check_screen(const disc_pair& p, wizard_screen& page) {
  page.title = disc_tr(p.check_title);
  page.go_next = UTIL_verify_disk() ? p.install : p.change;
  return 1;
}

}  // namespace

int dvd_switch_disk_install(int first, wizard_screen& page) { return change_screen(pair_install, first, page); }
int dvd_verify_disk_install(int, wizard_screen& page) { return check_screen(pair_install, page); }
int dvd_switch_disk_scenery(int first, wizard_screen& page) { return change_screen(pair_scenery, first, page); }
int dvd_verify_disk_scenery(int, wizard_screen& page) { return check_screen(pair_scenery, page); }
int dvd_switch_disk_repair(int first, wizard_screen& page) { return change_screen(pair_repair, first, page); }
int dvd_verify_disk_repair(int, wizard_screen& page) { return check_screen(pair_repair, page); }

int UTIL_cancel_install(const std::string& heading, const std::string& advice, const std::string& stop_label,
                        const std::string& stop_note, const std::string& continue_label,
                        const std::string& continue_note) {
  std::string message;
  const int code = install_files_get_error(message);
  const std::string question = heading + "\n\n" + message + " (" + error_str(code) + ")\n\n" + advice;
  return abort_alert(question, stop_label, stop_note, continue_label, continue_note);
}

int dvd_pick_run_sim(int, wizard_screen& page) {
  page.title = disc_tr("Run Skyrill");
  page.go_back = dvd_start;
  page.go_next = dvd_do_run_sim;
  if (all_nimbrels.size() == 1) {
    dest_dir_path = all_nimbrels[0];
    return 1;
  }
  UTIL_pick_install();
  if (dest_dir_path.empty()) page.go_next = nullptr;
  page.text = (all_nimbrels.size() > 1
                   ? disc_tr("You have more than one copy of Skyrill 9 installed on this computer.  ")
                   : std::string()) +
              disc_tr("Please pick which copy of Skyrill 9 you would like to run.");
  return 0;
}
