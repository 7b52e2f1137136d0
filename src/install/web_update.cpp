#include "install/web_update.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/zip_archive.h"
#include "install/download_scheduler.h"
#include "install/file_decisions.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/release_directory.h"
#include "install/wizard_globals.h"
#include "net/http_client.h"
#include "platform/event_wait.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_services.h"

web_update_state web_update;

namespace {

int picked_mirror() {
  return stg.server_count > 0 && stg.server_pick >= 0 && stg.server_pick < stg.server_count ? stg.server_pick : 0;
}

void fail(const std::string& why) {
  web_update.stage = web_update_stage::failed;
  web_update.failure = why;
  xer << "The update stopped: " << why << "\n";
  xer.flush();
}

// A directory the reader refuses is not the user's doing, and going Back would only fetch it
// again: say which server sent it, so the user can pick another or tell the maker.
void refuse_directory(const std::string& why) {
  const std::string& mirror = server_name[picked_mirror()];
  xer << "WARNING: the release directory from " << mirror << " is refused: " << why << "\n";
  __MACIBM_alert(0,
                 UTL_translate_string("The release information from this update server is "
                                      "damaged or unsafe, so nothing was changed."),
                 UTL_translate_string("Update server: ") + mirror, why, "", t_alert,
                 "Zuzazuziv-e/utils", __LINE__);
  stg.dir_stage = 2;
  fail("the release directory from " + mirror + " was refused");
}

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Another mirror than the one that failed, uniformly, after a wait that grows with every failure
// in a row. Unreachable mirrors are tried for as long as it takes: the user can quit meanwhile.
void directory_attempt_failed(int failed) {
  ++web_update.directory_failures;
  web_update.directory_retry_at = now_seconds() + fetch_retry_delay(web_update.directory_failures);
  if (stg.server_count > 1) {
    int pick = std::rand() % (stg.server_count - 1);
    stg.server_pick = pick >= failed ? pick + 1 : pick;
  } else {
    stg.server_pick = 0;
  }
}

void fetch_directory() {
  if (now_seconds() < web_update.directory_retry_at) return;
  const int pick = picked_mirror();
  const std::string archive = temp_path + "directory.txt.zip";
  int r = http.net_check(directory_http_slot, server_name[pick], server_path[pick] + "directory.txt.zip", archive);
  if (r == 0) return;
  if (r == 2) {
    directory_attempt_failed(pick);
    return;
  }
  std::vector<std::string> names;
  int code = zip_entry_names(archive, &names);
  if (code == 0 && (names.size() != 1 || names[0] != "directory.txt")) {
    delete_file(archive);
    refuse_directory("the archive holds more than directory.txt");
    return;
  }
  // A directory left from an earlier run must not be read should this unpack fail half way.
  delete_file(temp_path + "directory.txt");
  if (code == 0) code = zip_to_file(archive, temp_path, nullptr, 0);
  delete_file(archive);
  if (code != 0) {
    __MACIBM_alert(0, UTL_translate_string("The installer cannot extract a file."),
                   UTL_translate_string("Error: ") + error_str(code),
                   UTL_translate_string("Compressed File: ") + archive,
                   UTL_translate_string("Destination: ") + temp_path, t_alert, "Zuzazuziv-e/utils",
                   __LINE__);
    directory_attempt_failed(pick);
    const int mirrors = stg.server_count > 0 ? stg.server_count : 1;
    if (++web_update.directory_unpack_failures >= fetch_rounds_per_mirror * mirrors) {
      stg.dir_stage = 2;
      fail("no mirror sent a directory archive that could be unpacked");
    }
    return;  // fetched again, from another mirror when there is one
  }
  web_update.directory_failures = 0;
  stg.dir_stage = 1;
  web_update.stage = web_update_stage::read_directory;
  // The directory is read in the next step, without waiting for a frame.
  platform_wake_wait();
}

void read_fetched_directory() {
  int r = read_directory(temp_path + "directory.txt",
                         UTL_translate_string("Scanning directory text file to see if you already "
                                              "have Skyrill installed..."));
  if (r == directory_read_ok) {
    stg.dir_stage = directory_read_ok;
    web_update.stage = web_update_stage::scan;
    web_update.scan_cursor = 0;
    web_update.scan_progress = 0;
  } else if (r == directory_read_refused) {
    refuse_directory("a record is damaged or names an unsafe path");
  } else {
    stg.dir_stage = directory_read_failed;
    fail("the release directory is in a newer format");
  }
}

}  // namespace

void web_update_begin() {
  web_update = web_update_state{};
  stg.dir_stage = 0;
}

void web_update_directory_step() {
  switch (web_update.stage) {
    case web_update_stage::fetch_directory: fetch_directory(); break;
    case web_update_stage::read_directory: read_fetched_directory(); break;
    default: break;
  }
}

void web_update_scan_step() {
  if (web_update.stage != web_update_stage::scan) return;
  if (!checksum_directory(web_update.scan_cursor, web_update.scan_progress)) return;
  scenery_from_install();
  recalc_disk_sizes();
  web_update.stage = web_update_stage::decide;
}

void web_update_install_step() {
  switch (web_update.stage) {
    case web_update_stage::decide:
      if (!begin_web_install()) {
        fail("the update was cancelled at the question, or a folder could not be made");
        return;
      }
      web_update.stage = web_update_stage::download;
      break;
    case web_update_stage::download: {
      if (grab_files() == 0) return;
      leave_web_install();
      if (next.all_done && !stg.install_problem) web_update.stage = web_update_stage::done;
      else fail("not every file could be installed");
      break;
    }
    default: break;
  }
}

web_update_stage web_update_step() {
  switch (web_update.stage) {
    case web_update_stage::fetch_directory:
    case web_update_stage::read_directory: web_update_directory_step(); break;
    case web_update_stage::scan: web_update_scan_step(); break;
    case web_update_stage::decide:
    case web_update_stage::download: web_update_install_step(); break;
    case web_update_stage::done:
    case web_update_stage::failed: break;
  }
  return web_update.stage;
}

web_update_stage web_update_run(double limit_seconds) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit_seconds);
  web_update_begin();
  for (;;) {
    const int cursor_before = next.file_cursor;
    const float done_before = next.kb_done;
    web_update_stage stage = web_update_step();
    if (stage == web_update_stage::done || stage == web_update_stage::failed) return stage;
    if (std::chrono::steady_clock::now() > give_up) {
      leave_web_install();
      checksum_directory_kill();
      fail("it took longer than " + std::to_string(static_cast<int>(limit_seconds)) + " seconds");
      return web_update.stage;
    }
    xtim.xtim_update();
    // Transfers mark their sockets for the wait, so it ends as soon as data comes; the scan's
    // workers need no frames, only a short look now and then. A step that finished a file goes
    // straight on, since the slot it freed has no transfer to wake the wait yet.
    if (stage == web_update_stage::scan) platform_wait_for_events(1);
    else if (next.file_cursor == cursor_before && next.kb_done == done_before) platform_wait_for_events(17);
  }
}
