#include "install/download_scheduler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <vector>

#include "files/error_codes.h"
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
#include "platform/threads.h"
#include "runtime/shell_services.h"

namespace {

// Failed fetches per history in this install step.
std::map<int, int> failures;
// Where a download slot stands with its current file. The slot record of the installer state
// says which file a slot has and whether it is on; this is the fetch itself.
enum class fetch_phase {
  unprepared,  // no temporary archive made for this attempt yet
  fetching,    // the archive is made and the transfer is polled
  waiting,     // the last attempt failed; the next one starts at retry_at
};

struct download_slot {
  fetch_phase phase = fetch_phase::unprepared;
  // The mirror the slot fetches from: a mirror picked on the page applies to the next file,
  // and a failed fetch moves the slot to another mirror.
  int mirror = 0;
  int64_t retry_at = 0;  // platform clock, microseconds
};

download_slot slots[download_slot_count];

// Files given up after every attempt: the request and the last reason, for the closing alert.
std::vector<std::pair<std::string, std::string>> unfetchable;

std::string unpack_folder() { return temp_path + "unpack/"; }

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
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
  double u = std::rand() * (1.0 / 2147483648.0);
  int pick = static_cast<int>(count * std::pow(u, 1.5));
  if (pick < 0) pick = 0;
  if (pick > count - 1) pick = count - 1;
  if (count > 1 && pick == failed) pick = (pick + 1) % count;
  return pick;
}

void cancel_transfers() {
  for (int i = 0; i < download_slot_count; ++i) {
    http.cancel(download_http_slot(i));
    unlink(slot_archive_path(i).c_str());
    slots[i].phase = fetch_phase::unprepared;
  }
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

// Moves the checked file into place. Within one volume this is one rename; across volumes the
// file is copied beside its target and renamed over it, so the target is never half written.
int move_into_place(const std::string& staged, const std::string& destination) {
  if (rename(staged.c_str(), destination.c_str()) == 0) return 0;
  if (errno != EXDEV) return errno;
  struct stat st;
  if (lstat(staged.c_str(), &st) != 0) return errno;
  if (S_ISLNK(st.st_mode)) {
    std::string text;
    is_sim_link(staged, &text);
    return replace_with_symlink(destination, text);
  }
  int fd = open(staged.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  replace_writer out;
  int code = out.open(destination);
  std::vector<char> buffer(1 << 20);
  while (code == 0) {
    ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) code = errno;
    if (n <= 0) break;
    code = out.write(buffer.data(), static_cast<size_t>(n));
  }
  close(fd);
  if (code == 0) code = out.commit(st.st_mode & 07777, &st.st_mtime);
  return code;
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

// One fetch of the slot's file: true when the slot is finished with it (installed, or given
// up after every attempt).
bool fetch_step(int slot, int h) {
  file_version_struct& v = sim_info[h].back();
  std::string local = local_path_of(v);
  download_slot& me = slots[slot];
  std::string request = server_path[me.mirror] + v.path + ".zip";
  std::string archive = slot_archive_path(slot);
  stg.current_action = 1;
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
  std::string reason;
  if (result == 1) {
    stg.download_error = 0;
    me.phase = fetch_phase::unprepared;
    int code = extract_and_delete_file(archive, local, v.sig_want);
    if (code == 0) {
      v.sig_have = v.sig_want;
      v.is_current = 1;
      next.kb_done += v.zip_size;
      next.kb_installed += v.unz_size;
      return true;
    }
    if (stg.install_problem) {
      cancel_transfers();
      return false;
    }
    reason = code == err_wrong_content ? "the file does not match the release" : error_str(code);
  } else {
    if (temp_volume_full(v)) {
      __MACIBM_alert(0, UTL_translate_string("The installer cannot download a file."),
                     UTL_translate_string("Error: ") + error_str(ENOSPC),
                     UTL_translate_string("Compressed File: ") + archive, "", t_alert,
                     "Zuzazuziv-e/utils", __LINE__);
      stop_update();
      return false;
    }
    reason = "the download failed";
  }
  // A failed fetch: the same slot tries the same file again from another mirror; the cursor
  // stays where it is, so no other slot gets this file or one already handed out.
  stg.download_error = 1;
  int tries = ++failures[h];
  int limit = fetch_rounds_per_mirror * (stg.server_count > 0 ? stg.server_count : 1);
  xer << "WARNING: " << request << " from " << server_name[me.mirror] << ": " << reason
      << " (attempt " << tries << " of " << limit << ")\n";
  if (tries >= limit) {
    xer << "WARNING: giving up on " << request << ": " << reason << "\n";
    unfetchable.emplace_back(request, reason);
    me.phase = fetch_phase::unprepared;
    return true;
  }
  me.mirror = repick_mirror(me.mirror);
  stg.server_pick = me.mirror;
  me.phase = fetch_phase::waiting;
  me.retry_at = platform_microseconds() + static_cast<int64_t>(fetch_retry_delay(tries) * 1e6);
  return false;
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
  std::string stage = unpack_folder();
  recursive_delete_folder(stage);
  int code = make_folder(stage);
  if (code == 0) {
    code = ends_with(archive, ".7z") ? p7z_to_file(archive, stage, nullptr, 0)
                                     : zip_to_file(archive, stage, nullptr, 0);
  }
  std::string staged = stage + leaf_of(destination);
  if (code == 0) {
    std::string have = path_signature(staged);
    if (have == "NONE") {
      xer << "WARNING: " << archive << " does not hold " << leaf_of(destination) << "\n";
      code = err_wrong_content;
    } else if (!signature.empty() && have != signature) {
      xer << "WARNING: " << destination << " unpacked with MD5 " << have << ", the release lists "
          << signature << "\n";
      code = err_wrong_content;
    }
  }
  if (code == 0) code = move_into_place(staged, destination);
  int chmod_code = 0;
  if (code == 0 && destination.find("Contents/MacOS/") != std::string::npos)
    chmod_code = make_file_executable(destination);
  if (code != 0 && (signature.empty() || is_local_write_error(code))) {
    stg.install_problem = 1;
    __MACIBM_alert(0, UTL_translate_string("The installer cannot extract a file."),
                   UTL_translate_string("Error: ") + error_str(code),
                   UTL_translate_string("Compressed File: ") + archive,
                   UTL_translate_string("Destination: ") + destination, t_alert,
                   "Zuzazuziv-e/utils", __LINE__);
  }
  if (stg.log_actions) {
    xer << "EXPANDING file " << destination << ", with result=" << code << ".\n";
    xer << "CHMODING  file " << destination << ", with result=" << chmod_code << ".\n";
  }
  delete_file(archive);
  recursive_delete_folder(stage);
  return code;
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

  for (int i = 0; i < download_slot_count && !stg.install_problem; ++i) {
    if (!next.slot_active[i]) continue;
    if (next.slot_ready[i]) {
      next.slot_file[i] = next.file_cursor;
      next.file_cursor = std::min(count, next.file_cursor + 1);
      slots[i] = download_slot{};
      slots[i].mirror = stg.server_count > 0 && stg.server_pick < stg.server_count ? stg.server_pick : 0;
    }
    int h = next.slot_file[i];
    if (h >= count) continue;
    file_version_struct& v = sim_info[h].back();
    std::string request = server_path[slots[i].mirror] + v.path + ".zip";
    next.slot_ready[i] = 0;
    crnt_file_name = leaf_of(request);
    crnt_file_path = request;
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
      delete_installed_file(h, deleted_files, "now we want to nuke a file: ");
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
  bool done = next.file_cursor >= count;
  for (int i = 0; i < download_slot_count; ++i)
    if (next.slot_active[i] && next.slot_file[i] < count) done = false;
  if (!done) return stg.install_problem;

  remove_emptied_folders(deleted_files);
  if (!unfetchable.empty()) {
    report_unfetchable();
    return 1;
  }
  next.all_done = 1;
  return 1;
}

int begin_web_install() {
  cancel_transfers();
  recursive_delete_folder(unpack_folder());
  stg.install_problem = 0;
  stg.download_error = 0;
  failed_deletes = 0;
  failures.clear();
  unfetchable.clear();
  for (download_slot& slot : slots) slot = download_slot{};
  scenery_from_install();
  if (!choose_files()) return 0;
  if (make_dirs() != 0) return 0;
  reset_download_slots();
  return 1;
}

void leave_web_install() {
  cancel_transfers();
  recursive_delete_folder(unpack_folder());
}
