// Keyboard and languages. Replaces the original's raw key events (a character and a key code
// per event), its keyboard-layout translation (typed character with dead keys, and the key's
// unshifted and shifted characters) and the user's preferred-languages preference.
// On Linux a key is its SDL scancode (its position); the typed character is the SDL text input
// that follows the key-down (the X input method composes dead keys there); the unshifted
// character comes from SDL's key map; the shifted character from the X server's key map (under
// another video driver, from a US-layout table). The preferred languages come from the locale
// variables.
#pragma once

#include <string>
#include <vector>

union SDL_Event;

// One key event as the keyboard translation wants it.
enum { key_event_down = 1, key_event_up = 2, key_event_repeat = 3 };
struct platform_key_event {
  int kind = 0;           // key_event_down, key_event_up or key_event_repeat
  int scancode = 0;       // SDL_Scancode: the key's position
  int modifiers = 0;      // 1 Shift, 2 Alt, 4 Control (the Super key is not reported)
  char32_t typed = 0;     // the character the key typed, dead keys composed; 0 for none
  char32_t unshifted = 0; // the key's character on the current layout without modifiers
  char32_t shifted = 0;   // the key's character with Shift
};

// Pairs each key-down with the text input that follows it. Feed every event of a frame's drain
// in order, then flush: a key-down is held until the next event shows whether text came with it.
class platform_key_reader {
 public:
  // Appends the key events that are complete once this event is seen; other events pass by.
  void feed(const SDL_Event& event, std::vector<platform_key_event>& out);
  // Appends the held key-down, if any.
  void flush(std::vector<platform_key_event>& out);

 private:
  bool pending_ = false;
  platform_key_event held_;
};

// The first code point of a UTF-8 text; 0 for an empty or malformed start.
char32_t platform_first_code_point(const char* utf8);
// The character Shift gives on a US layout for an unshifted character; the character itself
// when Shift changes nothing there.
char32_t platform_us_shifted(char32_t unshifted);

// The user's languages in order of preference, from the locale variables: LANGUAGE (a
// ':'-separated list), then LC_ALL, LC_MESSAGES and LANG. The codeset (".UTF-8") and modifier
// ("@euro") are removed; "C" and "POSIX" are skipped; after each "ll_CC" its bare "ll" follows,
// so "fr_FR.UTF-8" offers "fr_FR" and then "fr".
std::vector<std::string> platform_preferred_languages();
// The same over given values (null or "" for an unset variable).
std::vector<std::string> platform_languages_from_locale(const char* language, const char* lc_all,
                                                        const char* lc_messages, const char* lang);
