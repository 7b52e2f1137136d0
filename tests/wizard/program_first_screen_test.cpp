// The installer's first screen as the real program draws it on the test display, in English,
// French and German: the program is started with "--lang=..." and the frame it swaps once its
// welcome page has settled is read back (bench/startup_swap_marker.c, preloaded, through the
// start-up benchmark's runner, which stops the program afterwards) and compared with the
// committed reference of that language, with a tolerance for font rasterisation. The frames are
// written to <build>/program-first-screen/ to be looked at. (The wizard's page test draws the
// same page through the screens and the driver, but with its own palette: its step list comes
// out near black where the program's start-up palette gives it a blue-grey.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/display_fixture.h"
#include "support/process.h"
#include "support/temp_tree.h"

namespace {

// A binary PPM (top row first) as a picture (bottom row first).
bool read_ppm(const std::string& path, gl_picture* p) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  if (!(in >> magic >> w >> h >> maxval) || magic != "P6" || maxval != 255 || w <= 0 || h <= 0) return false;
  in.get();
  std::string rgb(static_cast<size_t>(w) * h * 3, '\0');
  if (!in.read(&rgb[0], static_cast<std::streamsize>(rgb.size()))) return false;
  p->width = w;
  p->height = h;
  p->rgba.assign(static_cast<size_t>(w) * h * 4, 255);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        p->rgba[(static_cast<size_t>(h - 1 - y) * w + x) * 4 + c] =
            static_cast<uint8_t>(rgb[(static_cast<size_t>(y) * w + x) * 3 + c]);
  return true;
}

TEST(ProgramFirstScreen, TheWelcomePageMatchesItsReferenceInEachLanguage) {
  std::string problem;
  ASSERT_TRUE(test_display(&problem)) << problem;
  temp_tree dir;
  const std::string exe = dir.path() + "skyrill-installer";
  std::filesystem::copy_file(SKY_BINARY_DIR "/src/skyrill-installer", exe);
  std::filesystem::copy(SKY_BINARY_DIR "/src/Resources", dir.path() + "Resources",
                        std::filesystem::copy_options::recursive);
  const std::string out = std::string(SKY_BINARY_DIR) + "/program-first-screen/";
  mkdir(out.c_str(), 0755);

  const struct {
    const char* code;
    const char* name;
  } languages[] = {{"en", "English"}, {"fr", "French"}, {"de", "German"}};
  for (const auto& l : languages) {
    SCOPED_TRACE(l.name);
    const std::string picture_path = dir.path() + l.code + ".ppm";
    // The tenth swap: the start-up progress screen and the page's first frames are past.
    process_result r = run_process(
        {SKY_STARTUP_RUNNER, SKY_SWAP_MARKER, "10", "0", exe, std::string("--lang=") + l.code}, "",
        {"XDG_CONFIG_HOME=" + dir.path() + "config", "SKY_FIRST_FRAME_PICTURE=" + picture_path,
         // The marker is preloaded ahead of the sanitizer's runtime in the sanitized build; the
         // leak check is the unit tests' (see program_window_test.cpp).
         "ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0"},
        dir.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    gl_picture picture;
    ASSERT_TRUE(read_ppm(picture_path, &picture));
    write_png(out + l.name + ".png", picture);
    EXPECT_TRUE(matches_golden(picture, std::string(SKY_SOURCE_DIR) + "/tests/wizard/golden/program-first-screen-" +
                                            l.name + ".png",
                               24, 400));
  }
}

}  // namespace
