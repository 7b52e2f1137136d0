#include "platform/text.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>

namespace {

int modifier_flags(Uint16 mod) {
  int flags = 0;
  if (mod & KMOD_SHIFT) flags |= 1;
  if (mod & KMOD_ALT) flags |= 2;
  if (mod & KMOD_CTRL) flags |= 4;
  return flags;
}

char32_t unshifted_of(SDL_Scancode scancode) {
  SDL_Keycode key = SDL_GetKeyFromScancode(scancode);
  // Keys without a character carry the scancode mask instead.
  if (key <= 0 || (key & SDLK_SCANCODE_MASK) || key > 0x10FFFF) return 0;
  return static_cast<char32_t>(key);
}

platform_key_event from_key(const SDL_KeyboardEvent& k) {
  platform_key_event e;
  e.kind = k.type == SDL_KEYUP ? key_event_up : k.repeat ? key_event_repeat : key_event_down;
  e.scancode = k.keysym.scancode;
  e.modifiers = modifier_flags(k.keysym.mod);
  e.unshifted = unshifted_of(k.keysym.scancode);
  e.shifted = platform_us_shifted(e.unshifted);
  // No text comes with a key-up; the layout's character for the key as it is held stands in.
  if (e.kind == key_event_up) e.typed = (e.modifiers & 1) ? e.shifted : e.unshifted;
  return e;
}

void add_language(std::vector<std::string>& out, std::string name) {
  size_t cut = name.find_first_of(".@");
  if (cut != std::string::npos) name.erase(cut);
  if (name.empty() || name == "C" || name == "POSIX") return;
  out.push_back(name);
  size_t underscore = name.find('_');
  if (underscore != std::string::npos && underscore > 0) out.push_back(name.substr(0, underscore));
}

}  // namespace

void platform_key_reader::feed(const SDL_Event& event, std::vector<platform_key_event>& out) {
  if (event.type == SDL_TEXTINPUT) {
    if (pending_) {
      held_.typed = platform_first_code_point(event.text.text);
      out.push_back(held_);
      pending_ = false;
    }
    return;
  }
  if (event.type == SDL_TEXTEDITING) return;  // composition in progress: the key-down waits
  if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) {
    // Text input, when it comes, follows its key-down at once.
    flush(out);
    return;
  }
  flush(out);
  platform_key_event e = from_key(event.key);
  if (e.kind == key_event_up) {
    out.push_back(e);
  } else {
    held_ = e;
    pending_ = true;
  }
}

void platform_key_reader::flush(std::vector<platform_key_event>& out) {
  if (!pending_) return;
  out.push_back(held_);
  pending_ = false;
}

char32_t platform_first_code_point(const char* utf8) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(utf8);
  if (!s || !s[0]) return 0;
  if (s[0] < 0x80) return s[0];
  int extra = (s[0] & 0xE0) == 0xC0 ? 1 : (s[0] & 0xF0) == 0xE0 ? 2 : (s[0] & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0) return 0;
  char32_t c = s[0] & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (s[i] & 0x3F);
  }
  return c;
}

char32_t platform_us_shifted(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
  static const char pairs[] = "1!2@3#4$5%6^7&8*9(0)-_=+[{]}\\|;:'\",<.>/?`~";
  for (size_t i = 0; i + 1 < sizeof pairs; i += 2)
    if (c == static_cast<unsigned char>(pairs[i])) return static_cast<unsigned char>(pairs[i + 1]);
  return c;
}

std::vector<std::string> platform_languages_from_locale(const char* language, const char* lc_all,
                                                        const char* lc_messages, const char* lang) {
  std::vector<std::string> out;
  if (language) {
    std::string list = language;
    size_t start = 0;
    for (;;) {
      size_t colon = list.find(':', start);
      add_language(out, list.substr(start, colon == std::string::npos ? colon : colon - start));
      if (colon == std::string::npos) break;
      start = colon + 1;
    }
  }
  for (const char* v : {lc_all, lc_messages, lang})
    if (v) add_language(out, v);
  return out;
}

std::vector<std::string> platform_preferred_languages() {
  return platform_languages_from_locale(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                        std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}
