#include "install/installation_scan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "runtime/frame_clock.h"
#include "install/install_model.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "platform/event_wait.h"
#include "platform/threads.h"
#include "runtime/md5.h"
#include "runtime/shell_services.h"

UTL_worker_threads* checksum_workers = nullptr;
int checksum_thread_count = 0;

namespace {

const int batch_size = 10;
// The longest wait between frames while the scan runs, in milliseconds.
const int scan_frame_wait_ms = 50;

// Set by the cancel hook so that running batches stop between files instead of finishing ten
// large files each.
std::atomic<bool> stop_scan{false};

std::string md5_of_bytes(const char* data, size_t size) {
  MD5Context ctx;
  MD5Init(&ctx);
  MD5UpdateWide(&ctx, data, size);
  MD5Final(&ctx);
  return MD5_hex(ctx.digest);
}

// Reads rather than maps: a file truncated while mapped would kill the process with SIGBUS.
bool md5_of_regular_file(const std::string& path, std::string* sig) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  MD5Context ctx;
  MD5Init(&ctx);
  static thread_local std::vector<unsigned char> buffer(1 << 20);
  bool ok = true;
  while (true) {
    ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    MD5UpdateWide(&ctx, buffer.data(), static_cast<size_t>(n));
  }
  close(fd);
  if (!ok) return false;
  MD5Final(&ctx);
  *sig = MD5_hex(ctx.digest);
  return true;
}

// The process time in seconds, from the first use of the microsecond clock.
double process_seconds() { return xtim_class::microsecs() / 1000000.0; }

bool is_folder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string installed_file_signature(const std::string& inside_path) {
  // Folder links the installation holds are followed, wherever they lead: users move big
  // folders to another disk and leave a link, and the install writes and deletes through that
  // link, so the scan must see the same files (or the user's changes there would be replaced
  // without the question). Only regular files are read; a loop or a dangling link reads as
  // no file.
  return path_signature(dest_dir_path + inside_path);
}

std::string path_signature(const std::string& local) {
  struct stat st;
  if (lstat(local.c_str(), &st) != 0) return "NONE";
  std::string sig = "NONE";
  if (S_ISLNK(st.st_mode)) {
    char target[500];
    ssize_t n = readlink(local.c_str(), target, sizeof(target) - 1);
    if (n >= 0) sig = md5_of_bytes(target, static_cast<size_t>(n));
  } else if (S_ISREG(st.st_mode)) {
    if (!md5_of_regular_file(local, &sig)) sig = "NONE";
  }
  return sig;
}

void checksum_task::do_it() {
  for (int h = first; h < last; ++h) {
    if (stop_scan.load(std::memory_order_relaxed)) return;
    file_history_struct& history = sim_info[h];
    file_version_struct& v = history.back();
    if (!want_this_f(h, static_cast<int>(history.size() - 1))) continue;
    std::string inside = v.path;
    trim_dest_folder(inside);
    v.sig_have = installed_file_signature(inside);
    v.is_current = v.sig_have == v.sig_want;
  }
}

int checksum_task::check_error(std::string& message) {
  message = escaped;
  return escaped.empty() ? 0 : 1;
}

int checksum_directory(int& cursor, float& progress) {
  int count = static_cast<int>(sim_info.size());
  if (!is_folder(dest_dir_path)) {
    // Only an installation folder that vanished leaves a pool behind.
    checksum_directory_kill();
    for (file_history_struct& history : sim_info) {
      history.back().sig_have = "NONE";
      history.back().is_current = history.back().sig_have == history.back().sig_want;
    }
    return 1;
  }
  if (!checksum_workers) {
    int threads = checksum_thread_count > 0 ? checksum_thread_count : platform_processor_count();
    stop_scan = false;
    // Every batch is handed out at once, so that the workers never wait for the next frame to
    // get more files.
    const int batches = (count + batch_size - 1) / batch_size;
    checksum_workers = new UTL_worker_threads(threads, std::max(4 * threads, batches));
    // The page goes on as soon as the last batch is back, not at its next frame.
    checksum_workers->wake_owner(UTL_worker_threads::wake::when_idle);
    xer << " Start of MD5 at " << process_seconds() << "\n";
  }
  while (cursor < count && checksum_workers->has_free_slot()) {
    int n = std::min(batch_size, count - cursor);
    checksum_workers->enqueue_task(new checksum_task(cursor, cursor + n));
    cursor += n;
  }
  while (UTL_work_task* done = checksum_workers->check_retired_tasks()) {
    std::string message;
    if (done->check_error(message))
      xer << "WARNING: a scan batch failed: " << message << "\n";
    delete done;
  }
  progress = count > 0 ? static_cast<float>(cursor) / count : 0.0f;
  if (cursor >= count && checksum_workers->count_total_tasks() == 0) {
    delete checksum_workers;
    checksum_workers = nullptr;
    xer << " End of MD5 at " << process_seconds() << "\n";
    return 1;
  }
  // The last batch wakes the frame; until then frames only move the progress bar, and a few a
  // second leave the processors to the scan.
  platform_watch_wakes();
  platform_stretch_next_wait(scan_frame_wait_ms);
  return 0;
}

void checksum_directory_kill() {
  if (!checksum_workers) return;
  stop_scan = true;
  while (UTL_work_task* done = checksum_workers->wait_retired_tasks()) delete done;
  delete checksum_workers;
  checksum_workers = nullptr;
  stop_scan = false;
}
