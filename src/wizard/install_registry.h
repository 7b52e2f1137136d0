// The installations the installer knows: the registration file "skyrill_install.txt" in the
// preferences folder (one absolute folder path ending "/" per line), the test that a folder is
// an installation, and the destination chooser that the pages draw: one check box per
// registered installation and "Find It", which opens the folder dialog and climbs from the
// chosen folder to the installation that holds it.
#pragma once

#include <string>
#include <vector>

// The registered installations whose folder exists, in file order, each listed once.
extern std::vector<std::string> all_nimbrels;

// The registration file's path, or "" when there is no preferences folder.
std::string registration_file_path();

// Re-reads the registration file into all_nimbrels. Lines are read whole (any length), CR LF
// ends are accepted; a line that is not an absolute path is passed over, and one without a
// trailing "/" gets it. A folder that no longer exists stays in the file and is not listed.
void locate_all_skyrills();

// Appends dest_dir_path to the registration file when no line holds it yet. A file whose last
// line has no line end gets one first, so the two paths never run together. A failure to write
// is logged and the flow goes on.
void register_new_skyrill();

// 1 when the folder holds sub-folders whose names contain "Airfoils", "Instructions", "Output"
// and "Resources" (files, and links to folders, do not count), else 0.
int path_is_to_a_sim(const std::string& folder);
// The same test on dest_dir_path.
int path_is_to_a_sim();

// From a folder the user picked (no trailing "/" needed) up to the installation that holds it:
// 1 with *found set (ending "/"), or 0 with *last set to the last folder examined when no folder
// up to the root is an installation.
int climb_to_installation(const std::string& picked, std::string* found, std::string* last);

// The folder dialog the chooser opens: answers 1 with the chosen folder in io_path, or 0 when
// the user cancelled. The default shows the native dialog; tests script it.
using folder_chooser = int (*)(const std::string& prompt, const std::string& button,
                               std::string& io_path);
void set_folder_chooser(folder_chooser chooser);
// Opens that dialog (the demo's destination page picks its parent folder with it).
int choose_folder(const std::string& prompt, const std::string& button, std::string& io_path);

// The most registrations listed at once; with more, the rows show the part of the list that
// holds the chosen installation, so "Find It" always stays on the page.
enum { chooser_max_rows = 12 };

// Draws the chooser into the current page and handles its clicks (may set dest_dir_path).
void UTIL_pick_install();
