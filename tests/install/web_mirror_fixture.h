// Releases and mirrors for the web-update tests, made with Info-ZIP zip and md5sum, independently
// of the release builder: each file zipped alone under its leaf name (mode kept), and a release
// directory listing every file's history, served by the nginx fixture.
#pragma once

#include <map>
#include <string>
#include <vector>

struct release_file {
  std::string content;
  int mode = 0644;
};

// Release path (first component the platform folder, e.g. "All/a/b.txt") -> file.
using release_tree = std::map<std::string, release_file>;

struct release_entry {
  std::string path;
  std::string sig;  // md5, or "GONE"
  int zip_kb = 0, unz_kb = 0;
};

// Writes the archives of tree below folder (ending "/"): folder + path + ".zip".
void write_archives(const release_tree& tree, const std::string& folder);

// The directory text of a release: histories of every path of older (first) and newer (last);
// paths only in older end with "GONE". Returns the newest entries.
std::string directory_text(const release_tree& older, const release_tree& newer,
                           std::vector<release_entry>* newest = nullptr);

// Zips text as "directory.txt" into folder + "directory.txt.zip".
void write_directory_archive(const std::string& text, const std::string& folder);

// Writes the files of a tree into an installation folder (paths less their platform folder).
void install_tree(const release_tree& tree, const std::string& dest);

std::string md5_of_text(const std::string& text);
