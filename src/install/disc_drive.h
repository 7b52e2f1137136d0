// The install discs: recognising one by its identity file "dvd_version.txt", reading the
// release directory from the first one, checking that the disc in the drive holds the archive
// the install needs next, and ejecting. The drive itself (mount table, test drive, eject tool)
// is the platform's (platform/volumes.h).
//
// A disc holds "dvd_version.txt" at its root (the house text header, version 900, keyword
// "DVD", then "VERSION <release name>") and a folder named after the release with the archives
// of the files stored on it; the first disc also holds "<release>/directory.txt.zip".
#pragma once

#include <string>

// Reads an identity file's text: true with the release name when the header is accepted and a
// "VERSION" line names a release (the last one wins). Blanks and tabs around the name are not
// part of it.
bool parse_disc_identity(const char* begin, const char* end, std::string* name);

// Whether a release name read from a disc may name a folder: one path component, not "." or
// "..", no control character.
bool is_safe_release_name(const std::string& name);

// What the start screen learns from the drive.
enum dvd_scan_status {
  dvd_no_disc,               // no install disc is in the drive
  dvd_not_install_disc,      // a disc without an identity file we accept
  dvd_directory_unreadable,  // the release directory on the disc cannot be unpacked or read
  dvd_directory_newer,       // the release directory is in a newer format (alert shown)
  dvd_ready,                 // install_name and the install model are read
};

// Why the directory could not be read, for the page that offers to try again.
struct dvd_scan_failure {
  int code = 0;         // error_str code; 0 for a directory the reader refused
  std::string archive;  // the directory archive on the disc
};
extern dvd_scan_failure dvd_scan_error;

// Called every frame by the start screen: finds the disc when none is known, reads its identity
// once, then reads the release directory into the install model once per run (stg.dir_stage).
// A directory that cannot be unpacked or is refused leaves dir_stage at 0, so the next call
// (the user's retry, perhaps with the disc cleaned) reads it again.
dvd_scan_status UTIL_scan_dvd();

// Looks for the disc in the drive again and accepts it when it holds the archive of history
// want_file_disk under the release folder: then current_disk = that entry's disc, 1. Else 0.
int UTIL_verify_disk();

// Ejects the known disc when eject is set (dvd_path is emptied); returns the disc, numbered from
// 0, that holds the archive of history want_file_disk.
int UTIL_switch_disk(int eject);

// Forgets the disc, its release name and the directory read from it (for a new run).
void dvd_forget_disc();
