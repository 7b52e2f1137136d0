// Our whole web update, timed: the update driver (directory from the mirror, MD5 scan,
// decisions, folders, downloads) stepped as the wizard's pages step it, until done.
//   update_bench PORT INSTALL_FOLDER TEMP_FOLDER SERVER_PATH
// Prints "ours <seconds>", "peak_rss_mb <MB>", "files <n>", "longest_step_ms <stage> <ms>" for
// each stage (wall time, so it includes any time the system gave the thread's processor to
// others), and "steps_over_4ms <stage> <count> of <steps>". Steps are timed by the wall clock only: the
// thread's processor clock is a system call here and would take a good part of the main thread.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
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
#include "install/web_update.h"
#include "install/wizard_globals.h"
#include "install/install_model.h"
#include "net/http_client.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_services.h"

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

  // The update as the wizard's pages step it: one step per pass, passes while less than 0.02 s
  // of the frame have gone, then the next frame (the scan is polled every millisecond).
  double start = now(), scanned = 0;
  // The longest step of each stage: the directory and the decisions are one step each, the
  // downloads thousands.
  // The step that ends the downloads (clean-up of emptied folders and of the staging folder) is
  // counted on its own, as "finish".
  static const char* const stage_names[] = {"fetch_directory", "read_directory", "scan", "decide",
                                            "download", "finish", "failed"};
  double longest[7] = {};
  long steps[7] = {}, over_4ms[7] = {};
  web_update_begin();
  web_update_stage stage = web_update.stage;
  while (stage != web_update_stage::done && stage != web_update_stage::failed) {
    xtim.xtim_update();
    double frame = now();
    do {
      double s = now();
      const web_update_stage before = stage;
      stage = web_update_step();
      double step = now() - s;
      const bool finishing = before == web_update_stage::download && stage != web_update_stage::download;
      const int k = finishing ? 5 : static_cast<int>(before);
      longest[k] = std::max(longest[k], step);
      ++steps[k];
      over_4ms[k] += step > 0.004;
      if (!scanned && stage > web_update_stage::scan) scanned = now();
    } while (stage != web_update_stage::done && stage != web_update_stage::failed &&
             stage != web_update_stage::scan && now() - frame < 0.02);
    if (stage == web_update_stage::scan) usleep(1000);
  }
  double end = now();
  rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  printf("ours %.3f\nscan %.3f\npeak_rss_mb %.1f\nfiles %d\nproblem %d\n", end - start, scanned - start,
         ru.ru_maxrss / 1024.0, stg.install_count, stg.install_problem);
  for (int i = 0; i < 6; ++i) printf("longest_step_ms %s %.1f\n", stage_names[i], longest[i] * 1000);
  for (int i = 0; i < 6; ++i) printf("steps_over_4ms %s %ld of %ld\n", stage_names[i], over_4ms[i], steps[i]);
  if (stage == web_update_stage::failed) fprintf(stderr, "the update failed: %s\n", web_update.failure.c_str());
  return stage != web_update_stage::done;
}
