// The disc install's copy-and-unpack pipeline. Each file's archive is copied from the disc by a
// one-thread pool (one reader keeps the drive streaming) into the installation's staging folder,
// then unpacked, checked against the release's MD5 and moved into place by a pool with one
// thread per processor. The install screen calls install_files once per frame; nothing in it
// waits, so the frames keep running. Files are taken in directory order, and the pipeline stops
// at the first file to install that lies on another disc.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

#include "install/archive_install.h"
#include "runtime/worker_pool.h"

// One file's copy (phase 0, on the copy pool) and unpack (phase 1, on the unpack pool).
class dvd_unpack_task : public UTL_work_task {
 public:
  // Paths of history index's newest version; the archive is copied into temporary_folder.
  dvd_unpack_task(int index, const std::string& temporary_folder);
  void do_it() override;
  int check_error(std::string& message) override;

  int32_t index;
  int32_t phase = 0;     // 0 before the copy, 1 after it
  std::string src_path;  // dvd_path + install_name + "/" + release path + suffix
  std::string tmp_path;  // temporary folder + sig_want + "_" + index + suffix
  std::string dst_path;  // the file in the installation
  std::string err_msg;
  int32_t err_code = 0;

  std::string signature;   // the release's MD5 of the file
  std::string stage;       // folder the archive is unpacked in, the task's own
  int64_t bytes = 0;       // the archive's size by the directory, for the queue's byte bound
  std::ostringstream log;  // the workers' log lines, written by the main thread
};

// The pools; null while no disc install runs.
extern UTL_worker_threads* copy_pool;
extern UTL_worker_threads* unzip_pool;

enum { install_busy = 0, install_done = 1, install_other_disc = 2, install_failed = 3 };

// One step for the disc disk (numbered from 0) now in the drive: 0 busy, 1 every file done (the
// pools are gone), 2 the next file to install is on another disc (the pools are idle), 3 a file
// failed (install_files_get_error tells why; the other files go on). cursor is the caller's
// history index, 0 when the install step starts; it survives disc changes.
int install_files(int& cursor, int disk);

// Cancel hook of the install screens: waits for the files under way (a copy in progress is
// finished and unpacked, so no file is lost between the pools) and deletes both pools.
void install_files_kill();

// The last failure's message and code, handed over once: later calls give 0 and "".
int install_files_get_error(std::string& message);

// ".7z" for a file under "Global Scenery", else ".zip".
std::string suffix_for_file(int index);

// The install step's start: removes what a killed run left in the staging folder and makes it
// afresh. 0 or the code of a folder that could not be made. dest_dir_path must exist.
int begin_disc_install();
// The install step's end (done, cancelled, or left): drains the pools and removes the staging
// folder with the archives in it.
void leave_disc_install();

// Archives copied but not yet unpacked may take this many bytes of the destination volume at a
// time (one archive always may, however large). Tests lower it.
extern int64_t disc_queue_byte_limit;

// KB the pipeline needs on the destination volume beyond the installed files: the folders it
// makes that do not exist yet, and the archives waiting in the staging folder at most. The disk
// report adds it to the install total.
float disc_install_extra_kb();

// The two-button question shown before a disc or demo install is cancelled: 1 for the first
// button, 0 for the second, 3 when the window was closed (or Return pressed) without a press.
// The texts come translated. The shell draws it; with no hook installed the answer is 3, which
// no caller takes as permission to delete.
int abort_alert(std::string question, std::string first_label, std::string first_text,
                std::string second_label, std::string second_text);
using abort_alert_hook = int (*)(std::string question, std::string first_label,
                                 std::string first_text, std::string second_label,
                                 std::string second_text);
void set_abort_alert(abort_alert_hook ask);
