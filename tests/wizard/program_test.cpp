// The installer program itself: started from a copy in a folder of its own, it rewrites its log
// there, starts and stops the thread layer and exits 0.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/threads.h"
#include "support/process.h"
#include "support/temp_tree.h"

namespace {

TEST(Program, StartsAndFinishesWithItsLog) {
  temp_tree dir;
  temp_tree elsewhere;
  const std::string exe = dir.path() + "skyrill-installer";
  std::filesystem::copy_file(SKY_BINARY_DIR "/src/skyrill-installer", exe);
  write_whole_file(dir.path() + "Skyrill Installer Log.txt", "left from an earlier run\n");

  process_result r =
      run_process({exe, "--lang=en"}, "", {"DISPLAY=", "WAYLAND_DISPLAY="}, elsewhere.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;

  std::string log = read_whole_file(dir.path() + "Skyrill Installer Log.txt");
  EXPECT_EQ(log.rfind("Installer log.txt for Skyrill Web Updater 2.04r1 compiled on ", 0), 0u) << log;
  std::string tail = "case sensitive=0\n\n     '--lang'='en'\nCPU count        : " +
                     std::to_string(platform_processor_count()) + "\nClean exit from threads.\n";
  // The start-up's header, then the wizard's folder lines (a blank line after them), then the
  // end.
  EXPECT_NE(log.find(tail.substr(0, tail.size() - std::string("Clean exit from threads.\n").size()) +
                     "os_dir_this_app\t\t="),
            std::string::npos)
      << log;
  const std::string end = "\n\nClean exit from threads.\n";
  ASSERT_GE(log.size(), end.size());
  EXPECT_EQ(log.substr(log.size() - end.size()), end);
  EXPECT_FALSE(path_exists(dir.path() + "stack_crawl.txt"));
  EXPECT_FALSE(path_exists(elsewhere.path() + "Skyrill Installer Log.txt"));
}

}  // namespace
