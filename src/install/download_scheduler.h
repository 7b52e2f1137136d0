// The web update's install engine, on the main thread: up to four download slots fetch the
// files the decisions marked for installation from the chosen mirror, each finished archive is
// unpacked, checked against the release's signature and moved into place, marked files are
// deleted, and at the end the folders the deletions emptied are removed.
#pragma once

#include <string>

#include "install/archive_install.h"  // err_wrong_content

// One pass over the four slots. 1 when the whole list is done (after the clean-up); while work
// remains, install_problem of stg: 0, or 1 once the update had to stop (an archive that cannot
// be installed because of a local error), which ends the caller's loop with the reason already
// shown. Files no mirror could deliver do not stop it: at the end they are reported in one
// alert and install_problem is 1 with all_done 0.
int grab_files();

// Unpacks archive and installs the one file it holds at destination. With a signature given the
// unpacked file must have it before it replaces anything. Files under "Contents/MacOS/" are made
// executable. The archive is deleted either way. 0 on success; otherwise the code, and the
// destination is as it was. A local failure (full disk, no permission) shows the extract alert
// and sets install_problem; a damaged archive or a signature mismatch does neither, so the
// caller can fetch the file again.
int extract_and_delete_file(const std::string& archive, const std::string& destination,
                            const std::string& signature = "");


// Whether a result code names a local failure (disk full, no permission, read-only, ...), which
// fetching again cannot mend.
bool is_local_write_error(int code);

// The install step's engine work on its first frame: stops any transfer of the scheduler's
// slots and removes their temporary archives, resets the slot record, wants the global-scenery
// cells that are installed (so the update leaves the user's scenery alone), decides the files
// and makes the folders. 1 when the scheduler may run; 0 when the user cancelled or a folder
// could not be made (the wizard goes back to the disk-space step). A new copy (the demo install)
// passes keep_scenery_choice 1: the cells its destination page chose stay wanted.
int begin_web_install(int keep_scenery_choice = 0);

// Stops the scheduler's transfers and removes their temporary archives; for leaving the
// install step by Back or Quit, and after the update ends.
void leave_web_install();

// Failed fetches of one file before it is given up, per mirror in the list. A file given up is
// skipped (never marked current, so the next run fetches it again), the rest of the release is
// installed and the gone files deleted, and one alert at the end names what is missing.
constexpr int fetch_rounds_per_mirror = 3;

// Seconds a slot waits before fetching its file again after its n-th failure (n >= 1): 1, 2,
// 4 ... capped at 16, times fetch_retry_delay_scale, so that a network blip of a few seconds
// does not use up every attempt. The frames keep running while a slot waits.
double fetch_retry_delay(int failures);
// 1 in the program; tests that fail fetches on purpose shorten the waits.
extern double fetch_retry_delay_scale;

// A mirror out of count for u uniform in [0, 1): the whole part of count * u^1.5, within
// 0..count-1, so that the first entries of the list are picked more often (entry 0 with
// probability (1/count)^(2/3)).
int biased_mirror_pick(int count, double u);

// The temporary archive of scheduler slot i (0..3).
std::string slot_archive_path(int slot);
