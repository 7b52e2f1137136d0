// Self-registering statistics and remote commands: any unit publishes a named value or a named
// action by defining a file-level object. They are the attachment points for a monitoring
// client; this program only registers. The profiler hooks are attachment points of the same
// kind and do nothing.
//
// Registration runs during static initialisation, on one thread, with no lock. The list heads
// and counters are plain pointers and ints, constant-initialised, so a unit's objects may
// register before or after this unit's own initialiser has run.
#pragma once

#include <map>
#include <set>

// Kinds of statistic; the values are what a monitoring client groups by.
enum UTL_stat_type { UTL_stat_memory = 0, UTL_stat_perf = 2, UTL_stat_shadow = 4 };

class UTL_stat {
 public:
  // A statistic that reads an outside float.
  UTL_stat(float* value, const char* name, UTL_stat_type kind);
  // A statistic that holds its own value; its owner reads and changes `value` directly.
  UTL_stat(const char* name, UTL_stat_type kind, float initial);
  // The statistic stays registered: statistics are file-level objects that live until exit.
  ~UTL_stat() {}
  UTL_stat(const UTL_stat&) = delete;
  UTL_stat& operator=(const UTL_stat&) = delete;

  // Opens the registry: every statistic built so far joins the set of its kind, and later
  // ones join at once.
  static void init_stats();
  // Zeroes the own value of every registered statistic of the kind; an outside float is
  // never touched.
  static void reset_stats(UTL_stat_type kind);
  // The registry, by kind; filled only once init_stats has run.
  static std::map<UTL_stat_type, std::set<UTL_stat*>>& all_stats();

  void publish();

  float value;
  UTL_stat_type kind;
  UTL_stat* next_waiting;
  float* value_ptr;
  const char* name;  // a literal, not owned
};

class UTL_remote_cmd {
 public:
  using callback_t = void (*)();
  // Registers the command with the next free id (the first gets 1); the list holds the
  // newest first.
  UTL_remote_cmd(const char* name, callback_t callback);
  ~UTL_remote_cmd() {}
  UTL_remote_cmd(const UTL_remote_cmd&) = delete;
  UTL_remote_cmd& operator=(const UTL_remote_cmd&) = delete;

  // Calls the command with that id; nothing when no command has it. The context is the
  // client's and is not passed on.
  static void invoke(void* context, int id);
  static void init_remote_cmds();
  void publish() {}

  static UTL_remote_cmd* cmd_list;
  static int free_id;

  UTL_remote_cmd* next;
  callback_t callback;
  const char* name;  // a literal, not owned
  int id;
};

void UTL_profiler_init();
void UTL_profiler_start(const char* name);
void UTL_profiler_stop();
