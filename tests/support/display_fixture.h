// The display for tests that draw: a private Xvfb server (one per test process, started on first
// use, stopped at exit and killed with the process if it dies), Mesa's software renderer, and
// the program's window with a current GL context. Drawings are read back from the back buffer
// before any swap and can be written to a PNG to look at.
//
// Use it by deriving the test suite from gl_display_test (a 1024 x 768 window, swap interval 0,
// opened once per suite), or call open_test_window() yourself for another size. A test file
// that includes this header is labelled "display" in CTest by sky_glob_tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// Points DISPLAY at the private Xvfb (1280 x 1024 x 24), starting it when this process has
// none, and sets LIBGL_ALWAYS_SOFTWARE=1. False with *problem set when Xvfb cannot be started.
// A child process that inherits the environment (a death test, a program the test runs) uses
// the same server.
bool test_display(std::string* problem = nullptr);

// Opens the window (hidden unless visible is set) with a current compatibility context on the
// test display, swap interval 0. Closes an open one first. False with *problem set on failure.
bool open_test_window(int width, int height, std::string* problem = nullptr, bool visible = false);
void close_test_window();

// An RGBA picture read back from the GL drawing buffer, rows bottom first as GL gives them.
struct gl_picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;

  // Pixel (x, y), y counted up from the bottom.
  const uint8_t* at(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
  uint32_t rgb(int x, int y) const {
    const uint8_t* p = at(x, y);
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  }
  // Number of pixels of exactly this 0xRRGGBB colour.
  int count(uint32_t rgb_colour) const;
  // Bounding box of the pixels of that colour; false when there are none.
  bool bounds(uint32_t rgb_colour, int* x0, int* y0, int* x1, int* y1) const;
};

// Reads the box from the back buffer (the whole drawable when width or height is 0).
gl_picture read_back_buffer(int x = 0, int y = 0, int width = 0, int height = 0);

// Reads the box from what the X server shows (its root window, y counted up from the bottom of
// the screen): what a user would see after a swap.
gl_picture read_screen(int x, int y, int width, int height);

// Writes the picture as an 8-bit RGBA PNG, top row first as picture viewers expect.
bool write_png(const std::string& path, const gl_picture& picture);
// Reads an 8-bit PNG of any colour type into an RGBA picture; false when it cannot.
bool read_png(const std::string& path, gl_picture* picture);
// Compares a drawing with a golden picture: every channel of every pixel within tolerance, but
// for at most `allowed` pixels. A missing golden, or SKY_UPDATE_GOLDEN=1 in the environment,
// writes the picture as the golden and fails, so that it is looked at before it is committed.
::testing::AssertionResult matches_golden(const gl_picture& picture, const std::string& golden_path,
                                          int tolerance = 2, int allowed = 0);

// Reads the back buffer and writes it to <build>/screenshots/<name>.png; returns the path
// ("" on failure). For looking at what a test drew.
std::string save_screenshot(const std::string& name);

// A suite with one window for all its tests; each test starts with a cleared back buffer.
class gl_display_test : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
};
