// The shell hooks a window test installs: every alert recorded as "line1 / line2" instead of
// shown, and texts translated through the loaded translation tables.
#pragma once

#include <string>
#include <vector>

#include "runtime/shell_services.h"
#include "shell/translation.h"

// The alerts raised since the test last cleared the list.
inline std::vector<std::string>& recorded_alerts() {
  static std::vector<std::string> alerts;
  return alerts;
}

inline void install_recording_shell_hooks() {
  shell_hooks hooks;
  hooks.alert = [](int, std::string l1, std::string l2, std::string, std::string, int, const char*, int) {
    recorded_alerts().push_back(l1 + " / " + l2);
  };
  hooks.translate = translate_lookup;
  install_shell_hooks(hooks);
}
