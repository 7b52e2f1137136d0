// Native file dialogs. Replaces Navigation Services (NavGetFile, NavPutFile, NavChooseFolder)
// with zenity, or kdialog when zenity is missing, each started by posix_spawnp with an argument
// vector and answering on a pipe. (The stop alert is platform_alert_box, platform/dialogs.h.)
// Not done on Linux: preference keys of the dialogs,
// file-type lists, and any dialog without a display (no DISPLAY nor WAYLAND_DISPLAY counts as
// "cancelled", so tests and headless runs never wait on a person).
#pragma once

#include <string>

enum platform_dialog_kind { platform_dialog_open = 0, platform_dialog_save = 1, platform_dialog_folder = 2 };

// Shows the dialog and returns 1 with the chosen absolute path (no trailing '/', "/" kept; for
// a save, the folder to save into), or 0 when cancelled or when no dialog can be shown.
// start is the folder to open in (may be empty); file_name the suggested name of a save.
int platform_file_dialog(int kind, const std::string& title, const std::string& start,
                         const std::string& file_name, std::string& chosen);

// Whether a native dialog can be shown at all; when not, callers use the in-window browser.
bool platform_file_dialog_available();

// Called about every 15 ms while a dialog is open, so that the window keeps drawing frames.
void platform_set_dialog_idle(void (*idle)());

