// A second unit with its own statistic and command, for stats_static_test.cpp.
#include "runtime/memory/stats.h"

static float unit_b_value = 2.0f;
static void unit_b_action() {}
UTL_stat unit_b_stat(&unit_b_value, "test/unit_b", UTL_stat_perf);
UTL_remote_cmd unit_b_cmd("Unit B Command", unit_b_action);
