// Runs a program for a test: an argument vector (no shell), its standard output captured,
// optional standard input, and the exit status. Used for process tests of the real binary and
// for reference tools such as md5sum, zip and 7z.
#pragma once

#include <string>
#include <vector>

struct process_result {
  int exit_code = -1;  // the exit status, or 128 + signal number when killed by a signal
  std::string out;     // standard output
  std::string err;     // standard error
};

process_result run_process(const std::vector<std::string>& argv, const std::string& input = "",
                           const std::vector<std::string>& extra_env = {},
                           const std::string& working_dir = "");

// The lower-case hex MD5 of a file according to md5sum.
std::string md5sum_of(const std::string& path);
