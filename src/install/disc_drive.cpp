#include "install/disc_drive.h"

#include <vector>

#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/mapped_file.h"
#include "files/zip_archive.h"
#include "install/disc_pipeline.h"
#include "install/install_model.h"
#include "install/installer_state.h"
#include "install/release_directory.h"
#include "install/wizard_globals.h"
#include "platform/volumes.h"
#include "runtime/constants.h"
#include "runtime/shell_services.h"

dvd_scan_failure dvd_scan_error;

namespace {

const char* const identity_file = "dvd_version.txt";

bool name_known() { return !install_name.empty() && install_name != no_install_name; }

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// The disc in the drive: the first disc holds the identity file; the others, as the release
// builder writes them, only the release folder.
std::string find_disc() {
  std::vector<std::string> markers = {identity_file};
  if (name_known()) markers.push_back(install_name + "/");
  return platform_find_disc(markers);
}

void read_identity() {
  xmap_class file(dvd_path + identity_file);
  if (!file.mapped() || file.size() == 0) return;
  std::string name;
  if (!parse_disc_identity(file.begin, file.end, &name)) return;
  if (!is_safe_release_name(name)) {
    xer << "WARNING: the disc names its release \"" << name << "\", which is no folder name; not an install disc\n";
    return;
  }
  stg.server_count = 0;  // the disc flows use no update server
  install_name = name;
}

dvd_scan_status read_directory_from_disc() {
  const std::string archive = dvd_path + install_name + "/directory.txt.zip";
  dvd_scan_error = dvd_scan_failure{};
  dvd_scan_error.archive = archive;
  std::vector<std::string> names;
  int code = zip_entry_names(archive, &names);
  if (code == 0 && (names.size() != 1 || names[0] != "directory.txt")) code = err_zip_read;
  // A directory left from an earlier read must not be taken should this unpack fail half way.
  delete_file(temp_path + "directory.txt");
  if (code == 0) code = zip_to_file(archive, temp_path, nullptr, 0);
  if (code != 0) {
    xer << "WARNING: DVD scan: cannot extract " << archive << " to " << temp_path << ": "
        << error_str(code) << "\n";
    dvd_scan_error.code = code;
    return dvd_directory_unreadable;
  }
  const int r = read_directory(temp_path + "directory.txt", "");
  if (r == directory_read_ok) {
    stg.dir_stage = r;
    return dvd_ready;
  }
  if (r == directory_read_failed) {
    stg.dir_stage = r;
    return dvd_directory_newer;
  }
  xer << "WARNING: DVD scan: the release directory on the disc is refused\n";
  return dvd_directory_unreadable;
}

}  // namespace

bool parse_disc_identity(const char* begin, const char* end, std::string* name) {
  xmap_class scratch;
  scratch.begin = scratch.cursor = begin;
  scratch.end = end;
  static const int versions[] = {900, 0};
  const bool accepted = scratch.check_file(xmap_text, versions, "DVD", nullptr) == 900;
  const char* p = scratch.cursor;
  scratch.begin = scratch.cursor = scratch.end = nullptr;  // not ours to unmap
  if (!accepted) return false;
  bool found = false;
  while (p < end) {
    while (p < end && is_blank(*p)) ++p;
    const char* word = p;
    if (end - p >= 7 && std::string(p, 7) == "VERSION" && (end - p == 7 || is_blank(p[7]) || is_line_end(p[7]))) {
      p = word + 7;
      while (p < end && is_blank(*p)) ++p;
      const char* from = p;
      while (p < end && !is_line_end(*p)) ++p;
      const char* to = p;
      // A blank typed after the name would name a folder that is not on the disc.
      while (to > from && is_blank(to[-1])) --to;
      *name = std::string(from, to);
      found = !name->empty();
    } else {
      while (p < end && !is_line_end(*p)) ++p;
    }
    while (p < end && (is_line_end(*p) || is_blank(*p))) ++p;
  }
  return found;
}

bool is_safe_release_name(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7f || c == '/' || c == '\\') return false;
  return true;
}

dvd_scan_status UTIL_scan_dvd() {
  if (dvd_path.empty()) dvd_path = find_disc();
  if (dvd_path.empty()) return dvd_no_disc;
  if (!name_known()) read_identity();
  if (!name_known()) {
    // Another disc may go in; look again next time.
    dvd_path.clear();
    return dvd_not_install_disc;
  }
  if (stg.dir_stage == directory_read_ok) return dvd_ready;
  if (stg.dir_stage == directory_read_failed) return dvd_directory_newer;
  return read_directory_from_disc();
}

int UTIL_verify_disk() {
  dvd_path = find_disc();
  if (dvd_path.empty() || want_file_disk < 0 || want_file_disk >= static_cast<int>(sim_info.size())) return 0;
  const file_version_struct& e = newest_version(want_file_disk);
  if (!file_exists(dvd_path + install_name + "/" + e.path + suffix_for_file(want_file_disk))) return 0;
  current_disk = e.disk;
  return 1;
}

int UTIL_switch_disk(int eject) {
  if (eject && !dvd_path.empty()) {
    if (int code = eject_dvd(dvd_path)) xer << "WARNING: could not eject " << dvd_path << ": " << error_str(code) << "\n";
    dvd_path.clear();
  }
  if (want_file_disk < 0 || want_file_disk >= static_cast<int>(sim_info.size())) return 0;
  return newest_version(want_file_disk).disk;
}

void dvd_forget_disc() {
  dvd_path.clear();
  install_name = no_install_name;
  stg.dir_stage = 0;
  dvd_scan_error = dvd_scan_failure{};
}
