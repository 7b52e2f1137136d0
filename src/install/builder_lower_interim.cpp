#include "install/builder_lower_interim.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#include <minizip/zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "runtime/md5.h"

std::ofstream ouf;

int opensave_getitems(const std::string& folder, int, std::vector<std::string>& names,
                      std::vector<int>& flags) {
  names.clear();
  flags.clear();
  DIR* d = opendir(folder.c_str());
  if (!d) return -1;
  std::vector<std::pair<std::string, int>> items;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n.empty() || n[0] == '.') continue;
    struct stat st;
    int flag = 0;
    if (lstat((folder + n).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) flag = 1;
    items.emplace_back(n, flag);
  }
  closedir(d);
  std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
    const std::string &x = a.first, &y = b.first;
    for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
      signed char cx = static_cast<signed char>(std::tolower(static_cast<unsigned char>(x[i])));
      signed char cy = static_cast<signed char>(std::tolower(static_cast<unsigned char>(y[i])));
      if (cx != cy) return cx < cy;
    }
    return x.size() < y.size();
  });
  for (auto& i : items) {
    names.push_back(i.first);
    flags.push_back(i.second);
  }
  return static_cast<int>(names.size());
}

int delete_file(const std::string& path) {
  if (path.empty()) return 2;
  if (path.back() == '/') return rmdir(path.substr(0, path.size() - 1).c_str()) ? errno : 0;
  return unlink(path.c_str()) ? errno : 0;
}

int make_folder(const std::string& path) {
  std::string p = path;
  if (!p.empty() && p.back() == '/') p.pop_back();
  return mkdir(p.c_str(), 0755) ? errno : 0;
}

int dir_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

int64_t APL_file_size(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return st.st_size;
}

int is_sim_link(const std::string& path, std::string* target) {
  char buf[4096];
  ssize_t n = readlink(path.c_str(), buf, sizeof buf);
  if (n < 0) return 0;
  if (target) target->assign(buf, static_cast<size_t>(n));
  return 1;
}

int calc_file_md5(const std::string& path, std::string& digest) {
  MD5Context ctx;
  MD5Init(&ctx);
  std::string link;
  if (is_sim_link(path, &link)) {
    MD5UpdateWide(&ctx, link.data(), link.size());
  } else {
    xmap_class m(path);
    if (!m.begin) return 20006;
    MD5UpdateWide(&ctx, m.begin, static_cast<size_t>(m.end - m.begin));
  }
  MD5Final(&ctx);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", ctx.digest[i]);
  digest.assign(hex, 32);
  return 0;
}

int file_to_zip(const std::string& source, const std::string& archive) {
  std::string leaf = source.substr(source.rfind('/') + 1);
  std::string link;
  const bool is_link = is_sim_link(source, &link);
  xmap_class m(is_link ? "" : source);
  if (!is_link && !m.begin) return 20006;
  zipFile z = zipOpen64(archive.c_str(), APPEND_STATUS_CREATE);
  if (!z) return 20003;
  zip_fileinfo info;
  std::memset(&info, 0, sizeof info);
  struct stat st;
  if (!is_link && stat(source.c_str(), &st) == 0) {
    struct tm t;
    localtime_r(&st.st_mtime, &t);
    info.tmz_date.tm_sec = t.tm_sec;
    info.tmz_date.tm_min = t.tm_min;
    info.tmz_date.tm_hour = t.tm_hour;
    info.tmz_date.tm_mday = t.tm_mday;
    info.tmz_date.tm_mon = t.tm_mon;
    info.tmz_date.tm_year = t.tm_year + 1900;
    info.external_fa = static_cast<uLong>(st.st_mode) << 16;
  }
  if (is_link) info.external_fa = 0xA1ED0000u;
  int err = zipOpenNewFileInZip4_64(z, leaf.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                    is_link ? 0 : Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0,
                                    -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                    3 << 8 | 20, 0, 1);
  const char* p = is_link ? link.data() : m.begin;
  size_t left = is_link ? link.size() : static_cast<size_t>(m.end - m.begin);
  while (err == ZIP_OK && left > 0) {
    unsigned chunk = static_cast<unsigned>(std::min<size_t>(left, 1u << 30));
    err = zipWriteInFileInZip(z, p, chunk);
    p += chunk;
    left -= chunk;
  }
  if (err == ZIP_OK) err = zipCloseFileInZip(z);
  int close_err = zipClose(z, nullptr);
  return err != ZIP_OK ? err : close_err;
}

int make_file_large_address_aware(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR);
  if (fd < 0) return errno;
  unsigned char dos[64];
  int rc = 0;
  if (read(fd, dos, 64) != 64) rc = EIO;
  else if (dos[0] != 'M' || dos[1] != 'Z') rc = 20013;
  if (rc == 0) {
    int32_t pe = dos[60] | dos[61] << 8 | dos[62] << 16 | dos[63] << 24;
    unsigned char h[24];
    if (pread(fd, h, 24, pe) != 24) rc = EIO;
    else if (std::memcmp(h, "PE\0\0", 4) != 0) rc = 20014;
    else {
      h[22] |= 0x20;
      if (pwrite(fd, h, 24, pe) != 24) rc = EIO;
    }
  }
  if (close(fd) != 0 && rc == 0) rc = errno;
  return rc;
}

int ouf_open(std::string path, int, int version, std::string notice) {
  ouf.clear();
  if (ouf.is_open()) ouf.close();
  ouf.clear();
  ouf.open(path, std::ios::out | std::ios::trunc);
  ouf << "I\n" << version << " version";
  if (notice != "no-copyright-string") ouf << notice;
  ouf << "\n";
  return ouf.good() ? 1 : 0;
}

xmap_class::xmap_class(const std::string& path) {
  if (!path.empty()) retry(path);
}
xmap_class::~xmap_class() { release(); }

void xmap_class::release() {
  if (begin && end != begin) munmap(const_cast<char*>(begin), static_cast<size_t>(end - begin));
  if (fd_ > 0) close(fd_);
  begin = end = nullptr;
  fd_ = 0;
}

const char* xmap_class::retry(const std::string& path) {
  release();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return nullptr;
  }
  static const char empty = 0;
  if (st.st_size == 0) {
    fd_ = fd;
    begin = end = &empty;
    return begin;
  }
  void* p = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  if (p == MAP_FAILED) {
    close(fd);
    return nullptr;
  }
  fd_ = fd;
  begin = static_cast<const char*>(p);
  end = begin + st.st_size;
  return begin;
}

std::vector<file_history_struct> sim_info;

int read_directory(const std::string& path, const std::string&) {
  sim_info.clear();
  std::ifstream in(path);
  std::string line, folder;
  if (!std::getline(in, line) || line != "I") return 2;
  if (!std::getline(in, line) || line.compare(0, 4, "900 ") != 0) return 2;
  if (!std::getline(in, line) || line != "INSTALLER") return 2;
  while (std::getline(in, line)) {
    if (line.compare(0, 4, "DIR ") == 0) folder = line.substr(4);
    if (line.compare(0, 5, "FILE ") != 0) continue;
    file_version_struct v;
    char sig[64];
    int n = 0, zero = 0;
    if (std::sscanf(line.c_str(), "FILE %d %d %d %f %f %63s %n", &zero, &v.platform, &v.version,
                    &v.zip_size, &v.unz_size, sig, &n) < 6)
      return 2;
    v.sig_want = sig;
    v.path = folder + line.substr(static_cast<size_t>(n));
    if (sim_info.empty() || sim_info.back().back().path != v.path) sim_info.emplace_back();
    sim_info.back().push_back(v);
  }
  return 3;
}
