// A text-editor host with exact metrics for tests and the fuzz target: every UTF-8 character
// is `char_width` units wide, lines are `line_height` high, and the visible rectangle is fixed
// while the logical one moves opposite to the scroll offset, as a real entry field does.
#pragma once

#include <string>
#include <vector>

#include "shell/text_editor.h"

struct test_editor_host {
  struct rect {
    float l, b, r, t;
  };

  std::string text;
  float char_width = 1.0f;
  float line_height = 10.0f;
  rect visible{0, 0, 100, 10};
  float wrap_width = 100.0f;  // logical width
  float scroll_x = 0.0f, scroll_y = 0.0f;
  float logical_height = 0.0f;
  bool step_by_utf8_callbacks = true;  // fill the stepping slots, or leave them to the engine

  std::vector<std::string> drawn_lines;
  std::vector<float> drawn_line_y;
  std::vector<rect> drawn_selection;

  OGLE_Rec* rec = nullptr;

  explicit test_editor_host(std::string initial = {}, bool stepping_slots = true);
  ~test_editor_host();
  test_editor_host(const test_editor_host&) = delete;
  test_editor_host& operator=(const test_editor_host&) = delete;

  // Characters (not bytes) in [begin, end).
  static int chars_in(const char* begin, const char* end);
  rect logical() const;
  void draw(int caret);
  int sel_start() const { return rec->sel_start; }
  int sel_end() const { return rec->sel_end; }
};

// True when text is well-formed UTF-8.
bool test_is_valid_utf8(const std::string& text);
