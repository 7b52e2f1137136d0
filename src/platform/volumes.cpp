#include "platform/volumes.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/process.h"

namespace {

std::mutex roots_lock;
std::string mountinfo_path = "/proc/self/mountinfo";
std::string sysfs_root = "/sys";

std::string roots_mountinfo() {
  std::lock_guard<std::mutex> g(roots_lock);
  return mountinfo_path;
}
std::string roots_sysfs() {
  std::lock_guard<std::mutex> g(roots_lock);
  return sysfs_root;
}

// mountinfo escapes blanks, tabs, newlines and backslashes as three octal digits.
std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() &&
        s[i + 1] >= '0' && s[i + 1] <= '7' && s[i + 2] >= '0' && s[i + 2] <= '7' &&
        s[i + 3] >= '0' && s[i + 3] <= '7') {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool parse_line(const std::string& line, platform_mount& m) {
  std::istringstream in(line);
  std::string id, parent, devno, root, point, options, field;
  if (!(in >> id >> parent >> devno >> root >> point >> options)) return false;
  // Optional fields run up to a lone "-".
  while (in >> field && field != "-") {
  }
  if (field != "-") return false;
  std::string type, source;
  if (!(in >> type >> source)) return false;
  auto colon = devno.find(':');
  if (colon == std::string::npos) return false;
  m.major = static_cast<unsigned>(std::strtoul(devno.c_str(), nullptr, 10));
  m.minor = static_cast<unsigned>(std::strtoul(devno.c_str() + colon + 1, nullptr, 10));
  m.mount_point = unescape(point);
  m.fs_type = type;
  m.source = unescape(source);
  return true;
}

// The nearest existing ancestor of path (path itself when it exists), absolute.
std::string nearest_existing(std::string path) {
  if (path.empty()) path = ".";
  while (true) {
    if (access(path.c_str(), F_OK) == 0) return path;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    path = slash == 0 ? "/" : path.substr(0, slash);
  }
}

bool under(const std::string& path, const std::string& point) {
  if (point == "/") return true;
  return path.compare(0, point.size(), point) == 0 &&
         (path.size() == point.size() || path[point.size()] == '/');
}

}  // namespace

int platform_free_space(const std::string& path, uint64_t* total, uint64_t* free_bytes) {
  struct statvfs s;
  if (statvfs(nearest_existing(path).c_str(), &s) != 0) return errno;
  if (total) *total = static_cast<uint64_t>(s.f_blocks) * s.f_frsize;
  if (free_bytes) *free_bytes = static_cast<uint64_t>(s.f_bavail) * s.f_frsize;
  return 0;
}

bool platform_find_mount(const std::string& path, platform_mount& out) {
  char real[PATH_MAX];
  if (!realpath(nearest_existing(path).c_str(), real)) return false;
  std::string abs = real;
  std::ifstream in(roots_mountinfo());
  if (!in) return false;
  std::string line;
  bool found = false;
  size_t best = 0;
  // Later lines win on equal length: a mount stacked over another hides it.
  while (std::getline(in, line)) {
    platform_mount m;
    if (!parse_line(line, m) || !under(abs, m.mount_point)) continue;
    if (!found || m.mount_point.size() >= best) {
      out = m;
      best = m.mount_point.size();
      found = true;
    }
  }
  return found;
}

int platform_mount_is_optical(const platform_mount& m) {
  static const char* const network[] = {"nfs", "nfs4", "cifs", "smb3", "fuse.sshfs", "9p", "afs"};
  for (const char* n : network)
    if (m.fs_type == n) return 0;
  if (m.fs_type == "iso9660" || m.fs_type == "udf") return 1;
  std::string dev = m.source;
  auto slash = dev.rfind('/');
  if (slash != std::string::npos) dev = dev.substr(slash + 1);
  if (dev.compare(0, 2, "sr") == 0) return 1;
  if (m.major == 0) return 0;  // virtual file systems have no block device
  std::ifstream type(roots_sysfs() + "/dev/block/" + std::to_string(m.major) + ":" +
                     std::to_string(m.minor) + "/device/type");
  int t = -1;
  if (type >> t && t == 5) return 1;
  return 0;
}

int platform_eject(const std::string& path) {
  platform_mount m;
  if (!platform_find_mount(path, m) || m.source.empty() || m.source[0] != '/') return ENODEV;
  int status = 0;
  int rc = platform_run({"eject", m.source}, nullptr, &status);
  if (rc != 0) return rc;
  return status == 0 ? 0 : EBUSY;
}

void platform_set_volume_roots(const std::string& mountinfo, const std::string& sysfs) {
  std::lock_guard<std::mutex> g(roots_lock);
  mountinfo_path = mountinfo.empty() ? "/proc/self/mountinfo" : mountinfo;
  sysfs_root = sysfs.empty() ? "/sys" : sysfs;
}
