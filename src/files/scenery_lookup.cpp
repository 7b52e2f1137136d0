#include "files/scenery_lookup.h"

#include <cstdio>
#include <numeric>

#include "files/file_ops.h"
#include "files/scenery_library.h"
#include "runtime/random_table.h"
#include "runtime/shell_services.h"

namespace {

// A "Multiple" look-up lists each file once per unit of weight. Weights go up to 2^24, so the
// weights are first reduced by their common divisor and then, if the list would still be
// longer than this, scaled down in proportion (every candidate keeping at least one line).
const long long multiple_limit = 10000;

int wrap_lon(int lon) { return ((lon + 180) % 360 + 360) % 360 - 180; }
int clamp_lat(int lat) { return lat < -90 ? -90 : lat > 89 ? 89 : lat; }

uint32_t weight_of(const lib_entry* e) { return e->flags & lib_weight_mask; }
uint32_t kind_of(const lib_entry* e) { return e->flags & lib_kind_mask; }

std::vector<const lib_entry*> candidates(const std::string& path, int lon, int lat, bool anywhere) {
  std::vector<const lib_entry*> out;
  auto found = dsf_library.find(path);
  if (found == dsf_library.end()) return out;
  const int cell = (wrap_lon(lon) + 180) * 180 + (clamp_lat(lat) + 90);
  for (const lib_entry* e = found->second; e; e = e->next) {
    if (!anywhere && e->region && !e->region->cells[cell]) continue;
    out.push_back(e);
    if (kind_of(e) == lib_kind_exclude) break;
    if (kind_of(e) == lib_kind_export && !(e->next && e->next->package == e->package)) break;
  }
  return out;
}

std::string file_of(const lib_entry* e) {
  const std::string package = e->package >= 0 && static_cast<size_t>(e->package) < scenery_packages.size()
                                  ? scenery_packages[e->package]
                                  : std::string();
  return package + e->path;
}

bool choose_one(const std::vector<const lib_entry*>& list, std::string& path, int random) {
  long long total = 0;
  for (const lib_entry* e : list) total += weight_of(e);
  if (total == 0) return false;
  const int index = ((random % randrat_size) + randrat_size) % randrat_size;
  long long v = static_cast<long long>(static_cast<double>(total) * randrat[index]);
  for (const lib_entry* e : list) {
    if (weight_of(e) > v) {
      path = file_of(e);
      return true;
    }
    v -= weight_of(e);
  }
  return false;
}

bool list_all(const std::vector<const lib_entry*>& list, std::vector<std::string>& out) {
  out.clear();
  long long divisor = 0, total = 0;
  for (const lib_entry* e : list) divisor = std::gcd(divisor, static_cast<long long>(weight_of(e)));
  if (divisor == 0) return false;
  for (const lib_entry* e : list) total += weight_of(e) / divisor;
  for (const lib_entry* e : list) {
    long long copies = weight_of(e) / divisor;
    if (copies > 0 && total > multiple_limit) copies = std::max(1LL, copies * multiple_limit / total);
    out.insert(out.end(), static_cast<size_t>(copies), file_of(e));
  }
  return !out.empty();
}

// The three names of an image resource, in the order they are tried.
std::vector<std::string> image_names(const std::string& t) {
  if (t.size() < 5) return {t, t, t};
  const std::string stem = t.substr(0, t.size() - 4);
  return {stem + ".dds", stem + ".png", stem + ".bmp"};
}

void add_under(std::vector<std::string>& out, const std::string& folder, const std::vector<std::string>& names) {
  for (const std::string& n : names) out.push_back(folder + n);
}

bool first_existing(const std::vector<std::string>& candidates, std::string& out) {
  for (const std::string& c : candidates) {
    if (file_exists(c)) {
      out = c;
      return true;
    }
  }
  return false;
}

}  // namespace

bool DSF_LookupLibraryResource(int lon, int lat, std::string& path, int random) {
  return choose_one(candidates(path, lon, lat, false), path, random);
}

bool DSF_LookupLibraryResourceAnywhere(std::string& path, int random) {
  return choose_one(candidates(path, 0, 0, true), path, random);
}

bool DSF_LookupLibraryResourceMultiple(int lon, int lat, const std::string& path, std::vector<std::string>& out) {
  return list_all(candidates(path, lon, lat, false), out);
}

bool DSF_LookupLibraryResourceAnywhereMultiple(const std::string& path, std::vector<std::string>& out) {
  return list_all(candidates(path, 0, 0, true), out);
}

void DSF_LocateResourceNoLib(int kind, const std::string& t, const std::string& f, bool log, std::string& out) {
  out.clear();
  const std::vector<std::string> one = {t};
  const std::vector<std::string> names = kind == 1 ? image_names(t) : one;
  std::vector<std::string> c;
  add_under(c, f, names);
  if (kind == 0) {
    add_under(c, "Resources/", names);
  } else if (kind == 1) {
    add_under(c, f + "custom terrain textures/", names);
    add_under(c, f + "custom object textures/", names);
    add_under(c, "Resources/bitmaps/terrain/", names);
    add_under(c, "Resources/", names);
  } else if (kind == 2) {
    add_under(c, f + "custom terrain textures/", names);
    add_under(c, "Resources/bitmaps/terrain/", names);
    add_under(c, "Resources/", names);
  } else if (kind >= 3 && kind <= 7) {
    add_under(c, f + "custom objects/", names);
    add_under(c, obj_path, names);
    add_under(c, "Resources/", names);
  }
  if (first_existing(c, out) || !log) return;
  for (const std::string& candidate : c) xer << "Failed to find resource '" << t << "' at '" << candidate << "'\n";
}

void DSF_LocateResourceSecondary(int kind, int parent_kind, const std::string& p, const std::string& t, bool log,
                                 std::string& out) {
  out.clear();
  const std::vector<std::string> one = {t};
  const std::vector<std::string> names = kind == 1 ? image_names(t) : one;
  const std::string k = extract_package(p);
  std::vector<std::string> c;
  if (!p.empty()) add_under(c, p, names);
  if (!k.empty()) {
    if (kind == 1) add_under(c, k + (parent_kind == 2 ? "custom terrain textures/" : "custom object textures/"), names);
    else if (kind == 2) add_under(c, k + "custom terrain textures/", names);
    else if (kind >= 3 && kind <= 7) add_under(c, k + "custom objects/", names);
  }
  if (kind == 0) {
    add_under(c, "Resources/", names);
  } else if (kind == 1 || kind == 2) {
    add_under(c, "Resources/bitmaps/terrain/", names);
    add_under(c, "Resources/", names);
  } else if (kind >= 3 && kind <= 7) {
    add_under(c, obj_path, names);
    add_under(c, "Resources/", names);
  }
  if (first_existing(c, out) || !log) return;
  for (const std::string& candidate : c)
    xer << "Failed to find resource '" << t << "' (parent = '" << p << "' at '" << candidate << "'\n";
}

std::string extract_package(const std::string& path) {
  for (const char* prefix : {cus_path, glb_path, def_path}) {
    const std::string pre = prefix;
    if (path.compare(0, pre.size(), pre) != 0) continue;
    size_t at = path.find_first_of("\\/:", pre.size());
    if (at != std::string::npos) return path.substr(0, at + 1);
  }
  return "";
}

void DSF_LocateResourcePrimary(int lon, int lat, int kind, const std::string& resource, const std::string& folder,
                               bool log, std::string& out, int random) {
  std::string path = resource;
  if (DSF_LookupLibraryResource(lon, lat, path, random)) {
    out = path;
    return;
  }
  DSF_LocateResourceNoLib(kind, resource, folder, log, out);
}

void DSF_LocateResourcePrimaryMultiple(int lon, int lat, int kind, const std::string& resource,
                                       const std::string& folder, bool log, std::vector<std::string>& out) {
  DSF_LookupLibraryResourceMultiple(lon, lat, resource, out);
  std::string found;
  DSF_LocateResourceNoLib(kind, resource, folder, log && out.empty(), found);
  if (!found.empty()) out.push_back(found);
}

void DSF_LocateResourceSecondaryMultipleWithLibrary(int lon, int lat, int kind, int parent_kind,
                                                    const std::string& parent, const std::string& resource, bool log,
                                                    std::vector<std::string>& out) {
  DSF_LookupLibraryResourceMultiple(lon, lat, resource, out);
  std::string found;
  DSF_LocateResourceSecondary(kind, parent_kind, parent, resource, log && out.empty(), found);
  if (!found.empty()) out.push_back(found);
}

void return_latlon_str_dsf(int lat, int lon, std::string* out) {
  lat = clamp_lat(lat);
  lon = wrap_lon(lon);
  const int la = (lat + 90) / 10 * 10 - 90;
  const int lo = (lon + 180) / 10 * 10 - 180;
  char text[64];  // room for any int, though la, lo, lat and lon are in range here
  std::snprintf(text, sizeof text, "%+03d%+04d/%+03d%+04d.dsf", la, lo, lat, lon);
  *out = text;
}
