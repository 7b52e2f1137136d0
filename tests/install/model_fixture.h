// Small builders for install-model fixtures: histories written as one line each.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "install/install_model.h"
#include "install/installer_state.h"

// A signature made from a short tag, so tables stay readable: sig("a") is 32 hex digits.
inline std::string sig(const std::string& tag) {
  std::string s;
  for (char c : tag) {
    static const char hex[] = "0123456789abcdef";
    s += hex[(static_cast<unsigned char>(c) >> 4) & 15];
    s += hex[static_cast<unsigned char>(c) & 15];
  }
  s.resize(32, '0');
  return s;
}

inline file_version_struct version_of(const std::string& path, const std::string& sig_want,
                                      int platform = 0, float unz = 1, float zip = 1) {
  file_version_struct v;
  v.path = path;
  v.sig_want = sig_want;
  v.platform = platform;
  v.unz_size = unz;
  v.zip_size = zip;
  int lon = 0, lat = 0;
  if (is_global_scenery_f(path.c_str()) && find_sector(&lon, &lat, path)) {
    v.is_global = 1;
    v.sector_lat = lat;
    v.sector_lon = lon;
  }
  return v;
}

// A history whose versions have the given signatures (newest last), all of one path.
inline void add_history(const std::string& path, const std::vector<std::string>& sigs,
                        const std::string& sig_have, int platform = 0, float unz = 1) {
  file_history_struct h;
  for (const std::string& s : sigs) h.push_back(version_of(path, s, platform, unz));
  h.back().sig_have = sig_have;
  h.back().is_current = sig_have == h.back().sig_want;
  sim_info.push_back(h);
}

inline void reset_model() {
  sim_info.clear();
  deleted_files.clear();
  std::memset(&stg, 0, sizeof(stg));
  std::memset(&next, 0, sizeof(next));
  reset_installer_state();
  set_install_filter(1, 1);
}
