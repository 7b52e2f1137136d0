// The mapped file reader: a read-only view of one whole file with a cursor, the house file
// header check, and the text scanners that every format of the program parses with.
//
// House header, text form (type 10001): a first line starting with 'I' or 'A'; optional blank
// lines; a line holding the version in decimal (optionally signed) and a rest text; for formats
// with a keyword, a line whose first word is the keyword. Line ends are LF, CR or CR LF; NUL
// counts as a line end. Binary form (type 10000): 'i' (little-endian) or 'a' (big-endian), then
// the version as a signed 32-bit number in that order.
//
// The file is mapped, never copied; the scanners walk a plain pointer between begin and end.
// A file truncated by another process while it is mapped raises SIGBUS on access; the program's
// files are written aside and renamed into place, which never truncates a mapped file.
#pragma once

#include <string>

enum { xmap_binary = 10000, xmap_text = 10001 };

class xmap_class {
 public:
  // Maps path at once when it is not empty.
  explicit xmap_class(const std::string& path = "");
  ~xmap_class();
  xmap_class(const xmap_class&) = delete;
  xmap_class& operator=(const xmap_class&) = delete;

  // (Re)maps a file: a "RESOURCE:" path names a bundled resource, any other goes through
  // set_path_to_full. Returns begin, or null when the file cannot be opened (a missing file is
  // an ordinary answer: nothing is logged). An empty file gives an empty, non-null view.
  const char* retry(const std::string& path);

  // Checks the house header at the start of the view. versions is zero-terminated; keyword may
  // be null; rest, when given, receives the rest of the version line. Returns the version found
  // or 0. On success the cursor stands after the header.
  int check_file(int type, const int* versions, const char* keyword, std::string* rest);

  // Copies count bytes from the cursor and advances it; with the swap flag set every whole
  // 32-bit word of the block is byte-reversed. A read past the end is a fatal alert.
  void read_n_rev(void* dest, long count);

  // Skips blanks, copies the rest of the line into out, then skips every following white space
  // and line end.
  void TXT_str_scan_eoln(std::string* out);
  // Skips blanks and tabs, then takes the word up to the next NUL, tab, blank, CR or LF (word
  // may be null); the cursor stays on the byte that ended the word.
  void TXT_str_scan_space(std::string* word);
  // Logs the number and the text of the line that holds the cursor, then flushes the log.
  void TXT_xer_line();

  // Symmetric open and close for readers and writers of a house format (see house_writer.h):
  // mode 0 maps path and checks its header, mode 1 opens ouf with the header. 1 on success.
  int io_file_open(int mode, std::string path, const int* versions, int type);
  // In write mode closes ouf (its fail state tells whether everything reached the disk).
  void io_file_close();

  bool mapped() const { return begin != nullptr; }
  long size() const { return static_cast<long>(end - begin); }

  int swap_flag = 0;      // 1 when the binary header announced the other byte order
  std::string label;      // second line of the "Bad check_file type!" alert
  int io_mode = 0;        // set by io_file_open: 0 read, 1 write
  const char* begin = nullptr;   // null while unmapped
  const char* cursor = nullptr;
  const char* end = nullptr;
  int descriptor = -1;    // -1 when no file is open

 private:
  void unmap();
};
