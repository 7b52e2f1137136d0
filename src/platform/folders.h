// Well-known folders. Replaces the original's bundle look-up (CFBundle and the Process Manager),
// the bundle resource look-up (CFBundleCopyResourceURL) and the folder finder (FSFindFolder for
// the desktop, the temporary-items folder and the preferences folder).
// On Linux the "bundle" is simply the folder that holds the executable: there is no bundle
// structure, no framework loading and no per-volume folder look-up. Paths are returned as the
// OS gives them (bytes, never re-encoded). Every folder path returned ends with '/' except the
// bundle path.
#pragma once

#include <string>

// The running executable, from /proc/self/exe; "" when it cannot be read.
std::string platform_executable_path();
// Tests replace the executable path (and with it the application folder and the resources);
// "" restores the real one.
void platform_set_executable_path(const std::string& path);

// Splits an executable path "/a/b/inst" into its folder "/a/b/" and the bundle "/a/b".
void platform_split_executable_path(const std::string& executable, std::string* folder,
                                    std::string* bundle);

// The folder that holds the executable ("/a/b/"), or "" when unknown.
std::string platform_app_folder();
// The same folder without its trailing '/' ("/a/b"), or "" when unknown.
std::string platform_bundle_path();

// <application folder>Resources/<name> when that file exists, else "". Names are leaf names.
std::string platform_resource_path(const std::string& name);

// The user's desktop: XDG_DESKTOP_DIR of $XDG_CONFIG_HOME/user-dirs.dirs when that folder
// exists, else $HOME/Desktop when it exists, else $HOME. False when no home is known.
bool platform_desktop_folder(std::string* out);

// The preferences folder: $XDG_CONFIG_HOME when it is absolute, else $HOME/.config; made with
// every missing parent. False when no home is known or the folder cannot be made.
bool platform_prefs_folder(std::string* out);

// The private temporary folder of this run: made by mkdtemp under $TMPDIR (else /tmp) with
// mode 0700 on the first call, the same folder afterwards. It is removed (without following
// links) when the process that made it exits. False when it cannot be made.
bool platform_temp_folder(std::string* out);
// Removes the temporary folder now; the next platform_temp_folder makes a new one.
void platform_remove_temp_folder();
// Keeps the temporary folder after exit: the disc relaunch runs a copy of the program from it.
void platform_keep_temp_folder();

// Makes a folder and every missing parent with the given mode; 0 or errno.
int platform_make_folders(const std::string& path, unsigned mode);
