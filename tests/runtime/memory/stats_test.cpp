#include "runtime/memory/stats.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
int calls_a = 0, calls_b = 0, calls_c = 0;
void cmd_a() { ++calls_a; }
void cmd_b() { ++calls_b; }
void cmd_c() { ++calls_c; }

bool registered(UTL_stat* s) {
  auto& all = UTL_stat::all_stats();
  auto it = all.find(s->kind);
  return it != all.end() && it->second.count(s);
}
}  // namespace

TEST(RemoteCmd, IdsCountUpAndTheListHoldsTheNewestFirst) {
  const int base = UTL_remote_cmd::free_id;
  static UTL_remote_cmd a("test/a", cmd_a), b("test/b", cmd_b), c("test/c", cmd_c);
  EXPECT_EQ(a.id, base);
  EXPECT_EQ(b.id, base + 1);
  EXPECT_EQ(c.id, base + 2);
  std::vector<UTL_remote_cmd*> order;
  for (UTL_remote_cmd* p = UTL_remote_cmd::cmd_list; p && order.size() < 3; p = p->next)
    order.push_back(p);
  EXPECT_EQ(order, (std::vector<UTL_remote_cmd*>{&c, &b, &a}));

  UTL_remote_cmd::invoke(nullptr, b.id);
  EXPECT_EQ(calls_a + calls_b * 10 + calls_c * 100, 10);
  UTL_remote_cmd::invoke(nullptr, base + 1000);  // no such id
  UTL_remote_cmd::invoke(nullptr, 0);
  EXPECT_EQ(calls_a + calls_b * 10 + calls_c * 100, 10);
}

// One test, because opening the registry cannot be undone within the process.
TEST(Stat, RegistryOpensOnceAndResetsOwnValuesOnly) {
  static float outside = 5.0f;
  static UTL_stat before("test/before", UTL_stat_perf, 3.0f);
  static UTL_stat reads_outside(&outside, "test/outside", UTL_stat_perf);
  EXPECT_FALSE(registered(&before));
  EXPECT_EQ(*before.value_ptr, 3.0f);
  EXPECT_EQ(reads_outside.value_ptr, &outside);

  UTL_stat::init_stats();
  EXPECT_TRUE(registered(&before));
  EXPECT_TRUE(registered(&reads_outside));

  static UTL_stat after("test/after", UTL_stat_shadow, 7.0f);
  EXPECT_TRUE(registered(&after));

  reads_outside.value = 9.0f;
  UTL_stat::reset_stats(UTL_stat_perf);
  EXPECT_EQ(before.value, 0.0f);
  EXPECT_EQ(reads_outside.value, 0.0f);
  EXPECT_EQ(outside, 5.0f);
  EXPECT_EQ(after.value, 7.0f);  // another kind

  UTL_stat::all_stats().erase(UTL_stat_memory);
  UTL_stat::reset_stats(UTL_stat_memory);
  ASSERT_EQ(UTL_stat::all_stats().count(UTL_stat_memory), 1u);
  EXPECT_TRUE(UTL_stat::all_stats()[UTL_stat_memory].empty());
}
