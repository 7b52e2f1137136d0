// The disc flow's start screen and the install flow: pick the new copy's folder, licence,
// scenery, the install step (shared with the repair and scenery flows through a table of their
// differences) and the finish page. The disc change screens, the error question and the run
// screen are in disc_run_screens.cpp.
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/paths.h"
#include "install/disc_drive.h"
#include "install/disc_pipeline.h"
#include "install/file_decisions.h"
#include "install/folder_cleanup.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "runtime/constants.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_services.h"
#include "wizard/disc_flow_internal.h"
#include "wizard/disc_screens.h"
#include "wizard/disk_space_report.h"
#include "wizard/install_registry.h"
#include "wizard/licence_screen.h"
#include "wizard/new_copy_destination.h"
#include "wizard/page_calls.h"
#include "wizard/web_update_flow.h"


int dvd_install_is_running = 0;
int repair_is_running = 0;
int scenery_install_is_running = 0;
int num_install_errors = 0;
int accept_eula = 0;

namespace {

// Choices of the pick screen, kept between visits.
std::string parent_dir, install_folder, desktop_f;
bool choice_changed = false;
// The installation folder this run made for a new copy: the only folder Cancel may delete.
std::string created_dest;
// When the start screen tries again to read a disc whose directory could not be read.
int64_t scan_retry_at = 0;
bool scan_failed = false;
// Cursors of the three install steps into the install model.
int f_install = 0, f_repair = 0, f_scenery = 0;
// The extra KB the disk report last computed, and what it was computed for.
struct extra_cache {
  float total = -1;
  int count = -1;
  std::string dest;
  float kb = 0;
} extra;

void push_install_steps() {
  set_wizard_steps({
      {"Welcome", dvd_start},
      {"Pick Destination", dvd_pick_install},
      {"License", dvd_eula_install},
      {"Select Scenery", dvd_scenery_install},
      {"Install", dvd_run_install},
      {"Finish", dvd_done_install},
  });
}

std::string with_slash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// Whether something (a folder, a file, a link, even a dangling one) is at the path.
bool anything_at(const std::string& path) {
  std::string p = path;
  if (p.size() > 1 && p.back() == '/') p.pop_back();
  struct stat st;
  return lstat(p.c_str(), &st) == 0;
}

// The steps the user did not ask to keep: when this run made the installation folder, it goes
// with everything in it. A folder the run did not make, or a link put in its place, stays.
void delete_partial_copy() {
  if (created_dest.empty() || created_dest != dest_dir_path) return;
  struct stat st;
  std::string p = created_dest.substr(0, created_dest.size() - 1);
  if (lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    if (int code = recursive_delete_folder(created_dest))
      xer << "WARNING: could not delete the partial copy " << created_dest << ": " << code << "\n";
    else
      xer << "Deleted the partial copy " << created_dest << "\n";
  }
  created_dest.clear();
}

// The differences between the install step and its repair and scenery twins.
struct install_twin {
  int* running;
  int* cursor;
  wizard_func refused;  // where a cancel at the modified-file question (or a folder failure) goes
  wizard_func back;
  wizard_func check;
  wizard_func finish;
  bool new_copy;  // makes and registers a new installation; a stop after an error asks to delete
  const char* title;
  const char* text;
  const char* file_line;
  const char* finishing;
  const char* error_heading;
  const char* error_advice;
  const char* stop_label;
  const char* note;
};

const install_twin twin_install = {
    &dvd_install_is_running, &f_install, dvd_scenery_install, dvd_scenery_install, dvd_verify_disk_install,
    dvd_done_install, true, "Installing Skyrill", "I am installing Skyrill in %1:file path%.",
    "Installing: %1:file%", "Finishing up...", "An error occurred during installation:",
    "You can continue with the installation and attempt to repair the damaged files later, or you can cancel the "
    "installation.",
    "Cancel", "the install."};
const install_twin twin_repair = {
    &repair_is_running, &f_repair, dvd_confirm_repair, dvd_confirm_repair, dvd_verify_disk_repair, dvd_done_repair,
    false, "Repairing Skyrill", "I am repairing %1:file path%.", "Repairing: %1:file path%", "Finishing up...",
    "An error occurred during the repair:",
    "Skyrill may not be usable until you are able to repair the sim without errors.", "Stop", "the repair."};
const install_twin twin_scenery = {
    &scenery_install_is_running, &f_scenery, dvd_edit_scenery, dvd_edit_scenery, dvd_verify_disk_scenery,
    dvd_done_scenery, false, "Installing New Scenery", "I am installing new scenery for %1:install path%,",
    "Installing: %1:file%", "Finishing Up...", "An error occurred during scenery installation:",
    "You can continue with the installation and attempt to reinstall the damaged files later, or you can stop the "
    "installation",
    "Stop", "the scenery install."};

// The twin's first frame: decide, make the folders, register, delete. False with go_next set
// when the step cannot start.
bool start_twin(const install_twin& t, wizard_screen& page) {
  *t.cursor = 0;
  xer << "Starting install at " << xtim_class::microsecs() / 1000000.0 << "\n";
  checksum_directory_kill();
  if (!choose_files()) {
    page.go_next = t.refused;
    return false;
  }
  if (t.new_copy) {
    // Checked on the pick screen, but something may have appeared there since: never merge a
    // new copy into a folder this run did not make (Cancel would delete it).
    if (anything_at(dest_dir_path)) {
      xer << "WARNING: " << dest_dir_path << " appeared before the install started; not installing into it\n";
      page.go_next = dvd_pick_install;
      return false;
    }
    created_dest = dest_dir_path;
  }
  int code = make_dirs();
  if (code == 0) code = begin_disc_install();
  if (code != 0) {
    // make_dirs showed the alert; nothing can be installed without the folders.
    if (t.new_copy) delete_partial_copy();
    page.go_next = t.new_copy ? dvd_pick_install : t.refused;
    return false;
  }
  if (t.new_copy) register_new_skyrill();
  // A file that cannot be deleted is an error the finish page reports, not the end of the step.
  failed_deletes = 0;
  delete_files();
  *t.running = 1;
  num_install_errors = failed_deletes;
  return true;
}

void fill_busy_page(const install_twin& t, wizard_screen& page) {
  const int f = *t.cursor;
  const int n = static_cast<int>(sim_info.size());
  page.go_back = t.back;
  page.go_next = nullptr;
  page.text = disc_sub(disc_tr(t.text), {dest_dir_path});
  page.progress = f < 0 ? 0.0f : f < n ? newest_version(f).progress_at : 1.0f;
  page.progress_text = f >= 0 && f < n ? disc_sub(disc_tr(t.file_line), {newest_version(f).path}) : disc_tr(t.finishing);
}

int run_twin(const install_twin& t, wizard_screen& page) {
  if (!*t.running && !start_twin(t, page)) return 1;
  page.title = disc_tr(t.title);
  // Quit finishes the files under way and removes the waiting archives; the copy stays.
  page.on_cancel = leave_disc_install;
  const int r = install_files(*t.cursor, current_disk);
  switch (r) {
    case install_busy: fill_busy_page(t, page); return 0;
    case install_done:
      leave_disc_install();
      *t.running = 0;
      page.go_back = nullptr;
      page.go_next = t.finish;
      return 1;
    case install_other_disc:
      want_file_disk = *t.cursor;
      page.go_next = t.check;
      return 1;
    case install_failed: {
      ++num_install_errors;
      const std::string note = disc_tr(t.note);
      const int answer = UTIL_cancel_install(disc_tr(t.error_heading), disc_tr(t.error_advice),
                                             disc_tr(t.stop_label), note, disc_tr("Continue"), note);
      if (answer != 0) {
        if (t.new_copy) {
          // The scenery page asks whether to delete the partial copy.
          page.go_next = dvd_scenery_install;
        } else {
          leave_disc_install();
          *t.running = 0;
          page.go_next = t.finish;
        }
        return 1;
      }
      fill_busy_page(t, page);
      return 0;
    }
    default: return 0;
  }
}

// The MD5 scan of the destination, run to its end now (a folder not made yet ends at once).
void scan_destination() {
  checksum_directory_kill();
  int cursor = 0;
  float progress = 0;
  while (!checksum_directory(cursor, progress)) std::this_thread::yield();
}

// KB the disc pipeline needs beyond the files: the folders to make and the archives waiting in
// its staging folder. Marks the files the install would take (choose_files decides them again
// when the install starts); recomputed when the sums change.
float pipeline_extra_kb() {
  if (extra.total == stg.install_total && extra.count == stg.install_count && extra.dest == dest_dir_path)
    return extra.kb;
  for (size_t h = 0; h < sim_info.size(); ++h) {
    file_version_struct& v = sim_info[h].back();
    v.do_install = want_this_f(static_cast<int>(h), static_cast<int>(sim_info[h].size() - 1)) &&
                   v.sig_want != "GONE" && !v.is_current &&
                   (!v.is_global || stg.sector_want[v.sector_lon][v.sector_lat]);
  }
  extra.total = stg.install_total;
  extra.count = stg.install_count;
  extra.dest = dest_dir_path;
  extra.kb = disc_install_extra_kb();
  return extra.kb;
}

}  // namespace

std::string disc_tr(const char* english) { return UTL_translate_string(english); }
std::string disc_sub(const std::string& text, const std::vector<std::string>& values) { return page_sub(text, values); }

int disc_disk_report(const std::string& enough_text, const std::string& short_text) {
  const float files = stg.install_total;
  stg.install_total += pipeline_extra_kb();
  const int ok = UTIL_disk_space(enough_text, short_text);
  stg.install_total = files;
  return ok;
}

void disc_install_flow_reset() {
  dvd_install_is_running = repair_is_running = scenery_install_is_running = 0;
  num_install_errors = 0;
  accept_eula = 0;
  parent_dir.clear();
  install_folder.clear();
  desktop_f.clear();
  choice_changed = false;
  created_dest.clear();
  scan_retry_at = 0;
  scan_failed = false;
  f_install = f_repair = f_scenery = 0;
  extra = extra_cache{};
}

int dvd_start(int first, wizard_screen& page) {
  if (first) {
    locate_all_skyrills();
    push_install_steps();
  }
  page.title = disc_tr("Skyrill 9 Installer");
  page.go_back = page.go_next = nullptr;

  // A disc whose directory could not be read is tried again every two seconds, not every frame.
  dvd_scan_status status = dvd_directory_unreadable;
  const int64_t now = xtim_class::microsecs();
  if (!scan_failed || now >= scan_retry_at) {
    status = UTIL_scan_dvd();
    scan_failed = status == dvd_directory_unreadable;
    scan_retry_at = now + 2000000;
  }
  if (status == dvd_directory_unreadable) {
    page.text = disc_sub(disc_tr("I cannot read the list of files on this DVD (%1:error%).\n\nThe disc may be dirty or "
                                 "scratched.  Please clean it and insert it again; I will keep trying."),
                         {dvd_scan_error.code ? error_str(dvd_scan_error.code) : disc_tr("the list is damaged")});
    return 0;
  }
  if (status == dvd_no_disc) {
    page.text = disc_tr("Please insert Skyrill 9 DVD number one to begin.");
    return 0;
  }
  if (status == dvd_not_install_disc || install_name == no_install_name || stg.dir_stage == 2) {
    page.text = disc_tr("This DVD does not appear to be an Skyrill 9 DVD.");
    return 0;
  }
  if (stg.dir_stage != 3) return 0;
  if (all_nimbrels.empty()) {
    if (stg.has_sim) {
      page.text = disc_sub(disc_tr("Welcome to the Skyrill 9 Installer.  I will guide you through the process of "
                                   "installing %1:install name%."),
                           {install_name});
      page.go_next = dvd_pick_install;
    } else {
      page.text = disc_sub(disc_tr("This DVD (%1:dvd name%) contains global scenery.  You must install the sim "
                                   "before you install the global scenery."),
                           {install_name});
    }
    return 0;
  }
  page.text = disc_tr("You already have Skyrill 9 installed on this computer.  What would you like to do?");
  auto choice = [&page](const char* label, wizard_func f) {
    page.choices.push_back(disc_tr(label));
    page.choice_funcs.push_back(f);
  };
  choice("Run Skyrill Now", dvd_pick_run_sim);
  if (stg.has_scenery) choice("Add Or Remove Scenery", dvd_pick_scenery);
  if (stg.has_sim) {
    choice("Repair Skyrill", dvd_pick_repair);
    choice("Install A Second Copy of Skyrill", dvd_pick_install);
  }
  return 0;
}

int dvd_pick_install(int first, wizard_screen& page) {
  if (first) {
    get_OS_abs_path(os_dir_desktop, desktop_f);
    desktop_f = with_slash(desktop_f);
    accept_eula = 0;
    push_install_steps();
    choice_changed = true;
  }
  if (parent_dir.empty()) {
    get_OS_abs_path(os_dir_default_apps, parent_dir);
    parent_dir = with_slash(parent_dir);
    install_folder = install_name;
    choice_changed = true;
  }
  page.title = disc_tr("Pick Install Destination.");
  page.go_back = dvd_start;
  page.go_next = dvd_eula_install;

  const std::string change = disc_tr("Change Destination");
  const int bw = static_cast<int>(page_text_width(change) + 21);
  const int lw = static_cast<int>(page_text_width(disc_tr("Install Name:")));
  if (page_push_button(290, 203, static_cast<float>(bw), change)) {
    std::string picked = parent_dir;
    if (choose_folder(disc_tr("Pick a folder to install Skyrill 9 into."), disc_tr("Select"), picked) &&
        !picked.empty()) {
      parent_dir = with_slash(picked);
      choice_changed = true;
    }
  }
  const int x = static_cast<int>(310 + bw / 2 + lw);
  if (page_text_field(static_cast<float>(x), 200, &install_folder, 256, "-" + disc_tr("Install Name:"),
                      static_cast<float>(760 - x)))
    choice_changed = true;

  const new_copy_destination d = judge_new_copy_name(parent_dir, install_folder);
  dest_dir_path = d.folder;
  page.text = new_copy_destination_text(d, parent_dir, desktop_f);
  if (d.verdict != new_copy_verdict::usable) {
    page.go_next = nullptr;
    return 0;
  }
  if (choice_changed) {
    choice_changed = false;
    set_install_filter(1, 1);
    scan_destination();
    scenery_take_all();
    recalc_disk_sizes();
  }
  // A warning only: the scenery page checks again once the scenery is chosen.
  disc_disk_report(disc_tr("You have enough free disk space to install Skyrill 9 at this location."),
                   disc_tr("You do not have enough free disk space to install Skyrill 9 at this location.  You can "
                           "install to a different location, or save disk space by installing only some of the "
                           "global scenery."));
  return 0;
}

int dvd_eula_install(int first, wizard_screen& page) {
  return eula_screen(first, page, accept_eula, dvd_pick_install, dvd_scenery_install, full_licence);
}

int dvd_scenery_install(int first, wizard_screen& page) {
  if (first && dvd_install_is_running) {
    const int answer =
        abort_alert(disc_tr("Are you sure you want to cancel the installation?  This will delete the partially "
                            "installed copy of Skyrill 9."),
                    disc_tr("Cancel"), disc_tr("the installation and delete partial installation."),
                    disc_tr("Continue"), disc_tr("the installation process."));
    // Only the Cancel button deletes; Return or closing the question goes on with the install.
    if (answer != 1) {
      page.go_next = dvd_run_install;
      return 1;
    }
    leave_disc_install();
    delete_partial_copy();
    dvd_install_is_running = 0;
  }
  if (first) {
    scan_destination();
    recalc_disk_sizes();
  }
  UTIL_world_map();
  page.title = disc_tr("Select Scenery");
  page.text = disc_tr("Please pick the scenery you would like to install now.  You can use this installer to add "
                      "more scenery or remove scenery later.  If you fly into an area with no scenery installed, you "
                      "will see only ocean.\n\nClick on the world map to pick select regions to install.");
  page.go_back = dvd_eula_install;
  page.go_next = dvd_run_install;
  if (!disc_disk_report(disc_tr("You have enough free disk space to install Skyrill 9 with the selected scenery."),
                        disc_tr("You do not have enough free disk space to install Skyrill 9 with the selected "
                                "scenery; change the install location to another hard driver or select less "
                                "scenery.")))
    page.go_next = nullptr;
  return 0;
}

int dvd_run_install(int, wizard_screen& page) { return run_twin(twin_install, page); }
int dvd_install_repair(int, wizard_screen& page) { return run_twin(twin_repair, page); }
int dvd_install_scenery(int, wizard_screen& page) { return run_twin(twin_scenery, page); }

int dvd_done_install(int, wizard_screen& page) {
  page.title = disc_tr("Finished Installing Skyrill");
  page.go_back = dvd_start;
  page.go_next = wizard_quit;
  if (num_install_errors > 0) {
    page.text = disc_tr("There were errors during the install; your copy of Skyrill may not be usable.\n\nYou can "
                        "click Go Back and use the repair and add-remove scenery functions to try to reinstall any "
                        "missing or damaged files.");
  } else {
    page.text = disc_tr("Installation was successful.");
    page.choices.push_back(disc_tr("Run Skyrill Now"));
    page.choice_funcs.push_back(dvd_do_run_sim);
  }
  return 0;
}
