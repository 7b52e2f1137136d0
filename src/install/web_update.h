// The web update's sequence, written once: fetch the release directory from the picked mirror,
// read it, scan the installation, decide every file, then download, unpack and delete until the
// list is worked through. It is polled once per frame and never blocks. The wizard's pages call
// the steps of their own stages (the search page the directory and scan steps, the install page
// the decide and download steps); a program without a window runs them all through
// web_update_step.
#pragma once

#include <string>

enum class web_update_stage {
  fetch_directory,  // the directory archive from the picked mirror (stg.dir_stage 0)
  read_directory,   // unpack and read it into the install model (stg.dir_stage 1)
  scan,             // the MD5 scan of the installation (stg.dir_stage 3 from here on)
  decide,           // the per-file decisions, with the modified-file question, and the folders
  download,         // the download slots until the list is worked through
  done,             // every file of the release is in place
  failed,           // the directory was refused, the user cancelled, or the update stopped
};

struct web_update_state {
  web_update_stage stage = web_update_stage::fetch_directory;
  int scan_cursor = 0;        // entries handed to the scan
  float scan_progress = 0;    // the scan's fraction handed out
  std::string failure;        // why the update failed, for the log
  int directory_failures = 0;        // failed fetches and unpacks of the directory in a row
  int directory_unpack_failures = 0; // archives that arrived and could not be unpacked
  double directory_retry_at = 0;     // steady-clock seconds before which it is not fetched again
};

extern web_update_state web_update;

// Starts over at the directory fetch (stg.dir_stage 0).
void web_update_begin();

// One step of the directory stages: polls the directory archive's transfer, unpacks it and reads
// it. A failed fetch or unpack picks another mirror and stays at the fetch, after a wait of 1, 2,
// 4 ... s (fetch_retry_delay), so an offline machine neither freezes the frames on host look-ups
// nor hammers the mirrors. Archives that keep failing to unpack end the update (stg.dir_stage 2)
// after fetch_rounds_per_mirror per mirror, rather than raising the alert for ever. A directory that is refused
// (unsafe or damaged records, or an archive that holds anything but "directory.txt") is shown
// in an alert that names the mirror, and the update fails (stg.dir_stage 2).
void web_update_directory_step();

// One poll of the scan; when it has finished, the global-scenery choice is taken from what is
// installed and the sizes are summed, and the update moves on to the decisions.
void web_update_scan_step();

// The install step's first frame (decisions and folders), then one pass of the download slots
// per call.
void web_update_install_step();

// One step of whichever stage the update is in; returns the stage after the step.
web_update_stage web_update_step();

// Runs the update to its end without a window, pacing itself on the frame's event wait while
// transfers wait for data. Gives up (failed) after limit_seconds. Returns the final stage.
web_update_stage web_update_run(double limit_seconds);

// The HTTP transfer slot of the directory archive.
constexpr int directory_http_slot = 1;
