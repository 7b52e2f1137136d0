// Our whole web update, timed: directory from the mirror, MD5 scan, decisions, folders, and the
// download scheduler stepped as the install step steps it (passes while less than 0.02 s of the
// frame have gone, then the next frame), until done.
//   update_bench PORT INSTALL_FOLDER TEMP_FOLDER SERVER_PATH
// Prints "ours <seconds>", "peak_rss_mb <MB>", "longest_step_ms <ms>" and "files <n>".
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "files/zip_archive.h"
#include "install/download_scheduler.h"
#include "install/file_decisions.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/modified_file_question.h"
#include "install/release_directory.h"
#include "install/wizard_globals.h"
#include "install/install_model.h"
#include "net/http_client.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_services.h"

// The window's question does not exist in a benchmark: the release holds no modified files, and
// should one appear it is kept.
int select_alert(std::string, int) { return answer_keep; }

namespace {
double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: %s PORT INSTALL_FOLDER TEMP_FOLDER SERVER_PATH\n", argv[0]);
    return 2;
  }
  xer.open(std::string(argv[3]) + "update_bench.log");
  http.proxy_host = "127.0.0.1";
  http.proxy_port = atoi(argv[1]);
  dest_dir_path = argv[2];
  temp_path = argv[3];
  server_name[0] = "mirror-a.test";
  server_path[0] = argv[4];
  reset_installer_state();
  stg.server_count = 1;
  stg.download_os = 3;

  double start = now();
  std::string archive = temp_path + "directory.txt.zip";
  int r;
  while ((r = http.net_check(0, server_name[0], server_path[0] + "directory.txt.zip", archive)) == 0) {
  }
  if (r != 1 || zip_to_file(archive, temp_path, nullptr, 0) != 0 ||
      read_directory(temp_path + "directory.txt", "") != 3) {
    fprintf(stderr, "no directory\n");
    return 1;
  }
  int cursor = 0;
  float progress = 0;
  while (!checksum_directory(cursor, progress)) usleep(1000);
  double scanned = now();
  scenery_from_install();
  recalc_disk_sizes();
  if (!begin_web_install()) return 1;
  double longest = 0;
  int result = 0;
  while (!result) {
    xtim.xtim_update();
    double frame = now();
    do {
      double s = now();
      result = grab_files();
      double step = now() - s;
      if (step > longest) longest = step;
    } while (!result && now() - frame < 0.02);
  }
  leave_web_install();
  double end = now();
  rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  printf("ours %.3f\nscan %.3f\npeak_rss_mb %.1f\nlongest_step_ms %.1f\nfiles %d\nproblem %d\n",
         end - start, scanned - start, ru.ru_maxrss / 1024.0, longest * 1000, stg.install_count,
         stg.install_problem);
  return stg.install_problem || !next.all_done;
}
