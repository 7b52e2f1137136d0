// What the zip and 7z extractors share: the checks that keep a hostile archive inside its
// target folder, and the writer that puts each extracted file beside its target and renames it
// over the old one only once every byte is written, so a full disk, a damaged entry or a crash
// never leaves a truncated file where a good one stood.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <set>
#include <string>

// An entry name may be written below the target folder: not empty, not absolute, no ".."
// component, no '\\' (a Windows separator we would otherwise take for a name character).
bool archive_name_is_safe(const std::string& name);

// Remembers the links an archive has made, so that no later entry writes through one of them.
class archive_link_guard {
 public:
  // Whether a folder on the way to name (not name itself) is a link this archive made.
  bool passes_through_link(const std::string& name) const;
  void note_link(const std::string& name);
  // Whether the link text, taken from the link's own folder, stays inside the target folder.
  static bool target_stays_inside(const std::string& link_name, const std::string& text);

 private:
  std::set<std::string> links_;
};

// Permission bits for a file whose archive entry carries none: 0666 less the process umask.
mode_t default_file_mode();

// Writes one file under a temporary name in its target's folder; commit renames it into place.
// Every result is 0 or an errno.
class replace_writer {
 public:
  replace_writer() = default;
  replace_writer(const replace_writer&) = delete;
  replace_writer& operator=(const replace_writer&) = delete;
  ~replace_writer() { abort(); }

  int open(const std::string& target);
  int write(const void* data, size_t size);
  // Sets the mode and (when mtime is not null) the times, closes (checked), renames.
  int commit(mode_t mode, const time_t* mtime);
  // Drops the temporary file; the target is untouched.
  void abort();

 private:
  int fd_ = -1;
  std::string temp_, target_;
};

// Makes a symbolic link at target (replacing a file or link there) by creating it aside and
// renaming it into place. 0 or an errno.
int replace_with_symlink(const std::string& target, const std::string& text);
