// The wizard's share of the program's start-up: the move off an install disc, the button atlas
// of the interface language, the folder lines of the log, the installer state and preferences,
// the "-path" argument and the registered installations.
#pragma once

#include <string>

#include "wizard/wizard_driver.h"

// The install disc's folder for the relaunch test: $SKY_DISC_PATH when set (tests and a folder
// standing in for a disc), else "" (no disc: the program never copies itself).
std::string disc_path_for_relaunch();

// True when the bundle folder lies inside the disc folder (a real prefix, component-wise).
bool bundle_is_on_disc(const std::string& bundle, const std::string& disc);

// Started from the disc: copies the program's folder into the private temporary folder and
// starts the copy; ends this process with status 1 once the copy runs. Returns (start-up goes
// on from the disc) when the copy or the start fails.
void relaunch_from_disc_copy();

// Points the page calls at the shell's translation and text drawing (the widgets and quads are
// added by whoever provides them).
void install_shell_page_calls();

// The first screen of the flow this program runs: the web update's welcome unless the
// program's entry sets another before start-up (each installer program is built with its own).
extern wizard_func wizard_first_screen;

// Steps after the shell's start-up: the button atlas, the log's folder lines, temp_path, the
// alert button's label, install_name, the installer state, the preference file, "-path" and the
// registered installations.
void wizard_startup(int argc, char** argv);
