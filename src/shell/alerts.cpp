#include "shell/alerts.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "runtime/error_report.h"
#include "runtime/memory/memory_report.h"
#include "runtime/shell_services.h"
#include "runtime/stack_dump.h"
#include "runtime/thread_layer.h"
#include "runtime/shell_records.h"
#include "shell/event_proc.h"
#include "shell/frame_parts.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"

int ogl_inited = 0;

const char* const alert_mem_stats_reason =
    "This is the dump_mem_stats call from the following code: if(type==t_exit || type == t_alert "
    "|| recursive_error)";

namespace {

// Ends the process after a fatal alert. Worker threads may still be running, so the static
// destructors are not run under them: the log is closed by the finish call and stdio flushed.
[[noreturn]] void end_process() {
  std::fflush(nullptr);
  _exit(1);
}

void log_lines(const std::string& l1, const std::string& l2, const std::string& l3,
               const std::string& l4, const std::string& where) {
  xer << l1 << "\n" << l2 << "\n" << l3 << "\n" << l4 << "\n" << where << "\n";
  xer.flush();
}

// Accept is the button's label for the language chooser; the others take text slot 602 ("OK").
void in_window_alert(int screen, const std::string (&lines)[4], const std::string& where,
                     int type) {
  // Whatever the frame that raised the alert left behind, the alert draws from a known state.
  if (frame_parts.reset_gl_state) frame_parts.reset_gl_state();
  const float saved_x = mnw.mouse_x, saved_y = mnw.mouse_y;
  const int quitting_before = app_done;
  MACIBM_startwind(994);
  while (mnw.topwi == 994) {
    if (frame_parts.plot_back_col) frame_parts.plot_back_col();
    if (frame_parts.fillwin) frame_parts.fillwin(1, 21);
    float next_x = 0, next_y = 0;
    if (frame_parts.subwin) frame_parts.subwin(0, 13, -1, 35, -1, -1, "", &next_x, &next_y);
    std::string label = stls.texts[602];
    const float mid = mnw.screen_w / 2;
    if (type == t_alert || type == t_exit) {
      const float ys[4] = {205, 165, 125, 85};
      for (int i = 0; i < 4; ++i)
        if (frame_parts.draw_string)
          frame_parts.draw_string(43, mid, ys[i], lines[i], 0.9f * mnw.screen_w, 1);
      if (type == t_exit && frame_parts.draw_string)
        frame_parts.draw_string(43, mid, 45, where, 0.9f * mnw.screen_w, 1);
    } else {
      const std::vector<int> offered =
          frame_parts.languages ? frame_parts.languages() : std::vector<int>();
      float y = 180;
      for (int language : offered) {
        const std::string button =
            frame_parts.language_button ? frame_parts.language_button(language) : std::string();
        if (frame_parts.is_int) frame_parts.is_int(mid - 25, y, &mnw.language, language, button);
        y -= 20;
      }
      stls.title = "Language/";
      label = "Accept";
    }
    const int clicked =
        frame_parts.action ? frame_parts.action(mid, 18, 0, 0, 1, label, "-") : 0;
    // The window's close box or the system's quit request during the alert accepts it: the
    // program is on its way out.
    const bool quit_requested = app_done && !quitting_before;
    if (clicked || return_hit || quit_requested) {
      return_hit = 0;
      if (type == t_exit) break;
      MACIBM_startwind(screen);
      mnw.mouse_x = saved_x;
      mnw.mouse_y = saved_y;
    }
    if (mnw.topwi == 994) MACIBM_event_proc();
  }
}

}  // namespace

void shell_alert(int screen, std::string l1, std::string l2, std::string l3, std::string l4,
                 int type, const char* file, int line) {
  if (THREAD_is_inited() && !THREAD_is_main_thread()) {
    // A worker never shows anything: the main thread shows the report in its next frame. A
    // fatal one ends this thread inside the call.
    THREAD_send_exception(exce_class(l1, l2, l3, l4, file, line, type));
    return;
  }
  const std::string where = "(" + std::string(file ? file : "") + " line " + std::to_string(line) + ")";

  if (type == t_exit) {
    const std::string crawl_path = diagnostics_folder + "stack_crawl.txt";
    if (FILE* crawl = std::fopen(crawl_path.c_str(), "ae")) {
      UTL_dump_stack(crawl, nullptr, nullptr);
      std::fclose(crawl);
    }
  }

  if (MACIBM_fps_test()) {
    log_lines(l1, l2, l3, l4, where);
    if (type == t_exit) end_process();
    return;
  }

  static int in_alert = 0;
  const bool recursive = in_alert != 0;
  in_alert = 1;

  // The in-window alert comes with the window; until then every alert uses the native box.
  // The native box cuts texts too long for it at a character boundary: a too-long text is
  // never raised as an alert of its own from inside this one.
  if (!ogl_inited || recursive) {
    platform_alert_box(l1 + " " + l2, l3 + " " + l4);
  } else if (!(l1.empty() && l2.empty() && l3.empty() && l4.empty())) {
    const std::string lines[4] = {l1, l2, l3, l4};
    in_window_alert(screen, lines, where, type);
  }

  if (type == t_alert || type == t_exit || recursive) {
    dump_mem_stats(alert_mem_stats_reason);
    xer << "\n";
    log_lines(l1, l2, l3, l4, where);
  }
  if ((type == t_lang || type == t_alert) && !recursive) {
    in_alert = 0;
    return;
  }
  MACIBM_finishup(0);
  app_done = 1;
  end_process();
}

int MACIBM_nuke_alert(const std::string& text, int three_buttons) {
  const int quitting_before = app_done;
  MACIBM_startwind(995);
  for (;;) {
    if (mnw.topwi != 995) return 3;
    if (app_done && !quitting_before) {
      MACIBM_startwind(0);
      return 3;
    }
    const std::string message = stls.texts[610] + text + " " + stls.texts[611];
    if (frame_parts.plot_back_col) frame_parts.plot_back_col();
    if (frame_parts.fillwin) frame_parts.fillwin(1, 21);
    if (frame_parts.draw_string)
      frame_parts.draw_string(43, 20, mnw.screen_h - 40, message, mnw.screen_w - 40, 0);
    auto width = [](const std::string& label) {
      return frame_parts.str_dx ? frame_parts.str_dx(label) : 0.0f;
    };
    auto button = [&](int slot, float x, float y) {
      return frame_parts.action && frame_parts.action(x, y, 0, 0, 1, stls.texts[slot], "-");
    };
    int chosen = 0;
    if (button(607, width(stls.texts[607]) / 2 + 20, 60)) chosen = 1;
    else if (button(608, width(stls.texts[607]) / 2 + 20, 25)) chosen = 2;
    else if (three_buttons &&
             button(609, mnw.screen_w - width(stls.texts[609]) / 2 - 20, 25))
      chosen = 3;
    if (chosen) {
      MACIBM_startwind(0);
      return chosen;
    }
    MACIBM_event_proc();
  }
}
