#include "files/house_writer.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/mapped_file.h"
#include "files/paths.h"
#include "runtime/shell_services.h"

house_ofstream ouf;

namespace {

const char kAlertFile[] = "RIzirud/Files/io_utils";

// Pushes the written bytes to the disk before the rename, so that after a power cut the name
// holds either the old file or the whole new one.
bool sync_file(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  return ok;
}

// Decides where the bytes of a new file go. A regular file (or none yet) is written aside and
// renamed; a link to a regular file replaces the link's target, so the link survives; a device
// or other special file is written in place, since renaming over it would replace the node.
void choose_target(const std::string& path, std::string* final_path, std::string* partial) {
  *final_path = path;
  *partial = path + ".partial";
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISLNK(st.st_mode)) {
    if (stat(path.c_str(), &st) != 0) return;  // a dangling link is replaced like a missing file
    if (S_ISREG(st.st_mode)) {
      if (char* real = realpath(path.c_str(), nullptr)) {
        *final_path = real;
        *partial = *final_path + ".partial";
        free(real);
      }
      return;
    }
  }
  if (!S_ISREG(st.st_mode)) *partial = "";
}

std::string parent_folder(const std::string& path) {
  std::string p = path;
  if (!p.empty() && p.back() == '/') p.pop_back();
  size_t slash = p.rfind('/');
  return slash == std::string::npos ? "" : p.substr(0, slash + 1);
}

}  // namespace

house_ofstream::~house_ofstream() {
  if (is_open()) {
    std::ofstream::close();
    if (!partial_.empty()) unlink(partial_.c_str());
  }
}

void house_ofstream::set_target(const std::string& final_path, const std::string& partial_path) {
  final_ = final_path;
  partial_ = partial_path;
}

void house_ofstream::close() {
  if (!is_open()) {
    std::ofstream::close();  // sets the fail state, as closing a closed stream always did
    return;
  }
  bool ok = !fail();
  flush();
  ok = ok && !fail();
  std::ofstream::close();
  ok = ok && !fail();
  if (!partial_.empty()) {
    // The new file takes the old one's permissions: a user who made the file private keeps it so.
    struct stat st;
    if (ok && stat(final_.c_str(), &st) == 0 && S_ISREG(st.st_mode))
      chmod(partial_.c_str(), st.st_mode & 07777);
    if (ok && (!sync_file(partial_) || rename(partial_.c_str(), final_.c_str()) != 0)) ok = false;
    if (!ok) unlink(partial_.c_str());
  }
  if (!ok) {
    setstate(std::ios::failbit);
    xer << "Could not save " << final_ << "\n";
    xer.flush();
  }
  partial_.clear();
}

int ouf_open(std::string path, int type, int version, std::string notice) {
  if (type != xmap_binary && type != xmap_text) {
    __MACIBM_alert(0, "Bad ouf_open type!", path, "", "", t_exit, kAlertFile, __LINE__);
    return 0;
  }
  set_path_to_full(path);
  for (int attempt = 0; attempt < 2; ++attempt) {
    ouf.clear();
    if (ouf.is_open()) ouf.close();
    ouf.clear();
    std::string final_path, partial;
    choose_target(path, &final_path, &partial);
    const std::string& target = partial.empty() ? final_path : partial;
    if (type == xmap_binary) {
      ouf.open(target, std::ios::out | std::ios::binary | std::ios::trunc);
      const char header[5] = {'i', static_cast<char>(version & 0xFF),
                              static_cast<char>((version >> 8) & 0xFF),
                              static_cast<char>((version >> 16) & 0xFF),
                              static_cast<char>((version >> 24) & 0xFF)};
      ouf.write(header, 5);
    } else {
      ouf.open(target, std::ios::out | std::ios::trunc);
      ouf << std::fixed;
      ouf << "I\n" << version << " version";
      if (notice != "no-copyright-string") ouf << notice;
      ouf << "\n";
    }
    if (ouf.is_open()) ouf.set_target(final_path, partial);
    if (ouf.good()) return 1;
    if (ouf.is_open()) {
      // Throw the failed attempt away rather than commit a broken header.
      ouf.set_target(final_path, partial);
      ouf.close();
    }
    if (attempt == 0) {
      std::string parent = parent_folder(path);
      if (!parent.empty()) mkdir(parent.c_str(), 0777);
    }
  }
  ouf.setstate(std::ios::failbit);
  __MACIBM_alert(0,
                 "I could not save the file! Could the directory that the file sits in be missing? "
                 "Or flagged as READ-ONLY by the operating system? (Windows machines typically do "
                 "this).",
                 path,
                 "Could the file be flagged as read-only? This happens in Windows if you copy it "
                 "from a CD!",
                 "Try putting this app in the background and then flag the file as NOT read-only, "
                 "or creating the folder listed in the path above.",
                 t_alert, kAlertFile, __LINE__);
  return 0;
}

int xmap_class::io_file_open(int mode, std::string path, const int* versions, int type) {
  io_mode = mode;
  if (mode == 0) return retry(path) && check_file(type, versions, nullptr, nullptr) ? 1 : 0;
  if (mode == 1) return ouf_open(path, type, versions ? versions[0] : 0, "no-copyright-string");
  return 0;
}

void xmap_class::io_file_close() {
  if (io_mode == 1) ouf.close();
}
