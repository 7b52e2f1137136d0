// Preference files: small text files of "key value" lines behind the house header (text form,
// version 9002). scan_class reads one file into a key/value map or writes key lines to ouf;
// pref_class binds each key of the program's three files to the setting it stores. A command-line
// option "--pref:<key>=<value>" wins over the file while it is read, and is then saved with it.
//
// File kinds: 10 the display preferences ("Resources/preferences/Res Nimbrel.prf"), 11 the
// installer preferences ("Skyrill Installer.prf" in the preferences folder; read once at start,
// written once at shut-down), 12 a file without keys ("Resources/preferences/Cal Skyrill.prf").
#pragma once

#include <map>
#include <string>

class scan_class {
 public:
  // mode 1 opens ouf on the path with the header; mode 0 maps the file, checks its header and
  // loads every line into values (a missing file or a bad header gives no lines).
  scan_class(const std::string& path, int mode);
  // In write mode closes ouf, which puts the new file in place.
  ~scan_class();
  scan_class(const scan_class&) = delete;
  scan_class& operator=(const scan_class&) = delete;

  // One integer setting. Write: "key value\n", returns 0. Read: the override or the file's
  // value, read as atoi would (leading white space, sign, digits, the rest ignored, 0 without
  // digits) but clamped to the int range; 1 when a value was found, else 0 and *value kept.
  int int_io(int* value, const std::string& key);
  // One text setting. Write: "key text\n" only when the text is not empty, with CR, LF and NUL
  // left out so a pasted text cannot add lines. Read: the text found, unchanged; 1 or 0.
  int str_io(std::string* value, const std::string& key);

  int mode;                                   // 1 write, 0 read
  std::map<std::string, std::string> values;  // read mode: key to value text

 private:
  // The override "--pref:<key>" first, then the file; false when neither has the key.
  bool find(const std::string& key, std::string* value) const;
};

// Where the settings of the installer preference file live. They belong to the install engine's
// state record (stream count, action log, beta line) and to the HTTP client (proxy), both above
// this layer; the program's start-up hands their addresses over once, before the first read.
// A null field (or no binding at all) keeps that setting in a record of this unit instead, so
// the file still reads and writes whole.
struct pref_installer_fields {
  int* stream_count = nullptr;             // "_stream_count": download streams, 0 = automatic
  int* log_actions = nullptr;              // "_log_actions"
  std::string* proxy_host = nullptr;       // "_proxy_host"
  std::string* proxy_port_text = nullptr;  // "_proxy_port"
  int* proxy_port = nullptr;               // "_proxy_port_int": 0 = no proxy
  int* get_beta = nullptr;                 // "_get_beta"
};
void pref_bind_installer_fields(const pref_installer_fields& fields);
// The installer file's "_update_host" (the host the server list comes from; empty for the
// program's default) belongs to the wizard, which hands its address over the same way.
void pref_bind_update_host(std::string* host);

// The keys of the display preference file (kind 10) belong to the window record, which the
// shell fills; the shell hands over the function that reads (mode 0) or writes (mode 1) them
// at start-up. Without one the file is read and written with no keys.
using pref_display_io = void (*)(scan_class& file, int mode);
void pref_bind_display_io(pref_display_io io);

class pref_class {
 public:
  // Reads (mode 0) or writes (mode 1) preference file kind 10, 11 or 12.
  void IO_set(int which, int mode);
  // Kept for callers of the old interface: does nothing.
  int IO_sta(int, int, std::string);
};

extern pref_class pref;

// The installer preference file's path: the preferences folder + "Skyrill Installer.prf", or,
// when that folder cannot be had, "Resources/preferences/Skyrill Installer.prf" under the
// install root.
std::string installer_pref_path();
