// The wanted test, the slot reset and the cell tables' layout.
#include "install/installer_state.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "files/preferences.h"
#include "model_fixture.h"
#include "net/http_client.h"
#include "support/temp_tree.h"

namespace {

// Worked by hand from the rule: the entry's kind must be wanted, and its platform must be 0
// (every platform), the chosen one, or 6 (Unix) when Linux (3) is chosen.
TEST(InstallerState, WantedByKindAndPlatform) {
  struct row {
    const char* name;
    int global;  // 0 the simulator entry, 1 the global-scenery tile
    int want_sim, want_global;
    int platform, os;
    int want;
  } rows[] = {
      {"simulator file for every platform, simulator wanted", 0, 1, 0, 0, 1, 1},
      {"simulator file, only scenery wanted", 0, 0, 1, 0, 3, 0},
      {"scenery tile, scenery wanted", 1, 0, 1, 0, 2, 1},
      {"scenery tile, only the simulator wanted", 1, 1, 0, 0, 3, 0},
      {"Windows file on Windows", 0, 1, 1, 2, 2, 1},
      {"Windows file on Linux", 0, 1, 1, 2, 3, 0},
      {"Macintosh file on Linux", 0, 1, 1, 1, 3, 0},
      {"Linux file on Linux", 0, 1, 1, 3, 3, 1},
      {"Unix file on Linux", 0, 1, 1, 6, 3, 1},
      {"Unix file on Macintosh", 0, 1, 1, 6, 1, 0},
      {"Unix scenery tile on Linux", 1, 0, 1, 6, 3, 1},
      {"nothing wanted", 0, 0, 0, 0, 3, 0},
  };
  reset_model();
  add_history("All/x", {sig("a")}, "NONE");
  add_history("All/Global Scenery/+40-120/+45-118.dsf", {sig("a")}, "NONE");
  ASSERT_EQ(sim_info[1].back().is_global, 1);
  for (const row& r : rows) {
    set_install_filter(r.want_sim, r.want_global);
    stg.download_os = r.os;
    sim_info[r.global].back().platform = r.platform;
    EXPECT_EQ(want_this_f(r.global, 0), r.want) << r.name;
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
