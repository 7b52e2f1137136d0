#include <gtest/gtest.h>

#include <thread>

#include "runtime/shell_services.h"
#include "support/shell_double.h"

// The double must tell the main thread from workers, or tests of alert routing prove nothing.
TEST(ShellDouble, RecordsAlertsWithTheirThread) {
  shell_double::reset();
  __MACIBM_alert(0, "a", "b", "c", "d", t_alert, "file", 7);
  std::thread([] { __MACIBM_alert(0, "w", "", "", "", t_exit, "f", 1); }).join();
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[0].lines[3], "d");
  EXPECT_TRUE(alerts[0].on_main_thread);
  EXPECT_FALSE(alerts[1].on_main_thread);
  xer << "logged" << std::endl;
  EXPECT_EQ(shell_double::log_text(), "logged\n");
}
