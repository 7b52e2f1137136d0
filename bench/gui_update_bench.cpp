// The web update driven through the wizard's window: the flow's pages drawn every frame on the
// X display (swap interval 0) by the shell's event procedure, as the program's main loop runs
// them (the frame's wait for events, the page, the swap), Next pressed where the user would,
// from the welcome page to the finish page; timed from the press on the welcome page, drawn
// once before it. Same arguments and the same update as update_bench,
// which drives it without a window.
//   gui_update_bench PORT INSTALL_FOLDER TEMP_FOLDER SERVER_PATH RESOURCE_PROGRAM
// RESOURCE_PROGRAM is the installer binary whose Resources/ folder holds the pictures and fonts.
// Prints the time and frames on each page ("page welcome 0.2 s 1 frames"), then "gui <seconds>",
// "frames <n>", "longest_frame_ms", "p99_frame_ms" and "problem <n>".
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/draw_2d.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "graphics/texture_manager.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "net/http_client.h"
#include "platform/event_wait.h"
#include "platform/folders.h"
#include "platform/window.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/event_proc.h"
#include "shell/frame_parts.h"
#include "wizard/page_calls.h"
#include "wizard/program_start.h"
#include "wizard/server_list.h"
#include "wizard/web_update_flow.h"
#include "wizard/wizard_driver.h"
#include "wizard_window.h"

namespace {
double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The page of the frame, with Next pressed on the welcome and disk-space pages as the user
// presses it: the press is put where the event procedure has just read the pointer.
bool welcome_shown = false;
void page_pressing_next() {
  const bool press = (g_wizard == net_start && welcome_shown) || g_wizard == net_check_disk;
  mnw.mouse_x = press ? 700 : -100;
  mnw.mouse_y = press ? 20 : -100;
  mnw.mouse_down = press ? 1 : 0;
  APP_update();
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    fprintf(stderr, "usage: %s PORT INSTALL_FOLDER TEMP_FOLDER SERVER_PATH RESOURCE_PROGRAM\n", argv[0]);
    return 2;
  }
  xer.open(std::string(argv[3]) + "gui_update_bench.log");
  if (!open_wizard_window("gui update bench", argv[5])) return 1;

  http.proxy_host = "127.0.0.1";
  http.proxy_port = atoi(argv[1]);
  temp_path = argv[3];
  reset_installer_state();
  stg.download_os = 3;
  // The mirror is known: the update starts at the release directory, as update_bench's does.
  stg.server_count = 1;
  server_name[0] = "mirror-a.test";
  server_path[0] = argv[4];
  server_desc[0] = "A|Mirror A";
  cmd_line_path = argv[2];
  g_wizard = net_start;

  // The program's frame: the shell's parts, the wizard as the per-frame function.
  shell_use_frame_parts();
  frame_parts.app_update = page_pressing_next;
  frame_parts.while_frame_renders = wizard_while_frame_renders;
  frame_parts.on_quit = wizard_cancel_work;

  std::vector<double> frames;
  // Time and frames on each page, to see where the window costs.
  struct page_time {
    wizard_func page;
    const char* name;
    double seconds;
    int frames;
  } pages[] = {{net_start, "welcome", 0, 0},
               {net_get_updates, "search", 0, 0},
               {net_check_disk, "disk", 0, 0},
               {net_run_patch, "install", 0, 0}};
  // The welcome page is on the screen before the user can press Next on it; the click then ends
  // the frame's wait, as its event would.
  MACIBM_event_proc();
  welcome_shown = true;
  const double start = now();
  platform_wake_wait();
  while (g_wizard != net_done && !app_done) {
    const double f = now();
    const wizard_func page = g_wizard;
    MACIBM_event_proc();
    frames.push_back(now() - f);
    for (page_time& p : pages)
      if (p.page == page) p.seconds += frames.back(), p.frames += 1;
  }
  const double end = now();
  wizard_cancel_work();
  std::vector<double> sorted = frames;
  std::sort(sorted.begin(), sorted.end());
  const double p99 = sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
  for (const page_time& p : pages) printf("page %s %.3f s %d frames\n", p.name, p.seconds, p.frames);
  printf("gui %.3f\nframes %zu\nlongest_frame_ms %.1f\np99_frame_ms %.1f\nproblem %d\n", end - start, frames.size(),
         sorted.empty() ? 0 : sorted.back() * 1000, p99 * 1000, stg.install_problem);
  window_close();
  return g_wizard == net_done && !stg.install_problem ? 0 : 1;
}
