#include "shell/startup.h"

#include <limits.h>
#include <unistd.h>

#include "runtime/command_line.h"
#include "runtime/shell_services.h"
#include "runtime/stack_dump.h"
#include "runtime/thread_layer.h"
#include "shell/log.h"

int app_done = 0;
std::string app_path;
int g_case_sensitive = 0;

bool MACIBM_fps_test() { return cmdline.has_option("--fps_test") != 0; }

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
