#include "shell/alerts.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/dialogs.h"
#include "runtime/error_report.h"
#include "runtime/memory/memory_report.h"
#include "runtime/shell_services.h"
#include "runtime/stack_dump.h"
#include "runtime/thread_layer.h"
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

}  // namespace

void shell_alert(int screen, std::string l1, std::string l2, std::string l3, std::string l4,
                 int type, const char* file, int line) {
  (void)screen;  // the in-window alert returns to it; the native box has nowhere to return
  if (THREAD_is_inited() && !THREAD_is_main_thread()) {
    // A worker never shows anything: the main thread shows the report in its next frame. A
    // fatal one ends this thread inside the call.
    THREAD_send_exception(exce_class(l1, l2, l3, l4, file, line, type));
    return;
  }
  const std::string where = "(" + std::string(file ? file : "") + " line " + std::to_string(line) + ")";

  if (type == t_exit) {
    if (FILE* crawl = std::fopen("stack_crawl.txt", "a")) {
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
  if (!ogl_inited || recursive) platform_alert_box(l1 + " " + l2, l3 + " " + l4);

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
