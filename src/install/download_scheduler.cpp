#include "install/download_scheduler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "files/error_codes.h"
#include "install/archive_install.h"
#include "files/extract_output.h"
#include "files/file_ops.h"
#include "files/paths.h"
#include "files/seven_zip.h"
#include "files/zip_archive.h"
#include "install/file_decisions.h"
#include "install/folder_cleanup.h"
#include "runtime/frame_clock.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "net/http_client.h"
#include "platform/event_wait.h"
#include "platform/threads.h"
#include "runtime/shell_services.h"
#include "runtime/worker_pool.h"

namespace {

// Failed fetches per history in this install step.
std::map<int, int> failures;
// Where a download slot stands with its current file. The slot record of the installer state
// says which file a slot has and whether it is on; this is the fetch itself.
enum class fetch_phase {
  unprepared,  // no temporary archive made for this attempt yet
  fetching,    // the archive is made and the transfer is polled
  arrived,     // the archive is in, waiting for a free staging folder to be unpacked in
  waiting,     // the last attempt failed; the next one starts at retry_at
};

struct download_slot {
  fetch_phase phase = fetch_phase::unprepared;
  // The mirror the slot fetches from: a mirror picked on the page applies to the next file,
  // and a failed fetch moves the slot to another mirror.
  int mirror = 0;
  int64_t retry_at = 0;  // platform clock, microseconds
  // The request for the slot's file from its mirror and the request's leaf, made once per file
  // and mirror rather than on every pass (a pass runs thousands of times a second).
  int request_history = -1, request_mirror = -1;
  std::string request, request_leaf;
};

download_slot slots[download_slot_count];
// slot_archive_path of each slot, for this install step.
std::string slot_archives[download_slot_count];

// The slot's request for history h from its mirror.
const std::string& slot_request(int slot, int h) {
  download_slot& me = slots[slot];
  if (me.request_history != h || me.request_mirror != me.mirror) {
    me.request = server_path[me.mirror] + sim_info[h].back().path + ".zip";
    me.request_leaf = leaf_of(me.request);
    me.request_history = h;
    me.request_mirror = me.mirror;
  }
  return me.request;
}

// A file whose archive arrived but did not unpack to the release's file: fetched again, from
// another mirror, by the next free slot once its wait is over.
struct refetch {
  int history;
  int mirror;
  int64_t at;  // platform clock, microseconds
};
std::deque<refetch> refetches;

// Files given up after every attempt: the request and the last reason, for the closing alert.
std::vector<std::pair<std::string, std::string>> unfetchable;

// A slot hands its arrived archive to the pool and goes on with its next file; each unpack under
// way has a staging subfolder (and an archive name) of its own, from this many.
constexpr int stage_count = 2 * download_slot_count;
std::string stage_folder(int stage) { return staging_folder() + std::to_string(stage) + "/"; }
std::string stage_archive(int stage) { return temp_path + "unpacking" + std::to_string(stage) + ".zip"; }
std::vector<int> free_stages;
// KB of the archives that arrived and are being unpacked, for the progress display.
float unpacking_kb = 0;

// Unpacking and checking an archive is the long part of installing a file (a scenery file can
// be hundreds of megabytes), so it runs on this pool while the main thread keeps the transfers
// and the window going.
UTL_worker_threads* unpack_workers = nullptr;
const std::thread::id main_thread_id = std::this_thread::get_id();
// Files unpacked on a pool thread in this update, for the closing log line.
int unpacked_on_workers = 0;
// Whether the staging folders were handed to the pool for removal, once the list was done.
bool staging_cleaned = false;

// The main thread's share: the same report, log lines and problem flag whether the file was
// unpacked here or on a worker.
void report_unpack(const unpack_result& r, const std::string& archive,
                   const std::string& destination, const std::string& signature) {
  if (r.code != 0 && (signature.empty() || is_local_write_error(r.code))) {
    stg.install_problem = 1;
    __MACIBM_alert(0, UTL_translate_string("The installer cannot extract a file."),
                   UTL_translate_string("Error: ") + error_str(r.code),
                   UTL_translate_string("Compressed File: ") + archive,
                   UTL_translate_string("Destination: ") + destination, t_alert,
                   "Zuzazuziv-e/utils", __LINE__);
  }
  if (stg.log_actions) {
    xer << "EXPANDING file " << destination << ", with result=" << r.code << ".\n";
    xer << "CHMODING  file " << destination << ", with result=" << r.chmod_code << ".\n";
  }
}

// A worker's share of the list: unpacking a file's archive, checking it and moving it into
// place; deleting a file the release marks as gone; and at the end removing the staging folders.
// The last two are here because freeing a file's or a folder's blocks can keep the disk busy for
// milliseconds, which the frames must not wait for.
class file_task : public UTL_work_task {
 public:
  enum class kind { unpack, deletion, staging_cleanup };
  // Unpacks the archive of stage and installs the file at destination.
  file_task(int history, int mirror, int stage, std::string destination, std::string signature)
      : what(kind::unpack), history(history), mirror(mirror), stage(stage),
        archive(stage_archive(stage)), destination(std::move(destination)),
        signature(std::move(signature)) {}
  // Deletes the installed file of history, at doomed.
  file_task(int history, std::string doomed)
      : what(kind::deletion), history(history), mirror(-1), stage(-1),
        destination(std::move(doomed)) {}
  // Removes the staging folder with its stage folders.
  file_task()
      : what(kind::staging_cleanup), history(-1), mirror(-1), stage(-1),
        destination(staging_folder()) {}
  void do_it() override {
    thread_log_capture capture(&log);
    on_worker = std::this_thread::get_id() != main_thread_id;
    switch (what) {
      case kind::unpack:
        result = install_from_archive(archive, destination, signature, stage_folder(stage));
        break;
      case kind::deletion: result.code = delete_file(destination); break;
      case kind::staging_cleanup: result.code = recursive_delete_folder(destination); break;
    }
  }
  int check_error(std::string& message) override {
    message = escaped;
    return escaped.empty() ? 0 : 1;
  }

  const kind what;
  const int history, mirror, stage;
  const std::string archive, destination, signature;
  unpack_result result;
  std::ostringstream log;  // the worker's log lines, written to the log by the main thread
  bool on_worker = false;
};

UTL_worker_threads& workers() {
  if (!unpack_workers) {
    unpack_workers =
        new UTL_worker_threads(std::min<int>(stage_count, platform_processor_count()), stage_count);
    // The main thread frees the stage of a finished unpack and hands out the next archive at
    // once, not at its next frame.
    unpack_workers->wake_owner(UTL_worker_threads::wake::each_task);
  }
  return *unpack_workers;
}

// The worker deleted the file; the main thread logs how it went and notes it in the model. It
// does not delete again: even for a file already gone, unlink waits for the folder's lock, which
// the workers hold while they move files into place beside it.
// A task that died before it could delete leaves the delete to the main thread.
void finish_delete(const file_task& task) {
  xer << task.log.str();
  if (!task.escaped.empty())
    delete_installed_file(task.history, deleted_files, "now we want to nuke a file: ");
  else
    note_installed_file_delete(task.history, task.result.code, deleted_files, "now we want to nuke a file: ");
}

// The next finished task, or null.
std::unique_ptr<file_task> next_finished_task() {
  if (!unpack_workers) return nullptr;
  UTL_work_task* done = unpack_workers->check_retired_tasks();
  if (!done) return nullptr;
  std::unique_ptr<file_task> task(static_cast<file_task*>(done));
  std::string message;
  if (task->check_error(message)) {
    // The task died before it could say how the file went; treat it as a damaged archive.
    const bool unpack = task->what == file_task::kind::unpack;
    xer << "WARNING: " << (unpack ? "unpacking " + task->archive : "deleting " + task->destination)
        << " failed: " << message << "\n";
    task->result.code = err_zip_read;
  }
  if (task->what == file_task::kind::unpack) free_stages.push_back(task->stage);
  return task;
}

// Waits for every task under way: for leaving the install step. A file a worker had already
// checked and placed stays (it is whole and right), a deleted file is noted; nothing else of
// theirs is left behind.
void drain_unpacks() {
  if (!unpack_workers) return;
  while (UTL_work_task* done = unpack_workers->wait_retired_tasks()) {
    std::unique_ptr<file_task> task(static_cast<file_task*>(done));
    if (task->what == file_task::kind::deletion) {
      finish_delete(*task);
      continue;
    }
    xer << task->log.str();
    if (task->what == file_task::kind::unpack) free_stages.push_back(task->stage);
  }
  unpacking_kb = 0;
  delete unpack_workers;
  unpack_workers = nullptr;
}


// The temporary archive is made afresh and exclusively for each fetch, so that nothing planted
// or left behind under its name is written through.
int prepare_archive(int slot) {
  std::string path = slot_archive_path(slot);
  if (unlink(path.c_str()) != 0 && errno != ENOENT) return errno;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  close(fd);
  return 0;
}

// Another mirror, biased towards the first entries of the list. With more than one mirror the
// one that just failed is not picked again at once, so a mirror serving a bad file cannot take
// every retry.
int repick_mirror(int failed) {
  int count = stg.server_count > 0 ? stg.server_count : 1;
  int pick = biased_mirror_pick(count, std::rand() * (1.0 / 2147483648.0));
  if (count > 1 && pick == failed) pick = (pick + 1) % count;
  return pick;
}

void cancel_transfers() {
  drain_unpacks();
  for (int i = 0; i < download_slot_count; ++i) {
    http.cancel(download_http_slot(i));
    unlink(slot_archive_path(i).c_str());
    slots[i].phase = fetch_phase::unprepared;
  }
  refetches.clear();
}

// Ends the update: the reason has been shown; the wizard sees install_problem.
void stop_update() {
  stg.install_problem = 1;
  cancel_transfers();
}

// One alert for every file given up in this update, shown once the rest is installed. The
// update then ends as stopped, so the wizard does not call it complete.
void report_unfetchable() {
  std::string files = unfetchable.front().first;
  for (size_t i = 1; i < unfetchable.size() && i < 4; ++i) files += ", " + unfetchable[i].first;
  if (unfetchable.size() > 4) files += ", ... (" + std::to_string(unfetchable.size()) + ")";
  __MACIBM_alert(0, UTL_translate_string("The installer cannot download a file."),
                 UTL_translate_string("Error: ") + unfetchable.front().second,
                 UTL_translate_string("Compressed File: ") + files, "", t_alert,
                 "Zuzazuziv-e/utils", __LINE__);
  stop_update();
}

// A failed fetch can be the local disk: the HTTP client reports a file it cannot write the
// same way as a broken transfer.
bool temp_volume_full(const file_version_struct& v) {
  uint64_t free_bytes = 0;
  if (get_free_space(temp_path, nullptr, &free_bytes) != 0) return false;
  return free_bytes < static_cast<uint64_t>(v.zip_size) * 1000 + 65536;
}


void adjust_streams(int slot) {
  float now = xtim.elapsed;
  float elapsed = now - next.start_time;
  float rate = (next.kb_done + next.kb_partial) / (elapsed > 1 ? elapsed : 1);
  int wanted = effective_stream_count();
  if (wanted == 0)
    wanted = rate > 200 ? 9 : rate > 150 ? 8 : rate > 100 ? 6 : rate > 50 ? 4 : 2;
  int active = 0;
  for (int i = 0; i < download_slot_count; ++i) active += next.slot_active[i] != 0;
  if (active < wanted) {
    for (int i = 0; i < download_slot_count; ++i) {
      if (!next.slot_active[i]) {
        next.slot_active[i] = 1;
        next.slot_ready[i] = 1;
        break;
      }
    }
  }
  if (wanted < active)
    next.slot_active[slot] = 0;
  else
    next.slot_ready[slot] = 1;
}

// The transfer's received fraction: -0.01 while the server has not given a length.
float transfer_fraction(int slot) {
  const down_class* t = http.slots[download_http_slot(slot)];
  if (!t) return 0;
  if (t->content_length < 0) return -0.01f;
  if (t->content_length == 0) return 1;
  return static_cast<float>(static_cast<double>(t->bytes_written) / t->content_length);
}

// Counts a failed attempt at history h from mirror: logged; 0 when the file is given up (every
// attempt used), else when the next attempt may start (platform clock).
int64_t count_failure(int h, int mirror, const std::string& request, const std::string& reason) {
  stg.download_error = 1;
  int tries = ++failures[h];
  int limit = fetch_rounds_per_mirror * (stg.server_count > 0 ? stg.server_count : 1);
  xer << "WARNING: " << request << " from " << server_name[mirror] << ": " << reason << " (attempt "
      << tries << " of " << limit << ")\n";
  if (tries >= limit) {
    xer << "WARNING: giving up on " << request << ": " << reason << "\n";
    unfetchable.emplace_back(request, reason);
    return 0;
  }
  return platform_microseconds() + static_cast<int64_t>(fetch_retry_delay(tries) * 1e6);
}

// A failed attempt at the slot's file: the same slot tries the same file again from another
// mirror after a wait; the cursor stays where it is, so no other slot gets this file or one
// already handed out. True when the file is given up (every attempt used).
bool note_failed_fetch(int slot, int h, const std::string& reason) {
  download_slot& me = slots[slot];
  const int64_t retry_at = count_failure(h, me.mirror, slot_request(slot, h), reason);
  if (retry_at == 0) {
    me.phase = fetch_phase::unprepared;
    return true;
  }
  me.mirror = repick_mirror(me.mirror);
  stg.server_pick = me.mirror;
  me.phase = fetch_phase::waiting;
  me.retry_at = retry_at;
  return false;
}

// An unpack is back from the pool. A file that did not come out right is fetched again later
// (another mirror, after the wait), unless every attempt is used.
void finish_unpack(std::unique_ptr<file_task> task) {
  const int h = task->history;
  file_version_struct& v = sim_info[h].back();
  unpacking_kb -= v.zip_size;
  xer << task->log.str();
  unpacked_on_workers += task->on_worker;
  report_unpack(task->result, task->archive, task->destination, task->signature);
  if (task->result.code == 0) {
    v.sig_have = v.sig_want;
    v.is_current = 1;
    next.kb_done += v.zip_size;
    next.kb_installed += v.unz_size;
    return;
  }
  if (stg.install_problem) {
    cancel_transfers();
    return;
  }
  const int code = task->result.code;
  const int64_t retry_at =
      count_failure(h, task->mirror, server_path[task->mirror] + v.path + ".zip",
                    code == err_wrong_content ? "the file does not match the release" : error_str(code));
  if (retry_at == 0) return;
  const int mirror = repick_mirror(task->mirror);
  stg.server_pick = mirror;
  refetches.push_back({h, mirror, retry_at});
}

// Hands the slot's arrived archive to the pool, when a staging folder is free: true when the
// slot is free for its next file.
bool hand_over(int slot, int h) {
  if (free_stages.empty()) return false;
  const int stage = free_stages.back();
  if (rename(slot_archive_path(slot).c_str(), stage_archive(stage).c_str()) != 0) {
    // The archive is gone or cannot be moved: fetch it again.
    const int err = errno;
    slots[slot].phase = fetch_phase::unprepared;
    return note_failed_fetch(slot, h, error_str(err));
  }
  free_stages.pop_back();
  const file_version_struct& v = sim_info[h].back();
  unpacking_kb += v.zip_size;
  workers().enqueue_task(new file_task(h, slots[slot].mirror, stage, local_path_of(v), v.sig_want));
  slots[slot].phase = fetch_phase::unprepared;
  return true;
}

// One step of the slot's file: true when the slot is finished with it (installed, or given
// up after every attempt).
bool fetch_step(int slot, int h) {
  file_version_struct& v = sim_info[h].back();
  download_slot& me = slots[slot];
  stg.current_action = 1;
  if (me.phase == fetch_phase::arrived) return hand_over(slot, h);
  const std::string& request = slot_request(slot, h);
  const std::string& archive = slot_archives[slot];
  if (me.phase != fetch_phase::fetching) {
    if (int code = prepare_archive(slot)) {
      __MACIBM_alert(0, UTL_translate_string("The installer cannot download a file."),
                     UTL_translate_string("Error: ") + error_str(code),
                     UTL_translate_string("Compressed File: ") + archive, "", t_alert,
                     "Zuzazuziv-e/utils", __LINE__);
      stop_update();
      return false;
    }
    me.phase = fetch_phase::fetching;
  }
  int result = http.net_check(download_http_slot(slot), server_name[me.mirror], request, archive);
  if (result == 0) {
    stg.file_progress = transfer_fraction(slot);
    next.kb_partial += stg.file_progress * v.zip_size;
    return false;
  }
  if (result == 1) {
    stg.download_error = 0;
    me.phase = fetch_phase::arrived;
    return hand_over(slot, h);
  }
  if (temp_volume_full(v)) {
    __MACIBM_alert(0, UTL_translate_string("The installer cannot download a file."),
                   UTL_translate_string("Error: ") + error_str(ENOSPC),
                   UTL_translate_string("Compressed File: ") + archive, "", t_alert,
                   "Zuzazuziv-e/utils", __LINE__);
    stop_update();
    return false;
  }
  return note_failed_fetch(slot, h, "the download failed");
}

void note_folders_of_absent_gone_file(const file_version_struct& v) {
  std::string local = local_path_of(v);
  std::string folder = local.substr(0, local.rfind('/') + 1);
  while (folder.size() > dest_dir_path.size()) {
    deleted_files.insert(folder);
    folder = folder.substr(0, folder.rfind('/', folder.size() - 2) + 1);
  }
}

}  // namespace

double fetch_retry_delay_scale = 1.0;

double fetch_retry_delay(int failures) {
  int doublings = std::clamp(failures - 1, 0, 4);
  return static_cast<double>(1 << doublings) * fetch_retry_delay_scale;
}

int biased_mirror_pick(int count, double u) {
  if (count <= 1 || !(u >= 0)) return 0;
  int pick = static_cast<int>(count * std::pow(u, 1.5));
  if (pick > count - 1) pick = count - 1;
  return pick < 0 ? 0 : pick;
}

std::string slot_archive_path(int slot) { return temp_path + std::to_string(slot) + ".zip"; }

bool is_local_write_error(int code) {
  switch (code) {
    case ENOSPC: case EDQUOT: case EACCES: case EPERM: case EROFS: case EFBIG: case EIO:
    case ENAMETOOLONG: case EMFILE: case ENFILE: case ENOTDIR: case EISDIR: case EEXIST:
      return true;
    default:
      return false;
  }
}

int extract_and_delete_file(const std::string& archive, const std::string& destination,
                            const std::string& signature) {
  // The archive is unpacked aside and only the file it should hold, once checked, replaces the
  // installed one: a wrong or damaged archive never touches the installation.
  const std::string stage = staging_folder() + "here/";
  int code = make_folder(staging_folder());
  if (code == 0 || code == EEXIST) code = make_folder(stage);
  unpack_result r;
  if (code == 0 || code == EEXIST) {
    r = install_from_archive(archive, destination, signature, stage);
  } else {
    r.code = code;
    delete_file(archive);
  }
  report_unpack(r, archive, destination, signature);
  recursive_delete_folder(stage);
  rmdir(staging_folder().c_str());  // only when no update is using it
  return r.code;
}

int grab_files() {
  int count = static_cast<int>(sim_info.size());
  next.kb_partial = 0;
  bool any_active = false;
  for (int i = 0; i < download_slot_count; ++i) any_active = any_active || next.slot_active[i];
  if (!any_active) {
    next.slot_active[0] = 1;
    next.slot_ready[0] = 1;
  }

  while (std::unique_ptr<file_task> task = next_finished_task()) {
    switch (task->what) {
      case file_task::kind::unpack: finish_unpack(std::move(task)); break;
      case file_task::kind::deletion: finish_delete(*task); break;
      case file_task::kind::staging_cleanup: xer << task->log.str(); break;
    }
    if (stg.install_problem) return stg.install_problem;
  }
  next.kb_partial += unpacking_kb;
  const int64_t now = platform_microseconds();
  for (int i = 0; i < download_slot_count && !stg.install_problem; ++i) {
    if (!next.slot_active[i]) continue;
    const bool idle = next.slot_ready[i] || next.slot_file[i] >= count;
    if (idle && !refetches.empty() && refetches.front().at <= now) {
      // A file to fetch again comes before the rest of the list.
      next.slot_file[i] = refetches.front().history;
      slots[i] = download_slot{};
      slots[i].mirror = refetches.front().mirror;
      refetches.pop_front();
    } else if (next.slot_ready[i]) {
      next.slot_file[i] = next.file_cursor;
      next.file_cursor = std::min(count, next.file_cursor + 1);
      slots[i] = download_slot{};
      slots[i].mirror = stg.server_count > 0 && stg.server_pick < stg.server_count ? stg.server_pick : 0;
    }
    int h = next.slot_file[i];
    if (h >= count) continue;
    file_version_struct& v = sim_info[h].back();
    next.slot_ready[i] = 0;
    crnt_file_path = slot_request(i, h);
    crnt_file_name = slots[i].request_leaf;
    if (path_has_no_file(v.path)) {
      __MACIBM_alert(0, "I am working through the list and found a path that has no file!",
                     "This is impossible to download or delete!", "It is:", v.path, t_exit,
                     "Zuzazuziv-e/utils", __LINE__);
      return 1;
    }
    bool finished = false;
    if (v.do_install && slots[i].phase == fetch_phase::waiting) {
      if (platform_microseconds() < slots[i].retry_at) continue;
      slots[i].phase = fetch_phase::unprepared;
    }
    if (v.do_delete) {
      stg.current_action = 0;
      workers().enqueue_task(new file_task(h, local_path_of(v)));
      finished = true;
    } else if (v.do_install) {
      finished = fetch_step(i, h);
    } else {
      stg.current_action = v.is_current ? 2 : 3;
      // A gone file that an interrupted run already deleted still leaves its folders to clean.
      if (v.sig_want == "GONE" && v.sig_have == "NONE") note_folders_of_absent_gone_file(v);
      finished = true;
    }
    if (finished) adjust_streams(i);
  }
  if (stg.install_problem) return stg.install_problem;

  // Done only when the list has been handed out and every running slot is past its end: with no
  // slot running, unfetched files must not read as a finished update.
  const bool unpacking = unpack_workers && unpack_workers->count_total_tasks() > 0;
  if (unpacking) platform_watch_wakes();
  if (!unpacking) unpacking_kb = 0;  // no drift from the float sums
  bool done = next.file_cursor >= count && refetches.empty() && !unpacking;
  for (int i = 0; i < download_slot_count; ++i)
    if (next.slot_active[i] && next.slot_file[i] < count) done = false;
  if (!done) return stg.install_problem;
  if (!staging_cleaned) {
    // Every unpack is back: the staging folders go, on a worker, and the list is done once that
    // task is back too (leaving the step removes whatever is left of them).
    staging_cleaned = true;
    workers().enqueue_task(new file_task());
    return stg.install_problem;
  }

  remove_emptied_folders(deleted_files);
  if (unpacked_on_workers > 0)
    xer << "Unpacked " << unpacked_on_workers << " files on the worker pool.\n";
  if (!unfetchable.empty()) {
    report_unfetchable();
    return 1;
  }
  next.all_done = 1;
  return 1;
}

int begin_web_install(int keep_scenery_choice) {
  cancel_transfers();
  // A run that was killed may have left its staging folder.
  recursive_delete_folder(staging_folder());
  stg.install_problem = 0;
  stg.download_error = 0;
  failed_deletes = 0;
  failures.clear();
  unfetchable.clear();
  for (download_slot& slot : slots) slot = download_slot{};
  if (!keep_scenery_choice) scenery_from_install();
  if (!choose_files()) return 0;
  if (make_dirs() != 0) return 0;
  free_stages.clear();
  // Archives a killed run was unpacking are fetched again; their copies go.
  for (int stage = 0; stage < stage_count; ++stage) unlink(stage_archive(stage).c_str());
  for (int stage = -1; stage < stage_count; ++stage) {
    const std::string folder = stage < 0 ? staging_folder() : stage_folder(stage);
    int code = make_folder(folder);
    if (code != 0 && code != EEXIST) {
      make_dir_error(folder, code);
      return 0;
    }
    if (stage >= 0) free_stages.push_back(stage);
  }
  unpacked_on_workers = 0;
  staging_cleaned = false;
  for (int i = 0; i < download_slot_count; ++i) slot_archives[i] = slot_archive_path(i);
  // The pool's threads are started now, with the rest of this frame's set-up: starting them takes
  // a few milliseconds, which no download frame should carry.
  workers();
  reset_download_slots();
  return 1;
}

void leave_web_install() {
  cancel_transfers();
  recursive_delete_folder(staging_folder());
}
