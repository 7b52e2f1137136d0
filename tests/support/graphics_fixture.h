// The display fixture with the graphics layer started as the program starts it: the capability
// detection run on the live context (its log goes to the shell double's log), the 2-D layout
// set for the window, and the GL state caches emptied for the new context. For tests of code
// that draws through the graphics layer; they link sky_graphics.
#pragma once

#include "support/display_fixture.h"

// After opening a window of its own: detection, layout of a width x height screen 0 at origin
// (0, 0), empty caches.
void start_test_graphics(int width, int height);

// A 1024 x 768 window per suite with the graphics layer started; each test begins with a
// cleared back buffer, screen 0 at origin (0, 0) and ordinary alpha blending.
class gl_graphics_test : public gl_display_test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
};
