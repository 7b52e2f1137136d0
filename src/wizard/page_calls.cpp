#include "wizard/page_calls.h"

#include "runtime/shell_services.h"

namespace {
page_calls calls;
}

void install_page_calls(const page_calls& c) { calls = c; }

const page_calls& current_page_calls() { return calls; }

std::string page_plural(int count, const std::string& singular, const std::string& plural) {
  if (calls.translate_plural) return calls.translate_plural(count, singular, plural);
  return UTL_translate_string(count == 1 ? singular : plural);
}

std::string page_sub(const std::string& text, const std::vector<std::string>& values) {
  return calls.string_sub ? calls.string_sub(text, values) : text;
}

void page_draw_text(int colour, float x, float y, const std::string& text, float width) {
  if (calls.draw_text) calls.draw_text(colour, x, y, text, width);
}

float page_text_width(const std::string& text) { return calls.text_width ? calls.text_width(text) : 0.0f; }

int page_check_box(float x, float y, int ticked) { return calls.check_box ? calls.check_box(x, y, ticked) : 0; }

int page_push_button(float x, float y, float width, const std::string& label) {
  return calls.push_button ? calls.push_button(x, y, width, label) : 0;
}

int page_text_field(float x, float y, std::string* text, int max_length, const std::string& label, float width) {
  return calls.text_field ? calls.text_field(x, y, text, max_length, label, width) : 0;
}
