// The installer in a real window on the test display: it starts, writes its log with the
// pixel format and the graphics capabilities, runs its frames, and the system's quit request
// (SIGTERM, which SDL turns into its quit event) ends it through the Quit path with status 0:
// threads stopped, preferences written, log closed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/display_fixture.h"
#include "support/process.h"
#include "support/temp_tree.h"

namespace {

TEST(ProgramWindow, StartsIntoAWindowAndQuitsWithZero) {
  std::string problem;
  ASSERT_TRUE(test_display(&problem)) << problem;
  temp_tree dir;
  temp_tree elsewhere;
  const std::string exe = dir.path() + "skyrill-installer";
  std::filesystem::copy_file(SKY_BINARY_DIR "/src/skyrill-installer", exe);
  std::filesystem::copy(SKY_BINARY_DIR "/src/Resources", dir.path() + "Resources",
                        std::filesystem::copy_options::recursive);

  // Under AddressSanitizer the leak check is left to the unit tests: at this program's exit
  // the system libraries behind the window (D-Bus, X, Mesa's render threads) keep allocations
  // and threads that LeakSanitizer's tracer sometimes cannot stop.
  process_result r =
      run_process({"timeout", "--preserve-status", "-k", "10", "-s", "TERM", "4", exe, "--lang=en"}, "",
                  {"XDG_CONFIG_HOME=" + dir.path() + "config", "ASAN_OPTIONS=detect_leaks=0"},
                  elsewhere.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;

  const std::string log = read_whole_file(dir.path() + "Skyrill Installer Log.txt");
  for (const char* piece :
       {"case sensitive=0\n\nLog folder: '", "'\n     '--lang'='en'\nAGL_RGBA         : 1\n",
        "AGL_DOUBLEBUFFER : 1\nAGL_RED_SIZE     : 8\nAGL_GREEN_SIZE   : 8\nAGL_BLUE_SIZE    : 8\n",
        "AGL_ALPHA_SIZE   : ", "AGL_DEPTH_SIZE   : ", "(Compatibility Profile)",
        "CPU count        : ", "Clean exit from threads.\n"})
    EXPECT_NE(log.find(piece), std::string::npos) << piece << "\n" << log;
  EXPECT_EQ(log.find("could not set up the graphics"), std::string::npos) << log;
  EXPECT_TRUE(path_exists(dir.path() + "config/Skyrill Installer.prf"));
  EXPECT_FALSE(path_exists(dir.path() + "stack_crawl.txt"));
  EXPECT_FALSE(path_exists(elsewhere.path() + "Skyrill Installer Log.txt"));
}

}  // namespace
