#include "platform/volumes.h"

#include <poll.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
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

// The test drive. Main thread in practice; guarded anyway, as the roots are.
struct test_drive_state {
  bool read_environment = false;
  std::string folder;  // "" = no test drive
  bool changer = false;
  int slot = 0;        // changer: the disk_<slot> in the drive
  bool empty = false;  // plain folder: ejected
};
std::mutex drive_lock;
test_drive_state drive;

std::string with_slash(std::string s) {
  if (!s.empty() && s.back() != '/') s += '/';
  return s;
}

bool is_folder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string changer_disc(int slot) { return drive.folder + "disk_" + std::to_string(slot) + "/"; }

void set_drive_locked(const std::string& folder) {
  drive.read_environment = true;
  drive.folder = with_slash(folder);
  drive.changer = !drive.folder.empty() && is_folder(drive.folder + "disk_0/");
  drive.slot = 0;
  drive.empty = false;
}

void read_environment_locked() {
  if (drive.read_environment) return;
  const char* env = std::getenv("SKYRILL_DVD_DRIVE");
  set_drive_locked(env ? env : "");
}

// "" when no test drive is set, else the disc in it (or "-" for an empty drive).
std::string test_drive_disc_locked() {
  read_environment_locked();
  if (drive.folder.empty()) return "";
  if (drive.changer) return changer_disc(drive.slot);
  return drive.empty ? "-" : drive.folder;
}

// The discs of the mount table, read again only when it changed.
struct mount_cache_state {
  bool valid = false;
  std::string source;          // the mountinfo file the cache was read from
  int fd = -1;                 // /proc mountinfo kept open for poll()
  struct timespec mtime = {0, 0};
  off_t size = -1;
  ino_t inode = 0;
  std::vector<std::string> discs;  // mount points, ending "/"
};
std::mutex cache_lock;
mount_cache_state mount_cache;

bool under_removable_root(const std::string& point) {
  for (const char* root : {"/media/", "/run/media/", "/mnt/"})
    if (point.compare(0, std::strlen(root), root) == 0) return true;
  return false;
}

bool mount_table_changed(const std::string& source) {
  if (!mount_cache.valid || mount_cache.source != source) return true;
  if (mount_cache.fd >= 0) {
    struct pollfd p = {mount_cache.fd, POLLPRI, 0};
    return poll(&p, 1, 0) != 0;
  }
  struct stat st;
  if (stat(source.c_str(), &st) != 0) return true;
  return st.st_size != mount_cache.size || st.st_ino != mount_cache.inode ||
         st.st_mtim.tv_sec != mount_cache.mtime.tv_sec || st.st_mtim.tv_nsec != mount_cache.mtime.tv_nsec;
}

void reread_mount_table(const std::string& source) {
  if (mount_cache.fd >= 0) close(mount_cache.fd);
  mount_cache = mount_cache_state{};
  mount_cache.source = source;
  // The kernel flags a change on a descriptor opened before it; the text is read through it
  // so that the flag is cleared by this read.
  if (source.compare(0, 6, "/proc/") == 0) mount_cache.fd = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (mount_cache.fd < 0 && stat(source.c_str(), &st) == 0) {
    mount_cache.mtime = st.st_mtim;
    mount_cache.size = st.st_size;
    mount_cache.inode = st.st_ino;
  }
  std::string text;
  if (mount_cache.fd >= 0) {
    char buf[8192];
    for (;;) {
      ssize_t n = read(mount_cache.fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      text.append(buf, static_cast<size_t>(n));
    }
  } else {
    std::ifstream in(source);
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
  }
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    platform_mount m;
    if (!parse_line(line, m)) continue;
    if (!platform_mount_is_optical(m) && !under_removable_root(m.mount_point)) continue;
    mount_cache.discs.push_back(with_slash(m.mount_point));
  }
  mount_cache.valid = true;
}

bool holds_marker(const std::string& root, const std::vector<std::string>& markers) {
  for (const std::string& name : markers)
    if (!name.empty() && access((root + name).c_str(), F_OK) == 0) return true;
  return false;
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
  {
    std::lock_guard<std::mutex> g(drive_lock);
    const std::string disc = test_drive_disc_locked();
    if (!disc.empty()) {
      if (disc == "-" || path.compare(0, disc.size(), disc) != 0) return ENODEV;
      if (drive.changer) drive.slot = is_folder(changer_disc(drive.slot + 1)) ? drive.slot + 1 : 0;
      else drive.empty = true;
      return 0;
    }
  }
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

std::string platform_find_disc(const std::vector<std::string>& markers) {
  {
    std::lock_guard<std::mutex> g(drive_lock);
    const std::string disc = test_drive_disc_locked();
    if (!disc.empty()) return disc != "-" && holds_marker(disc, markers) ? disc : "";
  }
  const std::string source = roots_mountinfo();
  std::lock_guard<std::mutex> g(cache_lock);
  if (mount_table_changed(source)) reread_mount_table(source);
  for (const std::string& root : mount_cache.discs)
    if (holds_marker(root, markers)) return root;
  return "";
}

void platform_set_test_drive(const std::string& folder) {
  std::lock_guard<std::mutex> g(drive_lock);
  set_drive_locked(folder);
}

std::string platform_test_drive_disc() {
  std::lock_guard<std::mutex> g(drive_lock);
  const std::string disc = test_drive_disc_locked();
  return disc == "-" ? "" : disc;
}
