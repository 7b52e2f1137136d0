#include "install/installer_state.h"

#include <cstring>

#include "files/preferences.h"
#include "install/install_model.h"
#include "net/http_client.h"
#include "runtime/frame_clock.h"

stg_struct stg;
next_struct next;

int32_t g_want_sim = 1;
int32_t g_want_global = 1;

int want_this_f(int history, int version) {
  const file_version_struct& v = sim_info[history][version];
  if (!(v.is_global ? g_want_global : g_want_sim)) return 0;
  if (v.platform == stg.download_os || v.platform == 0) return 1;
  return v.platform == 6 && stg.download_os == 3;
}

void set_install_filter(int want_sim, int want_global) {
  g_want_sim = want_sim;
  g_want_global = want_global;
}

void reset_installer_state() {
  stg.format_error = 0;
  stg.download_error = 0;
  stg.install_problem = 0;
  stg.server_pick = 0;
  stg.dir_stage = 0;
  stg.file_progress = 0;
  stg.stream_count = 0;
  stg.download_total = 0;
  stg.install_total = 0;
  stg.server_count = -1;
  stg.current_action = 3;
  stg.download_os = 1;
}

void reset_download_slots() {
  next.file_cursor = 0;
  // A stale 1 from an earlier install step would tell a reader the new one is finished.
  next.all_done = 0;
  for (int i = 0; i < download_slot_count; ++i) {
    next.slot_active[i] = i < 2;
    next.slot_ready[i] = i < 2;
    next.slot_file[i] = 0;
  }
  next.start_time = xtim.elapsed;
  next.kb_partial = 0;
  next.kb_done = 0;
  next.kb_installed = 0;
}

void bind_installer_preferences() {
  pref_installer_fields fields;
  fields.stream_count = &stg.stream_count;
  fields.log_actions = &stg.log_actions;
  fields.get_beta = &stg.get_beta;
  fields.proxy_host = &http.proxy_host;
  fields.proxy_port_text = &http.proxy_port_text;
  fields.proxy_port = &http.proxy_port;
  pref_bind_installer_fields(fields);
}

int effective_stream_count() {
  // A negative count would switch every slot off after its first file; more than four slots
  // do not exist.
  if (stg.stream_count < 0) return 0;
  if (stg.stream_count > download_slot_count) return download_slot_count;
  return stg.stream_count;
}
