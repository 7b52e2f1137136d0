#include "files/mapped_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "files/paths.h"
#include "runtime/shell_services.h"

namespace {

const char kAlertFile[] = "RIzirud/OOPS_cpp/xmap";

// mmap refuses a length of 0, so an empty file is a view of this byte with nothing in it.
const char empty_view[1] = {0};

// Longest version text accepted: nine digits always fit an int.
const int kMaxVersionDigits = 9;

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }
inline bool is_eol(char c) { return c == 0 || c == '\r' || c == '\n'; }
inline bool is_white(char c) { return is_blank(c) || is_eol(c); }

// The first line end (LF, CR or NUL) in [p, end), or end. Release directories run to hundreds
// of thousands of lines, so the search looks at eight bytes at a time and goes byte by byte
// only in the word that holds a line end.
const char* find_eol(const char* p, const char* end) {
  constexpr uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
  auto any_zero = [](uint64_t v) { return (v - ones) & ~v & highs; };
  while (end - p >= 8) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    if (any_zero(w) | any_zero(w ^ (ones * '\n')) | any_zero(w ^ (ones * '\r'))) break;
    p += 8;
  }
  while (p < end && !is_eol(*p)) ++p;
  return p;
}

}  // namespace

xmap_class::xmap_class(const std::string& path) {
  if (!path.empty()) retry(path);
}

xmap_class::~xmap_class() { unmap(); }

void xmap_class::unmap() {
  if (begin && begin != empty_view) munmap(const_cast<char*>(begin), static_cast<size_t>(end - begin));
  if (descriptor >= 0) close(descriptor);
  begin = cursor = end = nullptr;
  descriptor = -1;
}

const char* xmap_class::retry(const std::string& path) {
  unmap();
  std::string p = path;
  const bool resource = UTL_path_is_resource(p) != 0;
  if (!resource) {
    if (!app_path.empty() && p.find(app_path) != std::string::npos) {
      __MACIBM_alert(0, "retry: We are getting a file string that is not Nimbrel relative!",
                     "This is illegal! All paths must be Nimbrel relative!",
                     "The path in question is:", p, t_exit, kAlertFile, __LINE__);
      return nullptr;
    }
    // ':' is an ordinary character in Linux names; only the Windows separator is refused.
    if (p.find('\\') != std::string::npos) {
      __MACIBM_alert(0, "OOPS!", "I got a bad dirchar! I only want '/'!", "The path in question is:",
                     p, t_exit, kAlertFile, __LINE__);
      return nullptr;
    }
  }
  if (resource) p = UTL_resource_get_file(p);
  else set_path_to_full(p);
  if (p.empty()) return nullptr;

  // O_NONBLOCK: opening a FIFO found in a scanned folder must not wait for a writer.
  int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return nullptr;
  }
  const off_t size = S_ISREG(st.st_mode) ? st.st_size : 0;
  if (size == 0) {
    close(fd);
    begin = cursor = end = empty_view;
    return begin;
  }
  void* at = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
  if (at == MAP_FAILED) {
    const int err = errno;
    close(fd);
    xer << "Mem file error.  Err=" << err << ", file=" << p << "\n";
    if (err == ENOMEM) {
      char text[64];
      snprintf(text, sizeof text, "errno=%f", static_cast<double>(err));
      __MACIBM_alert(0, "Xmapped out of memory", "c_path=", p, text, t_exit, kAlertFile, __LINE__);
    }
    return nullptr;
  }
  descriptor = fd;
  begin = cursor = static_cast<const char*>(at);
  end = begin + size;
  return begin;
}

int xmap_class::check_file(int type, const int* versions, const char* keyword, std::string* rest) {
  if (type != xmap_binary && type != xmap_text) {
    __MACIBM_alert(0, "Bad check_file type!", label, "", "", t_exit, kAlertFile, __LINE__);
    return 0;
  }
  cursor = begin;
  if (!begin || begin == end) return 0;

  int version = 0;
  if (type == xmap_binary) {
    if (end - begin < 5) return 0;
    if (*cursor == 'a') swap_flag = 1;
    else if (*cursor == 'i') swap_flag = 0;
    else return 0;
    const unsigned char* b = reinterpret_cast<const unsigned char*>(cursor + 1);
    uint32_t v = swap_flag ? (uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3])
                           : (uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0]);
    version = static_cast<int32_t>(v);
    cursor += 5;
  } else {
    const char first = *cursor++;
    while (cursor < end && is_blank(*cursor)) ++cursor;
    while (cursor < end && !is_eol(*cursor)) ++cursor;
    while (cursor < end && is_white(*cursor)) ++cursor;
    if (first != 'A' && first != 'I') return 0;

    while (cursor < end && is_blank(*cursor)) ++cursor;
    int sign = 1;
    if (cursor < end && *cursor == '-') {
      sign = -1;
      ++cursor;
    }
    if (cursor < end && *cursor == '+') {
      sign = 1;
      ++cursor;
    }
    // The server list arrives from the network: only a short run of digits is a version, so
    // the number can never overflow.
    int digits = 0;
    while (cursor < end && !is_white(*cursor)) {
      if (*cursor < '0' || *cursor > '9' || ++digits > kMaxVersionDigits) return 0;
      version = version * 10 + (*cursor - '0');
      ++cursor;
    }
    if (digits == 0) return 0;
    version *= sign;

    while (cursor < end && is_blank(*cursor)) ++cursor;
    const char* rest_start = cursor;
    while (cursor < end && !is_eol(*cursor)) ++cursor;
    if (rest) rest->assign(rest_start, cursor);
    while (cursor < end && is_white(*cursor)) ++cursor;
  }

  bool listed = false;
  for (const int* v = versions; v && *v != 0; ++v)
    if (*v == version) listed = true;
  if (!listed) return 0;
  if (!keyword) return version;

  while (cursor < end && is_blank(*cursor)) ++cursor;
  const char* noted = cursor;
  const size_t len = strlen(keyword);
  if (static_cast<size_t>(end - cursor) < len || memcmp(cursor, keyword, len) != 0 ||
      (cursor + len < end && !is_white(cursor[len]))) {
    cursor = noted;
    return 0;
  }
  cursor += len;
  while (cursor < end && !is_eol(*cursor)) ++cursor;
  while (cursor < end && is_white(*cursor)) ++cursor;
  return version;
}

void xmap_class::read_n_rev(void* dest, long count) {
  if (count < 0 || count > end - cursor) {
    __MACIBM_alert(0, "Invalid read_n_rev read!", "", "", "", t_exit, kAlertFile, __LINE__);
    return;
  }
  if (count == 0) return;
  memcpy(dest, cursor, static_cast<size_t>(count));
  cursor += count;
  if (swap_flag) {
    unsigned char* p = static_cast<unsigned char*>(dest);
    for (long w = 0; w < count / 4; ++w, p += 4) {
      std::swap(p[0], p[3]);
      std::swap(p[1], p[2]);
    }
  }
}

void xmap_class::TXT_str_scan_eoln(std::string* out) {
  while (cursor < end && is_blank(*cursor)) ++cursor;
  const char* start = cursor;
  cursor = find_eol(cursor, end);
  if (out) out->assign(start, cursor);
  while (cursor < end && is_white(*cursor)) ++cursor;
}

void xmap_class::TXT_str_scan_space(std::string* word) {
  while (cursor < end && is_blank(*cursor)) ++cursor;
  const char* start = cursor;
  while (cursor < end && !is_white(*cursor)) ++cursor;
  if (word) word->assign(start, cursor);
}

void xmap_class::TXT_xer_line() {
  long cr = 0, lf = 0;
  const char* line_start = begin;
  for (const char* p = begin; p && p < cursor; ++p) {
    if (*p == '\r') ++cr;
    else if (*p == '\n') ++lf;
    else continue;
    line_start = p + 1;
  }
  const char* line_end = cursor;
  while (line_end && line_end < end && *line_end != '\r' && *line_end != '\n') ++line_end;
  xer << (1 + (cr > lf ? cr : lf)) << " \"";
  if (line_start) xer.write(line_start, line_end - line_start);
  xer << "\"\n";
  xer.flush();
}
