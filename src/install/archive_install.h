// Installing one file from its release archive, shared by the web update and the disc install:
// the archive is unpacked into a staging folder of its own, the file's MD5 is taken as it is
// written, and only a file that matches the release replaces the installed one, by one rename
// within the volume. Safe to run on a worker thread: it logs through thread_log and shows
// nothing.
#pragma once

#include <string>

// Result of install_from_archive when the unpacked file does not have the listed signature,
// or the archive does not hold the file.
enum { err_wrong_content = 20100 };

struct unpack_result {
  int code = 0;        // 0, or why the file was not installed (the installed file is as it was)
  int chmod_code = 0;  // make_file_executable's result for files under "Contents/MacOS/"
};

// Unpacks archive (".7z" by the 7z reader, anything else as zip) into stage (an existing folder
// used by nobody else meanwhile), checks the file against signature (none when empty) and moves
// it to destination. Whatever the archive unpacked is removed from stage afterwards. The archive
// is deleted, unless keep_archive_on_failure is set and the file was not installed.
unpack_result install_from_archive(const std::string& archive, const std::string& destination,
                                   const std::string& signature, const std::string& stage,
                                   bool keep_archive_on_failure = false);

// Moves a checked file into place: one rename within a volume; across volumes a copy written
// beside the target and renamed over it, so the target is never half written. 0 or an errno.
int move_into_place(const std::string& staged, const std::string& destination);

// The installation's staging folder, on its own volume so that a checked file moves into place
// with one rename: dest_dir_path + ".installer staging/". A run that was killed may leave it;
// each install step removes it before it starts and when it ends.
std::string staging_folder();
