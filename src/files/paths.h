// Path rules of the file layer. Paths are '/'-separated UTF-8 text; a folder path ends with '/';
// a relative path is relative to the install root, which is the current folder while the
// program runs. A path that begins with "RESOURCE:" names a file among the program's bundled
// resources (the Resources/ folder beside the executable).
#pragma once

#include <string>

enum os_dir_type {
  os_dir_this_app = 0,      // the folder that holds the application, ending '/' (install root)
  os_dir_this_bundle = 1,   // the application "bundle" itself, without a trailing '/'
  os_dir_desktop = 2,       // the user's desktop
  os_dir_default_apps = 3,  // resolves to the desktop as well
  os_dir_temp = 4,          // the private temporary folder of this run
  os_dir_prefs = 5          // the preferences folder
};

// Puts app_path in front of the path; resolves it case-insensitively when g_case_sensitive is
// set.
void set_path_to_full(std::string& path);

// Replaces each component of a path that does not exist by the directory entry that matches it
// regardless of case (an exact match first, else the byte-wise smallest of the case-insensitive
// matches). Stops at a folder that cannot be read or a component without a match. The whole
// path is resolved, whatever its length.
void findPath(std::string& path);

// Text from a foreign source (archive names, Mac-era files): invalid UTF-8 is taken as Mac Roman
// and converted; every '\\' and ':' becomes '/'. Never used on paths the OS gave us.
void set_path_to_right_dirchars(std::string& path);

// The absolute path of a well-known folder (see os_dir_type); the string is left unchanged when
// the folder cannot be found or the kind is unknown.
void get_OS_abs_path(int which, std::string& out);

// 1 and the prefix removed when the path begins with "RESOURCE:" and names something; else 0.
int UTL_path_is_resource(std::string& path);

// The absolute path of the named bundled resource, or "" when there is none.
std::string UTL_resource_get_file(const std::string& name);

// Without a name: folder receives the resolved absolute path of path itself. With a name: the
// leaf of path (a trailing '/' ignored) goes to name and folder receives the resolved path of
// the folder that holds it. 0, or errno when that folder or file does not exist.
int FilePathToFSRefAndName(const char* path, std::string* folder, std::string* name);

// The original converted a POSIX path into the colon-separated form of its old file system for
// the movie recorder; on Linux the POSIX path is the path, so it is left as it is.
void ConvertPathToCFM(std::string& path);

// The leaf/parent split behind FilePathToFSRefAndName, without touching the disk: "/a/b/" gives
// "/a" and "b"; "/b" gives "/" and "b"; "b" gives "" and "b".
void split_folder_and_leaf(const std::string& path, std::string* folder, std::string* leaf);

// The last component of path, a trailing '/' ignored: "/a/b.txt" and "/a/b/" give "b.txt" and
// "b"; a path without '/' is its own leaf.
std::string leaf_of(const std::string& path);
