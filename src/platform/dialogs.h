// Native dialogs. Replaces the original's StandardAlert stop alert with SDL's simple message
// box, which works before any window or SDL_Init exists; where no display can show it, the
// texts go to stderr instead. There are no buttons to choose from: the box only waits for OK.
#pragma once

#include <string>

// Shows a stop alert and returns once the user has closed it. Each text is cut to at most 499
// bytes at a character boundary.
void platform_alert_box(const std::string& message, const std::string& explanation);

// Replaces what platform_alert_box does (tests print and return); null restores the box.
using platform_alert_box_fn = void (*)(const std::string& message, const std::string& explanation);
void platform_set_alert_box(platform_alert_box_fn show);

// The longest prefix of text of at most max_bytes that does not split a UTF-8 sequence.
std::string platform_cut_utf8(const std::string& text, size_t max_bytes);
