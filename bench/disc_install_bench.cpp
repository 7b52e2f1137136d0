// Installs a release from its disc masters the way the install screen does, for
// bench/disc-install to time: the masters folder is the test drive (a changer, so each eject
// puts the next disc in), the pipeline is stepped once per 60 Hz frame, and a disc request is
// answered by the check, the eject and the check again, as the swap screens do.
//   disc_install_bench MASTERS/ INSTALLATION/ TEMP/
// Prints the main thread's time per frame (p50, p99, max), the frames, the disc requests and
// the peak RSS; exits 1 when the install does not finish.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "files/file_ops.h"
#include "install/disc_drive.h"
#include "install/disc_pipeline.h"
#include "install/file_decisions.h"
#include "install/folder_cleanup.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "platform/volumes.h"

namespace {
std::string folder_arg(const char* a) {
  std::string s = a;
  if (s.back() != '/') s += '/';
  return s;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: disc_install_bench MASTERS/ INSTALLATION/ TEMP/\n");
    return 2;
  }
  using clock = std::chrono::steady_clock;
  const auto start = clock::now();
  reset_installer_state();
  set_install_filter(1, 1);
  stg.download_os = 3;
  dest_dir_path = folder_arg(argv[2]);
  temp_path = folder_arg(argv[3]);
  make_folder(temp_path);
  dvd_forget_disc();
  platform_set_test_drive(argv[1]);
  if (UTIL_scan_dvd() != dvd_ready) {
    std::fprintf(stderr, "the first disc cannot be read\n");
    return 1;
  }
  int cursor = 0;
  float progress = 0;
  while (!checksum_directory(cursor, progress)) usleep(200);
  scenery_take_all();
  if (!choose_files() || make_dirs() != 0 || begin_disc_install() != 0) return 1;

  std::vector<double> frame_ms;
  int requests = 0, result = 0;
  cursor = 0;
  current_disk = 0;
  auto next_frame = clock::now();
  for (;;) {
    const auto t0 = clock::now();
    result = install_files(cursor, current_disk);
    if (result == install_other_disc) {
      ++requests;
      want_file_disk = cursor;
      for (int tries = 0; !UTIL_verify_disk() && tries < 100; ++tries) UTIL_switch_disk(1);
    }
    frame_ms.push_back(std::chrono::duration<double, std::milli>(clock::now() - t0).count());
    if (result == install_done || result == install_failed) break;
    next_frame += std::chrono::microseconds(16667);
    std::this_thread::sleep_until(next_frame);
    if (clock::now() > next_frame) next_frame = clock::now();
  }
  leave_disc_install();
  const double seconds = std::chrono::duration<double>(clock::now() - start).count();
  std::sort(frame_ms.begin(), frame_ms.end());
  auto at = [&](double q) { return frame_ms[static_cast<size_t>(q * (frame_ms.size() - 1))]; };
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  std::printf("install %.2f s, %zu frames, %d disc requests, frame step p50 %.3f ms p99 %.3f ms max %.3f ms, peak RSS %ld KB\n",
              seconds, frame_ms.size(), requests, at(0.5), at(0.99), frame_ms.back(), ru.ru_maxrss);
  if (result != install_done) {
    std::string message;
    install_files_get_error(message);
    std::fprintf(stderr, "install failed: %s\n", message.c_str());
    return 1;
  }
  return 0;
}
