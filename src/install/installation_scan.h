// The MD5 scan of the installation on a worker pool: for the newest version of every wanted
// file, the MD5 of the local file (sig_have) and whether it equals the release's (is_current).
// The wizard calls checksum_directory once per frame until it returns 1, and installs
// checksum_directory_kill as the page's cancel hook.
#pragma once

#include <string>

#include "runtime/worker_pool.h"

// One batch of histories [first, last).
class checksum_task : public UTL_work_task {
 public:
  checksum_task(int first, int last) : first(first), last(last) {}
  void do_it() override;
  int check_error(std::string& message) override;

  int32_t first;
  int32_t last;
};

// The scan's pool; null while no scan runs.
extern UTL_worker_threads* checksum_workers;

// One step of the scan: hands out batches of at most 10 histories, collects finished ones
// without waiting; 0 while it runs, 1 when every history has been scanned and the pool is gone.
// The cursor (histories handed out) and progress belong to the caller; a new scan starts at 0.
int checksum_directory(int& cursor, float& progress);

// Cancel hook: stops the running batches between files, waits for them and deletes the pool.
// Nothing happens when no scan runs. Must run before the model or the installation folder
// changes.
void checksum_directory_kill();

// The MD5 of the installed file at the installation-relative path, or "NONE" when it is missing,
// unreadable, not a regular file or a symbolic link (a named pipe or a device would block or
// never end), or behind a folder link that dangles or loops. Folder links on the way are
// followed, wherever they lead, as the install's writes and deletes follow them. A symbolic
// link as the file itself is signed by its link text.
std::string installed_file_signature(const std::string& inside_path);

// The MD5 of the file or symbolic link at path (absolute), or "NONE" as above; never follows a
// link at the path itself.
std::string path_signature(const std::string& path);

// Threads of the next scan's pool; 0 (the default) means the processor count. For tests.
extern int checksum_thread_count;
