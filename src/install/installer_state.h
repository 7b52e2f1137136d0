// The installer's shared state: the record `stg` (update stage, platform, mirrors, scenery cells,
// what the scheduler is doing, the settings of the preference file and the size sums of the
// pending work), the download-slot record `next`, the two wanted-kind switches and the wanted
// test that the scan, the decisions, the sums and the wizard all apply. Main thread only; the
// scan's worker tasks read `download_os` and the switches while nobody changes them.
#pragma once

#include <cstdint>

// Global-scenery cells are 10-degree squares: 18 latitude bands by 36 longitude bands. The cell
// tables are indexed [longitude band][latitude band], so a cell's flat index is lat + lon * 18.
enum { sector_lat_bands = 18, sector_lon_bands = 36 };

// The layout is fixed: the field order and widths below are what every user relies on.
struct stg_struct {
  int32_t dir_stage;        // 0 fetch the directory archive, 1 read it, 2 failed, 3 ready
  int32_t download_os;      // 1 Macintosh, 2 Windows, 3 Linux
  int32_t log_actions;      // log every deletion, download and unpack
  int32_t format_error;     // 2 after the newer-format alert
  int32_t download_error;   // 1 after a failed download, 0 after the next one that completes
  int32_t install_problem;  // 1 after an archive failed to unpack or a file failed to install
  int32_t server_count;     // mirrors in the list, at most 10; -1 before the list is read
  int32_t server_pick;      // mirror in use
  int32_t sector_want[sector_lon_bands][sector_lat_bands];
  int32_t sector_offered[sector_lon_bands][sector_lat_bands];
  int32_t current_action;   // 0 deleting, 1 downloading, 2 skipping a current file, 3 not wanted
  float file_progress;      // fraction of the current download; -0.01 while the size is unknown
  int32_t stream_count;     // 0 automatic, 1..4 fixed
  int32_t get_beta;         // follow the beta release line of the server list
  float download_total;     // KB to download
  float install_total;      // KB to install
  int32_t install_count;    // files to fetch
  int32_t delete_count;     // local files to delete
  int32_t has_scenery;      // the directory lists global scenery (newest versions)
  int32_t has_sim;          // the directory lists other files (newest versions)
};

enum { download_slot_count = 4 };

struct next_struct {
  int32_t file_cursor;  // next history to hand to a slot, within 0..number of histories
  int32_t all_done;     // the scheduler finished the whole list
  int32_t slot_active[download_slot_count];
  int32_t slot_ready[download_slot_count];
  int32_t slot_file[download_slot_count];
  float start_time;     // frame-clock seconds when the install step began
  float kb_partial;     // KB received of the downloads under way, summed afresh each pass
  float kb_done;        // KB of completed downloads
  float kb_installed;   // KB installed so far
};

extern stg_struct stg;
extern next_struct next;

// Whether files that are not global scenery, and global-scenery files, are wanted.
extern int32_t g_want_sim;
extern int32_t g_want_global;

// 1 when version `version` of history `history` of the install model is wanted by kind and by
// platform.
int want_this_f(int history, int version);

// Sets g_want_sim and g_want_global.
void set_install_filter(int want_sim, int want_global);

// The values the program entry sets before the first frame, before the preference file is read.
void reset_installer_state();

// Resets the slot record for a new install step: cursor 0, slots 0 and 1 active and ready on
// file 0, slots 2 and 3 off, the sums 0, `all_done` 0 and `start_time` the frame clock's now.
void reset_download_slots();

// Hands the preference code the fields of the installer preference file: the stream count, the
// action log and the beta line of stg, and the HTTP client's proxy settings. Start-up calls it
// once, before the file is read.
void bind_installer_preferences();

// The stream count as the scheduler uses it: a value outside 0..4 (from a hand-edited preference
// file or "--pref:") counts as automatic.
int effective_stream_count();

// The flat cell index of a cell, lat + lon * 18.
inline int sector_index(int lat, int lon) { return lat + lon * sector_lat_bands; }
