// The display preference file's keys ("Res Nimbrel.prf"): the window record's requested size,
// depth, language, anti-aliasing and the like. Bound into the preference file at start-up.
#pragma once

class scan_class;

// Reads (mode 0) or writes (mode 1) the keys of the window record through file.
void shell_display_preferences_io(scan_class& file, int mode);
