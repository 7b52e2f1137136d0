#include "install/disc_pipeline.h"

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>

#include "files/error_codes.h"
#include "files/file_ops.h"
#include "install/install_model.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "platform/event_wait.h"
#include "platform/threads.h"
#include "runtime/shell_services.h"

UTL_worker_threads* copy_pool = nullptr;
UTL_worker_threads* unzip_pool = nullptr;
int64_t disc_queue_byte_limit = int64_t(1) << 30;

namespace {

enum { pool_slots = 30 };

int install_err_num = 0;
std::string install_err_msg;
// Bytes of the archives handed to the pools and not yet retired.
int64_t queued_bytes = 0;
abort_alert_hook alert_hook = nullptr;

std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

bool in_flight() {
  return (copy_pool && copy_pool->count_total_tasks() > 0) || (unzip_pool && unzip_pool->count_total_tasks() > 0);
}

// A task is back on the main thread: its log, its result in the model, its error.
int retire(dvd_unpack_task* task, std::string& message) {
  std::unique_ptr<dvd_unpack_task> owned(task);
  queued_bytes -= task->bytes;
  xer << task->log.str();
  int code = task->check_error(message);
  if (code == 0) {
    // The file was checked against the release's MD5 before it replaced anything.
    file_version_struct& v = newest_version(task->index);
    v.sig_have = v.sig_want;
    v.is_current = 1;
  }
  if (stg.log_actions) {
    xer << "EXPANDING file " << task->dst_path << ", with result=" << code << ".";
    if (code) xer << " " << message;
    xer << "\n";
  }
  return code;
}

void delete_pools() {
  delete copy_pool;
  delete unzip_pool;
  copy_pool = unzip_pool = nullptr;
  queued_bytes = 0;
}

}  // namespace

std::string suffix_for_file(int index) {
  return newest_version(index).path.find("Global Scenery") != std::string::npos ? ".7z" : ".zip";
}

dvd_unpack_task::dvd_unpack_task(int i, const std::string& temporary_folder) : index(i) {
  const file_version_struct& v = newest_version(i);
  const std::string suffix = suffix_for_file(i);
  src_path = dvd_path + install_name + "/" + v.path + suffix;
  tmp_path = temporary_folder + v.sig_want + "_" + std::to_string(i) + suffix;
  dst_path = local_path_of(v);
  signature = v.sig_want;
  stage = temporary_folder + "unpack " + std::to_string(i) + "/";
  bytes = static_cast<int64_t>(v.zip_size) * 1000;
}

void dvd_unpack_task::do_it() {
  thread_log_capture capture(&log);
  if (phase == 0) {
    phase = 1;
    err_code = copy_file(src_path, tmp_path);
    if (err_code) {
      err_msg = "I was unable to copy the file " + src_path + " from the DVD to the hard drive.";
      // A copy cut short (a full disk, a scratched disc) is no use to anyone.
      unlink(tmp_path.c_str());
    }
    return;
  }
  if (err_code) return;
  int code = make_folder(stage);
  unpack_result r;
  if (code == 0 || code == EEXIST) r = install_from_archive(tmp_path, dst_path, signature, stage, true);
  else r.code = code;
  recursive_delete_folder(stage);
  if (r.code) {
    err_code = r.code;
    err_msg = "I was unable to unzip the file " + tmp_path + " to the folder " + folder_of(dst_path) + ".";
  }
}

int dvd_unpack_task::check_error(std::string& message) {
  if (!escaped.empty() && err_code == 0) {
    err_code = err_zip_read;
    err_msg = escaped;
  }
  message = err_msg;
  return err_code;
}

int install_files(int& cursor, int disk) {
  const int count = static_cast<int>(sim_info.size());
  if (!copy_pool) {
    copy_pool = new UTL_worker_threads(1, pool_slots);
    // A copied archive goes on to the unpackers, and a finished file makes room for the next
    // copy, as soon as it is back rather than at the next frame.
    copy_pool->wake_owner(UTL_worker_threads::wake::each_task);
    queued_bytes = 0;
    make_folder(staging_folder());
  }
  if (!unzip_pool) {
    unzip_pool = new UTL_worker_threads(platform_processor_count(), pool_slots);
    unzip_pool->wake_owner(UTL_worker_threads::wake::each_task);
  }

  while (cursor < count && !newest_version(cursor).do_install) ++cursor;
  while (cursor < count && copy_pool->has_free_slot()) {
    const file_version_struct& v = newest_version(cursor);
    if (v.disk != disk) break;
    if (v.do_install) {
      auto* task = new dvd_unpack_task(cursor, staging_folder());
      // Copied archives wait on the destination volume: bound their bytes as well as their count.
      if (in_flight() && queued_bytes + task->bytes > disc_queue_byte_limit) {
        delete task;
        break;
      }
      queued_bytes += task->bytes;
      copy_pool->enqueue_task(task);
    }
    ++cursor;
  }

  while (unzip_pool->has_free_slot()) {
    UTL_work_task* copied = copy_pool->check_retired_tasks();
    if (!copied) break;
    unzip_pool->enqueue_task(copied);
  }

  while (UTL_work_task* done = unzip_pool->check_retired_tasks()) {
    install_err_num = retire(static_cast<dvd_unpack_task*>(done), install_err_msg);
    if (install_err_num) return install_failed;
    install_err_msg.clear();
  }

  if (in_flight()) {
    platform_watch_wakes();
    return install_busy;
  }
  if (cursor >= count) {
    delete_pools();
    return install_done;
  }
  const file_version_struct& v = newest_version(cursor);
  return v.do_install && v.disk != disk ? install_other_disc : install_busy;
}

void install_files_kill() {
  if (!copy_pool) return;
  while (UTL_work_task* copied = copy_pool->wait_retired_tasks()) unzip_pool->enqueue_task(copied);
  std::string message;
  while (UTL_work_task* done = unzip_pool->wait_retired_tasks())
    retire(static_cast<dvd_unpack_task*>(done), message);
  delete_pools();
}

int install_files_get_error(std::string& message) {
  message = install_err_msg;
  const int code = install_err_num;
  install_err_num = 0;
  install_err_msg.clear();
  return code;
}

int begin_disc_install() {
  install_files_kill();
  install_err_num = 0;
  install_err_msg.clear();
  recursive_delete_folder(staging_folder());
  int code = make_folder(staging_folder());
  return code == EEXIST ? 0 : code;
}

void leave_disc_install() {
  install_files_kill();
  recursive_delete_folder(staging_folder());
}

float disc_install_extra_kb() {
  double archives = 0, largest = 0;
  std::set<std::string> folders;
  for (size_t h = 0; h < sim_info.size(); ++h) {
    const file_version_struct& v = sim_info[h].back();
    if (!v.do_install) continue;
    archives += v.zip_size;
    largest = std::max<double>(largest, v.zip_size);
    for (std::string f = folder_of(local_path_of(v)); f.size() > dest_dir_path.size();
         f = folder_of(f.substr(0, f.size() - 1)))
      if (!folders.count(f) && !dir_exists(f)) folders.insert(f);
  }
  const double waiting = std::min(archives, std::max(largest, disc_queue_byte_limit / 1000.0));
  return static_cast<float>(waiting + 4.0 * folders.size());
}

void set_abort_alert(abort_alert_hook ask) { alert_hook = ask; }

int abort_alert(std::string question, std::string first_label, std::string first_text,
                std::string second_label, std::string second_text) {
  if (!alert_hook) return 3;
  return alert_hook(std::move(question), std::move(first_label), std::move(first_text),
                    std::move(second_label), std::move(second_text));
}
