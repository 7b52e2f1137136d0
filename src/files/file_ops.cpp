#include "files/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "files/folder_listing.h"
#include "files/paths.h"
#include "platform/process.h"
#include "platform/volumes.h"
#include "runtime/md5.h"
#include "runtime/shell_services.h"

thread_local const char* sErrFile = "";
thread_local int sErrLine = 0;

namespace {

const char* const kFile = "files/file_ops.cpp";

std::string full(std::string path) {
  set_path_to_full(path);
  return path;
}

// Writes all of buf, retrying short writes; false with errno set on failure.
bool write_all(int fd, const char* buf, size_t n) {
  while (n > 0) {
    ssize_t put = write(fd, buf, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    buf += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

int read_link(const std::string& path, std::string& target) {
  std::vector<char> buf(256);
  for (;;) {
    ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
    if (n < 0) return errno;
    if (static_cast<size_t>(n) < buf.size()) {
      target.assign(buf.data(), static_cast<size_t>(n));
      return 0;
    }
    buf.resize(buf.size() * 2);  // the text may have been cut: try again with more room
  }
}

}  // namespace

const char* const launch_bundle_executable = "Skyrill";

int copy_file(const std::string& source, const std::string& destination) {
  std::string from = full(source), to = full(destination);
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return 2;
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    close(in);
    return 2;
  }
  int result = 0;
  std::vector<char> buf(65536);
  for (;;) {
    ssize_t got = read(in, buf.data(), buf.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result = errno;
      break;
    }
    if (got == 0) break;
    if (!write_all(out, buf.data(), static_cast<size_t>(got))) {
      result = errno;
      break;
    }
  }
  struct stat st;
  if (fstat(in, &st) == 0) fchmod(out, st.st_mode & 0777);
  close(in);
  // A full disk or a network file system may report the failure only here.
  if (close(out) != 0 && result == 0) result = errno;
  return result;
}

int copy_file_recursive(const std::string& source, const std::string& destination) {
  std::string from = full(source);
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return errno;
  if (S_ISLNK(st.st_mode)) {
    // A link is copied as a link: following it would copy a folder's bytes (EISDIR) or
    // duplicate a whole tree that lives elsewhere.
    std::string target;
    if (int rc = read_link(from, target)) return rc;
    std::string to = full(destination);
    while (to.size() > 1 && to.back() == '/') to.pop_back();
    struct stat old;
    if (lstat(to.c_str(), &old) == 0 && !S_ISDIR(old.st_mode)) unlink(to.c_str());
    return symlink(target.c_str(), to.c_str()) == 0 ? 0 : errno;
  }
  if (!S_ISDIR(st.st_mode)) return copy_file(source, destination);
  std::string src = source, dst = destination;
  if (src.empty() || src.back() != '/') src += '/';
  if (dst.empty() || dst.back() != '/') dst += '/';
  make_folder(dst);
  std::vector<std::string> names;
  std::vector<int> flags;
  int n = list_folder_for_tree(full(src), names, flags);
  if (n < 0) return -n;
  for (int i = 0; i < n; ++i)
    if (int rc = copy_file_recursive(src + names[i], dst + names[i])) return rc;
  return 0;
}

int rename_file(const std::string& folder, const std::string& old_name, const std::string& new_name) {
  if (rename(full(folder + old_name).c_str(), full(folder + new_name).c_str()) == 0) return 0;
  int err = errno;
  SKY_FAILURE_SITE(kFile);
  return err;
}

int delete_file(const std::string& path) {
  if (path.empty()) return 2;
  std::string p = full(path);
  int rc;
  if (p.back() == '/') {
    p.pop_back();
    rc = rmdir(p.empty() ? "/" : p.c_str());
  } else {
    rc = unlink(p.c_str());
  }
  if (rc == 0) return 0;
  int err = errno;
  SKY_FAILURE_SITE(kFile);
  return err;
}

int recursive_delete_folder(const std::string& path) {
  if (path.size() > 1 && path.back() != '/') {
    __MACIBM_alert(0, "Working path does not appear to be a directory!",
                   "This is not consistent with my labelling practices!",
                   "I need to end all paths with the directory indicator!", path, t_exit, kFile,
                   __LINE__);
    return EINVAL;
  }
  // A link in the folder's place is never followed: what it points at is not the folder's to
  // delete. (Links inside the folder are listed as files and removed themselves.)
  std::string self = full(path);
  if (self.size() > 1) self.pop_back();
  struct stat st;
  if (lstat(self.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return ENOTDIR;
  std::vector<std::string> names;
  std::vector<int> flags;
  int n = list_folder_for_tree(full(path), names, flags);
  if (n < 0) return -n;
  for (int i = 0; i < n; ++i) {
    int rc = flags[i] == 1 ? recursive_delete_folder(path + names[i] + "/")
                           : delete_file(path + names[i]);
    if (rc) return rc;
  }
  return delete_file(path);
}

int make_folder(const std::string& path) {
  std::string p = path;
  if (!p.empty() && p.back() == '/') p.pop_back();
  p = full(p);
  if (mkdir(p.c_str(), 0755) == 0) return 0;
  int err = errno;
  SKY_FAILURE_SITE(kFile);
  return err;
}

int dir_exists(const std::string& path) {
  std::string p = path;
  if (p.size() > 1 && p.back() == '/') p.pop_back();
  struct stat st;
  return stat(full(p).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
}

int file_exists(const std::string& path) {
  std::string p = full(path);
  struct stat st;
  if (stat(p.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : 1;
  return lstat(p.c_str(), &st) == 0 ? 1 : 0;  // a dangling link is still there
}

int64_t APL_file_size(const std::string& path) {
  struct stat st;
  if (stat(full(path).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

int make_file_executable(const std::string& path) {
  return chmod(full(path).c_str(), 0755) == 0 ? 0 : errno;
}

int is_sim_link(const std::string& path, std::string* target) {
  std::string p = full(path);
  struct stat st;
  if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
  if (target) {
    std::string text;
    if (read_link(p, text) == 0) *target = text;
  }
  return 1;
}

int calc_file_md5(const std::string& path, std::string& digest) {
  std::string p = path;
  if (UTL_path_is_resource(p)) {
    p = UTL_resource_get_file(p);
  } else {
    // The same misuse check as the mapped reader's, which the digest once went through.
    if (p.find('\\') != std::string::npos) {
      __MACIBM_alert(0, "OOPS!", "I got a bad dirchar! I only want '/'!", "The path in question is:",
                     p, t_exit, kFile, __LINE__);
      return 20006;
    }
    p = full(p);
  }
  if (p.empty()) return 20006;
  MD5Context ctx;
  MD5Init(&ctx);
  struct stat st;
  if (lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    std::string text;
    if (read_link(p, text) != 0) return 20006;
    MD5UpdateWide(&ctx, text.data(), text.size());
  } else {
    // Read rather than map: a file that another program truncates while we digest it must
    // give an error, not a bus fault.
    int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 20006;
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::vector<unsigned char> buf(1 << 18);
    for (;;) {
      ssize_t got = read(fd, buf.data(), buf.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        close(fd);
        return 20006;
      }
      if (got == 0) break;
      MD5UpdateWide(&ctx, buf.data(), static_cast<size_t>(got));
    }
    close(fd);
  }
  MD5Final(&ctx);
  digest = MD5_hex(ctx.digest);
  return 0;
}

int get_free_space(const std::string& path, uint64_t* total, uint64_t* free_bytes) {
  return platform_free_space(full(path), total, free_bytes);
}

int eject_dvd(const std::string& path) { return platform_eject(path); }

int APL_is_dvd_disk(const std::string& path) {
  platform_mount m;
  if (!platform_find_mount(full(path), m)) return 0;
  return platform_mount_is_optical(m);
}

int launch_app(const std::string& app, const std::string& folder, int finish) {
  std::string path = app;
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  path = full(path);
  if (!path.empty() && path[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) path = std::string(cwd) + "/" + path;
  }
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    path += std::string("/") + launch_bundle_executable;
  xer << "Launching: " << path << " with " << folder << "\n";
  std::vector<std::string> argv{path};
  if (!folder.empty()) argv.insert(argv.end(), {"-path", folder});
  // The new program must not inherit the log, sockets or mapped files.
  platform_close_on_exec_all();
  pid_t pid = 0;
  if (int rc = platform_spawn(argv, false, &pid)) {
    xer << "Launch failed with error " << rc << "\n";
    xer.flush();
    return rc;
  }
  if (finish) MACIBM_finishup(1);
  xer.flush();
  std::fflush(nullptr);
  // Our globals' destructors may race with threads still running; the program has started.
  _exit(1);
}
