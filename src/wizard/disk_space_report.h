// The disk-space report of the wizard's disk-space pages, and the texts of sizes, times and
// download rates that the pages show. Sizes are KB; every unit word goes through the
// translation table with its singular and plural forms.
#pragma once

#include <string>

// The report for the volume of dest_dir_path against stg.install_total: the filled report text
// and whether the space suffices. lookup_ok is false when the volume could not be asked.
struct disk_space_check {
  bool lookup_ok = false;
  bool enough = false;
  std::string text;
};
// need_kb is the KB the install will write; free space equal to the need is enough.
disk_space_check check_disk_space(const std::string& folder, float need_kb,
                                  const std::string& enough_text, const std::string& short_text);

// The release directory keeps each file's sizes in whole KB, cut down: a file of a few hundred
// bytes is 0 KB there. Each of `files` files may thus hold up to one KB more than its record,
// and the sizes the pages show and compare are that upper bound: a download or an install that
// is not empty never reads "0 KB", and the space check never counts short.
float release_size_bound_kb(float recorded_kb, int files);
// The KB of the archives the update downloads (stg.download_total and stg.install_count).
float download_size_kb();
// The KB the update writes (stg.install_total and stg.install_count).
float install_size_kb();

// Draws the report for dest_dir_path and install_size_kb() at (220, 130) and returns 1 when the
// space suffices, else 0. When the volume cannot be asked, draws nothing and returns 1 (the
// install goes ahead).
int UTIL_disk_space(const std::string& enough_text, const std::string& short_text);

// "5 minutes", "119 seconds", "2 hours"; a time that is negative counts as 0, one that is not a
// number or infinite gives "unknown".
std::string time_str(float seconds);
// "120 kilobytes/second"; the same rules as time_str.
std::string rate_str(float kb_per_second);
// "%.1f GB" of kb/1048576 above 1024000 KB, "%.0f MB" of kb/1024 above 1024 KB, else "%.0f KB".
std::string size_string(float kb);
std::string int_str(int value);
// The value printed with a printf format that takes one double ("%.2f").
std::string flt_str(const char* format, float value);
