#include "files/preferences.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "files/house_writer.h"
#include "files/mapped_file.h"
#include "files/paths.h"
#include "runtime/command_line.h"
#include "runtime/shell_services.h"

pref_class pref;

namespace {

const int kPrefVersion = 9002;

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }
inline bool ends_line(char c) { return c == 0 || c == '\r' || c == '\n'; }

// atoi's reading without its undefined overflow: out-of-range text gives the nearest int.
int read_int(const std::string& text) {
  errno = 0;
  long v = strtol(text.c_str(), nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// Settings of the installer file that no higher layer has claimed.
struct own_settings {
  int stream_count = 0;
  int log_actions = 0;
  std::string proxy_host;
  std::string proxy_port_text;
  int proxy_port = 0;
  int get_beta = 0;
  std::string update_host;
} unbound;

pref_installer_fields bound;
std::string* bound_update_host = nullptr;
pref_display_io display_io = nullptr;

template <class T>
T* field(T* claimed, T* fallback) {
  return claimed ? claimed : fallback;
}

// A setting read back that would break the program is dropped to its "off" value, and said so
// in the log: a negative stream count would switch every download slot off and end the update
// with files unfetched; a port outside 1..65535 would wrap to another port.
void keep_in_range(int* value, int low, int high, const char* key) {
  if (*value == 0 || (*value >= low && *value <= high)) return;
  xer << "Preference " << key << " " << *value << " is out of range; using 0.\n";
  *value = 0;
}

}  // namespace

scan_class::scan_class(const std::string& path, int m) : mode(m) {
  if (mode == 1) {
    ouf_open(path, xmap_text, kPrefVersion, "no-copyright-string");
    return;
  }
  static const int versions[] = {kPrefVersion, 0};
  xmap_class map(path);
  if (!map.check_file(xmap_text, versions, nullptr, nullptr)) return;
  const char* p = map.cursor;
  const char* end = map.end;
  while (p < end) {
    while (p < end && is_blank(*p)) ++p;
    const char* key = p;
    while (p < end && !is_blank(*p) && !ends_line(*p)) ++p;
    const char* key_end = p;
    while (p < end && is_blank(*p)) ++p;
    const char* value = p;
    while (p < end && !ends_line(*p)) ++p;
    values[std::string(key, key_end)] = std::string(value, p);
    while (p < end && (is_blank(*p) || ends_line(*p))) ++p;
  }
}

scan_class::~scan_class() {
  if (mode == 1) ouf.close();
}

bool scan_class::find(const std::string& key, std::string* value) const {
  const std::string option = "--pref:" + key;
  if (cmdline.has_option(option.c_str())) {
    *value = cmdline.get_option(option.c_str());
    return true;
  }
  auto it = values.find(key);
  if (it == values.end()) return false;
  *value = it->second;
  return true;
}

int scan_class::int_io(int* value, const std::string& key) {
  if (mode == 1) {
    ouf << key << " " << *value << "\n";
    return 0;
  }
  std::string text;
  if (!find(key, &text)) return 0;
  *value = read_int(text);
  return 1;
}

int scan_class::str_io(std::string* value, const std::string& key) {
  if (mode == 1) {
    std::string clean;
    for (char c : *value)
      if (!ends_line(c)) clean += c;
    if (!clean.empty()) ouf << key << " " << clean << "\n";
    return 0;
  }
  return find(key, value) ? 1 : 0;
}

void pref_bind_installer_fields(const pref_installer_fields& fields) { bound = fields; }

void pref_bind_update_host(std::string* host) { bound_update_host = host; }

void pref_bind_display_io(pref_display_io io) { display_io = io; }

std::string installer_pref_path() {
  std::string folder = "Resources/preferences/Set Skyrill.prf";
  const std::string unresolved = folder;
  get_OS_abs_path(os_dir_prefs, folder);
  if (folder == unresolved) {
    // Without a preferences folder the file stays with the program rather than landing under
    // a name made of both texts.
    const std::string fallback = "Resources/preferences/Skyrill Installer.prf";
    xer << "No preferences folder; using " << fallback << "\n";
    return fallback;
  }
  return folder + "Skyrill Installer.prf";
}

void pref_class::IO_set(int which, int mode) {
  std::string path;
  if (which == 10) path = "Resources/preferences/Res Nimbrel.prf";
  else if (which == 11) path = installer_pref_path();
  else path = "Resources/preferences/Cal Skyrill.prf";

  scan_class s(path, mode);
  if (which == 11) {
    int* stream_count = field(bound.stream_count, &unbound.stream_count);
    int* proxy_port = field(bound.proxy_port, &unbound.proxy_port);
    s.int_io(stream_count, "_stream_count");
    s.int_io(field(bound.log_actions, &unbound.log_actions), "_log_actions");
    s.str_io(field(bound.proxy_host, &unbound.proxy_host), "_proxy_host");
    s.str_io(field(bound.proxy_port_text, &unbound.proxy_port_text), "_proxy_port");
    s.int_io(proxy_port, "_proxy_port_int");
    s.int_io(field(bound.get_beta, &unbound.get_beta), "_get_beta");
    s.str_io(field(bound_update_host, &unbound.update_host), "_update_host");
    if (mode == 0) {
      keep_in_range(stream_count, 1, INT_MAX, "_stream_count");
      keep_in_range(proxy_port, 1, 65535, "_proxy_port_int");
    }
  } else if (which == 10) {
    if (display_io) display_io(s, mode);
  }
}

int pref_class::IO_sta(int, int, std::string) { return 0; }
