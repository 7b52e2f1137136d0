#include "platform/text.h"

#include <SDL2/SDL.h>
#include <fcntl.h>

#include <cstdlib>
#include <cstring>

// Last: the X headers define macros such as None and Status.
#include <X11/XKBlib.h>

namespace {

// The Linux input code of each key of the typing block, by SDL scancode: the X server of SDL's
// x11 driver numbers its keys as these codes + 8.
int input_code(SDL_Scancode scancode) {
  static const int letters[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                  49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return letters[scancode - SDL_SCANCODE_A];
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_0) return 2 + (scancode - SDL_SCANCODE_1);
  switch (scancode) {
    case SDL_SCANCODE_SPACE: return 57;
    case SDL_SCANCODE_MINUS: return 12;
    case SDL_SCANCODE_EQUALS: return 13;
    case SDL_SCANCODE_LEFTBRACKET: return 26;
    case SDL_SCANCODE_RIGHTBRACKET: return 27;
    case SDL_SCANCODE_BACKSLASH: return 43;
    case SDL_SCANCODE_NONUSHASH: return 43;
    case SDL_SCANCODE_SEMICOLON: return 39;
    case SDL_SCANCODE_APOSTROPHE: return 40;
    case SDL_SCANCODE_GRAVE: return 41;
    case SDL_SCANCODE_COMMA: return 51;
    case SDL_SCANCODE_PERIOD: return 52;
    case SDL_SCANCODE_SLASH: return 53;
    case SDL_SCANCODE_NONUSBACKSLASH: return 86;
    default: return 0;
  }
}

// A key symbol as a Unicode character: Latin-1 symbols are their code point, Unicode symbols
// carry it; dead keys and function symbols give 0.
char32_t keysym_character(KeySym ks) {
  if ((ks >= 0x20 && ks <= 0x7E) || (ks >= 0xA0 && ks <= 0xFF)) return static_cast<char32_t>(ks);
  if ((ks & 0xFF000000) == 0x01000000) return static_cast<char32_t>(ks & 0x00FFFFFF);
  return 0;
}

// The character the current X layout gives the key with Shift, or -1 when the X server cannot
// be asked (another video driver, no server, a key outside the typing block). The key map is
// read again for each key, so a layout switched while the program runs is followed.
long x_shifted(SDL_Scancode scancode) {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "x11") != 0) return -1;
  const int code = input_code(scancode);
  if (!code) return -1;
  static Display* display = [] {
    Display* d = XOpenDisplay(nullptr);
    // Like every descriptor of the program, the connection stays out of started programs.
    if (d) fcntl(ConnectionNumber(d), F_SETFD, FD_CLOEXEC);
    return d;
  }();
  if (!display) return -1;
  XkbStateRec state;
  if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) return -1;
  XkbDescPtr map = XkbGetMap(display, XkbAllClientInfoMask, XkbUseCoreKbd);
  if (!map) return -1;
  unsigned int mods_used = 0;
  KeySym ks = NoSymbol;
  const bool found = XkbTranslateKeyCode(map, static_cast<KeyCode>(code + 8),
                                         XkbBuildCoreState(ShiftMask, state.group), &mods_used, &ks);
  XkbFreeKeyboard(map, 0, True);
  return found ? static_cast<long>(keysym_character(ks)) : 0;
}

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
  const long shifted = x_shifted(k.keysym.scancode);
  e.shifted = shifted >= 0 ? static_cast<char32_t>(shifted) : platform_us_shifted(e.unshifted);
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
