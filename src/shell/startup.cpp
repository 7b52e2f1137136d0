#include "shell/startup.h"

#include <limits.h>
#include <unistd.h>

#include <cstring>

#include "runtime/command_line.h"
#include "runtime/shell_services.h"
#include "runtime/stack_dump.h"
#include "runtime/thread_layer.h"
#include "shell/log.h"

int app_done = 0;
std::string app_path;
int g_case_sensitive = 0;

namespace {
bool fps_test = false;
}

bool MACIBM_fps_test() { return fps_test; }

std::string MACIBM_app_folder() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

void MACIBM_init(int argc, char** argv) {
  UTL_debug_init();
  app_path.clear();  // relative paths resolve against the current folder, which is:
  const std::string folder = MACIBM_app_folder();
  if (!folder.empty() && chdir(folder.c_str()) != 0) {
    // The current folder stays as it was.
  }
  MACIBM_open_log(folder);
  // Every option is echoed to the log; the printing options end the program here, before any
  // thread starts.
  cmdline.init_unix(argc, argv);

  for (int i = 1; i < argc; ++i) {
    const char* eq = std::strchr(argv[i], '=');
    size_t len = eq ? static_cast<size_t>(eq - argv[i]) : std::strlen(argv[i]);
    if (len == 10 && std::strncmp(argv[i], "--fps_test", 10) == 0) fps_test = true;
  }

  THREAD_init();
  THREAD_make_workers();
}

void MACIBM_finishup(int save) {
  if (save) {
    // The preference file and the key bindings are written here once the settings exist;
    // neither under "--fps_test".
    if (THREAD_is_inited()) THREAD_shutdown();
  }
  xer.close();
}

std::string UTL_translate_string(const std::string& english) { return english; }
