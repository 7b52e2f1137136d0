// go_to_URL hands a web address to the desktop's opener: a stand-in xdg-open first on PATH
// records the arguments it gets.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/dialogs.h"
#include "runtime/shell_services.h"
#include "support/temp_tree.h"
#include "shell/startup.h"

namespace {

// The real shell answers the lower layers' calls, as after start-up.
const bool shell_hooks_installed = (shell_install_hooks(), true);

TEST(WebPage, OnlyWebAddressesReachTheOpenerAsOneArgument) {
  temp_tree dir;
  std::string stub = dir.write("bin/xdg-open",
                               "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> \"" +
                                   dir.path() + "args\"; done\n");
  chmod(stub.c_str(), 0755);
  const std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (dir.path() + "bin:" + old_path).c_str(), 1);
  char buf[4096];
  std::string old_cwd = getcwd(buf, sizeof buf) ? buf : "/";
  ASSERT_EQ(chdir(dir.path().c_str()), 0);

  go_to_URL("file:///etc/passwd");
  go_to_URL("javascript:alert(1)");
  go_to_URL("http://example.test/\nHost: evil");
  const std::string url = "http://example.test/a b'; $(touch m)";
  go_to_URL(url);
  go_to_URL("https://example.test/second");

  std::string args;
  for (int i = 0; i < 200; ++i) {
    args = read_whole_file(dir.path() + "args");
    if (args.find("second") != std::string::npos && args.find("touch") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // The two openers may run in either order.
  EXPECT_TRUE(args == url + "\nhttps://example.test/second\n" ||
              args == "https://example.test/second\n" + url + "\n")
      << args;
  EXPECT_FALSE(path_exists(dir.path() + "m"));
  setenv("PATH", old_path.c_str(), 1);
  if (chdir(old_cwd.c_str()) != 0) ADD_FAILURE();
}

TEST(WebPage, OverlongAddressIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  platform_set_alert_box([](const std::string& m, const std::string&) {
    std::fprintf(stderr, "BOX: %s\n", m.c_str());
  });
  temp_tree dir;
  EXPECT_EXIT(
      {
        if (chdir(dir.path().c_str()) != 0) std::_Exit(10);
        go_to_URL("http://example.test/" + std::string(480, 'x'));
        std::_Exit(11);
      },
      testing::ExitedWithCode(1), "BOX: String too long! http://example.test/xxx");
  platform_set_alert_box(nullptr);
}

}  // namespace
