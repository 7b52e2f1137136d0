#include "install/release_builder.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/paths.h"
#include "files/house_writer.h"
#include "files/pe_header_patch.h"
#include "files/zip_archive.h"
#include "install/install_model.h"
#include "install/release_directory.h"
#include "runtime/constants.h"
#include "runtime/shell_services.h"

#ifndef SKY_BUILD_VERSION
#define SKY_BUILD_VERSION 91001
#endif
#ifndef SKY_BUILD_TYPE
#define SKY_BUILD_TYPE 1
#endif

const int builder_version = SKY_BUILD_VERSION;
const int build_type = SKY_BUILD_TYPE;

std::string old_dir_path = "/directory.txt";
std::string prev_dir = "---";
int dvd_now;
double zip_size_dvd;
double builder_disc_limit_kb = 630000.0;
std::map<std::string, int, no_case_compare_string> sim_info_index;
int (*builder_file_md5)(const std::string& path, std::string& digest) = calc_file_md5;

bool no_case_compare_string::operator()(const std::string& a, const std::string& b) const {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const int x = std::tolower(static_cast<unsigned char>(a[i]));
    const int y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

namespace {

const char* const old_directory_status = "Scanning old directory text file to get change log!";

void alert(int type, int line, const std::string& a, const std::string& b, const std::string& c,
           const std::string& d) {
  __MACIBM_alert(0, a, b, c, d, type, builder_alert_source, line);
}
void fatal(int line, const std::string& a, const std::string& b, const std::string& c,
           const std::string& d) {
  alert(t_exit, line, a, b, c, d);
}

bool contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }
std::string version_text(int version) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "version_number %f", static_cast<double>(version));
  return buf;
}

// Sizes are whole KB of 1000 bytes, truncated; older versions come back from the reader as
// floats and are written as the whole numbers they were read from.
long long whole_kb(double kb) { return static_cast<long long>(kb); }

void write_file_record(int platform, int version, long long zip_kb, long long unz_kb,
                       const std::string& sig, const std::string& leaf) {
  ouf << "FILE 0 " << platform << " " << version << " " << zip_kb << " " << unz_kb << " " << sig
      << " " << leaf << "\n";
}

void write_dir_if_changed(const std::string& folder) {
  if (folder == prev_dir) return;
  prev_dir = folder;
  ouf << "\nDIR " << folder << "\n";
}

// The installers request ".7z" only for files under "Global Scenery" (the disc flow); anywhere
// else a prepared archive would never be asked for, and its file would be missing.
bool installers_ask_for_7z(const std::string& release_path) {
  return contains(release_path, "Global Scenery");
}

// Makes every missing folder between dst_fold_base and the archive, so that a disc the scan did
// not prepare folders for (a fourth one, say) still takes its archives.
void make_archive_folders(const std::string& archive) {
  for (auto slash = archive.find('/', dst_fold_base.size()); slash != std::string::npos;
       slash = archive.find('/', slash + 1)) {
    const std::string folder = archive.substr(0, slash);
    if (!dir_exists(folder)) make_folder(folder);
  }
}

int platform_of_folder(const std::string& folder, const std::string& source, int* platform) {
  const std::string first = folder.substr(0, folder.find('/'));
  if (first == ALL_str) *platform = 0;
  else if (first == APL_str) *platform = 1;
  else if (first == WIN_str) *platform = 2;
  else if (first == LIN_str) *platform = 3;
  else {
    fatal(__LINE__, "I cannot tell which platform this file is for!", folder, first, "");
    return 1;
  }
  if (*platform != 0 || !contains(source, "All/Resources/plugins/")) return 0;
  static const struct {
    const char* name;
    int platform;
  } plugins[] = {
      {"All/Resources/plugins/OSTREL.shlb", 1},
      {"All/Resources/plugins/OstrelKit.shlb", 1},
      {"All/Resources/plugins/OSTREL.framework/OSTREL", 1},
      {"All/Resources/plugins/OstrelKit.framework/OstrelKit", 1},
      {"All/Resources/plugins/PluginAdminMac.skrl", 1},
      {"All/Resources/plugins/OSTREL.dll", 2},
      {"All/Resources/plugins/OstrelKit.dll", 2},
      {"All/Resources/plugins/PluginAdminWin.skrl", 2},
      {"All/Resources/plugins/OSTREL.so", 6},
      {"All/Resources/plugins/OstrelKit.so", 6},
      {"All/Resources/plugins/PluginAdminLin.skrl", 6},
  };
  for (const auto& p : plugins)
    if (contains(source, p.name)) *platform = p.platform;
  return 0;
}

int index_previous_histories() {
  for (size_t h = 0; h < sim_info.size(); ++h) {
    file_history_struct& history = sim_info[h];
    if (history.empty()) continue;
    std::string key = history.front().path;
    if (chop_platform(key, history.front().platform)) return 1;
    if (sim_info_index.count(key)) {
      fatal(__LINE__, "WARNING: you appear to have a file TWICE in an old directory file.", "", "",
            history.front().path);
      return 1;
    }
    sim_info_index[key] = static_cast<int>(h);
    history.front().do_install = 1;  // not yet met in the new tree
    for (const auto& v : history) {
      if (v.version == builder_version) {
        fatal(__LINE__, "You idiot! I already have a version:", version_text(builder_version),
              "in file ", v.path);
        return 1;
      }
    }
  }
  return 0;
}

// Histories of the previous release that the new tree no longer holds: their old versions and,
// unless the release already removed them, a "GONE" record so installations delete the file.
int write_gone_histories() {
  for (const auto& history : sim_info) {
    if (history.empty() || !history.front().do_install) continue;
    const std::string& path = history.back().path;
    if (!is_good_file(src_fold + path, 0, 0)) continue;
    write_dir_if_changed(folder_of(path));
    const std::string leaf = leaf_of(path);
    for (const auto& v : history)
      write_file_record(v.platform, v.version, whole_kb(v.zip_size), whole_kb(v.unz_size),
                        v.sig_want, leaf);
    if (history.back().sig_want != "GONE")
      write_file_record(history.back().platform, builder_version, 0, 0, "GONE", leaf);
  }
  return 0;
}

int write_disc_identity(const std::string& path) {
  if (!ouf_open(path, 10001, 900, "no-copyright-string")) return 1;
  ouf << "DVD\n\nVERSION " << sim_name << "\n";
  ouf.close();
  if (!ouf) {
    fatal(__LINE__, "I could not write the disc identity file!", path, "", "");
    return 1;
  }
  return 0;
}

}  // namespace

int comp_file(const std::string& source) {
  static std::string sig;
  const std::string release_path = source.substr(src_fold.size());
  const std::string leaf = leaf_of(release_path);
  const std::string folder = folder_of(release_path);

  if (contains(source, str_win_fold.c_str()) && contains(source, ".exe")) {
    const int err = make_file_large_address_aware(source);
    if (err) {
      char code[64];
      std::snprintf(code, sizeof code, "error# %f", static_cast<double>(err));
      fatal(__LINE__, "Oops! We could not make a windows exe file large-address-aware!", code,
            source, "");
      return 1;
    }
  }

  const std::string base = dst_folder + sim_name + "/" + release_path;
  std::string archive;
  const std::string prepared = source + ".7z";
  const bool has_prepared = file_exists(prepared);
  if (has_prepared && installers_ask_for_7z(release_path)) {
    archive = base + ".7z";
    make_archive_folders(archive);
    std::error_code ec;
    std::filesystem::create_hard_link(prepared, archive, ec);
    if (ec) {
      fatal(__LINE__, "ERROR: could not make hard link!", "", "", "");
      return 1;
    }
  } else {
    if (has_prepared)
      xer << "Prepared archive not shipped (installers ask for \".zip\" here): " << prepared
          << std::endl;
    archive = base + ".zip";
    make_archive_folders(archive);
    const int err = file_to_zip(source, archive);
    if (err) {
      fatal(__LINE__, "I could not zip a file!", error_str(err), source, archive);
      return 1;
    }
  }

  const int64_t archive_bytes = APL_file_size(archive);
  if (archive_bytes < 0) {
    fatal(__LINE__, "ERROR: could not get file size!", "", "", "");
    return 1;
  }
  const int64_t source_bytes = APL_file_size(source);
  if (source_bytes < 0) {
    fatal(__LINE__, "ERROR: could not get src file size!", "", "", "");
    return 1;
  }
  const long long zip_kb = archive_bytes / 1000;
  const long long unz_kb = source_bytes / 1000;
  zip_size_dvd += static_cast<double>(zip_kb);

  // A digest left over from the previous file would mark this one as modified in every
  // installation, so a file that cannot be digested stops the build.
  sig.clear();
  if (builder_file_md5(source, sig) != 0 || sig.size() != 32) {
    fatal(__LINE__, "Could not MD5 file!", source, "", "");
    return 1;
  }

  write_dir_if_changed(folder);

  int platform = 0;
  if (platform_of_folder(folder, source, &platform)) return 1;

  if (leaf.empty()) {
    fatal(__LINE__, "0-size filename!", "Now how am I supposed to deal with this?",
          "This is in the NEW file loop", leaf);
    return 1;
  }

  if (!sim_info_index.empty()) {
    std::string key = release_path;
    if (chop_platform(key, platform)) return 1;
    auto found = sim_info_index.find(key);
    if (found != sim_info_index.end()) {
      file_history_struct& history = sim_info[found->second];
      for (const auto& v : history) {
        if (v.sig_want == sig || v.sig_want == "GONE") continue;
        write_file_record(v.platform, v.version, whole_kb(v.zip_size), whole_kb(v.unz_size),
                          v.sig_want, leaf);
      }
      history.front().do_install = 0;
    }
  }

  write_file_record(platform, builder_version, zip_kb, unz_kb, sig, leaf);

  if (zip_size_dvd > builder_disc_limit_kb) {
    zip_size_dvd = 0;
    ++dvd_now;
    ouf << "DISK " << dvd_now << "\n";
    set_dest_dvd(dvd_now);
  }

  ++num_files_com;
  if (num_files_com % 20 == 0) {
    const std::string status = "reg: " + std::to_string(reg) + ": total files to compress: " +
                               std::to_string(num_files_use) +
                               ". now doing: " + std::to_string(num_files_com) + ".";
    if (builder_show_progress(status, archive)) return 1;
  }
  return 0;
}

int sub_install() {
  set_dest_dvd(0);
  const std::string release_folder = dst_folder + sim_name + "/";
  const std::string dir_file = release_folder + "directory.txt";
  const std::string dir_zip = dir_file + ".zip";
  const std::string identity_file = dst_folder + "dvd_version.txt";

  zip_size_dvd = 0;
  dvd_now = 0;
  prev_dir = "---";
  builder_reset_scan();
  comp_paths.clear();
  comp_files.clear();
  sim_info.clear();
  sim_info_index.clear();

  if (build_type == 0) {
    if (!file_exists(old_dir_path) ||
        read_directory(old_dir_path, old_directory_status) != directory_read_ok) {
      fatal(__LINE__, "I could not read the old directory!",
            "This means that this installer will not delete old files (needed even for the "
            "Skyrill / USA scenery install).",
            "It also means I will forget to fix this, and release without an old directory, and "
            "think that older versions of stuff is all user-modified cause I don't recognize it!",
            "So fix this.");
      return 1;
    }
  }
  if (index_previous_histories()) return 1;

  if (make_folder(dst_folder)) {
    fatal(__LINE__, "Could not make the dst_folder!", dst_folder,
          "THIS MAY SIMPLY BE BECAUSE THE FOLDER ALREADY EXISTS THOUGH!", "");
    return 1;
  }
  if (make_folder(release_folder)) {
    fatal(__LINE__, "Could not make the target_folder!", release_folder,
          "THIS MAY SIMPLY BE BECAUSE THE FOLDER ALREADY EXISTS THOUGH!", "");
    return 1;
  }

  if (!ouf_open(dir_file, 10001, 900, "no-copyright-string")) return 1;
  ouf << "INSTALLER\n\n";

  if (pref_level(src_fold)) return 1;
  if (builder_check_found_marks()) return 1;

  set_dest_dvd(dvd_now);
  for (const auto& folder : comp_paths) make_folder(folder);

  for (const auto& source : comp_files)
    if (comp_file(source)) return 1;

  if (build_type == 0 && write_gone_histories()) return 1;

  ouf.close();
  if (!ouf) {
    fatal(__LINE__, "I could not write the directory file!", dir_file, "", "");
    return 1;
  }
  if (write_disc_identity(identity_file)) return 1;

  if (file_to_zip(dir_file, dir_zip) != 0) {
    fatal(__LINE__, "zip!=0", "", dir_file, dir_zip);
    return 1;
  }
  if (delete_file(dir_file) != 0) {
    fatal(__LINE__, "del!=0", "", "", dir_file);
    return 1;
  }
  return 0;
}

int build_install() {
  if (build_type == 2) {
    reg = 1;
    sim_name = build_name[1];
  } else if (build_type == 3) {
    reg = 2;
    sim_name = build_name[2];
  } else {
    reg = 0;
    sim_name = build_name[0];
  }
  if (sub_install()) return 1;
  alert(t_alert, __LINE__, "OK compression is done. Checklist if doing net:",
        "Copy the version text and number from the shared header into the server list file of "
        "the internet folder, and give that file to the web server.",
        "Upload the -NET uploads- folder stuff.",
        "Extract directory.txt.zip to the next previous directory file for use next time.");
  return 0;
}

int release_builder_main(int argc, char** argv) {
  static const struct {
    const char* option;
    std::string* value;
  } options[] = {{"--build_src=", &src_fold},
                 {"--build_dst=", &dst_fold_base},
                 {"--build_old_dir=", &old_dir_path}};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    for (const auto& o : options) {
      const std::string prefix = o.option;
      if (arg.compare(0, prefix.size(), prefix) == 0) *o.value = arg.substr(prefix.size());
    }
  }
  for (std::string* folder : {&src_fold, &dst_fold_base})
    if (!folder->empty() && folder->back() != '/') *folder += "/";
  builder_set_source_root(src_fold);
  return build_install() ? 1 : 0;
}
