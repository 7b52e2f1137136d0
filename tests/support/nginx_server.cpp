#include "support/nginx_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "support/temp_tree.h"

extern char** environ;

const std::vector<std::string> nginx_hosts = {"update.test", "mirror-a.test", "mirror-b.test"};

namespace {
const char* const nginx_binary = "/usr/sbin/nginx";

unsigned short free_loopback_port() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  unsigned short port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  close(fd);
  return port;
}

bool answers(unsigned short port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

std::string server_block(const std::string& folder, unsigned short port, const std::string& name,
                         bool is_default) {
  std::ostringstream s;
  s << "  server {\n"
    << "    listen 127.0.0.1:" << port << (is_default ? " default_server" : "") << ";\n"
    << "    server_name " << name << ";\n"
    << "    root " << folder << "roots/" << name << ";\n"
    << "    location = /status/500 { return 500; }\n"
    // Files in a folder named "slow" come at 2 MB/s a connection, for tests that must act while
    // a download is still under way, however fast the machine.
    << "    location ~ /slow/ { limit_rate 2m; }\n"
    << "  }\n";
  return s.str();
}

std::string configuration(const std::string& folder, unsigned short port, int kb_per_second) {
  std::ostringstream s;
  // Running as root, nginx would hand its workers to "nobody", who may not read test folders.
  if (geteuid() == 0) s << "user root;\n";
  s << "daemon on;\n"
    << "worker_processes 2;\n"
    << "pid " << folder << "nginx.pid;\n"
    << "error_log " << folder << "error.log warn;\n"
    << "events { worker_connections 256; }\n"
    << "http {\n"
    << "  access_log off;\n"
    << "  default_type application/octet-stream;\n"
    << "  sendfile on;\n"
    << "  tcp_nopush on;\n";
  if (kb_per_second > 0) s << "  limit_rate " << kb_per_second << "k;\n";
  s << "  client_body_temp_path " << folder << "tmp/body;\n"
    << "  proxy_temp_path " << folder << "tmp/proxy;\n"
    << "  fastcgi_temp_path " << folder << "tmp/fastcgi;\n"
    << "  uwsgi_temp_path " << folder << "tmp/uwsgi;\n"
    << "  scgi_temp_path " << folder << "tmp/scgi;\n"
    << server_block(folder, port, "default.test", true);
  for (const std::string& host : nginx_hosts) s << server_block(folder, port, host, false);
  s << "}\n";
  return s.str();
}

int run_and_wait(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The daemonised master must not hold a test's pipes open.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The pid nginx recorded, if that process is still our nginx: a stale file left by a killed run
// may name a process that has nothing to do with us.
pid_t recorded_pid(const std::string& folder) {
  std::ifstream in(folder + "nginx.pid");
  long pid = 0;
  if (!(in >> pid) || pid <= 0) return 0;
  std::ifstream cmd("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::string line((std::istreambuf_iterator<char>(cmd)), std::istreambuf_iterator<char>());
  if (line.find("nginx") == std::string::npos || line.find(folder) == std::string::npos) return 0;
  return static_cast<pid_t>(pid);
}

std::string with_slash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string fixture_folder() { return std::string(SKY_BINARY_DIR) + "/nginx-fixture/"; }

struct private_instance {
  temp_tree tree;
  unsigned short port = 0;
  ~private_instance() {
    if (port) nginx_stop(tree.path());
  }
};

std::string active_folder;
unsigned short active_port = 0;
}  // namespace

unsigned short nginx_start(const std::string& where, std::string* problem, int kb_per_second) {
  std::string folder = with_slash(where);
  make_folders(folder + "tmp/");
  make_folders(folder + "roots/default.test/");
  for (const std::string& host : nginx_hosts) make_folders(folder + "roots/" + host + "/");
  // Another process may take the port between the probe and nginx's bind: try a few.
  for (int attempt = 0; attempt < 5; ++attempt) {
    unsigned short port = free_loopback_port();
    write_whole_file(folder + "nginx.conf", configuration(folder, port, kb_per_second));
    int rc = run_and_wait({nginx_binary, "-p", folder, "-c", folder + "nginx.conf", "-e",
                           folder + "error.log"});
    if (rc != 0) continue;
    for (int i = 0; i < 200 && !answers(port); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!answers(port)) {
      nginx_stop(folder);
      continue;
    }
    write_whole_file(folder + "port", std::to_string(port) + "\n");
    return port;
  }
  if (problem) *problem = "nginx did not start; see " + folder + "error.log";
  return 0;
}

void nginx_stop(const std::string& where) {
  std::string folder = with_slash(where);
  pid_t pid = recorded_pid(folder);
  if (pid <= 0) return;
  if (kill(pid, SIGTERM) != 0) return;
  for (int i = 0; i < 500 && kill(pid, 0) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  unlink((folder + "port").c_str());
}

unsigned short nginx_port() {
  if (active_port) return active_port;
  std::string folder = fixture_folder();
  std::ifstream in(folder + "port");
  unsigned port = 0;
  if (in >> port && port > 0 && port < 65536 && answers(static_cast<unsigned short>(port))) {
    active_folder = folder;
    active_port = static_cast<unsigned short>(port);
    return active_port;
  }
  static private_instance own;
  std::string problem;
  own.port = nginx_start(own.tree.path(), &problem);
  if (!own.port) return 0;
  active_folder = own.tree.path();
  active_port = own.port;
  return active_port;
}

std::string nginx_root(const std::string& host) {
  if (!nginx_port()) return "";
  return active_folder + "roots/" + host + "/";
}
