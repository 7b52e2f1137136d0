#include "runtime/error_report.h"

#include "runtime/shell_services.h"
#include "runtime/thread_layer.h"

exce_class::exce_class() : file("no exception"), line_number(0), severity(2) {}

exce_class::exce_class(std::string l1, std::string l2, std::string l3, std::string l4,
                       const char* f, int line, int sev)
    : line1(std::move(l1)),
      line2(std::move(l2)),
      line3(std::move(l3)),
      line4(std::move(l4)),
      file(f),
      line_number(line),
      severity(sev) {}

void exce_class::Report() {
  if (!THREAD_is_inited() || THREAD_is_main_thread()) {
    __MACIBM_alert(0, line1, line2, line3, line4, severity, file, line_number);
    return;
  }
  // Off the main thread the finish call must not run: it would stop the thread layer (joining
  // workers, perhaps this very thread) and tear down the window from the wrong thread. The
  // report goes back to the main thread, which shows and logs it in its next frame; the log
  // stream is the main thread's, so nothing is written to it here.
  THREAD_send_exception(*this);
}

void exce_class::LogAndContinue() {
  xer << "Logging " << (severity == 0 ? "non-fatal" : "fatal") << " Exception thrown from file: "
      << file << ", line " << line_number << ".\n"
      << line1 << "\n" << line2 << "\n" << line3 << "\n" << line4 << "\n";
  xer.flush();
}
