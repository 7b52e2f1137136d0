// The shell calls that the wizard's page helpers (the destination chooser, the disk-space report
// and the display formats) make: the plural choice and placeholder filling of the translation
// engine, a text drawn on the page, and the two widgets the chooser needs. They go through this
// table so that the helpers' logic stands on its own; the program's start-up points it at the
// shell (its translation and its widgets), and tests point it at doubles.
#pragma once

#include <string>
#include <vector>

struct page_calls {
  // The English singular or plural by count and the language's rule, then translated.
  std::string (*translate_plural)(int count, const std::string& singular, const std::string& plural) = nullptr;
  // Fills the numbered placeholders "%N:name%" of text with values[N - 1].
  std::string (*string_sub)(const std::string& text, const std::vector<std::string>& values) = nullptr;
  // Draws text in a palette colour at (x, y), wrapped at width, regular font, left-aligned.
  void (*draw_text)(int colour, float x, float y, const std::string& text, float width) = nullptr;
  // The width of a text in screen units, regular font.
  float (*text_width)(const std::string& text) = nullptr;
  // A check box without a label at (x, y), style 1; 1 in the frame in which it was clicked.
  int (*check_box)(float x, float y, int ticked) = nullptr;
  // A push button centred on (x, y), not highlighted, style 1, no side text; 1 when clicked.
  int (*push_button)(float x, float y, float width, const std::string& label) = nullptr;
};

// Points the helpers at a new table; a null entry draws nothing, counts no click, measures 0.
void install_page_calls(const page_calls& calls);
const page_calls& current_page_calls();

// The helpers' use of the table. A missing plural choice takes the English rule (the plural for
// every count but 1) and translates; a missing placeholder filler leaves the text unfilled.
std::string page_plural(int count, const std::string& singular, const std::string& plural);
std::string page_sub(const std::string& text, const std::vector<std::string>& values);
void page_draw_text(int colour, float x, float y, const std::string& text, float width);
float page_text_width(const std::string& text);
int page_check_box(float x, float y, int ticked);
int page_push_button(float x, float y, float width, const std::string& label);
