#include "shell/log.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "platform/diagnostics.h"
#include "platform/folders.h"
#include "runtime/shell_services.h"


std::string MACIBM_log_header() {
  const platform_system_facts facts = platform_system_facts_now();
  auto known = [](const std::string& s) { return s.empty() ? std::string("?") : s; };
  auto number = [](long v) { return v < 0 ? std::string("?") : std::to_string(v); };
  std::ostringstream h;
  h << "Installer log.txt for " << "Skyrill Web Updater 2.04r1" << " compiled on " << __DATE__ << " "
    << __TIME__ << "\n\n";
  h << "This log file is generated automatically by Corvane applications and contains "
       "diagnostics about your graphics hardware, installation, and any error conditions.\n";
  h << "If you need to contact tech support or file a bug, please send us this file. NOTE: this "
       "file is rewritten every time you start ANY of your Nimbrel applications.\n\n";
  h << known(facts.os_name) << "\n";
  // The machine and the processor's model stand in for the Mac's processor type and name.
  h << "CPU type: " << known(facts.cpu_type) << " (" << known(facts.cpu_model) << ") ";
  h << "CPU speed (mhz): " << number(facts.cpu_mhz) << " ";
  h << "Bus speed (mhz): " << "?" << " ";
  h << "RAM (MB): " << number(facts.ram_mb) << "\n";
  h << "\nNimbrel folder:'" << app_path << "', case sensitive=" << g_case_sensitive << "\n\n";
  return h.str();
}

namespace {

// The stream library opens its files without close-on-exec; the log's descriptor is found by
// its file and marked, so no program the installer starts inherits it.
void close_log_on_exec(const std::string& path) {
  struct stat want {};
  if (stat(path.c_str(), &want) != 0) return;
  DIR* fds = opendir("/proc/self/fd");
  if (!fds) return;
  while (dirent* e = readdir(fds)) {
    const int fd = std::atoi(e->d_name);
    struct stat have {};
    if (fd <= 2 || fd == dirfd(fds) || fstat(fd, &have) != 0) continue;
    if (have.st_dev == want.st_dev && have.st_ino == want.st_ino)
      fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
  }
  closedir(fds);
}

bool writable_folder(const std::string& folder) {
  return !folder.empty() && access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

std::string MACIBM_diagnostics_folder(const std::string& app_folder) {
  if (writable_folder(app_folder)) return app_folder;
  std::string state;
  const char* xdg = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  if (xdg && xdg[0] == '/') state = xdg;
  else if (home && *home) state = std::string(home) + "/.local/state";
  else return app_folder;
  const std::string folder = state + "/skyrill-installer/";
  platform_make_folders(folder, 0700);
  return writable_folder(folder) ? folder : app_folder;
}

void MACIBM_open_log(const std::string& folder) {
  if (xer.is_open()) xer.close();
  xer.clear();
  const std::string path = folder + "Skyrill Installer Log.txt";
  xer.open(path, std::ios::out | std::ios::trunc);
  if (xer.is_open()) close_log_on_exec(path);
  xer.setf(std::ios::fixed, std::ios::floatfield);
  xer << MACIBM_log_header();
  xer.flush();
}
