// Statistics and commands defined as globals in two other units (stats_unit_a.cpp,
// stats_unit_b.cpp) must all be registered by the time main runs, whatever order the units'
// initialisers ran in, this library's own included.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "runtime/memory/stats.h"

extern UTL_stat unit_a_stat, unit_b_stat;
extern UTL_remote_cmd unit_a_cmd, unit_b_cmd;

TEST(StatStaticInit, GlobalsOfOtherUnitsAreRegisteredBeforeMain) {
  std::set<std::string> cmds;
  for (UTL_remote_cmd* c = UTL_remote_cmd::cmd_list; c; c = c->next) cmds.insert(c->name);
  EXPECT_TRUE(cmds.count("Unit A Command"));
  EXPECT_TRUE(cmds.count("Unit B Command"));
  EXPECT_NE(unit_a_cmd.id, unit_b_cmd.id);
  EXPECT_GE(UTL_remote_cmd::free_id, 3);

  UTL_stat::init_stats();
  EXPECT_TRUE(UTL_stat::all_stats()[UTL_stat_memory].count(&unit_a_stat));
  EXPECT_TRUE(UTL_stat::all_stats()[UTL_stat_perf].count(&unit_b_stat));
  EXPECT_EQ(unit_a_stat.value, 1.5f);
}
