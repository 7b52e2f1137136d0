// The pieces the wizard flow tests share to drive the wizard a frame at a time: where the mouse is
// for a frame, and the loop that runs frames until a page is reached.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "install/install_model.h"
#include "install/installer_state.h"
#include "install/web_update.h"
#include "install/wizard_globals.h"
#include "runtime/constants.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "wizard/server_list.h"
#include "wizard/wizard_driver.h"

namespace wizard_flow {

// The installer's state as a run of the web flows starts with it: no model, the settings and the
// next-update record cleared (downloads for this system), no server list, no web update under
// way and no installation named.
inline void reset_web_flow_state() {
  sim_info.clear();
  std::memset(&stg, 0, sizeof stg);
  std::memset(&next, 0, sizeof next);
  reset_installer_state();
  stg.download_os = 3;
  reset_server_list();
  web_update_begin();
  install_name = no_install_name;
}

// A stand-in for the shell's text substitution: each "%N:name%" becomes the N-th value.
inline std::string subst(const std::string& text, const std::vector<std::string>& values) {
  std::string out = text;
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string open = "%" + std::to_string(i + 1) + ":";
    size_t at = out.find(open);
    if (at == std::string::npos) continue;
    size_t close = out.find('%', at + open.size());
    out.replace(at, close + 1 - at, values[i]);
  }
  return out;
}

// The mouse for the next frame: pressed at (x, y) when x >= 0, away from the window otherwise.
inline void set_mouse(float x, float y) {
  mnw.mouse_x = x;
  mnw.mouse_y = y;
  mnw.mouse_down = x >= 0 ? 1 : 0;
}

// One wizard frame with the mouse at (x, y): the clock ticks, then before_update (what a test's
// shell does ahead of the wizard), then the wizard's update and the page's work while the frame
// would be rendered, as the shell's frame runs them.
inline void frame(float x, float y, const std::function<void()>& before_update = {}) {
  set_mouse(x, y);
  xtim.xtim_update();
  if (before_update) before_update();
  APP_update();
  wizard_while_frame_renders();
}

// Runs frame() until done() holds, resting pause_us between frames; false once seconds have
// passed without it.
inline bool frames_until(const std::function<bool()>& done, const std::function<void()>& frame,
                         double seconds, useconds_t pause_us) {
  const int64_t start = xtim_class::microsecs();
  while (!done()) {
    if (xtim_class::microsecs() - start > seconds * 1e6) return false;
    frame();
    usleep(pause_us);
  }
  return true;
}

}  // namespace wizard_flow
