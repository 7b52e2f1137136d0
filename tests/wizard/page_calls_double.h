// A stand-in for the shell's side of the wizard's page helpers: a language with a small
// translation table and its plural rule, a placeholder filler, and widgets that record what was
// drawn and answer clicks the test scripts.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "runtime/shell_services.h"
#include "wizard/page_calls.h"

namespace page_double {

struct drawn_text {
  int colour;
  float x, y;
  std::string text;
  float width;
};
struct drawn_box {
  float x, y;
  int ticked;
};
struct drawn_button {
  float x, y, width;
  std::string label;
};

struct state {
  // English text -> translation; empty for English.
  std::map<std::string, std::string> table;
  bool zero_takes_plural = true;
  std::vector<drawn_text> texts;
  std::vector<drawn_box> boxes;
  std::vector<drawn_button> buttons;
  int click_box = -1;        // the box (in drawing order) that reports a click
  bool click_button = false; // the push button reports a click
  float text_width = 300;    // every text measures this
};

inline state& now() {
  static state s;
  return s;
}

inline std::string translate(const std::string& english) {
  auto it = now().table.find(english);
  return it == now().table.end() ? english : it->second;
}

inline std::string plural(int count, const std::string& singular, const std::string& plural_text) {
  bool use_plural = now().zero_takes_plural ? count != 1 : count > 1;
  return translate(use_plural ? plural_text : singular);
}

inline std::string sub(const std::string& text, const std::vector<std::string>& values) {
  std::string out = text;
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string open = "%" + std::to_string(i + 1) + ":";
    for (size_t at = out.find(open); at != std::string::npos; at = out.find(open, at)) {
      size_t close = out.find('%', at + open.size());
      if (close == std::string::npos) break;
      out.replace(at, close + 1 - at, values[i]);
      at += values[i].size();
    }
  }
  return out;
}

inline void draw(int colour, float x, float y, const std::string& text, float width) {
  now().texts.push_back({colour, x, y, text, width});
}
inline float width(const std::string&) { return now().text_width; }
inline int box(float x, float y, int ticked) {
  now().boxes.push_back({x, y, ticked});
  return static_cast<int>(now().boxes.size()) - 1 == now().click_box ? 1 : 0;
}
inline int button(float x, float y, float w, const std::string& label) {
  now().buttons.push_back({x, y, w, label});
  return now().click_button ? 1 : 0;
}

// Installs the double as the page calls and the translation hook of the shell services (the
// alert and the rest keep the test's shell double only when keep_shell is set: then the
// translation stays English).
inline void install(bool with_translation) {
  now() = state{};
  page_calls c;
  c.translate_plural = plural;
  c.string_sub = sub;
  c.draw_text = draw;
  c.text_width = width;
  c.check_box = box;
  c.push_button = button;
  install_page_calls(c);
  if (with_translation) {
    shell_hooks hooks;
    hooks.translate = translate;
    install_shell_hooks(hooks);
  }
}

// Starts a new frame: forgets what was drawn, keeps the language and the scripted clicks.
inline void new_frame() {
  now().texts.clear();
  now().boxes.clear();
  now().buttons.clear();
}

}  // namespace page_double
