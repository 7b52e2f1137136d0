// The in-window file browser: a modal Open (screen 998) or Save (screen 999) screen over one
// folder at a time, the list widget with type-ahead search it is built on, and the path picker
// that puts a field with a browse icon on an ordinary screen. Paths are '/'-separated and
// relative to the application folder; a folder path ends with '/'; "" is the application folder.
// Main thread only.
#pragma once

#include <string>
#include <vector>

// The browser's dialog background, and on the Open screen the preview of the entry under the
// cursor: the leading texts and icon of an aircraft file (kind 3), the comment of a
// flight-data file (kind 8). A file is read again only when path changes.
void stand_io_dialog(int screen, int kind, const std::string& path);

// --- The preview's readers, for tests.
constexpr int io_acf_block_size = 2092;
// The data block after an aircraft file's house header, as it stands; zeros where the file
// has no bytes (a short or damaged file) or its header does not check. 1 when the header checked.
int io_preview_read_acf(const std::string& path, unsigned char block[io_acf_block_size]);
// The NUL-ended text at offset in the block, never past its end.
std::string io_preview_acf_text(const unsigned char block[io_acf_block_size], int offset);
// The icon picture beside an aircraft file: "x.acf" -> "x_icon.png".
std::string io_preview_icon_name(const std::string& path);
// The value of the first "COMM" key of a flight-data file (house text header version 1).
std::string io_preview_read_fdr(const std::string& path);
// Whether path ends in the extension (".acf"), any case.
bool io_preview_has_extension(const std::string& path, const char* extension);
// How many files the preview has read (for tests of the once-per-change rule).
extern int io_preview_reads;

// Runs the browser until the user chooses or leaves. 1 with the choice in *path, else 0.
int BTN_opensave(int screen, int type, std::string* path);

// One frame of the list widget (see the header of file_browser.cpp for the layout). Returns 1 on
// a double-click in the list.
using list_name_fn = std::string (*)(int index, void* context);
using list_type_fn = int (*)(int index, void* context);
int BTN_list_and_search(int id, float x, float y, float width, float height, int* centre, int* selected, int first,
                        int last, std::string* edit, const std::string& edit_label, list_name_fn names,
                        void* names_context, list_name_fn second, void* second_context, list_type_fn types,
                        void* types_context);

// A field showing the path (the last component only, but for types 20 and 21) with a browse
// icon to its left; a press on the icon runs the browser on *path. 1 when it was opened.
int BTN_select_path_stl(float x, float y, int screen, int type, std::string* path, int max_length,
                        const std::string& label, float width, int take_focus);

// The same over a character buffer of max_length bytes. A chosen path that does not fit is
// refused with an alert: the buffer keeps its old path rather than a cut one that names
// another file.
int BTN_select_path_chr(float x, float y, int screen, int type, char* buffer, int max_length,
                        const std::string& label, float width, int take_focus);
// A file name in a buffer of max_length bytes with its folder in *path (the folder of that
// path). Only a browser choice is stored: the full path in *path and its name in the buffer
// (refused like the path picker's when the name does not fit).
int BTN_select_file_chr(float x, float y, int screen, int type, char* name, std::string* path, int max_length,
                        const std::string& label, float width);

// --- The browser's path rules, for its callers and tests.
// The folder the browser opens on for a path: its folder for a file path, the parent for a
// folder path, the application folder for a bare name, the type's default folder for "".
std::string opensave_start_folder(const std::string& path, int type);
// The type's default folder and the extension a saved name gets ("" none).
std::string opensave_default_folder(int type);
std::string opensave_extension(int type);
// The saved file's name: a trailing ".xyz" on a name longer than 4 bytes is replaced by the
// type's extension, any other name gets it appended.
std::string opensave_save_name(const std::string& typed, int type);
// The ancestors pop-up: "Nimbrel folder" and one item per component, joined by '-'; the
// characters the pop-up list reserves ('-' and '|') become blanks. paths[k] is the folder item
// k stands for. At most 299 items (the deepest components are left out).
std::string opensave_ancestor_items(const std::string& folder, std::vector<std::string>* paths);
// The atlas cell (u0, u1 in pixels, v 82 to 94) of a list icon type; false for no icon.
bool opensave_icon_cell(int type, int* u0, int* u1);
// The list's search: the first index in first..last whose name starts with text, any case.
int list_search(const std::string& text, int first, int last, list_name_fn names, void* context);

// The stand-in for the native file dialogs when none can run (kinds as GetFilePathFromUser: 0
// open, 1 save, 2 folder). It browses from the file system's root: a file is chosen on the Open
// screen; a save and a folder take the name typed on the Save screen, in the folder shown.
// 1 with the absolute path in io_path (a folder without trailing '/').
int shell_in_window_file_dialog(int kind, const std::string& start_folder, std::string& io_path);
