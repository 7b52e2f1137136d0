#include "runtime/shell_services.h"

#include <unistd.h>

#include <cstdio>

// Constructed before the program's other static objects, so that anything set up at load time
// can already log.
std::ofstream xer __attribute__((init_priority(200)));
int app_done = 0;
std::string app_path;
std::string diagnostics_folder;
int g_case_sensitive = 0;

namespace {
shell_hooks hooks;
thread_local std::ostream* captured_log = nullptr;
}  // namespace

std::ostream& thread_log() { return captured_log ? *captured_log : xer; }

thread_log_capture::thread_log_capture(std::ostream* buffer) : previous_(captured_log) {
  captured_log = buffer;
}

thread_log_capture::~thread_log_capture() { captured_log = previous_; }

void install_shell_hooks(const shell_hooks& installed) { hooks = installed; }

void __MACIBM_alert(int screen, std::string line1, std::string line2, std::string line3,
                    std::string line4, int type, const char* file, int line) {
  if (hooks.alert) {
    hooks.alert(screen, std::move(line1), std::move(line2), std::move(line3), std::move(line4), type,
                file, line);
    return;
  }
  // No shell yet (or none in this program): the report still reaches someone.
  std::string where = "(" + std::string(file ? file : "") + " line " + std::to_string(line) + ")";
  for (const std::string* l : {&line1, &line2, &line3, &line4, &where}) {
    xer << *l << "\n";
    std::fprintf(stderr, "%s\n", l->c_str());
  }
  xer.flush();
  if (type == t_exit) {
    std::fflush(nullptr);
    _exit(1);
  }
}

void MACIBM_finishup(int save) {
  if (hooks.finishup) hooks.finishup(save);
  else xer.close();
}

std::string UTL_translate_string(const std::string& english) {
  return hooks.translate ? hooks.translate(english) : english;
}

void go_to_URL(std::string url) {
  if (hooks.open_url) hooks.open_url(std::move(url));
}
