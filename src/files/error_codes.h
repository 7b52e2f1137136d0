// Error codes and their messages. Every failing file, archive and network operation returns an
// int: 0 for success, the program's own codes from 20001, POSIX errno values (by their <cerrno>
// names, so the numbers are Linux's), or the negative file-manager codes of the old Mac file
// layer, which some stored results and callers still carry. error_str turns any of them into
// the text the user sees.
#pragma once

#include <string>

// The program's own codes.
enum {
  err_zip_open = 20001,         // an archive that cannot be opened
  err_zip_read = 20002,         // an archive entry that cannot be read whole
  err_zip_create = 20003,       // an archive that cannot be created
  err_zip_write = 20004,        // a short write while extracting
  err_fork_too_big = 20005,     // a resource fork of 2 GiB or more
  err_file_open = 20006,        // a file that cannot be opened for reading
  err_net_reconnect = 20007,
  err_net_bad_state = 20008,
  err_net_no_connection = 20009,  // a transfer without a connection
  err_net_write_file = 20010,
  err_net_no_host = 20011,        // a host name that cannot be looked up
  err_fork_header = 20012,        // a side entry without the AppleDouble header
  err_not_dos_exe = 20013,        // no text: shown as "Error code 20013"
  err_no_pe_signature = 20014     // no text: shown as "Error code 20014"
};

struct err_msg_row {
  int code;
  const char* text;  // null in the row that ends the table
};

// 79 rows with unique codes, then a row whose text is null.
extern const err_msg_row kErrMsgs[];

// "" for 0, the row's text, or "Error code <n>" for a code without a row.
std::string error_str(int code);

// Whether a delete result is reported: never (the engine does not treat a failed delete of a
// gone file as an error; it logs the code instead).
int show_del_err(int code);

// Whether a folder-creation result is reported: not for 0, EEXIST or -48 (duplicate name).
int show_make_dir_err(int code);
