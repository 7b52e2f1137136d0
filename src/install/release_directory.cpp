#include "install/release_directory.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "files/mapped_file.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/newer_program_alerts.h"
#include "runtime/shell_services.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// A cursor over one line of the record part.
struct line_reader {
  const char* p;
  const char* end;

  void skip_blanks() {
    while (p < end && is_blank(*p)) ++p;
  }
  // The characters up to the next blank, tab, line end or the end.
  std::string word() {
    skip_blanks();
    const char* s = p;
    while (p < end && !is_blank(*p) && !is_line_end(*p)) ++p;
    return std::string(s, p);
  }
  // The rest of the line after leading blanks, trailing blanks kept.
  std::string rest() {
    skip_blanks();
    const char* s = p;
    while (p < end && !is_line_end(*p)) ++p;
    return std::string(s, p);
  }
  bool keyword(const char* k) {
    size_t n = std::strlen(k);
    if (static_cast<size_t>(end - p) <= n || std::memcmp(p, k, n) != 0 || !is_blank(p[n]))
      return false;
    p += n;
    return true;
  }
  void next_line() {
    while (p < end && *p != '\r' && *p != '\n') ++p;
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
};

// A decimal integer with an optional sign that fits in 32 bits. Damaged numbers would feed the
// disk-space check and the progress with garbage, so they make the record malformed.
bool parse_int(const std::string& text, int32_t* out) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size() || text.size() - i > 10) return false;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return false;
  *out = static_cast<int32_t>(value);
  return true;
}

bool is_signature(const std::string& s) {
  if (s == "GONE") return true;
  if (s.size() != 32) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

int refuse(const char* what, const std::string& text) {
  xer << "WARNING: the release directory is damaged or unsafe (" << what << "): \"" << text
      << "\"; it is not used.\n";
  xer.flush();
  sim_info.clear();
  return directory_read_refused;
}

// Cells offered and the two has_ flags from the newest versions.
void tally_offered() {
  std::memset(stg.sector_offered, 0, sizeof(stg.sector_offered));
  int scenery = 0, sim = 0;
  for (const file_history_struct& h : sim_info) {
    const file_version_struct& v = h.back();
    if (v.is_global) {
      stg.sector_offered[v.sector_lon][v.sector_lat] = 1;
      ++scenery;
    } else {
      ++sim;
    }
  }
  stg.has_scenery = scenery > 0;
  stg.has_sim = sim > 0;
}

}  // namespace

bool is_safe_release_path(const std::string& path) {
  if (path.empty()) return false;
  size_t start = 0;
  while (true) {
    size_t slash = path.find('/', start);
    std::string part = path.substr(start, slash == std::string::npos ? std::string::npos
                                                                      : slash - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  for (unsigned char c : path)
    if (c < 0x20 || c == 0x7f || c == '\\') return false;
  return true;
}

int read_directory_records(const char* begin, const char* end) {
  line_reader in{begin, end};
  std::string folder;
  int32_t disk = 0;
  std::string last_path;
  bool have_last = false;

  while (in.p < in.end) {
    in.skip_blanks();
    if (in.keyword("DIR")) {
      folder = in.rest();
    } else if (in.keyword("DISK")) {
      std::string w = in.word();
      if (!parse_int(w, &disk)) return refuse("DISK number", w);
    } else if (in.keyword("FILE")) {
      const char* line = in.p;
      std::string fields[5];
      for (std::string& f : fields) f = in.word();
      std::string sig = in.word();
      std::string name = in.rest();
      std::string text(line, in.p);
      int32_t ignored, platform, version, zip_kb, unz_kb;
      if (!parse_int(fields[0], &ignored) || !parse_int(fields[1], &platform) ||
          !parse_int(fields[2], &version) || !parse_int(fields[3], &zip_kb) ||
          !parse_int(fields[4], &unz_kb) || zip_kb < 0 || unz_kb < 0) {
        return refuse("FILE numbers", text);
      }
      if (!is_signature(sig)) return refuse("FILE signature", text);
      // A line cut short leaves the folder as the path: nothing that could be fetched or
      // deleted, and a sign of a damaged file rather than a reason to end the program.
      if (name.empty()) return refuse("FILE without a name", text);
      if (name.find("900 red terrain") != std::string::npos ||
          name.find("Earth Orbit Textures") != std::string::npos) {
        in.next_line();
        continue;
      }
      file_version_struct v;
      v.platform = platform < 0 ? 0 : platform > 6 ? 6 : platform;
      v.version = version;
      v.zip_size = static_cast<float>(zip_kb);
      v.unz_size = static_cast<float>(unz_kb);
      v.sig_want = sig;
      v.path = folder + name;
      // Later steps join the path to the installation folder to read, write and delete: a
      // mirror must not reach outside it.
      if (!is_safe_release_path(v.path)) return refuse("unsafe path", v.path);
      v.disk = disk;
      if (is_global_scenery_f(v.path.c_str())) {
        int lon = 0, lat = 0;
        if (find_sector(&lon, &lat, v.path)) {
          v.is_global = 1;
          v.sector_lat = lat;
          v.sector_lon = lon;
        }
      }
      if (!have_last || v.path != last_path) {
        sim_info.emplace_back();
        last_path = v.path;
        have_last = true;
      }
      sim_info.back().push_back(std::move(v));
    }
    in.next_line();
  }
  tally_offered();
  return directory_read_ok;
}

int read_directory(const std::string& path, const std::string&) {
  // Tasks of an earlier scan write into the model's elements; they must be gone before the model
  // is rebuilt.
  checksum_directory_kill();
  deleted_files.clear();
  stg.download_total = 0;
  stg.install_total = 0;
  stg.install_count = 0;
  stg.delete_count = 0;
  sim_info.clear();

  xmap_class map(path);
  if (!map.mapped()) {
    __MACIBM_alert(0, "I tried to read a directory file that does not exist!", "The file is:", path,
                   "", t_exit, "Zuzazuziv-e/utils", __LINE__);
    return directory_read_failed;
  }
  static const int versions[] = {840, 900, 0};
  if (map.check_file(10001, versions, "INSTALLER", nullptr) == 0) {
    new_format(path);
    return directory_read_failed;
  }
  return read_directory_records(map.cursor, map.end);
}
