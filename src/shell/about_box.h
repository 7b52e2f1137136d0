// The about box: modal screen 993 with the build name, the credits and the current release. It
// reads the update host's server list for a newer release or beta and can fetch, unpack and
// start a newer installer. Its state outlives each opening: a finished check is not repeated,
// and a started download goes on when the box is opened again. Main thread only.
#pragma once

#include <string>

// This build's version number and name.
constexpr int about_build_version = 91001;
extern const char* const about_build_name;
// The maker's web address, shown in the box and opened by its first button.
extern const char* const about_maker_web_address;

// The host the server list is fetched from; the wizard installs its own. Without one the check
// never starts and the box says it could not connect.
extern std::string (*about_update_host)();

struct about_box_state {
  std::string version_str_net, version_str_net_beta;
  int version_str_found = 0;
  int version_final = -1, version_beta = -1;
  int is_latest = 1, is_beta = 0;
  int ins_state = 0;  // 1 offer, 2 downloading, 3 start, 4 show err_msg
  std::string beta_server, beta_path, final_server, final_path;
  std::string installer_server, installer_path, installer_app_name;
  std::string err_msg;
};
// The state the box keeps between openings (tests reset it).
about_box_state& about_state();

// Reads a fetched server list into the state and decides what the box offers.
void about_read_server_list(const std::string& path, about_box_state* state);
// The unpacked installer's first entry is started only when it names something inside the
// unpack folder: no absolute name, no ".." part.
bool about_installer_name_is_safe(const std::string& name);
// One frame's drawing and buttons of the box (without the version check and the frame end).
void about_draw(about_box_state* state);

// The list's path on the update host, "/serverlist9.txt"; tests serve each case from a folder.
extern std::string about_server_list_path;
// One frame's version check: while no final version text was found, polls the server list's
// transfer and reads the list in the frame it arrives. The transfer's answer (0 running, 1
// finished, 2 failed), or -1 when there is nothing to check.
int about_check_version(about_box_state* state);

// Runs the box until its screen is closed.
void MACIBM_about();
