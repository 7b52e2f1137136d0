// The installer program itself, started from a copy in a folder of its own and from another
// working folder. Without a display it cannot open its window: it ends with the graphics alert
// and status 1, and the log, the memory report and the stack dump all land beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/process.h"
#include "support/temp_tree.h"

namespace {

TEST(Program, WithoutADisplayEndsWithTheGraphicsAlertBesideItself) {
  temp_tree dir;
  temp_tree elsewhere;
  const std::string exe = dir.path() + "skyrill-installer";
  std::filesystem::copy_file(SKY_BINARY_DIR "/src/skyrill-installer", exe);
  write_whole_file(dir.path() + "Skyrill Installer Log.txt", "left from an earlier run\n");

  process_result r = run_process({exe, "--lang=en"}, "",
                                 {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=dummy"},
                                 elsewhere.path());
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_NE(r.err.find("I could not set up the graphics for Skyrill!"), std::string::npos)
      << "no display shows the native box: the text goes to standard error\n" << r.err;

  std::string log = read_whole_file(dir.path() + "Skyrill Installer Log.txt");
  EXPECT_EQ(log.rfind("Installer log.txt for Skyrill Web Updater 2.04r1 compiled on ", 0), 0u) << log;
  EXPECT_NE(log.find("case sensitive=0\n\nLog folder: '" + dir.path() + "'\n     '--lang'='en'\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("default resolution now.\n(hl_init line 1586)\n"), std::string::npos) << log;
  EXPECT_TRUE(path_exists(dir.path() + "stack_crawl.txt"));
  EXPECT_TRUE(path_exists(dir.path() + "MemoryLog.txt"));
  for (const char* name : {"Skyrill Installer Log.txt", "stack_crawl.txt", "MemoryLog.txt"})
    EXPECT_FALSE(path_exists(elsewhere.path() + name)) << name;
}

}  // namespace
