// A unit with its own statistic and command, for stats_static_test.cpp.
#include "runtime/memory/stats.h"

static void unit_a_action() {}
UTL_stat unit_a_stat("test/unit_a", UTL_stat_memory, 1.5f);
UTL_remote_cmd unit_a_cmd("Unit A Command", unit_a_action);
