// The update check against the update host and two mirrors served by nginx: the list fetched
// and read, a mirror picked, the release directory fetched from it and read; and the lists that
// must not lead there: an error page (fetched again after a wait, never taken for a newer
// format), a list without mirrors, a newer updater and a newer format.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "install/download_scheduler.h"
#include "install/install_model.h"
#include "install/installation_scan.h"
#include "install/installer_state.h"
#include "install/newer_program_alerts.h"
#include "install/web_update.h"
#include "install/wizard_globals.h"
#include "net/http_client.h"
#include "runtime/constants.h"
#include "runtime/shell_services.h"
#include "support/nginx_server.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "support/update_check_fixture.h"
#include "../install/web_mirror_fixture.h"
#include "wizard/server_list.h"

namespace {

class UpdateCheck : public update_check_test {
 protected:
  void SetUp() override {
    update_check_test::SetUp();
    if (HasFatalFailure()) return;
    list_file = nginx_root(nginx_hosts[0]) + name + "/serverlist9.txt";
    dest_dir_path = work.path() + "Skyrill 9/";
  }

  // A list naming both mirrors, each serving the release folder below the test's own folder.
  std::string two_mirror_list(const std::string& release) {
    return "I\n820 test list\nSERVERS\nFINAL " + release + "\nINS_VERSION 20402 https://x.example/ w\n" +
           "SERVER " + nginx_hosts[1] + "\n/" + name + "/\nA|Mirror A\n" + "SERVER " + nginx_hosts[2] +
           "\n/" + name + "/\nB|Mirror B\nENDOFLIST\n";
  }

  // The directory archive of a one-file release on the mirrors that have it.
  void publish_directory(const std::string& release, std::initializer_list<int> mirrors) {
    release_tree tree;
    tree["All/Resources/readme.txt"] = {"hello\n"};
    const std::string text = directory_text({}, tree);
    for (int m : mirrors) {
      const std::string folder = nginx_root(nginx_hosts[1 + m]) + name + "/" + release + "/";
      make_folders(folder);
      write_directory_archive(text, folder);
    }
  }

  // Steps the check once per "frame" until stop() holds; false when it did not within 60 s.
  template <class F>
  bool step_until(F stop) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!stop()) {
      if (std::chrono::steady_clock::now() > give_up) return false;
      UTL_download_directory();
      usleep(200);
    }
    return true;
  }

  std::string list_file;
};

TEST_F(UpdateCheck, TheListLeadsToTheDirectoryOfThePickedMirror) {
  write_whole_file(list_file, two_mirror_list("Release 2"));
  publish_directory("Release 2", {0, 1});
  ASSERT_TRUE(step_until([] { return stg.dir_stage == 2 || stg.dir_stage == 3; }));
  EXPECT_EQ(stg.dir_stage, 3);
  EXPECT_EQ(stg.server_count, 2);
  EXPECT_GE(stg.server_pick, 0);
  EXPECT_LT(stg.server_pick, 2);
  EXPECT_EQ(install_name, "Release 2");
  EXPECT_EQ(server_name[0], nginx_hosts[1]);
  EXPECT_EQ(server_path[1], "/" + name + "/Release 2/");
  EXPECT_EQ(server_desc[1], "B|Mirror B");
  EXPECT_EQ(server_list.phase, server_list_phase::read);
  ASSERT_EQ(sim_info.size(), 1u);
  EXPECT_EQ(sim_info[0].back().path, "All/Resources/readme.txt");
  EXPECT_TRUE(shell_double::alerts().empty());
  EXPECT_FALSE(path_exists(temp_path + "serverlist9.txt"));

  // Coming back to the search page reads the directory again from what is there.
  sim_info.clear();
  stg.dir_stage = 1;
  ASSERT_TRUE(step_until([] { return stg.dir_stage == 3; }));
  EXPECT_EQ(sim_info.size(), 1u);
}

TEST_F(UpdateCheck, AMirrorWithoutTheDirectoryHandsOverToTheOther) {
  write_whole_file(list_file, two_mirror_list("R"));
  publish_directory("R", {1});
  ASSERT_TRUE(step_until([] { return stg.dir_stage == 2 || stg.dir_stage == 3; }));
  EXPECT_EQ(stg.dir_stage, 3);
  EXPECT_EQ(stg.server_pick, 1);
}

TEST_F(UpdateCheck, ADirectoryArchiveThatCannotBeUnpackedSendsTheCheckElsewhereAndThenGivesUp) {
  write_whole_file(list_file, two_mirror_list("R"));
  publish_directory("R", {1});
  const std::string broken = nginx_root(nginx_hosts[1]) + name + "/R/";
  make_folders(broken);
  write_whole_file(broken + "directory.txt.zip", "PK\x03\x04 this is no zip archive");
  ASSERT_TRUE(step_until([] { return stg.dir_stage == 2 || stg.dir_stage == 3; }));
  EXPECT_EQ(stg.dir_stage, 3);
  EXPECT_EQ(stg.server_pick, 1);
  EXPECT_LE(shell_double::alerts().size(), 1u);

  // Both mirrors broken: an alert per attempt, then the check stops at stage 2.
  write_whole_file(nginx_root(nginx_hosts[2]) + name + "/R/directory.txt.zip", "not a zip either");
  shell_double::reset();
  stg.dir_stage = 0;
  ASSERT_TRUE(step_until([] { return stg.dir_stage == 2 || stg.dir_stage == 3; }));
  EXPECT_EQ(stg.dir_stage, 2);
  EXPECT_EQ(shell_double::alerts().size(), static_cast<size_t>(fetch_rounds_per_mirror * 2));
  for (int i = 0; i < 10; ++i) UTL_download_directory();
  EXPECT_EQ(http.slots[directory_http_slot], nullptr);
}

TEST_F(UpdateCheck, AnErrorPageIsFetchedAgainAfterAWaitAndNeverTakenForANewerFormat) {
  write_whole_file(list_file, "<html><body>Please log in to the hotel network</body></html>\n");
  fetch_retry_delay_scale = 1000;  // the wait outlasts the test
  ASSERT_TRUE(step_until([] { return server_list.phase == server_list_phase::waiting; }));
  EXPECT_EQ(server_list.failures, 1);
  EXPECT_EQ(app_done, 0);
  EXPECT_EQ(stg.format_error, 0);
  EXPECT_TRUE(shell_double::alerts().empty());
  EXPECT_TRUE(shell_double::urls().empty());
  // While it waits nothing is fetched.
  for (int i = 0; i < 20; ++i) UTL_download_directory();
  EXPECT_EQ(http.slots[server_list_http_slot], nullptr);
  EXPECT_EQ(server_list.phase, server_list_phase::waiting);

  // Once the wait is over the list is fetched again; an unreachable list counts the same way.
  fetch_retry_delay_scale = 0;
  server_list.retry_at = 0;
  unlink(list_file.c_str());
  ASSERT_TRUE(step_until([] { return server_list.failures == 2; }));
  write_whole_file(list_file, two_mirror_list("R"));
  publish_directory("R", {0, 1});
  server_list.retry_at = 0;
  ASSERT_TRUE(step_until([] { return stg.dir_stage == 3; }));
  EXPECT_EQ(server_list.failures, 0);
}

TEST_F(UpdateCheck, AListWithoutMirrorsFetchesNothingMore) {
  write_whole_file(list_file, "I\n820 x\nSERVERS\nFINAL R\nENDOFLIST\n");
  ASSERT_TRUE(step_until([] { return stg.server_count >= 0; }));
  for (int i = 0; i < 10; ++i) UTL_download_directory();
  EXPECT_EQ(stg.server_count, 0);
  EXPECT_EQ(stg.dir_stage, 2);
  EXPECT_EQ(server_list.phase, server_list_phase::no_mirrors);
  EXPECT_EQ(http.slots[directory_http_slot], nullptr);
  EXPECT_EQ(app_done, 0);
}

TEST_F(UpdateCheck, ANewerUpdaterEndsTheProgramAtItsPage) {
  write_whole_file(list_file, "I\n820 x\nSERVERS\nFINAL R\nINS_VERSION 20403 https://www.skyrill.example/new/ x\n"
                              "SERVER " + nginx_hosts[1] + "\n/p/\nA|A\nENDOFLIST\n");
  ASSERT_TRUE(step_until([] { return app_done != 0; }));
  EXPECT_EQ(shell_double::urls(), std::vector<std::string>{"https://www.skyrill.example/new/"});
  EXPECT_EQ(server_list.phase, server_list_phase::newer_program);
  EXPECT_EQ(stg.server_count, -1);
  ASSERT_EQ(shell_double::alerts().size(), 1u);

  // A page that is not a web address is not opened.
  reset_server_list();
  app_done = 0;
  shell_double::reset();
  write_whole_file(list_file, "I\n820 x\nSERVERS\nINS_VERSION 20403 file:///etc/passwd x\nENDOFLIST\n");
  ASSERT_TRUE(step_until([] { return app_done != 0; }));
  EXPECT_TRUE(shell_double::urls().empty());
}

TEST_F(UpdateCheck, ANewerListFormatAsksForANewInstaller) {
  write_whole_file(list_file, "I\n821 x\nSERVERS\nFINAL R\nENDOFLIST\n");
  ASSERT_TRUE(step_until([] { return app_done != 0; }));
  EXPECT_EQ(stg.format_error, 2);
  EXPECT_EQ(shell_double::urls(), std::vector<std::string>{maker_download_page});
  EXPECT_EQ(server_list.phase, server_list_phase::newer_program);
}

}  // namespace
