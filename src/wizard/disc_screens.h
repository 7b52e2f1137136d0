// The disc flows: install a new copy from the numbered discs, add or remove global scenery,
// repair a copy, and start a registered copy. Every screen is a wizard_func (wizard_driver.h).
// The flows are written in three files: disc_install_flow.cpp (start screen, install flow,
// disc change screens, the install step and its repair and scenery twins, cancel question and
// run screen), scenery_flow.cpp (world map and the scenery screens) and repair_flow.cpp.
#pragma once

#include <string>

#include "wizard/wizard_driver.h"

// Start screen: polls the drive, then welcomes or offers run / scenery / repair / second copy.
int dvd_start(int first, wizard_screen& page);

// Install flow.
int dvd_pick_install(int first, wizard_screen& page);
int dvd_eula_install(int first, wizard_screen& page);
int dvd_scenery_install(int first, wizard_screen& page);
int dvd_run_install(int first, wizard_screen& page);
int dvd_done_install(int first, wizard_screen& page);

// The install step's twins for the repair and scenery flows.
int dvd_install_repair(int first, wizard_screen& page);
int dvd_install_scenery(int first, wizard_screen& page);

// Disc change and check screens, one pair per install step.
int dvd_switch_disk_install(int first, wizard_screen& page);
int dvd_verify_disk_install(int first, wizard_screen& page);
int dvd_switch_disk_repair(int first, wizard_screen& page);
int dvd_verify_disk_repair(int first, wizard_screen& page);
int dvd_switch_disk_scenery(int first, wizard_screen& page);
int dvd_verify_disk_scenery(int first, wizard_screen& page);

// Scenery add and remove.
int dvd_pick_scenery(int first, wizard_screen& page);
int dvd_scan_scenery(int first, wizard_screen& page);
int dvd_edit_scenery(int first, wizard_screen& page);
int dvd_done_scenery(int first, wizard_screen& page);
// The clickable world map of 10-degree scenery cells, drawn for one frame.
void UTIL_world_map();

// Repair.
int dvd_pick_repair(int first, wizard_screen& page);
int dvd_scan_repair(int first, wizard_screen& page);
int dvd_confirm_repair(int first, wizard_screen& page);
int dvd_done_repair(int first, wizard_screen& page);

// Run a registered copy.
int dvd_pick_run_sim(int first, wizard_screen& page);

// The modal question after an unpack error; all six texts already translated. 1: stop, 0: go on.
int UTIL_cancel_install(const std::string& heading, const std::string& advice,
                        const std::string& stop_label, const std::string& stop_note,
                        const std::string& continue_label, const std::string& continue_note);

// State shared by the disc flows (defined in disc_install_flow.cpp).
extern int dvd_install_is_running;
extern int repair_is_running;
extern int scenery_install_is_running;
extern int num_install_errors;
extern int accept_eula;

// Every disc flow's own state back to its start (tests).
void disc_install_flow_reset();
void scenery_flow_reset();
void repair_flow_reset();
