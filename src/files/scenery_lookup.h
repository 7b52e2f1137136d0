// Finding the file a scenery resource names: through the scenery library (a virtual path, maybe
// limited to a region, with a weighted choice among its providers), then through a fixed list of
// folders beside the referring file, its package and the application's resources. And the name
// of the scenery tile of a latitude and longitude. Reads the library of scenery_library.h.
#pragma once

#include <string>
#include <vector>

// Library look-ups at the cell (lon, lat) in whole degrees (lon -180..179, lat -90..89; others
// are taken into range). The chosen provider's file replaces path; false leaves it unchanged.
bool DSF_LookupLibraryResource(int lon, int lat, std::string& path, int random);
bool DSF_LookupLibraryResourceAnywhere(std::string& path, int random);
// Every candidate's file, as many times as its weight; true when any.
bool DSF_LookupLibraryResourceMultiple(int lon, int lat, const std::string& path, std::vector<std::string>& out);
bool DSF_LookupLibraryResourceAnywhereMultiple(const std::string& path, std::vector<std::string>& out);

// Folder search. Kinds: 0 plain files, 1 images (".dds", ".png", ".bmp" tried in turn), 2
// terrain, 3 to 7 objects; any other kind tries only the folder itself.
void DSF_LocateResourceNoLib(int kind, const std::string& resource, const std::string& folder, bool log,
                             std::string& out);
void DSF_LocateResourceSecondary(int kind, int parent_kind, const std::string& parent, const std::string& resource,
                                 bool log, std::string& out);
// The package folder a path lies in, or "".
std::string extract_package(const std::string& path);

void DSF_LocateResourcePrimary(int lon, int lat, int kind, const std::string& resource, const std::string& folder,
                               bool log, std::string& out, int random);
void DSF_LocateResourcePrimaryMultiple(int lon, int lat, int kind, const std::string& resource,
                                       const std::string& folder, bool log, std::vector<std::string>& out);
void DSF_LocateResourceSecondaryMultipleWithLibrary(int lon, int lat, int kind, int parent_kind,
                                                    const std::string& parent, const std::string& resource, bool log,
                                                    std::vector<std::string>& out);

// The 19-character path of the tile file holding the point, e.g. "+40+010/+47+011.dsf".
// Latitudes are taken into -90..89 and longitudes wrapped into -180..179.
void return_latlon_str_dsf(int lat, int lon, std::string* out);
