// The preferences screen: one modal loop of frames on shell screen 2.
#include "wizard/preferences_screen.h"

#include "graphics/draw_2d.h"
#include "install/installer_state.h"
#include "net/http_client.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/event_proc.h"
#include "shell/value_widgets.h"
#include "shell/widgets.h"

namespace {

constexpr int kPrefsScreen = 2;

std::string T(const char* english) { return UTL_translate_string(english); }

}  // namespace

int prefs_parse_port(const std::string& text) {
  if (text.empty() || text.size() > 5) return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value <= 65535 ? value : -1;
}

void prefs_draw_frame() {
  OGL_plot_back_col();
  BTN_fillwin(1, 21);
  float next_x = 0, next_y = 0;
  BTN_subwin(0, 13, -1, -1, -1, 70, T("Proxy (if you are behind a firewall with a Proxy)"), &next_x, &next_y);
  BTN_subwin(0, 13, -1, next_y, -1, -1, T("General Preferences"), &next_x, &next_y);

  int manual_streams = stg.stream_count != 0 ? 1 : 0;

  int os_choice = stg.download_os - 1;
  if (BTN_textlist(200, 310, &os_choice, "Macintosh-Windows-Linux",
                   T("Operating System to download Skyrill for:|(Install and copy the entire Skyrill folder to "
                     "another computer if you like)")))
    stg.download_os = os_choice + 1;
  else if (stg.download_os < 1 || stg.download_os > 3)
    stg.download_os = os_choice + 1;

  int log_actions = stg.log_actions;
  BTN_bool(30, 265, &log_actions,
           T("|log installer actions... turn this on to output the installer file downloads and stuff to the file "
             "log.txt."),
           0);
  stg.log_actions = log_actions;
  int get_beta = stg.get_beta;
  BTN_bool(30, 190, &get_beta,
           T("|check for new betas as well as updates.  Leave this off unless you want to participate in the "
             "Skyrill beta program!"),
           0);
  stg.get_beta = get_beta;
  BTN_bool(30, 150, &manual_streams,
           T("|manually set the number of download streams... typically leave this OFF, and the installer will "
             "find the best number of streams for you."),
           0);
  if (manual_streams) {
    int streams = stg.stream_count;
    BTN_int_range(400, 150, &streams, 1, 1, 4, "");
    stg.stream_count = streams;
  } else {
    stg.stream_count = 0;
  }

  BTN_enterstring(85, 40, &http.proxy_host, 65, T("-proxy host"), 455, 1);
  BTN_enterstring(85, 20, &http.proxy_port_text, 65, T("-proxy port"), 455, 1);
  // Only a port number (or 0, no proxy) is taken; anything else leaves the port in use as it
  // was and the field is marked.
  if (!http.proxy_port_text.empty()) {
    const int port = prefs_parse_port(http.proxy_port_text);
    if (port >= 0)
      http.proxy_port = port;
    else
      OGL_fillrect(69, 0.35f, 84, 17, 457, 11);
  }
}

void handle_prefs() {
  MACIBM_startwind(kPrefsScreen, 0);
  while (mnw.topwi == kPrefsScreen && !app_done) {
    BTN_begin_focus_ring();
    prefs_draw_frame();
    MACIBM_event_proc();
  }
}
