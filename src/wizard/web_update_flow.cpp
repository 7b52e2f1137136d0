#include "wizard/web_update_flow.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "files/file_ops.h"
#include "install/download_scheduler.h"
#include "install/file_decisions.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/web_update.h"
#include "install/wizard_globals.h"
#include "net/http_client.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_services.h"
#include "wizard/disk_space_report.h"
#include "wizard/install_registry.h"
#include "wizard/page_calls.h"
#include "wizard/server_list.h"

std::string cmd_line_path;

namespace {

float totl_inst_rat = 0;     // smoothed overall progress of the install step
std::string launch_problem;  // why the simulator could not be started; "" before a try

std::string tr(const char* english) { return UTL_translate_string(english); }
std::string sub(const std::string& text, const std::vector<std::string>& values) { return page_sub(text, values); }

void push_steps() {
  std::vector<wizard_step> steps = {{"Welcome", net_start}};
  if (cmd_line_path.empty()) steps.push_back({"Pick Destination", net_pick_dest});
  steps.insert(steps.end(), {{"Search for Updates", net_get_updates},
                             {"Check Disk Space", net_check_disk},
                             {"Install Updates", net_run_patch},
                             {"Finish", net_done}});
  set_wizard_steps(steps);
}

}  // namespace

void web_update_flow_reset() {
  totl_inst_rat = 0;
  launch_problem.clear();
}

std::string accept_command_line_path(const std::string& folder) {
  if (folder.empty()) return "";
  std::string path = folder;
  if (path.back() != '/') path += '/';
  if (path[0] != '/' || !dir_exists(path) || !path_is_to_a_sim(path)) {
    xer << "WARNING: -path " << folder << " is not a Skyrill installation; pick one instead.\n";
    return "";
  }
  return path;
}

void reset_download_work() {
  leave_web_install();
  reset_download_slots();
}

int net_start(int first, wizard_screen& page) {
  if (first) {
    // Coming back from the search page: its scan must stop before anything it reads changes.
    checksum_directory_kill();
    locate_all_skyrills();
    push_steps();
    reset_download_work();
    if (!cmd_line_path.empty()) dest_dir_path = cmd_line_path;
    else if (all_nimbrels.size() == 1) dest_dir_path = all_nimbrels[0];
  }
  page.title = tr("Skyrill 9 Web Updater");
  page.text = tr("I will guide you through the process of updating your copy of Skyrill 9 to the latest version.");
  page.allow_prefs = 1;
  page.go_next = cmd_line_path.empty() ? net_pick_dest : net_get_updates;
  return 0;
}

int net_pick_dest(int first, wizard_screen& page) {
  if (first) {
    checksum_directory_kill();
    reset_download_work();
  }
  page.title = tr("Pick Destination");
  page.allow_prefs = 1;
  page.text = (all_nimbrels.size() > 1 ? tr("You have more than one copy of Skyrill 9 installed on this computer.  ") : "") +
              tr("Please select which copy of Skyrill 9 you would like to update.");
  UTIL_pick_install();
  page.go_back = net_start;
  if (!dest_dir_path.empty()) page.go_next = net_get_updates;
  return 0;
}

int search_directory_page(int first, wizard_screen& page, const directory_page_texts& texts) {
  if (first) {
    checksum_directory_kill();
    // Back on this page: the directory is read again and the scan starts over. After a failed
    // search the user may have picked another mirror or mended the network: start again from
    // the server list.
    if (stg.dir_stage == 3) stg.dir_stage = 1;
    if (stg.dir_stage == 2) {
      reset_server_list();
      stg.dir_stage = 0;
    }
  }
  UTL_download_directory();

  if (stg.server_count < 0) {
    page.text = sub(tr(texts.contacting), {update_host()});
    return 0;
  }
  switch (stg.dir_stage) {
    case 0: {
      const int pick = stg.server_pick >= 0 && stg.server_pick < max_servers ? stg.server_pick : 0;
      page.text = sub(tr(texts.downloading), {server_name[pick]});
      const int p = http.slots[directory_http_slot] ? http.percent_done(directory_http_slot) : 0;
      if (p < 0) {
        page.progress_text = tr("I am checking the net for the latest version of Skyrill 9 right now, and I am "
                                "connecting to the server...");
      } else {
        page.progress_text = sub(tr("I am checking the net for the latest version of Skyrill 9 right now, and I "
                                    "am %1:progress%% done checking."),
                                 {std::to_string(p > 100 ? 100 : p)});
        page.progress = (p > 100 ? 100 : p) / 100.0f;
      }
      return 0;
    }
    case 1: page.text = tr(texts.processing); return 0;
    case 2: page.text = tr("There was a problem reading information from the servers."); return 0;
    default: return 1;
  }
}

int net_get_updates(int first, wizard_screen& page) {
  page.title = tr("Search for Updates");
  page.go_back = net_pick_dest;
  page.on_cancel = checksum_directory_kill;
  static const directory_page_texts texts = {"I am contacting %1:host% to find an update server.",
                                             "I am downloading patch info from %1:server name%.",
                                             "I am processing information about the available patches."};
  if (!search_directory_page(first, page, texts)) return 0;
  web_update_scan_step();
  if (web_update.stage == web_update_stage::decide) {
    page.go_back = nullptr;
    page.go_next = net_check_disk;
    return 1;
  }
  page.text = sub(tr("I am scanning %1:folder path% to see what files need updating."), {dest_dir_path});
  page.progress_text = sub(tr("Scanning %1:number% of %2:total% files."),
                           {std::to_string(web_update.scan_cursor), std::to_string(sim_info.size())});
  page.progress = web_update.scan_progress;
  return 0;
}

int net_check_disk(int first, wizard_screen& page) {
  if (first) reset_download_work();
  page.title = tr("Check Disk Space");
  page.go_back = net_get_updates;
  page.go_next = net_run_patch;
  page.show_servers = 1;
  // Judged on the files to fetch and to delete: files under 1 KB and deletions add no KB.
  if (nothing_to_update()) {
    page.go_next = net_done;
    return 1;
  }
  if (UTIL_disk_space(tr("You have enough free disk space to update Skyrill 9"),
                      tr("You do not have enough free disk space to update Skyrill 9."))) {
    page.text = sub(tr("You are about to download %1:download size% of compressed data to update to %2:install name%."),
                    {size_string(download_size_kb()), install_name});
  } else {
    page.go_next = nullptr;
    page.text = tr("There is a newer version of Skyrill 9 available, but you do not have enough free disk space "
                   "to download and install the update.\n\nPlease free some space on your hard drive.");
  }
  return 0;
}

int net_run_patch(int first, wizard_screen& page) {
  page.title = tr("Installing");
  page.show_servers = 1;
  if (first) {
    totl_inst_rat = 0;
    // Decides every file (asking about modified ones), clears the last run's problems, makes
    // the folders and resets the slots.
    if (!begin_web_install()) {
      leave_web_install();
      page.go_next = net_check_disk;
      return 1;
    }
  }
  if (install_page_step(first, page, totl_inst_rat)) {
    reset_download_work();
    page.go_next = net_done;
    return 1;
  }
  page.go_back = net_check_disk;
  // Quit while downloading stops the transfers and removes their archives.
  page.on_cancel = leave_web_install;
  return 0;
}

namespace {

// Whether the list finished (or stopped on a problem) in the work done while the last frame
// was rendered; the next frame of the page then ends the step.
bool install_ended_while_drawn = false;

// The main thread's time away from the transfers in the last frame (building the page, the
// swap, the events), measured between the grabs.
double grab_ended_at = -1;
double away_this_frame = 0;
double away_last_frame = 0;

double seconds_now() { return xtim_class::microsecs() * 1e-6; }

// Steps the list until it ends or the time is up: true when it ended. A local failure (full
// disk, no permission) stops the update; the finish page says so.
bool grab_files_for(double seconds) {
  const double t0 = seconds_now();
  if (grab_ended_at >= 0) away_this_frame += t0 - grab_ended_at;
  for (;;) {
    const int all_done = grab_files();
    const double t = seconds_now();
    if (all_done || stg.install_problem || t - t0 >= seconds) {
      grab_ended_at = t;
      return all_done || stg.install_problem;
    }
  }
}

// The transfers' time in each frame before the page is drawn: 20 ms, or 19 times what the last
// frame spent away from them where drawing costs more (a software renderer), so that drawing
// takes about 5 % of the main thread from the transfers at most; but never more than 50 ms, so
// that the page still moves 20 times a second and a click is answered as soon.
double grab_budget() {
  return std::fmin(0.05, std::fmax(0.02, 19 * away_last_frame));
}

// The transfers and unpacks are looked after while the software renderer draws the frame, for
// about as long as that takes, instead of waiting in the swap.
void install_while_drawn() {
  if (!install_ended_while_drawn) install_ended_while_drawn = grab_files_for(0.005);
}

}  // namespace

int install_page_step(int first, wizard_screen& page, float& smoothed) {
  if (first) {
    install_ended_while_drawn = false;
    grab_ended_at = -1;
    away_this_frame = away_last_frame = 0;
  }
  if (install_ended_while_drawn) {
    install_ended_while_drawn = false;
    return 1;
  }
  // The last frame's time away ends with this grab's start.
  if (grab_ended_at >= 0) away_last_frame = away_this_frame + (seconds_now() - grab_ended_at);
  away_this_frame = 0;
  grab_ended_at = -1;
  if (grab_files_for(grab_budget())) return 1;
  page.while_drawn = install_while_drawn;
  // Smoothed once per frame, with a weight that never passes 1 on a long frame.
  const float dt = xtim.frame_period[0];
  const float alpha = std::fmin(1.0f, std::fmax(0.0f, 5 * dt));
  const float target = stg.install_total > 0 ? next.kb_installed / stg.install_total : 0;
  smoothed = (1 - alpha) * smoothed + alpha * target;
  smoothed = std::fmin(1.0f, std::fmax(0.0f, smoothed));

  std::string action;
  const std::string file = crnt_file_name;
  switch (stg.current_action) {
    case 0: action = sub(tr("Deleting %1:file% because that file is no longer needed!"), {file}); break;
    case 1:
      if (stg.file_progress < 0)
        action = sub(tr("Downloading and installing %1:file%, connecting to the server."), {file});
      else
        action = sub(tr("Downloading and installing %1:file%, currently %2:progress%% done with that file."),
                     {file, std::to_string(static_cast<int>(100 * std::fmin(1.0f, stg.file_progress)))});
      break;
    case 2: action = sub(tr("Skipping %1:file% because it is already installed."), {file}); break;
    default: action = sub(tr("Skipping %1:file% because you don't need it."), {file}); break;
  }

  const float done = next.kb_done + next.kb_partial;
  const float elapsed = std::fmax(1.0f, xtim.elapsed - next.start_time);
  const float rate = done / elapsed;
  const float remaining = std::fmax(0.0f, stg.download_total - done);
  const float left = rate > 0 ? remaining / rate : INFINITY;
  std::string status;
  if (smoothed > 0.01f && rate > 0 && std::isfinite(left)) {
    int streams = 0;
    for (int s = 0; s < download_slot_count; ++s) streams += next.slot_active[s] ? 1 : 0;
    status = page_sub(page_plural(streams,
                                  "About %1:time% left in the install, downloading at %2:rate% with %3:number% "
                                  "download stream.",
                                  "About %1:time% left in the install, downloading at %2:rate% with %3:number% "
                                  "simultaneous download streams."),
                      {time_str(left), rate_str(rate), std::to_string(streams)});
  }
  if (stg.download_error) {
    page.text = sub(tr("I can not download the file '%1:filename%'.\n\nYour internet connection may not be working, "
                       "or the server could be undergoing maintainance or an upgrade right now.\n\nI am trying "
                       "another server now to see if I can still get you a download..."),
                    {crnt_file_path});
  } else {
    page.text = status;
    page.progress_text = action;
    page.progress = smoothed;
  }
  return 0;
}

int net_done(int first, wizard_screen& page) {
  if (first) launch_problem.clear();
  page.go_next = wizard_quit;
  page.title = tr("Finshed Web Update");
  if (nothing_to_update() && !stg.install_problem) {
    page.text = sub(tr("This copy of Skyrill (%1:install path%) is already up to date."), {dest_dir_path});
    page.choices.push_back(tr("Fly Skyrill Now"));
    page.choice_funcs.push_back(dvd_do_run_sim);
  } else if (stg.install_problem) {
    page.text = tr("There were problems updating Skyrill.  You can try this updater again using a different server.");
  } else {
    page.text = sub(tr("I have finished updating %1:install path%."), {dest_dir_path});
    page.choices.push_back(tr("Fly Skyrill Now"));
    page.choice_funcs.push_back(dvd_do_run_sim);
  }
  return 0;
}

int dvd_do_run_sim(int first, wizard_screen& page) {
  const std::string program = dest_dir_path + launch_bundle_executable;
  // Every flow's last page offers the start: this page keeps that page's title, and Back returns
  // there (the web update's finish page when nothing came before).
  static wizard_func back_to = nullptr;
  static std::string title;
  if (first) {
    back_to = wizard_came_from() ? wizard_came_from() : net_done;
    title = wizard_came_from_title().empty() ? tr("Finshed Web Update") : wizard_came_from_title();
    // Ends the process with status 1 once the simulator has really started.
    int code = launch_app(program, "", 1);
    launch_problem = std::strerror(code ? code : ENOENT);
  }
  page.title = title;
  page.text = sub(tr("I could not start %1:program%: %2:reason%."), {program, launch_problem});
  page.go_back = back_to;
  page.go_next = wizard_quit;
  return 0;
}
