// The reader of the release directory "directory.txt": the house header (versions 840 and 900,
// keyword "INSTALLER"), then DIR, DISK and FILE records, into the install model.
#pragma once

#include <string>

enum {
  directory_read_ok = 3,       // the model holds the release
  directory_read_failed = 2,   // a header this reader does not accept (a newer format)
  directory_read_refused = 4,  // a damaged record, or one that names an unsafe path
};

// Parses the directory file at path into sim_info and the installer state; returns 3 on success,
// 2 when the header is not accepted (after the newer-format alert), 4 when a record is malformed
// or names an unsafe path (logged, not shown: the caller names the mirror it came from; the
// model is left empty).
// A missing file is a fatal alert. The status text is not used. A scan still running over the
// old model is drained first.
int read_directory(const std::string& path, const std::string& status);

// The record part of a directory, from just after its header to end; 3 or 4 as above. Exposed
// for the reader's tests and fuzzing.
int read_directory_records(const char* begin, const char* end);

// Whether a release path is safe to join to the installation folder: no empty, "." or ".."
// component, no backslash and no control character.
bool is_safe_release_path(const std::string& path);
