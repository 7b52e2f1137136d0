// The command-line options as a map from option name (dashes kept) to value, filled once on the
// main thread at start-up, right after the log opens, and only read afterwards. Every option is
// echoed to the log; "--cmnds", "--version", "-h" and "--help" print to standard output and end
// the process.
#pragma once

#include <map>
#include <string>

class UTL_cmdline : public std::map<std::string, std::string> {
 public:
  // Parses argv[1] to argv[argc - 1], then init_common.
  void init_unix(int argc, const char** argv);
  void init_unix(int argc, char** argv) { init_unix(argc, const_cast<const char**>(argv)); }
  // Parses one command-line string, then init_common.
  void init_win(const char* line);
  // Handles the options that print something and end the process; 0 when none is given.
  int init_common();

  // The parsing steps alone, without init_common.
  void parse_unix(int argc, const char** argv);
  void parse_win(const char* line);

  int has_option(const char* name) const;
  // The value, or "" for an absent option; the map is not changed.
  std::string get_option(const char* name) const;

 private:
  void add_option(const std::string& name, const std::string& value);
};

extern UTL_cmdline cmdline;
