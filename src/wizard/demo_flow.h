// The web-demo flow: installs a new demo copy of the simulator from the mirrors into a folder the
// user names. Welcome (warns when a copy is already registered), the licence, the server list and
// release directory, the destination (parent folder and name, the disk space), the install over
// the download slots, and finish. A program built with demo_start as its first screen runs it.
#pragma once

#include <string>

#include "wizard/wizard_driver.h"

// The user accepted the demo's licence (cleared on the welcome page).
extern int accept_eula_demo;
// A demo install has begun writing into dest_dir_path and has not finished.
extern int demo_install_is_running;

int demo_start(int first, wizard_screen& page);
int demo_eula(int first, wizard_screen& page);
int demo_get_updates(int first, wizard_screen& page);
int demo_pick_dest(int first, wizard_screen& page);
int demo_run_patch(int first, wizard_screen& page);
int demo_done(int first, wizard_screen& page);

// Sets the destination page's parent folder (ending "/") and typed name, as the folder dialog
// and the name field would (tests).
void demo_set_destination(const std::string& parent, const std::string& name);
// The flow's own state back to its start (tests).
void demo_flow_reset();
