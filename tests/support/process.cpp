#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

extern char** environ;

process_result run_process(const std::vector<std::string>& argv, const std::string& input,
                           const std::vector<std::string>& extra_env,
                           const std::string& working_dir) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) || pipe2(out_pipe, O_CLOEXEC) || pipe2(err_pipe, O_CLOEXEC))
    throw std::runtime_error("pipe failed");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  if (!working_dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, working_dir.c_str());

  std::vector<char*> args;
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env_store;
  for (char** e = environ; *e; ++e) env_store.push_back(*e);
  for (auto& e : extra_env) {
    auto eq = e.find('=');
    for (auto it = env_store.begin(); it != env_store.end();) {
      if (it->compare(0, eq + 1, e, 0, eq + 1) == 0) it = env_store.erase(it); else ++it;
    }
    env_store.push_back(e);
  }
  std::vector<char*> env;
  for (auto& e : env_store) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);

  pid_t pid;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  process_result result;
  if (rc != 0) {
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(err_pipe[0]);
    result.err = std::string("spawn failed: ") + std::strerror(rc);
    return result;
  }

  size_t written = 0;
  if (input.empty()) close(in_pipe[1]);
  bool in_open = !input.empty();
  bool out_open = true, err_open = true;
  char buf[65536];
  while (out_open || err_open || in_open) {
    pollfd fds[3];
    int n = 0;
    int out_i = -1, err_i = -1, in_i = -1;
    if (out_open) { fds[n] = {out_pipe[0], POLLIN, 0}; out_i = n++; }
    if (err_open) { fds[n] = {err_pipe[0], POLLIN, 0}; err_i = n++; }
    if (in_open) { fds[n] = {in_pipe[1], POLLOUT, 0}; in_i = n++; }
    if (poll(fds, n, -1) < 0) continue;
    auto drain = [&](int i, int fd, std::string& into, bool& open) {
      if (i < 0 || !fds[i].revents) return;
      ssize_t got = read(fd, buf, sizeof buf);
      if (got <= 0) open = false; else into.append(buf, static_cast<size_t>(got));
    };
    drain(out_i, out_pipe[0], result.out, out_open);
    drain(err_i, err_pipe[0], result.err, err_open);
    if (in_i >= 0 && fds[in_i].revents) {
      ssize_t put = write(in_pipe[1], input.data() + written, input.size() - written);
      if (put <= 0 || (written += static_cast<size_t>(put)) == input.size()) {
        close(in_pipe[1]);
        in_open = false;
      }
    }
  }
  close(out_pipe[0]);
  close(err_pipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string md5sum_of(const std::string& path) {
  auto r = run_process({"md5sum", "--", path});
  if (r.exit_code != 0 || r.out.size() < 32) throw std::runtime_error("md5sum failed: " + r.err);
  return r.out.substr(0, 32);
}
