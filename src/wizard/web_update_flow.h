// The web-update flow, the flow this program runs: welcome, pick the installation (left out
// when "-path" names one), search for updates (the server list, the release directory and the
// MD5 scan), check the disk space, install the updates over the download slots, and finish,
// offering to start the simulator.
#pragma once

#include <string>

#include "wizard/wizard_driver.h"

// The folder given with "-path" (ending "/"), or "" when none was given or it was refused.
extern std::string cmd_line_path;

int net_start(int first, wizard_screen& page);
int net_pick_dest(int first, wizard_screen& page);
int net_get_updates(int first, wizard_screen& page);
int net_check_disk(int first, wizard_screen& page);
int net_run_patch(int first, wizard_screen& page);
int net_done(int first, wizard_screen& page);
// Starts the simulator of dest_dir_path (the executable named launch_bundle_executable inside it); on success the program ends with status 1. A failure is
// shown on the page once, naming the executable and the reason; it is not tried again each frame.
int dvd_do_run_sim(int first, wizard_screen& page);

// Takes the "-path" argument: the folder gets a trailing "/" and must exist and be an
// installation; otherwise it is refused with a warning in the log (the user then picks the
// installation). Returns the accepted folder or "".
std::string accept_command_line_path(const std::string& folder);

// Stops the downloads under way and removes their temporary archives, then resets the slots;
// the screens that leave or restart the install step call it on their first frame.
void reset_download_work();

// The search pages' directory stages, shared with the demo flow: on the first frame a ready
// directory is read again (a failed search starts over from the server list), then each frame
// polls the server list and the directory and shows the stage with the page's own texts (the
// English keys; "%1:host%" and "%1:server name%" are filled). 1 once the directory is ready.
struct directory_page_texts {
  const char* contacting;   // before the server list came
  const char* downloading;  // fetching the directory from the picked mirror
  const char* processing;   // reading it
};
int search_directory_page(int first, wizard_screen& page, const directory_page_texts& texts);

// One frame of an install page, shared with the demo flow: runs the download scheduler for
// 0.02 to 0.05 s (longer where the frames cost more to draw; and again while the frame is
// rendered), then shows the smoothed progress (kept
// by the caller in smoothed), the status line and the file at work, or the cannot-download
// text. 1 when every file is done or the install had to stop (stg.install_problem); the caller
// then resets the slots and moves on. first is the page's own first-frame flag.
int install_page_step(int first, wizard_screen& page, float& smoothed);

// The flow's own state, reset for a fresh run (tests).
void web_update_flow_reset();
