#include "files/zip_archive.h"

#include <fcntl.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <vector>

#include "files/error_codes.h"
#include "files/extract_output.h"
#include "files/file_ops.h"
#include "files/paths.h"
#include "runtime/md5.h"
#include "runtime/shell_services.h"

namespace {

const char* const kFile = "files/zip_archive.cpp";
// Streaming buffer: bounded memory per entry, and small enough to stay in cache between the
// inflate that fills it and the write that copies it out (a 1 MiB one ran 40% slower).
const size_t kChunk = 1 << 16;
const size_t kMaxLinkText = 4096;     // PATH_MAX: a longer link text is no link we can make
const size_t kSideEntryKeep = 26 + 12 * 32767 + 64;  // header and every possible descriptor


const unsigned char kAppleDoubleHeader[24] = {0x00, 0x05, 0x16, 0x07, 0x00, 0x02, 0x00, 0x00};

// minizip's own stdio functions for writing, except that the archive is opened close-on-exec:
// a program we start must not inherit it.
voidpf ZCALLBACK open_cloexec(voidpf, const void* filename, int mode) {
  const char* how = nullptr;
  if (mode & ZLIB_FILEFUNC_MODE_EXISTING) how = "r+be";
  else if (mode & ZLIB_FILEFUNC_MODE_CREATE) how = "wbe";
  return filename && how ? std::fopen(static_cast<const char*>(filename), how) : nullptr;
}

zlib_filefunc64_def file_functions() {
  zlib_filefunc64_def def;
  fill_fopen64_filefunc(&def);
  def.zopen64_file = open_cloexec;
  return def;
}

// The reader minizip gets: positioned reads through a 64 KiB window. minizip seeks before
// every chunk it reads and between its headers; on stdio each of those seeks costs a system
// call, which for an archive of many small files is more than the inflating itself.
struct window_reader {
  int fd = -1;
  uint64_t pos = 0;
  uint64_t start = 0;  // file offset of buf[0]
  size_t have = 0;
  int error = 0;
  char buf[1 << 16];
};

voidpf ZCALLBACK reader_open(voidpf, const void* filename, int mode) {
  if (!filename || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
    return nullptr;
  int fd = open(static_cast<const char*>(filename), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  auto* r = new window_reader;
  r->fd = fd;
  return r;
}

uLong ZCALLBACK reader_read(voidpf, voidpf stream, void* out, uLong size) {
  auto* r = static_cast<window_reader*>(stream);
  char* dst = static_cast<char*>(out);
  uLong done = 0;
  while (done < size) {
    if (r->pos >= r->start && r->pos < r->start + r->have) {
      size_t off = static_cast<size_t>(r->pos - r->start);
      size_t n = std::min<size_t>(r->have - off, size - done);
      std::memcpy(dst + done, r->buf + off, n);
      done += n;
      r->pos += n;
      continue;
    }
    ssize_t got;
    if (size - done >= sizeof r->buf) {
      got = pread(r->fd, dst + done, size - done, static_cast<off_t>(r->pos));
      if (got > 0) {
        done += static_cast<uLong>(got);
        r->pos += static_cast<uint64_t>(got);
        continue;
      }
    } else {
      got = pread(r->fd, r->buf, sizeof r->buf, static_cast<off_t>(r->pos));
      if (got > 0) {
        r->start = r->pos;
        r->have = static_cast<size_t>(got);
        continue;
      }
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) r->error = errno;
    break;
  }
  return done;
}

uLong ZCALLBACK reader_write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK reader_tell(voidpf, voidpf stream) {
  return static_cast<window_reader*>(stream)->pos;
}

long ZCALLBACK reader_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* r = static_cast<window_reader*>(stream);
  uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
    base = r->pos;
  } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
    struct stat st;
    if (fstat(r->fd, &st) != 0) return -1;
    base = static_cast<uint64_t>(st.st_size);
  } else if (origin != ZLIB_FILEFUNC_SEEK_SET) {
    return -1;
  }
  r->pos = base + offset;
  return 0;
}

int ZCALLBACK reader_close(voidpf, voidpf stream) {
  auto* r = static_cast<window_reader*>(stream);
  int rc = close(r->fd);
  delete r;
  return rc;
}

int ZCALLBACK reader_error(voidpf, voidpf stream) { return static_cast<window_reader*>(stream)->error; }

zlib_filefunc64_def reader_functions() {
  zlib_filefunc64_def def;
  def.zopen64_file = reader_open;
  def.zread_file = reader_read;
  def.zwrite_file = reader_write;
  def.ztell64_file = reader_tell;
  def.zseek64_file = reader_seek;
  def.zclose_file = reader_close;
  def.zerror_file = reader_error;
  def.opaque = nullptr;
  return def;
}

std::string full(std::string path) {
  set_path_to_full(path);
  return path;
}

bool starts_with(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

uint32_t be32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void log_entry_failure(const char* what, int code, const std::string& target) {
  thread_log() << what << code << ". file = " << sErrFile << " line = " << sErrLine << ". inFile=" << target
      << ".\n";
}

// Streams the current entry into sink(data, size) -> 0 or a code. Data shorter than the
// entry's recorded size or undecodable is 20002; a CRC mismatch gives minizip's code.
template <typename Sink>
int read_entry(unzFile zip, const unz_file_info64& info, std::vector<char>& buf, Sink sink) {
  int err = unzOpenCurrentFile(zip);
  if (err != UNZ_OK) {
    SKY_FAILURE_SITE(kFile);
    return err_zip_read;
  }
  uint64_t total = 0;
  int result = 0;
  for (;;) {
    int got = unzReadCurrentFile(zip, buf.data(), static_cast<unsigned>(buf.size()));
    if (got < 0) {
      result = err_zip_read;
      SKY_FAILURE_SITE(kFile);
      break;
    }
    if (got == 0) break;
    total += static_cast<uint64_t>(got);
    if ((result = sink(buf.data(), static_cast<size_t>(got))) != 0) break;
  }
  if (!result && total != info.uncompressed_size) {
    result = err_zip_read;
    SKY_FAILURE_SITE(kFile);
  }
  int closed = unzCloseCurrentFile(zip);
  if (!result && closed != UNZ_OK) {
    result = closed;  // UNZ_CRCERROR: the bytes are not the ones that were packed
    SKY_FAILURE_SITE(kFile);
  }
  return result;
}

std::string entry_name(unzFile zip, unz_file_info64& info, int& err) {
  err = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
  if (err != UNZ_OK) return std::string();
  // The name's length comes from the entry itself, so no name is ever cut.
  std::vector<char> name(info.size_filename + 1, '\0');
  err = unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr,
                                0, nullptr, 0);
  return std::string(name.data(), info.size_filename);
}

int unix_mode(const unz_file_info64& info) { return static_cast<int>(info.external_fa >> 16); }

bool is_link_entry(const unz_file_info64& info) { return (unix_mode(info) & 0xF000) == 0xA000; }

// Zips made on DOS or Windows carry no Unix mode: their upper attribute bits are 0.
mode_t entry_mode(const unz_file_info64& info) {
  int host = static_cast<int>(info.version >> 8);
  if (host == 3 && unix_mode(info) != 0) return static_cast<mode_t>(unix_mode(info) & 0777);
  return default_file_mode();
}

// With signature given, the file's MD5 is taken from the bytes as they are written, so that a
// caller checking the file never has to read it back.
int write_file_entry(unzFile zip, const std::string& target, const unz_file_info64& info,
                     std::vector<char>& buf, std::string* signature) {
  replace_writer out;
  int err = out.open(target);
  if (err) {
    SKY_FAILURE_SITE(kFile);
    return err;
  }
  MD5Context digest;
  if (signature) MD5Init(&digest);
  err = read_entry(zip, info, buf, [&](const char* data, size_t size) {
    int rc = out.write(data, size);
    if (rc) SKY_FAILURE_SITE(kFile);
    else if (signature) MD5UpdateWide(&digest, data, size);
    return rc;
  });
  if (err) return err;  // out's destructor drops the partial file; the old one stays
  if (signature) {
    MD5Final(&digest);
    *signature = MD5_hex(digest.digest);
  }
  time_t when = 0;
  const time_t* times = nullptr;
  if (info.external_fa != 0) {
    tm t{};
    t.tm_sec = static_cast<int>(info.tmu_date.tm_sec);
    t.tm_min = static_cast<int>(info.tmu_date.tm_min);
    t.tm_hour = static_cast<int>(info.tmu_date.tm_hour);
    t.tm_mday = static_cast<int>(info.tmu_date.tm_mday);
    t.tm_mon = static_cast<int>(info.tmu_date.tm_mon);
    t.tm_year = static_cast<int>(info.tmu_date.tm_year) - 1900;
    t.tm_isdst = -1;
    {
      // mktime reads the time zone afresh on every call; archives are unpacked on several
      // threads at once, so the calls take turns.
      static std::mutex zone_lock;
      std::lock_guard<std::mutex> hold(zone_lock);
      when = mktime(&t);
    }
    if (when == static_cast<time_t>(-1)) {
      SKY_FAILURE_SITE(kFile);
      return -1;
    }
    times = &when;
  }
  err = out.commit(entry_mode(info), times);
  if (err) SKY_FAILURE_SITE(kFile);
  return err;
}

int symlink_entry(unzFile zip, const std::string& target, const std::string& relative,
                  const unz_file_info64& info, archive_link_guard* guard,
                  std::string* signature = nullptr) {
  if (info.uncompressed_size > kMaxLinkText) {
    SKY_FAILURE_SITE(kFile);
    return ENAMETOOLONG;
  }
  std::vector<char> buf(kMaxLinkText + 1);
  std::string text;
  int err = read_entry(zip, info, buf, [&](const char* data, size_t size) {
    text.append(data, size);
    return 0;
  });
  if (err) return err;
  // A link out of the folder would let the simulator, or a later archive, reach anywhere.
  if (text.find('\0') != std::string::npos ||
      !archive_link_guard::target_stays_inside(relative, text)) {
    thread_log() << "Zip entry refused: link " << relative << " points outside the folder (" << text
        << ").\n";
    SKY_FAILURE_SITE(kFile);
    return err_zip_read;
  }
  if (replace_with_symlink(target, text) != 0) {
    SKY_FAILURE_SITE(kFile);
    return -1;
  }
  if (guard) guard->note_link(relative);
  if (signature) {
    // A link is signed by its text, as the scan signs an installed link.
    MD5Context digest;
    MD5Init(&digest);
    MD5UpdateWide(&digest, text.data(), text.size());
    MD5Final(&digest);
    *signature = MD5_hex(digest.digest);
  }
  return 0;
}

// The file a side entry belongs to: "._" is taken off the start of the leaf only.
std::string side_entry_file(const std::string& path) {
  auto slash = path.rfind('/');
  size_t leaf = slash == std::string::npos ? 0 : slash + 1;
  if (path.compare(leaf, 2, "._") != 0 || path.size() == leaf + 2) return std::string();
  return path.substr(0, leaf) + path.substr(leaf + 2);
}

}  // namespace

int unzip_resource_fork(unzFile zip, std::string target, const unz_file_info64& info) {
  std::vector<char> buf(kChunk);
  std::vector<unsigned char> head;
  uint64_t size = 0;
  int err = read_entry(zip, info, buf, [&](const char* data, size_t n) {
    size += n;
    size_t room = head.size() < kSideEntryKeep ? kSideEntryKeep - head.size() : 0;
    head.insert(head.end(), data, data + std::min(room, n));
    return 0;
  });
  if (!err && (head.size() < 24 || std::memcmp(head.data(), kAppleDoubleHeader, 24) != 0))
    err = err_fork_header;
  if (!err && head.size() >= 26) {
    unsigned count = (unsigned(head[24]) << 8) | head[25];
    if (count >= 32768) count = 0;
    // Every descriptor, and every block it names, must lie inside the entry.
    if (26 + 12ull * count > size) {
      err = err_fork_header;
    } else {
      for (unsigned i = 0; i < count && !err; ++i) {
        const unsigned char* d = head.data() + 26 + 12 * i;
        uint32_t id = be32(d), offset = be32(d + 4), length = be32(d + 8);
        if ((id == 9 || id == 2) && uint64_t(offset) + length > size) err = err_fork_header;
      }
    }
  }
  if (err) {
    SKY_FAILURE_SITE(kFile);
    log_entry_failure("Unzip RF failed with error ", err, target);
    return err;
  }
  std::string file = side_entry_file(target);
  struct stat st;
  if (file.empty() || lstat(file.c_str(), &st) != 0) return 0;
  thread_log() << "Side entry of " << file
      << " checked; its Finder information and resource fork are not kept on Linux.\n";
  return 0;
}

int unzip_symlink(unzFile zip, std::string target, const unz_file_info64& info) {
  int err = symlink_entry(zip, target, leaf_of(target), info, nullptr);
  if (err) log_entry_failure("Zip to symlink failed with error ", err, target);
  return err;
}

int zip_entry_names(const std::string& archive, std::vector<std::string>* names) {
  names->clear();
  std::string zip_path = full(archive);
  zlib_filefunc64_def io = reader_functions();
  unzFile zip = unzOpen2_64(zip_path.c_str(), &io);
  if (!zip) return err_zip_open;
  int result = 0;
  for (int err = unzGoToFirstFile(zip); err == UNZ_OK; err = unzGoToNextFile(zip)) {
    unz_file_info64 info;
    int info_err = 0;
    std::string entry = entry_name(zip, info, info_err);
    if (info_err != UNZ_OK) {
      result = err_zip_read;
      break;
    }
    names->push_back(entry);
  }
  unzClose(zip);
  return result;
}

namespace {

int unzip_into(const std::string& archive, const std::string& folder, std::string* name, int rename,
               std::map<std::string, std::string>* signatures) {
  std::string zip_path = full(archive);
  std::string out = full(folder);
  zlib_filefunc64_def io = reader_functions();
  unzFile zip = unzOpen2_64(zip_path.c_str(), &io);
  if (!zip) {
    thread_log() << "OK I am about to report that I could not open a zip file for extraction!\n"
        << "That incoming file is " << zip_path << "\n"
        << "In c-form, it is " << zip_path.c_str() << "\n"
        << "The size is " << zip_path.size() << "\n";
    SKY_FAILURE_SITE(kFile);
    return err_zip_open;
  }
  const std::string rename_to = rename && name ? *name : std::string();
  archive_link_guard guard;
  std::vector<char> buf(kChunk);
  int result = 0;
  bool first = true;
  int err = unzGoToFirstFile(zip);
  while (err == UNZ_OK) {
    unz_file_info64 info;
    int info_err = 0;
    std::string entry = entry_name(zip, info, info_err);
    if (info_err != UNZ_OK) {
      // Handling an entry with stale sizes and attributes could write anything.
      thread_log() << "unzGetCurrentFileInfo err != UNZ_OK! err=" << info_err << "\n";
      SKY_FAILURE_SITE(kFile);
      result = err_zip_read;
      break;
    }
    if (first && name) *name = entry;
    first = false;

    bool side = starts_with(entry, "__MACOSX");
    bool is_folder = !entry.empty() && entry.back() == '/';
    std::string relative = side ? entry.substr(std::min<size_t>(9, entry.size())) : entry;
    if (!rename_to.empty() && !is_folder && !side) relative = rename_to;
    if ((!side || !relative.empty()) &&
        (!archive_name_is_safe(relative) || guard.passes_through_link(relative))) {
      thread_log() << "Zip entry refused: " << entry << " would be written outside " << out << ".\n";
      SKY_FAILURE_SITE(kFile);
      result = err_zip_read;
    } else if (is_folder) {
      if (!side) {
        int rc = make_folder(folder + relative);
        if (rc != 0 && rc != EEXIST && rc != -48) result = rc;
      }
    } else if (side) {
      result = unzip_resource_fork(zip, out + relative, info);
    } else if (is_link_entry(info)) {
      std::string sig;
      result = symlink_entry(zip, out + relative, relative, info, &guard, signatures ? &sig : nullptr);
      if (result) log_entry_failure("Zip to symlink failed with error ", result, out + relative);
      else if (signatures) (*signatures)[out + relative] = sig;
    } else {
      std::string sig;
      result = write_file_entry(zip, out + relative, info, buf, signatures ? &sig : nullptr);
      if (result) log_entry_failure("Zip to file failed with error ", result, out + relative);
      else if (signatures) (*signatures)[out + relative] = sig;
    }
    if (result) {
      thread_log() << "UNZIP zip_to_file failed with err=" << result << "\n";
      break;
    }
    err = unzGoToNextFile(zip);
  }
  if (!result && err != UNZ_OK && err != UNZ_END_OF_LIST_OF_FILE) {
    SKY_FAILURE_SITE(kFile);
    result = err;
  }
  unzClose(zip);
  if (result) {
    thread_log() << "Zip to file failed with error err = " << result << ". file = " << sErrFile
        << " line = " << sErrLine << ". zip_file=" << zip_path << ", out_dir=" << folder << ".\n";
  }
  return result;
}

}  // namespace

int zip_to_file(const std::string& archive, const std::string& folder, std::string* name,
                int rename) {
  return unzip_into(archive, folder, name, rename, nullptr);
}

int zip_to_file_signed(const std::string& archive, const std::string& folder,
                       std::map<std::string, std::string>* signatures) {
  signatures->clear();
  return unzip_into(archive, folder, nullptr, 0, signatures);
}

int file_to_zip(const std::string& source, const std::string& archive) {
  std::string src = full(source);
  std::string dst = full(archive);
  std::string leaf = leaf_of(src);
  int result = 0;
  struct stat st;
  int fd = -1;
  std::string link_text;
  bool is_link = false;
  if (lstat(src.c_str(), &st) != 0) {
    result = errno;
    SKY_FAILURE_SITE(kFile);
  } else if (S_ISLNK(st.st_mode)) {
    is_link = true;
    std::vector<char> text(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 4096);
    ssize_t n = readlink(src.c_str(), text.data(), text.size());
    if (n < 0) {
      result = errno;
      SKY_FAILURE_SITE(kFile);
    } else {
      link_text.assign(text.data(), static_cast<size_t>(n));
    }
  } else {
    fd = open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      result = err_file_open;
      SKY_FAILURE_SITE(kFile);
    }
  }
  // The archive is made aside and renamed over any old one only when complete.
  std::string temp;
  zipFile zip = nullptr;
  if (!result) {
    std::string tmpl = dst + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int tfd = mkostemp(name.data(), O_CLOEXEC);
    if (tfd >= 0) {
      fchmod(tfd, default_file_mode());  // mkostemp makes 0600; an archive is no secret
      close(tfd);
      temp = name.data();
      zlib_filefunc64_def io = file_functions();
      zip = zipOpen2_64(temp.c_str(), APPEND_STATUS_CREATE, nullptr, &io);
    }
    if (!zip) {
      result = err_zip_create;
      SKY_FAILURE_SITE(kFile);
    }
  }
  if (!result) {
    zip_fileinfo zi;
    std::memset(&zi, 0, sizeof zi);
    int method = Z_DEFLATED, level = Z_DEFAULT_COMPRESSION, zip64 = 0;
    if (is_link) {
      method = 0;
      level = 0;
      zi.external_fa = 0xA1ED0000u;
    } else {
      tm t{};
      time_t mtime = st.st_mtime;
      localtime_r(&mtime, &t);
      zi.tmz_date.tm_sec = static_cast<uInt>(t.tm_sec);
      zi.tmz_date.tm_min = static_cast<uInt>(t.tm_min);
      zi.tmz_date.tm_hour = static_cast<uInt>(t.tm_hour);
      zi.tmz_date.tm_mday = static_cast<uInt>(t.tm_mday);
      zi.tmz_date.tm_mon = static_cast<uInt>(t.tm_mon);
      zi.tmz_date.tm_year = static_cast<uInt>(t.tm_year + 1900);
      zi.external_fa = static_cast<uLong>(st.st_mode) << 16;
      zip64 = static_cast<uint64_t>(st.st_size) >= 0xFFFFFFFFull ? 1 : 0;
    }
    // Host 3 (Unix) so that standard tools honour the mode and link bits we store.
    uLong made_by = (3u << 8) | (zip64 ? 45u : 20u);
    int err = zipOpenNewFileInZip4_64(zip, leaf.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr,
                                      method, level, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr,
                                      0, made_by, 0, zip64);
    if (err != ZIP_OK) {
      result = err;
      SKY_FAILURE_SITE(kFile);
    } else if (is_link) {
      err = zipWriteInFileInZip(zip, link_text.data(), static_cast<unsigned>(link_text.size()));
      if (err != ZIP_OK) {
        result = err;
        SKY_FAILURE_SITE(kFile);
      }
    } else {
      std::vector<char> buf(kChunk);
      for (;;) {
        ssize_t got = read(fd, buf.data(), buf.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
          result = err_file_open;
          SKY_FAILURE_SITE(kFile);
          break;
        }
        if (got == 0) break;
        err = zipWriteInFileInZip(zip, buf.data(), static_cast<unsigned>(got));
        if (err != ZIP_OK) {
          result = err;
          SKY_FAILURE_SITE(kFile);
          break;
        }
      }
    }
    int closed = zipCloseFileInZip(zip);
    if (!result && closed != ZIP_OK) {
      result = closed;
      SKY_FAILURE_SITE(kFile);
    }
  }
  if (zip) {
    // zipClose also closes the file, which is where a full disk shows.
    int closed = zipClose(zip, nullptr);
    if (!result && closed != ZIP_OK) {
      result = closed == ZIP_ERRNO && errno ? errno : closed;
      SKY_FAILURE_SITE(kFile);
    }
  }
  if (fd >= 0) close(fd);
  if (!result && rename(temp.c_str(), dst.c_str()) != 0) {
    result = errno;
    SKY_FAILURE_SITE(kFile);
  }
  if (result) {
    if (!temp.empty()) unlink(temp.c_str());
    thread_log() << "file_to_zip failed with error " << result << ".\nfile = " << sErrFile
        << " line = " << sErrLine << "\n";
  }
  return result;
}
