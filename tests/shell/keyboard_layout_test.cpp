// Real X key events through SDL, with the US, French and German layouts: keys pressed with
// xdotool reach the keyboard translation as the right virtual keys and characters. Runs on the
// tests' private X server, whose layout it switches.
#include <gtest/gtest.h>
#include <SDL2/SDL.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text.h"
#include "shell/keyboard.h"
#include "support/display_fixture.h"
#include "support/process.h"

// Last: the X headers behind it define macros such as None.
#include <SDL2/SDL_syswm.h>

namespace {

struct seen_key {
  int vkey;
  int character;
  int flags;
};

class KeyboardLayout : public ::testing::Test {
 protected:
  SDL_Window* window = nullptr;

  void SetUp() override {
    std::string problem;
    ASSERT_TRUE(test_display(&problem)) << problem;
  }
  void TearDown() override {
    if (window) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  // Switches the server's layout, then opens a window with the keyboard focus and text input on
  // (SDL reads the key map when video starts).
  void open_with_layout(const std::string& layout) {
    ASSERT_EQ(run_process({"setxkbmap", layout}).exit_code, 0);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window = SDL_CreateWindow("keys", 0, 0, 200, 100, SDL_WINDOW_SHOWN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_RaiseWindow(window);
    SDL_StartTextInput();
    pump(200);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(window, &info));
    window_id = std::to_string(static_cast<unsigned long>(info.info.x11.window));
    ASSERT_EQ(run_process({"xdotool", "windowfocus", "--sync", window_id}).exit_code, 0);
    pump(100);
  }

  // Presses keys by X key symbol (xdotool picks the physical key that has it on the layout)
  // and returns the key-downs the translation made of them.
  std::vector<seen_key> press(const std::vector<std::string>& keysyms) {
    std::vector<std::string> argv = {"xdotool", "key", "--delay", "30"};
    argv.insert(argv.end(), keysyms.begin(), keysyms.end());
    EXPECT_EQ(run_process(argv).exit_code, 0);
    return pump(300);
  }

  std::vector<seen_key> pump(int ms) {
    std::vector<seen_key> downs;
    std::vector<platform_key_event> events;
    const Uint32 until = SDL_GetTicks() + static_cast<Uint32>(ms);
    while (SDL_GetTicks() < until) {
      SDL_Event e;
      while (SDL_PollEvent(&e)) reader.feed(e, events);
      reader.flush(events);
      SDL_Delay(5);
    }
    for (const platform_key_event& e : events) {
      translated_key t;
      if (keys.translate(e, t) && (t.flags & key_flag_down)) downs.push_back({t.vkey, t.character, t.flags});
    }
    return downs;
  }

  std::string window_id;
  platform_key_reader reader;
};

struct layout_case {
  const char* keysym;
  int vkey;
  int character;
};

std::string describe(const std::vector<seen_key>& got) {
  std::string out;
  for (const seen_key& k : got)
    out += "(" + std::to_string(k.vkey) + " " + std::to_string(k.character) + " " + std::to_string(k.flags) + ")";
  return out;
}

void expect_keys(const std::vector<seen_key>& got, const std::vector<layout_case>& want,
                 const char* layout) {
  // Shift presses of uppercase letters and the like come as key-downs of their own.
  std::vector<seen_key> keys_only;
  for (const seen_key& k : got)
    if (k.character != 0 || k.vkey < 300) keys_only.push_back(k);
  ASSERT_EQ(keys_only.size(), want.size()) << layout << ": " << describe(got);
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(keys_only[i].vkey, want[i].vkey) << layout << " " << want[i].keysym;
    EXPECT_EQ(keys_only[i].character, want[i].character) << layout << " " << want[i].keysym;
  }
}

// The server's own layout (US): positions, characters, modifiers and the keypad.
TEST_F(KeyboardLayout, Us) {
  open_with_layout("us");
  const std::vector<layout_case> want = {
      {"a", 65, 'a'},       {"q", 81, 'q'},          {"1", 49, '1'},
      {"period", 185, '.'}, {"comma", 183, ','},     {"shift+b", 66, 'B'},
      {"Return", 13, 13},   {"KP_Enter", 188, 0},    {"Left", 37, 28},
      {"BackSpace", 8, 8},  {"Delete", 46, 0},       {"Home", 36, 0},
  };
  std::vector<std::string> syms;
  for (const auto& w : want) syms.push_back(w.keysym);
  const std::vector<seen_key> got = press(syms);
  expect_keys(got, want, "us");
  // Shift+B carries its modifier; Control+C types nothing but keeps its key and modifier.
  for (const seen_key& k : got)
    if (k.vkey == 66) {
      EXPECT_EQ(k.flags, 8 | 1);
    }
  const std::vector<seen_key> control = press({"ctrl+c"});
  ASSERT_FALSE(control.empty());
  EXPECT_EQ(control.back().vkey, 67);
  EXPECT_EQ(control.back().flags, 8 | 4);
  EXPECT_EQ(control.back().character, 0);
}

// Other layouts, where the X server lets the test switch to them (some builds of Xvfb keep
// their first layout whatever setxkbmap asks).
TEST_F(KeyboardLayout, French) {
  open_with_layout("fr");
  if (SDL_GetKeyFromScancode(SDL_SCANCODE_Q) != 'a') GTEST_SKIP() << "the X server keeps its layout";
  const std::vector<layout_case> want = {
      {"a", 65, 'a'},            // on the Q position
      {"q", 81, 'q'},            // on the A position
      {"ampersand", 49, '&'},    // the digit row keeps its numbers
      {"eacute", 50, 0xE9},
      {"agrave", 48, 0xE0},
      {"comma", 183, ','},
      {"semicolon", 185, ';'},   // "." is this key's Shift level
      {"Return", 13, 13},
      {"KP_Enter", 188, 0},
  };
  std::vector<std::string> syms;
  for (const auto& w : want) syms.push_back(w.keysym);
  expect_keys(press(syms), want, "fr");

  // A dead circumflex then e types one character, on the e key-down.
  const std::vector<seen_key> composed = press({"dead_circumflex", "e"});
  ASSERT_FALSE(composed.empty());
  EXPECT_EQ(composed.back().vkey, 69) << describe(composed);
  EXPECT_EQ(composed.back().character, 0xEA) << describe(composed);
}

TEST_F(KeyboardLayout, German) {
  open_with_layout("de");
  if (SDL_GetKeyFromScancode(SDL_SCANCODE_Y) != 'z') GTEST_SKIP() << "the X server keeps its layout";
  const std::vector<layout_case> want = {
      {"z", 90, 'z'},  // on the Y position
      {"y", 89, 'y'},
      {"odiaeresis", 0, 0xF6},
      {"1", 49, '1'},
      {"period", 185, '.'},
      {"minus", 177, '-'},
      {"Left", 37, 28},
  };
  std::vector<std::string> syms;
  for (const auto& w : want) syms.push_back(w.keysym);
  std::vector<seen_key> got = press(syms);
  ASSERT_EQ(got.size(), want.size()) << describe(got);
  // A key with no name of its own gets a number from the free list.
  EXPECT_GT(got[2].vkey, 0);
  EXPECT_EQ(keys_class::vkey_to_str(got[2].vkey).compare(0, 3, "KEY"), 0);
  got[2].vkey = 0;
  expect_keys(got, want, "de");
}

}  // namespace
