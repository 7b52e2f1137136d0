// Opening a web page in the user's browser through xdg-open.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "runtime/shell_services.h"
#include "shell/startup.h"

extern char** environ;

namespace {

std::vector<pid_t> children;

void reap_finished() {
  for (size_t i = 0; i < children.size();) {
    if (waitpid(children[i], nullptr, WNOHANG) != 0)
      children.erase(children.begin() + static_cast<long>(i));
    else
      ++i;
  }
}

bool acceptable(const std::string& url) {
  if (url.compare(0, 7, "http://") != 0 && url.compare(0, 8, "https://") != 0) return false;
  for (unsigned char c : url)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

}  // namespace

void shell_go_to_URL(std::string url) {
  if (url.size() > 499)
    __MACIBM_alert(0, "String too long!", url, "", "", t_exit, "hl_string", 137);
  reap_finished();
  // Only web addresses reach the browser: anything else could open a local file or program.
  if (!acceptable(url)) return;

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, pipe;
  sigemptyset(&none);
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &pipe);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  char program[] = "xdg-open";
  std::vector<char*> argv = {program, url.data(), nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, program, nullptr, &attr, argv.data(), environ) == 0) children.push_back(pid);
  posix_spawnattr_destroy(&attr);
}
