// The user's languages from the locale variables, and key events paired with their text.
#include "platform/text.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(PreferredLanguages, FromTheLocaleVariables) {
  using list = std::vector<std::string>;
  const struct {
    const char* name;
    const char *language, *lc_all, *lc_messages, *lang;
    list expected;
  } cases[] = {
      {"nothing set", nullptr, nullptr, nullptr, nullptr, {}},
      {"C and POSIX are no language", nullptr, "C", "POSIX", "C.UTF-8", {}},
      {"codeset stripped, bare code added", nullptr, nullptr, nullptr, "fr_FR.UTF-8", {"fr_FR", "fr"}},
      {"modifier stripped", nullptr, nullptr, nullptr, "de_DE@euro", {"de_DE", "de"}},
      {"bare code as it is", nullptr, nullptr, nullptr, "de", {"de"}},
      {"LANGUAGE first, in its own order", "pt_BR:de", nullptr, nullptr, "fr_FR.UTF-8",
       {"pt_BR", "pt", "de", "fr_FR", "fr"}},
      {"empty entries of LANGUAGE skipped", ":fr::", nullptr, nullptr, nullptr, {"fr"}},
      {"LC_ALL before LC_MESSAGES before LANG", nullptr, "de_CH.UTF-8", "fr_BE", "en_GB",
       {"de_CH", "de", "fr_BE", "fr", "en_GB", "en"}},
      {"empty values", "", "", "", "", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(platform_languages_from_locale(c.language, c.lc_all, c.lc_messages, c.lang), c.expected)
        << c.name;
}

SDL_Event key(Uint32 type, SDL_Scancode scancode, Uint16 mod, int repeat = 0) {
  SDL_Event e{};
  e.type = type;
  e.key.type = type;
  e.key.repeat = static_cast<Uint8>(repeat);
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = scancode;
  e.key.keysym.mod = mod;
  return e;
}

SDL_Event text(const char* utf8) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
  return e;
}

TEST(KeyReader, KeyDownsTakeTheTextThatFollowsThem) {
  platform_key_reader reader;
  std::vector<platform_key_event> out;
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;

  reader.feed(key(SDL_KEYDOWN, SDL_SCANCODE_E, 0), out);
  EXPECT_TRUE(out.empty()) << "held until the text shows up";
  reader.feed(text("\xC3\xAA"), out);  // a dead circumflex composed with e
  reader.feed(key(SDL_KEYUP, SDL_SCANCODE_E, 0), out);
  reader.feed(key(SDL_KEYDOWN, SDL_SCANCODE_RETURN, KMOD_LSHIFT | KMOD_RCTRL), out);
  reader.feed(motion, out);  // no text came: the key-down goes on without one
  reader.feed(key(SDL_KEYDOWN, SDL_SCANCODE_A, KMOD_LALT, 1), out);
  reader.feed(text("ab"), out);  // only the first character is the key's
  reader.feed(key(SDL_KEYDOWN, SDL_SCANCODE_LEFT, 0), out);
  reader.flush(out);
  reader.flush(out);

  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(out[0].kind, key_event_down);
  EXPECT_EQ(out[0].scancode, SDL_SCANCODE_E);
  EXPECT_EQ(out[0].typed, U'\u00EA');
  EXPECT_EQ(out[1].kind, key_event_up);
  EXPECT_EQ(out[2].kind, key_event_down);
  EXPECT_EQ(out[2].modifiers, 1 | 4);
  EXPECT_EQ(out[2].typed, 0u);
  EXPECT_EQ(out[3].kind, key_event_repeat);
  EXPECT_EQ(out[3].modifiers, 2);
  EXPECT_EQ(out[3].typed, U'a');
  EXPECT_EQ(out[4].scancode, SDL_SCANCODE_LEFT);

  // Text with no key-down before it (an input method committing on its own) is no key.
  out.clear();
  reader.feed(text("x"), out);
  EXPECT_TRUE(out.empty());
}

TEST(KeyReader, CodePointsAndTheUsShiftLevel) {
  EXPECT_EQ(platform_first_code_point("A"), U'A');
  EXPECT_EQ(platform_first_code_point("\xE2\x82\xAC"), U'\u20AC');
  EXPECT_EQ(platform_first_code_point("\xF0\x9F\x98\x80"), U'\U0001F600');
  EXPECT_EQ(platform_first_code_point("\xC3"), 0u);  // cut short
  EXPECT_EQ(platform_first_code_point("\x80"), 0u);
  EXPECT_EQ(platform_first_code_point(""), 0u);

  const struct {
    char32_t in, out;
  } cases[] = {{U'a', U'A'}, {U'1', U'!'}, {U'6', U'^'}, {U'.', U'>'}, {U';', U':'},
               {U'\\', U'|'}, {U'`', U'~'}, {U'A', U'A'}, {U'\u00E9', U'\u00E9'}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(platform_us_shifted(c.in), c.out) << int(c.in);
}

}  // namespace
