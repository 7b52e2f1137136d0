// Folder listings for the in-window open/save browser, the tree operations and the install
// engine's clean-up, filtered by the kind of file the browser is for; and the native dialogs
// that let the user pick a file or folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// --- Listings
// Fills names (the items' own names) and flags (1 folder, 0 file, or the type number of a
// known extension) with the items of folder (which ends with '/') that the type keeps, sorted
// without regard to case. Dot-names are hidden; a link to a folder is listed as a file.
// Type 20 lists nothing; type 21 lists the command registry under the folder text.
// Returns the count, or -1 when the folder cannot be read.
int opensave_getitems(const std::string& folder, int type, std::vector<std::string>& names,
                      std::vector<int>& flags);
// Whether one item belongs in a listing of the type; sets flag from the name's extension.
int opensave_takeit(const std::string& folder, const std::string& name, int type, int& flag);

// Every item of folder for the tree operations: dot-names included ("." and ".." never),
// flag 1 for a real folder, 0 for anything else (links included), in the same order.
// Returns the count, or minus the errno when the folder cannot be read.
int list_folder_for_tree(const std::string& folder, std::vector<std::string>& names,
                         std::vector<int>& flags);

// --- Native dialogs
// Kinds: 0 open a file, 1 save a file, 2 choose a folder. Returns 1 with the chosen path in
// io_path (a folder without trailing '/', the root as "/"), or 0 with io_path unchanged.
int GetFilePathFromUser(int kind, const std::string& message, const std::string& action,
                        int pref_key, const std::string& start_folder, std::string& io_path);
// What GetFilePathFromUser uses when no native dialog can run (no zenity nor kdialog): the
// shell's in-window browser, installed at start-up; null before, and then there is no dialog.
// Same kinds and answer as GetFilePathFromUser; start is an absolute folder or "".
extern int (*in_window_file_dialog)(int kind, const std::string& start_folder, std::string& io_path);
// The native stop alert, for use before a window exists.
void DoUserAlert(const char* text);

// --- Byte order
int16_t EndianFlipShort(int16_t* value);
int32_t EndianFlipLong(int32_t* value);
