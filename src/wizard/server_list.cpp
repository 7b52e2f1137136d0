#include "wizard/server_list.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>

#include "files/file_ops.h"
#include "files/mapped_file.h"
#include "files/preferences.h"
#include "install/download_scheduler.h"
#include "install/installer_state.h"
#include "install/newer_program_alerts.h"
#include "install/web_update.h"
#include "net/http_client.h"
#include "runtime/shell_services.h"

std::string server_desc[max_servers];
const char* const default_update_host = "update.skyrill.example";
std::string update_host_setting;
std::string server_list_remote_path = "/serverlist9.txt";
server_list_state server_list;

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_white(char c) { return is_blank(c) || c == '\r' || c == '\n' || c == '\0'; }

std::string trimmed(const std::string& text) {
  size_t a = 0, b = text.size();
  while (a < b && is_blank(text[a])) ++a;
  while (b > a && is_blank(text[b - 1])) --b;
  return text.substr(a, b - a);
}

// Whether the bytes begin like a house text header (a letter line, then a line that starts with
// a number), whatever its version and keyword. A reply without one is not a server list at all.
bool looks_like_house_header(const char* p, const char* end) {
  if (p == end || (*p != 'I' && *p != 'A')) return false;
  while (p < end && *p != '\r' && *p != '\n' && *p != '\0') ++p;
  while (p < end && is_white(*p)) ++p;
  if (p < end && (*p == '-' || *p == '+')) ++p;
  int digits = 0;
  while (p < end && *p >= '0' && *p <= '9') ++p, ++digits;
  return digits > 0 && digits <= 9 && (p == end || is_white(*p));
}

// The "INS_VERSION" number: an optional sign and one to nine decimal digits, nothing else.
bool strict_int(const std::string& text, long* value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size() || text.size() - i > 9) return false;
  long v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  *value = negative ? -v : v;
  return true;
}

// A host name as the HTTP client takes it: no trailing "/" (the client refuses one with a fatal
// alert) and nothing that cannot be part of a host. "" when it is unusable.
std::string usable_host(std::string host) {
  host = trimmed(host);
  while (!host.empty() && host.back() == '/') host.pop_back();
  for (char c : host)
    if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == 0x7f) return "";
  return host;
}

void read_records(xmap_class& map, int get_beta, std::string* release_name, server_list_contents* out) {
  std::string word;
  while (map.cursor < map.end) {
    map.TXT_str_scan_space(&word);
    if (word == "BETA" || word == "FINAL") {
      std::string name;
      map.TXT_str_scan_eoln(&name);
      name = trimmed(name);
      if ((word == "BETA") != (get_beta != 0)) continue;
      // The name is a folder on the mirrors, joined into every request path and shown on the
      // pages: one folder name, nothing that climbs or splits lines.
      if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
          std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < ' '; })) {
        xer << "WARNING: the server list's release name \"" << name << "\" is not a folder name; passed over.\n";
        continue;
      }
      *release_name = name;
    } else if (word == "INS_VERSION") {
      std::string number, page;
      map.TXT_str_scan_space(&number);
      map.TXT_str_scan_space(&page);
      map.TXT_str_scan_space(nullptr);
      map.TXT_str_scan_eoln(nullptr);
      long version = 0;
      if (!strict_int(number, &version)) {
        xer << "WARNING: the server list's INS_VERSION \"" << number << "\" is not a number; passed over.\n";
      } else if (version > newest_known_installer) {
        out->newer_installer = true;
        out->installer_page = page;
        return;
      }
    } else if (word == "ENDOFLIST") {
      out->ended = true;
      return;
    } else if (word == "SERVER") {
      server_record r;
      map.TXT_str_scan_eoln(&r.host);
      map.TXT_str_scan_eoln(&r.path);
      map.TXT_str_scan_eoln(&r.desc);
      r.host = usable_host(r.host);
      r.path = trimmed(r.path);
      r.desc = trimmed(r.desc);
      // A record cut short by the end of the file, or with a host no request can go to, has no
      // mirror to offer.
      if (r.host.empty() || r.path.empty()) {
        xer << "WARNING: a SERVER record of the server list is incomplete or names no usable host; "
               "it is passed over.\n";
        continue;
      }
      // Request paths start at the server's root.
      if (r.path[0] != '/') r.path.insert(0, "/");
      r.path += *release_name + "/";
      if (out->servers.size() < max_servers) out->servers.push_back(r);
    } else {
      map.TXT_str_scan_eoln(nullptr);
    }
  }
}

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The mirror picks use the standard generator; every client seeded alike would pick the same
// mirror, so its seed comes from the system's random source, once.
void seed_mirror_choice() {
  static bool seeded = false;
  if (seeded) return;
  seeded = true;
  std::random_device source;
  std::srand(source());
}

double uniform_draw() { return std::rand() * (1.0 / 2147483648.0); }

void fetch_failed(const std::string& why) {
  ++server_list.failures;
  server_list.problem = why;
  server_list.phase = server_list_phase::waiting;
  server_list.retry_at = now_seconds() + fetch_retry_delay(server_list.failures);
  xer << "WARNING: the server list from " << update_host() << " could not be had (" << why
      << "); trying again.\n";
}

void take_list(const server_list_contents& list) {
  const int n = static_cast<int>(list.servers.size());
  for (int k = 0; k < n; ++k) {
    server_name[k] = list.servers[k].host;
    server_path[k] = list.servers[k].path;
    server_desc[k] = list.servers[k].desc;
  }
  stg.server_count = n;
  server_list.failures = 0;
  if (n == 0) {
    // Nothing to fetch from: the search page shows its failure text, and Back and Quit remain.
    xer << "WARNING: the server list names no update server.\n";
    server_list.phase = server_list_phase::no_mirrors;
    stg.dir_stage = 2;
    return;
  }
  seed_mirror_choice();
  stg.server_pick = biased_mirror_pick(n, uniform_draw());
  server_list.phase = server_list_phase::read;
  web_update_begin();
}

void server_list_step() {
  if (server_list.phase == server_list_phase::newer_program) return;
  if (server_list.phase == server_list_phase::waiting) {
    if (now_seconds() < server_list.retry_at) return;
    server_list.phase = server_list_phase::fetching;
  }
  const std::string local = temp_path + "serverlist9.txt";
  int r = http.net_check(server_list_http_slot, update_host(), server_list_remote_path, local);
  if (r == 0) return;
  if (r != 1) {
    fetch_failed("no answer");
    return;
  }
  server_list_contents list;
  std::string name = install_name;
  server_list_result result = read_server_list_file(local, stg.get_beta, &name, &list);
  if (result == server_list_not_a_list) {
    delete_file(local);
    fetch_failed("the reply is not a server list");
    return;
  }
  if (result == server_list_newer) {
    server_list.phase = server_list_phase::newer_program;
    new_format(local);
    return;
  }
  delete_file(local);
  install_name = name;
  if (list.newer_installer) {
    server_list.phase = server_list_phase::newer_program;
    new_installer(list.installer_page);
    return;
  }
  take_list(list);
}

}  // namespace

void bind_update_host_preference() { pref_bind_update_host(&update_host_setting); }

std::string update_host() {
  std::string host = usable_host(update_host_setting);
  return host.empty() ? default_update_host : host;
}

server_list_result read_server_list_file(const std::string& path, int get_beta,
                                         std::string* release_name, server_list_contents* out) {
  *out = server_list_contents{};
  xmap_class map(path);
  if (!map.mapped() || !looks_like_house_header(map.begin, map.end)) return server_list_not_a_list;
  static const int versions[] = {server_list_version, 0};
  if (map.check_file(xmap_text, versions, "SERVERS", nullptr) != server_list_version) return server_list_newer;
  read_records(map, get_beta, release_name, out);
  return server_list_read;
}

void reset_server_list() {
  server_list = server_list_state{};
  stg.server_count = -1;
}

void UTL_download_directory() {
  if (stg.server_count < 0) {
    server_list_step();
    return;
  }
  if (stg.server_count == 0) {
    stg.dir_stage = 2;
    return;
  }
  // The search page asks for a fresh fetch (stage 0) or a fresh read of the directory it has
  // (stage 1, when the user came back to it); the engine's stages follow.
  if (stg.dir_stage == 0 && web_update.stage != web_update_stage::fetch_directory) web_update_begin();
  if (stg.dir_stage == 1 && web_update.stage != web_update_stage::read_directory)
    web_update.stage = web_update_stage::read_directory;
  if (stg.dir_stage == 0 || stg.dir_stage == 1) web_update_directory_step();
}
