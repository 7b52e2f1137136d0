// The widgets on the test display, started as the program starts them: the graphics fixture's
// 1024 x 768 window, the program's path inside the build's Resources folder (so the bundled
// faces are found), both interface atlases, and typed keys delivered to the focused widget.
// Each test begins with no press, no open menu, no focused widget, a new focus ring and an
// empty shell double log, on screen 2 (600 x 380) centred in the window. The test program
// depends on sky_fonts, which fills the Resources folder.
#pragma once

#include "support/graphics_fixture.h"

class gl_widgets_test : public gl_graphics_test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;

  // Makes screen `id` of width x height the current one, centred in the window.
  static void show_centred_screen(int id, int width, int height);

  // A key pressed and released through the key translation: scancode for its place on the
  // keyboard, typed for the character it types.
  static void press_key(int scancode, char32_t typed = 0, int modifiers = 0);
};
