// The newer-updater and newer-format alerts with the alert and the browser recorded.
#include "install/newer_program_alerts.h"

#include <gtest/gtest.h>

#include "install/installer_state.h"
#include "runtime/shell_services.h"
#include "support/shell_double.h"

namespace {

TEST(NewerProgramAlerts, NewFormatNamesTheFileAndQuits) {
  shell_double::reset();
  stg.format_error = 0;
  new_format("/tmp/x/directory.txt");
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, 1);
  EXPECT_EQ(alerts[0].lines[0],
            "OK I am checking the Corvane servers and I am finding file formats that are newer "
            "than I can understand!");
  EXPECT_EQ(alerts[0].lines[1], "In other words, you need to get a new installer!");
  EXPECT_EQ(alerts[0].lines[3], "/tmp/x/directory.txt");
  EXPECT_EQ(shell_double::urls(), std::vector<std::string>{maker_download_page});
  EXPECT_EQ(stg.format_error, 2);
  EXPECT_EQ(app_done, 1);
}

TEST(NewerProgramAlerts, NewInstallerOpensOnlyWebAddresses) {
  struct row {
    const char* url;
    bool opened;
  } rows[] = {
      {"http://update.example/installer", true},
      {"https://update.example/installer", true},
      {"file:///etc/passwd", false},
      {"--help", false},
      {"http://a\nb", false},
      {"", false},
  };
  for (const row& r : rows) {
    shell_double::reset();
    stg.format_error = 0;
    new_installer(r.url);
    auto alerts = shell_double::alerts();
    ASSERT_EQ(alerts.size(), 1u) << r.url;
    EXPECT_EQ(alerts[0].lines[0], "There is a newer version of the Skyrill web updater available.");
    EXPECT_EQ(alerts[0].lines[1], "I will take you to the web page where you can downoad it.");
    EXPECT_EQ(shell_double::urls().size(), r.opened ? 1u : 0u) << r.url;
    EXPECT_EQ(app_done, 1) << r.url;
    EXPECT_EQ(stg.format_error, 0) << r.url;
  }
}

}  // namespace
