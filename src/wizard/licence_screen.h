// The licence page of the demo and disc install flows.
#pragma once

#include <string>

#include "wizard/wizard_driver.h"

// The licence screen of the demo and disc install flows: title "End User License Agreement (EULA)",
// our licence text (resources, in the current language) in a scrolling read-only text field, and an
// accept choice; Next (to next) only once accepted is set; Back to back. licence names the text:
// full_licence for the simulator from its discs, demo_licence for the web demo.
extern const char* const full_licence;
extern const char* const demo_licence;
int eula_screen(int first, wizard_screen& page, int& accepted, wizard_func back, wizard_func next,
                const char* licence);

// A licence text (full_licence or demo_licence) in a language (a row of the language table): the
// bundled resource "<licence>_<language>.txt", or the English one when the language has none; ""
// when neither can be read.
std::string licence_text(const char* licence, int language);

// Where the screen puts its controls (window units), for tests that click them.
enum : int {
  licence_choice_x = 240,     // both radio buttons
  licence_accept_y = 104,     // "I accept the terms of the license agreement"
  licence_refuse_y = 84,      // "I do not accept the terms of the license agreement"
  licence_scroll_x = 761,     // the scroll bar
  licence_box_bottom = 132,   // the text field's visible rectangle
  licence_box_top = 456,
};
