// The update check: the list of update servers from the maker's update host, the release name
// and the mirrors read from it, the check that this updater is still recent enough, a mirror
// picked at random with a bias towards the first entries, and then the release directory from
// that mirror, handed to the install engine's directory stages (install/web_update.h).
//
// "/serverlist9.txt": the house text header (version 820, keyword "SERVERS"), then records, one
// per line, each keyword first (blanks and tabs before it are skipped):
//   BETA <release name>            the release followed when the beta preference is on
//   FINAL <release name>           the release followed when it is off
//   INS_VERSION <n> <page> <word>  n above 20402: a newer updater is needed, from <page>
//   SERVER <host>                  a mirror; the next non-empty line is its path prefix, the one
//   <path prefix>                  after that its description (the radio list shows the part
//   <description>                  after "|"); only the first 10 are kept
//   ENDOFLIST                      the end of the list
// Lines that begin with no keyword are passed over.
#pragma once

#include <string>
#include <vector>

#include "install/wizard_globals.h"

// Descriptions of the mirrors in server_name / server_path, in list order.
extern std::string server_desc[max_servers];

// The maker's update host, used unless the installer preference "_update_host" names another.
extern const char* const default_update_host;
// The "_update_host" preference ("" for the default).
extern std::string update_host_setting;
// Hands the preference file the "_update_host" setting; start-up calls it before the file is read.
void bind_update_host_preference();
// The host the server list is fetched from: the setting when it names a usable host (blanks
// and trailing "/" taken off), else the default.
std::string update_host();
// The list's path on the update host, "/serverlist9.txt"; tests serve each case from a folder
// of its own.
extern std::string server_list_remote_path;

enum {
  server_list_version = 820,          // the header version of a list this updater reads
  newest_known_installer = 20402,     // an "INS_VERSION" above this asks for a newer updater
  server_list_http_slot = 0,          // the HTTP transfer slot of the list
};

// What one server list holds.
struct server_record {
  std::string host, path, desc;  // path: the prefix, the release name and "/"
};
struct server_list_contents {
  std::vector<server_record> servers;  // the first max_servers complete records
  bool newer_installer = false;        // an "INS_VERSION" above newest_known_installer
  std::string installer_page;          // the page it named
  bool ended = false;                  // "ENDOFLIST" was reached
};

enum server_list_result {
  server_list_read,       // the records were read (the list may still name no mirror)
  server_list_not_a_list, // no house header: an error page, a captive portal, a cut transfer
  server_list_newer,      // a house header of another version or keyword: a newer format
};

// Reads a server list file. release_name is the release name so far; a "BETA" (beta on) or
// "FINAL" (beta off) line replaces it, and each mirror's path takes the name current when its
// record is read. Every field is bounded by the end of the file.
server_list_result read_server_list_file(const std::string& path, int get_beta,
                                         std::string* release_name, server_list_contents* out);

// Where the list stands, for the search page.
enum class server_list_phase {
  fetching,       // a transfer of the list is under way
  waiting,        // the last fetch failed; the next starts at retry_at
  read,           // the list was read and a mirror picked
  no_mirrors,     // the list names no mirror: nothing to fetch from (stg.dir_stage 2)
  newer_program,  // the newer-updater or newer-format alert ended the program
};
struct server_list_state {
  server_list_phase phase = server_list_phase::fetching;
  int failures = 0;        // failed fetches of the list in a row
  double retry_at = 0;     // steady-clock seconds of the next attempt while waiting
  std::string problem;     // why the last fetch failed, for the log
};
extern server_list_state server_list;

// Forgets the list: stg.server_count -1, the state back to fetching.
void reset_server_list();

// One step of the update check, called once per frame by the search pages until
// stg.dir_stage is 2 or 3. Until the list is read (stg.server_count -1): fetch it on slot 0,
// waiting 1, 2, 4 ... s between failed attempts, read it and pick the mirror. Then the directory
// stages of the install engine: fetch "directory.txt.zip" from the picked mirror, unpack and
// read it (stg.dir_stage 0, 1, then 3, or 2 when refused). A list without mirrors leaves
// stg.dir_stage at 2 and fetches nothing.
void UTL_download_directory();
