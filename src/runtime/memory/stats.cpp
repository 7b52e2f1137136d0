#include "runtime/memory/stats.h"

namespace {
// Constant-initialised, so usable by any unit's static initialiser whatever the order.
UTL_stat* waiting = nullptr;
int stat_initialized = 0;
int remote_cmds_inited = 0;
}  // namespace

UTL_remote_cmd* UTL_remote_cmd::cmd_list = nullptr;
int UTL_remote_cmd::free_id = 1;

std::map<UTL_stat_type, std::set<UTL_stat*>>& UTL_stat::all_stats() {
  // Built on first use: the registry is opened at run time, long after static initialisation.
  static std::map<UTL_stat_type, std::set<UTL_stat*>> stats;
  return stats;
}

UTL_stat::UTL_stat(float* outside, const char* stat_name, UTL_stat_type stat_kind)
    : value(0), kind(stat_kind), next_waiting(nullptr), value_ptr(outside), name(stat_name) {
  publish();
}

UTL_stat::UTL_stat(const char* stat_name, UTL_stat_type stat_kind, float initial)
    : value(initial), kind(stat_kind), next_waiting(nullptr), value_ptr(&value), name(stat_name) {
  publish();
}

void UTL_stat::publish() {
  if (stat_initialized) {
    all_stats()[kind].insert(this);
  } else {
    next_waiting = waiting;
    waiting = this;
  }
}

void UTL_stat::init_stats() {
  for (UTL_stat* s = waiting; s; s = s->next_waiting) all_stats()[s->kind].insert(s);
  stat_initialized = 1;
}

void UTL_stat::reset_stats(UTL_stat_type kind) {
  for (UTL_stat* s : all_stats()[kind]) s->value = 0;
}

UTL_remote_cmd::UTL_remote_cmd(const char* cmd_name, callback_t cmd_callback)
    : next(cmd_list), callback(cmd_callback), name(cmd_name), id(free_id++) {
  cmd_list = this;
}

void UTL_remote_cmd::invoke(void*, int cmd_id) {
  for (UTL_remote_cmd* c = cmd_list; c; c = c->next) {
    if (c->id == cmd_id) {
      if (c->callback) c->callback();
      return;
    }
  }
}

void UTL_remote_cmd::init_remote_cmds() {
  remote_cmds_inited = 1;
  for (UTL_remote_cmd* c = cmd_list; c; c = c->next) c->publish();
}

void UTL_profiler_init() {}
void UTL_profiler_start(const char*) {}
void UTL_profiler_stop() {}
