#include "files/extract_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <vector>

namespace {

std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= s.size()) {
    size_t slash = s.find('/', start);
    if (slash == std::string::npos) slash = s.size();
    parts.push_back(s.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

std::string folder_of(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string temp_template(const std::string& target) {
  return folder_of(target) + ".sky-part-XXXXXX";
}

}  // namespace

bool archive_name_is_safe(const std::string& name) {
  if (name.empty() || name[0] == '/') return false;
  if (name.find('\\') != std::string::npos || name.find('\0') != std::string::npos) return false;
  for (const auto& part : split(name))
    if (part == "..") return false;
  return true;
}

bool archive_link_guard::passes_through_link(const std::string& name) const {
  if (links_.empty()) return false;
  std::string prefix;
  auto parts = split(name);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (parts[i].empty() || parts[i] == ".") continue;
    prefix += parts[i];
    if (links_.count(prefix)) return true;
    prefix += '/';
  }
  return false;
}

void archive_link_guard::note_link(const std::string& name) {
  std::string clean;
  for (const auto& part : split(name)) {
    if (part.empty() || part == ".") continue;
    if (!clean.empty()) clean += '/';
    clean += part;
  }
  links_.insert(clean);
}

bool archive_link_guard::target_stays_inside(const std::string& link_name, const std::string& text) {
  if (text.empty() || text[0] == '/') return false;
  std::vector<std::string> where;
  auto parts = split(link_name);
  for (size_t i = 0; i + 1 < parts.size(); ++i)
    if (!parts[i].empty() && parts[i] != ".") where.push_back(parts[i]);
  for (const auto& part : split(text)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (where.empty()) return false;
      where.pop_back();
    } else {
      where.push_back(part);
    }
  }
  return true;
}

mode_t default_file_mode() {
  // umask() cannot be read without setting it, which would race with other threads creating
  // files; the kernel shows it in our status instead.
  static mode_t mode = [] {
    mode_t mask = 022;
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
      if (key == "Umask:") {
        std::string value;
        status >> value;
        mask = static_cast<mode_t>(std::strtoul(value.c_str(), nullptr, 8));
        break;
      }
    }
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

int replace_writer::open(const std::string& target) {
  abort();
  target_ = target;
  std::string name = temp_template(target);
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  fd_ = mkostemp(buf.data(), O_CLOEXEC);
  if (fd_ < 0) return errno;
  temp_ = buf.data();
  return 0;
}

int replace_writer::write(const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t put = ::write(fd_, p, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += put;
    size -= static_cast<size_t>(put);
  }
  return 0;
}

int replace_writer::commit(mode_t mode, const time_t* mtime) {
  if (fd_ < 0) return EBADF;
  int err = 0;
  if (fchmod(fd_, mode) != 0) err = errno;
  if (!err && mtime) {
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = *mtime;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    if (futimens(fd_, times) != 0) err = errno;
  }
  // Delayed allocation can report a full disk only at close.
  if (close(fd_) != 0 && !err) err = errno;
  fd_ = -1;
  if (!err && rename(temp_.c_str(), target_.c_str()) != 0) err = errno;
  if (err) {
    unlink(temp_.c_str());
  }
  temp_.clear();
  return err;
}

void replace_writer::abort() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

int replace_with_symlink(const std::string& target, const std::string& text) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = temp_template(target);
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    // mkostemp only picks a free name; the link takes its place at once.
    int fd = mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    close(fd);
    unlink(buf.data());
    if (symlink(text.c_str(), buf.data()) != 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    if (rename(buf.data(), target.c_str()) != 0) {
      int err = errno;
      unlink(buf.data());
      return err;
    }
    return 0;
  }
  return EEXIST;
}
