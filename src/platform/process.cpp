#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

int platform_spawn(const std::vector<std::string>& argv, bool search_path, pid_t* pid,
                   int* out_fd) {
  if (argv.empty()) return EINVAL;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  int pipe_fds[2] = {-1, -1};
  if (out_fd && pipe2(pipe_fds, O_CLOEXEC) != 0) return errno;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out_fd) posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);

  // We ignore SIGPIPE for our sockets; a child must not inherit that or a blocked signal.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t def, none;
  sigemptyset(&def);
  sigaddset(&def, SIGPIPE);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &def);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t child = 0;
  int rc = search_path ? posix_spawnp(&child, args[0], &actions, &attr, args.data(), environ)
                       : posix_spawn(&child, args[0], &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (out_fd) {
    close(pipe_fds[1]);
    if (rc != 0) close(pipe_fds[0]); else *out_fd = pipe_fds[0];
  }
  if (rc == 0 && pid) *pid = child;
  return rc;
}

void platform_close_on_exec_all() {
#ifdef CLOSE_RANGE_CLOEXEC
  if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
#endif
  // Older kernels: walk our own descriptor table.
  DIR* d = opendir("/proc/self/fd");
  if (!d) return;
  int own = dirfd(d);
  while (dirent* e = readdir(d)) {
    char* end = nullptr;
    long fd = std::strtol(e->d_name, &end, 10);
    if (*end || end == e->d_name || fd <= 2 || fd == own) continue;
    int flags = fcntl(static_cast<int>(fd), F_GETFD);
    if (flags >= 0) fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
  }
  closedir(d);
}

int platform_run(const std::vector<std::string>& argv, std::string* out, int* status,
                 void (*idle)()) {
  pid_t pid = 0;
  int fd = -1;
  int rc = platform_spawn(argv, true, &pid, &fd);
  if (rc != 0) return rc;
  char buf[4096];
  bool open = true;
  int wstatus = 0;
  for (;;) {
    if (open) {
      pollfd p{fd, POLLIN, 0};
      int n = poll(&p, 1, 15);
      if (n > 0) {
        ssize_t got = read(fd, buf, sizeof buf);
        if (got > 0) {
          if (out) out->append(buf, static_cast<size_t>(got));
          continue;
        }
        if (got == 0 || (errno != EINTR && errno != EAGAIN)) open = false;
      }
    } else {
      pid_t w = waitpid(pid, &wstatus, WNOHANG);
      if (w == pid || (w < 0 && errno != EINTR)) break;
      if (!idle) {
        waitpid(pid, &wstatus, 0);
        break;
      }
      usleep(15000);
    }
    if (idle) idle();
  }
  close(fd);
  if (status) {
    if (WIFEXITED(wstatus)) *status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus)) *status = 128 + WTERMSIG(wstatus);
    else *status = -1;
  }
  return 0;
}

namespace {
std::vector<pid_t> browser_children;
}  // namespace

bool platform_is_web_address(const std::string& url) {
  if (url.compare(0, 7, "http://") != 0 && url.compare(0, 8, "https://") != 0) return false;
  for (unsigned char c : url)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

bool platform_open_web_page(const std::string& url) {
  for (size_t i = 0; i < browser_children.size();) {
    if (waitpid(browser_children[i], nullptr, WNOHANG) != 0)
      browser_children.erase(browser_children.begin() + static_cast<long>(i));
    else
      ++i;
  }
  if (!platform_is_web_address(url)) return false;
  pid_t pid;
  if (platform_spawn({"xdg-open", url}, true, &pid) != 0) return false;
  browser_children.push_back(pid);
  return true;
}
