#include "shell/display_preferences.h"

#include "files/preferences.h"
#include "runtime/shell_records.h"

void shell_display_preferences_io(scan_class& s, int mode) {
  // The per-screen pairs are carried from one read to the next write, so the file keeps them.
  static int pln_w = 0, pln_h = 0, wrl_w = 0, wrl_h = 0, all_w = 0, all_h = 0;
  if (mode == 1) {
    mnw.display_prefs_found = 1;
    all_w = mnw.req_width;
    all_h = mnw.req_height;
  }
  s.int_io(&pln_w, "_x_res_req_PLN");
  s.int_io(&pln_h, "_y_res_req_PLN");
  s.int_io(&wrl_w, "_x_res_req_WRL");
  s.int_io(&wrl_h, "_y_res_req_WRL");
  s.int_io(&all_w, "_x_res_req_ALL");
  s.int_io(&all_h, "_y_res_req_ALL");
  if (mode == 0) {
    mnw.req_width = all_w;
    mnw.req_height = all_h;
  }
  s.int_io(&mnw.req_depth, "_col_res_req");
  s.int_io(&mnw.set_res, "_set_res");
  s.int_io(&mnw.language, "_lang");
  s.int_io(&mnw.aa_level_wanted, "_alias_req");
  s.int_io(&mnw.key_list, "_keylist_up");
  s.int_io(&mnw.second_monitor, "_sec_mon_inuse");
  s.int_io(&mnw.display_prefs_found, "_prefs_found");
  if (mnw.req_width < 600 || mnw.req_width > 9999) mnw.req_width = 1024;
  if (mnw.req_height < 600 || mnw.req_height > 9999) mnw.req_height = 768;
}
