// The wanted test, the slot reset and the cell tables' layout.
#include "install/installer_state.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "files/preferences.h"
#include "model_fixture.h"
#include "net/http_client.h"
#include "support/temp_tree.h"

namespace {

TEST(InstallerState, WantedByKindAndPlatform) {
  reset_model();
  add_history("All/x", {sig("a")}, "NONE");
  add_history("All/Global Scenery/+40-120/+45-118.dsf", {sig("a")}, "NONE");
  ASSERT_EQ(sim_info[1].back().is_global, 1);
  for (int global = 0; global < 2; ++global) {
    for (int want_sim = 0; want_sim < 2; ++want_sim) {
      for (int want_global = 0; want_global < 2; ++want_global) {
        for (int platform = 0; platform <= 6; ++platform) {
          for (int os = 1; os <= 3; ++os) {
            set_install_filter(want_sim, want_global);
            stg.download_os = os;
            sim_info[global].back().platform = platform;
            bool kind = global ? want_global : want_sim;
            bool plat = platform == 0 || platform == os || (platform == 6 && os == 3);
            EXPECT_EQ(want_this_f(global, 0), kind && plat ? 1 : 0)
                << "global " << global << " sim " << want_sim << " glob " << want_global
                << " platform " << platform << " os " << os;
          }
        }
      }
    }
  }
}

TEST(InstallerState, SlotResetStartsTwoStreams) {
  reset_model();
  next.all_done = 1;
  next.file_cursor = 7;
  next.kb_done = 5;
  next.slot_active[3] = 1;
  reset_download_slots();
  EXPECT_EQ(next.file_cursor, 0);
  EXPECT_EQ(next.all_done, 0);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(next.slot_active[i], i < 2 ? 1 : 0);
    EXPECT_EQ(next.slot_ready[i], i < 2 ? 1 : 0);
    EXPECT_EQ(next.slot_file[i], 0);
  }
  EXPECT_EQ(next.kb_done, 0);
  EXPECT_EQ(next.kb_partial, 0);
  EXPECT_EQ(next.kb_installed, 0);
}

TEST(InstallerState, StreamCountOutsideItsRangeIsClamped) {
  const int cases[][2] = {{-3, 0}, {0, 0}, {1, 1}, {4, 4}, {9, 4}};
  for (const auto& c : cases) {
    stg.stream_count = c[0];
    EXPECT_EQ(effective_stream_count(), c[1]) << c[0];
  }
}

TEST(InstallerState, CellIndexAliasesLongitudeThenLatitude) {
  reset_model();
  EXPECT_EQ(sector_index(13, 6), 121);
  (&stg.sector_want[0][0])[121] = 1;
  EXPECT_EQ(stg.sector_want[6][13], 1);
}

}  // namespace

namespace {

TEST(InstallerState, PreferenceFileCarriesTheEngineSettings) {
  temp_tree config;
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  bind_installer_preferences();
  stg.stream_count = 3;
  stg.log_actions = 1;
  stg.get_beta = 1;
  http.proxy_host = "proxy.example";
  http.proxy_port = 3128;
  pref.IO_set(11, 1);
  ASSERT_TRUE(path_exists(installer_pref_path())) << installer_pref_path();
  stg.stream_count = 0;
  stg.log_actions = 0;
  stg.get_beta = 0;
  http.proxy_host.clear();
  http.proxy_port = 0;
  pref.IO_set(11, 0);
  EXPECT_EQ(stg.stream_count, 3);
  EXPECT_EQ(stg.log_actions, 1);
  EXPECT_EQ(stg.get_beta, 1);
  EXPECT_EQ(http.proxy_host, "proxy.example");
  EXPECT_EQ(http.proxy_port, 3128);
}

}  // namespace
