#include "wizard/disk_space_report.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "files/file_ops.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "runtime/shell_services.h"
#include "wizard/page_calls.h"

namespace {

// The whole part of a count shown to the user, or false when it cannot be shown: a rate of 0
// makes the time left infinite, and int conversion of such a value is undefined.
bool whole_part(double value, int* out) {
  if (!std::isfinite(value)) return false;
  if (value < 0) value = 0;
  *out = value >= static_cast<double>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                       : static_cast<int>(value);
  return true;
}

std::string counted(int n, const char* singular, const char* plural) {
  return page_sub(page_plural(n, singular, plural), {int_str(n)});
}

}  // namespace

std::string int_str(int value) { return std::to_string(value); }

std::string flt_str(const char* format, float value) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, static_cast<double>(value));
  return buffer;
}

std::string size_string(float kb) {
  if (kb > 1024000.0f) return flt_str("%.1f GB", kb / 1048576.0f);
  if (kb > 1024.0f) return flt_str("%.0f MB", kb / 1024.0f);
  return flt_str("%.0f KB", kb);
}

std::string time_str(float seconds) {
  int n = 0;
  if (!std::isfinite(seconds)) return UTL_translate_string("unknown");
  if (seconds < 120.0f) {
    whole_part(seconds, &n);
    return counted(n, "%1:seconds% second", "%1:seconds% seconds");
  }
  if (seconds >= 7200.0f) {
    whole_part(seconds / 3600.0, &n);
    return counted(n, "%1:hours% hour", "%1:hours% hours");
  }
  whole_part(seconds / 60.0, &n);
  return counted(n, "%1:minutes% minute", "%1:minutes% minutes");
}

std::string rate_str(float kb_per_second) {
  int n = 0;
  if (!whole_part(kb_per_second, &n)) return UTL_translate_string("unknown");
  return counted(n, "%1:rate% kilobyte/second", "%1:rate% kilobytes/second");
}

disk_space_check check_disk_space(const std::string& folder, float need_kb,
                                  const std::string& enough_text, const std::string& short_text) {
  disk_space_check r;
  uint64_t total_bytes = 0, free_bytes = 0;
  // The volume is asked at the nearest folder that exists, so a destination still to be made
  // is measured too.
  if (folder.empty() || get_free_space(folder, &total_bytes, &free_bytes) != 0) return r;
  r.lookup_ok = true;
  // KB of 1000 bytes, as the release's sizes are counted.
  const float total = static_cast<float>(total_bytes / 1000);
  const float free = static_cast<float>(free_bytes / 1000);
  // One comparison for the status line and the result, so the page never says "enough" under
  // a disabled Next.
  r.enough = free >= need_kb;
  r.text = page_sub(UTL_translate_string("Disk size: %1:total disk space%\nFree disk space: "
                                         "%2:free disk space%\nDisk space needed to install: "
                                         "%3:required disk space%\n\n%4:status message%"),
                    {size_string(total), size_string(free), size_string(need_kb),
                     r.enough ? enough_text : short_text});
  return r;
}

float release_size_bound_kb(float recorded_kb, int files) {
  return recorded_kb + static_cast<float>(files > 0 ? files : 0);
}

float download_size_kb() { return release_size_bound_kb(stg.download_total, stg.install_count); }

float install_size_kb() { return release_size_bound_kb(stg.install_total, stg.install_count); }

int UTIL_disk_space(const std::string& enough_text, const std::string& short_text) {
  disk_space_check r = check_disk_space(dest_dir_path, install_size_kb(), enough_text, short_text);
  if (!r.lookup_ok) return 1;
  page_draw_text(45, 220, 130, r.text, 560);
  return r.enough ? 1 : 0;
}
