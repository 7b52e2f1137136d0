#include "wizard/demo_flow.h"

#include <sys/stat.h>
#include <unistd.h>

#include "files/file_ops.h"
#include "files/paths.h"
#include "install/disc_pipeline.h"
#include "install/download_scheduler.h"
#include "install/file_decisions.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "runtime/shell_services.h"
#include "shell/value_widgets.h"
#include "wizard/disk_space_report.h"
#include "wizard/install_registry.h"
#include "wizard/licence_screen.h"
#include "wizard/new_copy_destination.h"
#include "wizard/page_calls.h"
#include "wizard/web_update_flow.h"

int accept_eula_demo = 0;
int demo_install_is_running = 0;

namespace {

float totl_inst_rat = 0;  // smoothed overall progress of the install step
// The destination page's choice, kept between frames.
std::string desktop_f;       // the desktop folder, ending "/"
std::string parent_dir;      // the folder that will hold the new copy, ending "/"
std::string install_folder;  // the new copy's folder name as typed
bool destination_changed = false;
// The folder the running install created (dest_dir_path when it began); the only one Cancel
// may delete.
std::string created_folder;

std::string tr(const char* english) { return UTL_translate_string(english); }
std::string sub(const std::string& text, const std::vector<std::string>& values) { return page_sub(text, values); }

std::string with_slash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

void push_steps() {
  set_wizard_steps({
      {"Welcome", demo_start},
      {"License", demo_eula},
      {"Check Servers", demo_get_updates},
      {"Pick Destination", demo_pick_dest},
      {"Install", demo_run_patch},
      {"Finish", demo_done},
  });
}

// Stops the install and deletes the partial copy: only the folder this install created, and
// only while it is a real folder (not a link put in its place); links inside it are removed,
// never followed.
void delete_partial_copy() {
  reset_download_work();
  if (!created_folder.empty() && created_folder == dest_dir_path) {
    struct stat st;
    const std::string folder = created_folder.substr(0, created_folder.size() - 1);
    if (lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      if (int code = recursive_delete_folder(created_folder))
        xer << "Could not delete the partial demo copy " << created_folder << ": error " << code << "\n";
    }
  }
  created_folder.clear();
  demo_install_is_running = 0;
}

// The scan of the folder still to be made (every file missing), everything wanted, the sizes.
void size_new_copy() {
  checksum_directory_kill();
  int cursor = 0;
  float progress = 0;
  while (!checksum_directory(cursor, progress)) usleep(200);
  set_install_filter(1, 1);
  scenery_take_all();
  recalc_disk_sizes();
}

}  // namespace

void demo_set_destination(const std::string& parent, const std::string& name) {
  parent_dir = parent;
  install_folder = name;
  destination_changed = true;
}

void demo_flow_reset() {
  accept_eula_demo = 0;
  demo_install_is_running = 0;
  totl_inst_rat = 0;
  desktop_f.clear();
  parent_dir.clear();
  install_folder.clear();
  destination_changed = false;
  created_folder.clear();
}

int demo_start(int first, wizard_screen& page) {
  if (first) {
    accept_eula_demo = 0;
    checksum_directory_kill();
    locate_all_skyrills();
    push_steps();
    reset_download_work();
  }
  page.title = tr("Welcome");
  page.allow_prefs = 1;
  page.text = tr("I will guide you through the process of installing the web demo of Skyrill 9.");
  if (!all_nimbrels.empty())
    page.text += tr("\n\nWarning: you already have Skyrill 9 installed on this computer.  Are you sure you want "
                    "to install a new demo copy of Skyrill 9?");
  page.go_next = demo_eula;
  return 0;
}

int demo_eula(int first, wizard_screen& page) {
  return eula_screen(first, page, accept_eula_demo, demo_start, demo_get_updates, demo_licence);
}

int demo_get_updates(int first, wizard_screen& page) {
  page.title = tr("Check Servers");
  page.go_back = demo_eula;
  page.on_cancel = checksum_directory_kill;
  static const directory_page_texts texts = {"I am contacting %1:host% to find a demo server.",
                                             "I am downloading demo info from %1:server name%.",
                                             "I am processing information about the available demo."};
  if (!search_directory_page(first, page, texts)) return 0;
  // The directory is ready; the destination page scans the new folder.
  page.go_back = nullptr;
  page.go_next = demo_pick_dest;
  return 1;
}

int demo_pick_dest(int first, wizard_screen& page) {
  if (first) {
    if (demo_install_is_running) {
      // Only the Cancel button deletes: Return or the close box leave the install running.
      const int answer = abort_alert(
          tr("Are you sure you want to cancel the installation?  This will delete the partially installed copy "
             "of the Skyrill 9 demo."),
          tr("Cancel"), tr("the demo installation and delete partial installation."), tr("Continue"),
          tr("the demo installation process."));
      if (answer != 1) {
        page.go_next = demo_run_patch;
        return 1;
      }
      delete_partial_copy();
    }
    checksum_directory_kill();
    reset_download_work();
    get_OS_abs_path(os_dir_desktop, desktop_f);
    desktop_f = with_slash(desktop_f);
    destination_changed = true;
  }
  if (parent_dir.empty()) {
    get_OS_abs_path(os_dir_default_apps, parent_dir);
    parent_dir = with_slash(parent_dir);
    install_folder = sub(tr("%1:install name% Demo"), {"Skyrill 9"});
    destination_changed = true;
  }
  bool changed = destination_changed;
  destination_changed = false;

  page.title = tr("Pick Install Destination.");
  page.go_back = demo_eula;
  page.go_next = demo_run_patch;

  const std::string change_label = tr("Change Destination");
  const std::string name_label = tr("Install Name:");
  const float w = page_text_width(change_label) + 21;
  const float label_w = page_text_width(name_label);
  if (page_push_button(290, 203, w, change_label)) {
    std::string picked = parent_dir;
    if (choose_folder(tr("Pick a folder to install the Skyrill 9 demo into."), tr("Select"), picked) &&
        !picked.empty()) {
      parent_dir = with_slash(picked);
      changed = true;
    }
  }
  const float x = w / 2 + 310 + label_w;
  if (BTN_enterstring(x, 200, &install_folder, 256, "-" + name_label, 760 - x, 0)) changed = true;

  const new_copy_destination d = judge_new_copy_name(parent_dir, install_folder);
  dest_dir_path = d.folder;
  page.text = new_copy_destination_text(d, parent_dir, desktop_f);
  if (d.verdict != new_copy_verdict::usable) {
    page.go_next = nullptr;
    return 0;
  }
  if (changed) size_new_copy();
  if (!UTIL_disk_space(tr("You have enough free disk space to install the Skyrill 9 demo at this location."),
                       tr("You do not have enough free disk space to install the Skyrill 9 demo at this location.  "
                          "You can install to a different location, or save disk space by installing only some of "
                          "the global scenery.")))
    page.go_next = nullptr;
  return 0;
}

int demo_run_patch(int, wizard_screen& page) {
  page.title = tr("Installing");
  page.show_servers = 1;
  const int starting = !demo_install_is_running;
  if (starting) {
    totl_inst_rat = 0;
    // Decides every file (the destination page wanted them all), makes the folders, resets
    // the slots.
    if (!begin_web_install(1)) {
      leave_web_install();
      page.go_next = demo_pick_dest;
      return 1;
    }
    demo_install_is_running = 1;
    created_folder = dest_dir_path;
    register_new_skyrill();
  }
  if (install_page_step(starting, page, totl_inst_rat)) {
    reset_download_work();
    demo_install_is_running = 0;
    created_folder.clear();
    page.go_next = demo_done;
    return 1;
  }
  // Back offers to cancel the install and delete the partial copy.
  page.go_back = demo_pick_dest;
  // Quit while downloading stops the transfers and removes their archives; the partial copy
  // stays.
  page.on_cancel = leave_web_install;
  return 0;
}

int demo_done(int, wizard_screen& page) {
  page.go_next = wizard_quit;
  page.title = tr("Finshed Web Demo Install");
  if (stg.install_problem) {
    page.text = tr("There were problem installing the Skyrill 9 web demo - it may not be usable.");
    return 0;
  }
  page.text = sub(tr("I have finished installing the Skyrill 9 web demo at: %1:file path%."), {dest_dir_path});
  page.choices.push_back(tr("Fly Skyrill 9 Now"));
  page.choice_funcs.push_back(dvd_do_run_sim);
  return 0;
}
