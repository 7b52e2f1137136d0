// Installs a release from its disc masters for bench/disc-install to time. The masters folder
// is the test drive (a changer, so each eject puts the next disc in).
//   disc_install_bench MASTERS/ INSTALLATION/ TEMP/ [RESOURCE_PROGRAM]
// With RESOURCE_PROGRAM (the installer binary whose Resources/ folder holds the pictures and
// fonts) the install runs through the wizard's window, as bench/gui_update_bench runs the web
// update: from the install screen to the finish screen, every screen drawn each frame on the X
// display (swap interval 0) by the shell's event procedure, the disc change screen answered by
// Continue pressed where the user presses it and the check screen taking the next disc.
// Without it the engine runs headless: the pipeline stepped once per 60 Hz frame, a disc
// request answered by the check, the eject and the check again, as those screens do.
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
#include "graphics/draw_2d.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "graphics/texture_manager.h"
#include "install/disc_drive.h"
#include "install/disc_pipeline.h"
#include "install/file_decisions.h"
#include "install/folder_cleanup.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "platform/folders.h"
#include "platform/volumes.h"
#include "platform/window.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/event_proc.h"
#include "shell/frame_parts.h"
#include "wizard/disc_screens.h"
#include "wizard/page_calls.h"
#include "wizard/program_start.h"
#include "wizard/wizard_driver.h"
#include "wizard_window.h"

namespace {
using clock_type = std::chrono::steady_clock;

std::string folder_arg(const char* a) {
  std::string s = a;
  if (s.back() != '/') s += '/';
  return s;
}

double ms_since(clock_type::time_point t0) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - t0).count();
}

// The engine without a window: the loop the install screen and the disc screens make of it.
int install_headless(std::vector<double>& frame_ms, int& requests) {
  if (!choose_files() || make_dirs() != 0 || begin_disc_install() != 0) return install_failed;
  int result = 0;
  int cursor = 0;
  current_disk = 0;
  auto next_frame = clock_type::now();
  for (;;) {
    const auto t0 = clock_type::now();
    result = install_files(cursor, current_disk);
    if (result == install_other_disc) {
      ++requests;
      want_file_disk = cursor;
      for (int tries = 0; !UTIL_verify_disk() && tries < 100; ++tries) UTIL_switch_disk(1);
    }
    frame_ms.push_back(ms_since(t0));
    if (result == install_done || result == install_failed) break;
    next_frame += std::chrono::microseconds(16667);
    std::this_thread::sleep_until(next_frame);
    if (clock_type::now() > next_frame) next_frame = clock_type::now();
  }
  leave_disc_install();
  return result;
}

// The screen of the frame, with Continue pressed on the disc change screen as the user presses
// it: the press is put where the event procedure has just read the pointer.
void page_pressing_continue() {
  const bool press = g_wizard == dvd_switch_disk_install;
  mnw.mouse_x = press ? 700 : -100;
  mnw.mouse_y = press ? 20 : -100;
  mnw.mouse_down = press ? 1 : 0;
  APP_update();
}

bool open_window(const char* resource_program) {
  if (!open_wizard_window("disc install bench", resource_program)) return false;
  shell_use_frame_parts();
  frame_parts.app_update = page_pressing_continue;
  frame_parts.on_quit = wizard_cancel_work;
  return true;
}

// Through the window: the install screen to the finish screen, one event procedure per frame.
int install_in_window(std::vector<double>& frame_ms, int& requests) {
  disc_install_flow_reset();
  g_wizard = dvd_run_install;
  wizard_func last = g_wizard;
  while (g_wizard != dvd_done_install && !app_done) {
    const auto t0 = clock_type::now();
    const bool installing = g_wizard == dvd_run_install;
    MACIBM_event_proc();
    // The frames of copy and unpack: the install screen's (the disc screens only wait).
    if (installing) frame_ms.push_back(ms_since(t0));
    if (g_wizard != last && g_wizard == dvd_switch_disk_install) ++requests;
    last = g_wizard;
  }
  const bool done = g_wizard == dvd_done_install && num_install_errors == 0;
  wizard_cancel_work();
  window_close();
  return done ? install_done : install_failed;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: disc_install_bench MASTERS/ INSTALLATION/ TEMP/ [RESOURCE_PROGRAM]\n");
    return 2;
  }
  const bool window = argc == 5;
  temp_path = folder_arg(argv[3]);
  make_folder(temp_path);
  if (window) {
    xer.open(temp_path + "disc_install_bench.log");
    if (!open_window(argv[4])) return 1;
  }
  const auto start = clock_type::now();
  reset_installer_state();
  set_install_filter(1, 1);
  stg.download_os = 3;
  dest_dir_path = folder_arg(argv[2]);
  dvd_forget_disc();
  platform_set_test_drive(argv[1]);
  if (UTIL_scan_dvd() != dvd_ready) {
    std::fprintf(stderr, "the first disc cannot be read\n");
    return 1;
  }
  // What the pages before the install screen leave: the destination scanned, all scenery taken.
  int cursor = 0;
  float progress = 0;
  while (!checksum_directory(cursor, progress)) usleep(200);
  scenery_take_all();

  std::vector<double> frame_ms;
  int requests = 0;
  const int result = window ? install_in_window(frame_ms, requests) : install_headless(frame_ms, requests);
  const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
  std::sort(frame_ms.begin(), frame_ms.end());
  auto at = [&](double q) {
    return frame_ms.empty() ? 0.0 : frame_ms[static_cast<size_t>(q * (frame_ms.size() - 1))];
  };
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  std::printf("%s %.2f s, %zu frames, %d disc requests, frame p50 %.3f ms p99 %.3f ms max %.3f ms, peak RSS %ld KB\n",
              window ? "window" : "headless", seconds, frame_ms.size(), requests, at(0.5), at(0.99),
              frame_ms.empty() ? 0.0 : frame_ms.back(), ru.ru_maxrss);
  if (result != install_done) {
    std::string message;
    install_files_get_error(message);
    std::fprintf(stderr, "install failed: %s\n", message.c_str());
    return 1;
  }
  return 0;
}
