// The writer side of the house formats: one shared output stream, ouf, which ouf_open opens on a
// file and starts with the house header (see mapped_file.h). The caller writes the body and
// closes ouf. Main thread only; one house-format file is written at a time.
//
// A regular file is never rewritten in place: ouf writes a sibling "<name>.partial", and
// closing ouf flushes it to the disk and renames it over the real name. A crash or a full disk
// therefore leaves the old file whole. Closing reports every failure through the stream's fail
// state (and the log), so callers can tell a saved file from a lost one.
#pragma once

#include <fstream>
#include <string>

class house_ofstream : public std::ofstream {
 public:
  house_ofstream() = default;
  // An unfinished file (never closed, as after a fatal error) is thrown away, not committed.
  ~house_ofstream();
  // Flushes, closes and moves the written file into place. Hides std::ofstream::close, so it
  // must be called on ouf itself, not through a base-class reference.
  void close();
  // Where the bytes go and the name they end up under; used by ouf_open.
  void set_target(const std::string& final_path, const std::string& partial_path);
  const std::string& final_path() const { return final_; }

 private:
  std::string final_;
  std::string partial_;  // "" when writing in place (a device or other special file)
};

extern house_ofstream ouf;

// Opens ouf on the path (after set_path_to_full) and writes the header: type 10001 text
// ("I\n", the version, " version", the notice unless it is "no-copyright-string", "\n") or
// 10000 binary ('i' and the version, 4 bytes little-endian). When the first try fails the
// parent folder is made (one level) and it tries again; after that a non-fatal alert.
// 1 on success, 0 after the user was told. The file name is used exactly as given.
int ouf_open(std::string path, int type, int version, std::string notice);
