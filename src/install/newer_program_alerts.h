// The two alerts that stop the updater when the server side is newer than this program: a newer
// updater named by the server list, and a file format it cannot read. Both open a web page and
// set the quit flag; the caller finishes its frame.
#pragma once

#include <string>

// The maker's download page, opened by the newer-format alert.
extern const char* const maker_download_page;

// Tells the user a newer updater exists and opens the page the server list named. The page comes
// over plain HTTP from the server list, so only an http:// or https:// address without control
// characters is opened.
void new_installer(std::string page);

// Tells the user a fetched file has a format newer than this program reads (the refused path on
// the alert's fourth line), opens the maker's download page, sets format_error to 2.
void new_format(std::string path);

