// An error report: the four lines of an alert, the source file and line that raised it and a
// severity (1 warning, 2 fatal). It carries an alert raised on a worker thread to the main
// thread, which alone shows alerts.
#pragma once

#include <string>

class exce_class {
 public:
  exce_class();
  exce_class(std::string line1, std::string line2, std::string line3, std::string line4,
             const char* file, int line_number, int severity);
  exce_class(const exce_class&) = default;
  exce_class& operator=(const exce_class&) = default;
  virtual ~exce_class() = default;

  void MakeFatal() { severity = 2; }
  // Shows the report on the main thread (or before the thread layer runs); on any other
  // thread it is posted to the main thread instead.
  void Report();
  // Writes the report to the log and returns.
  void LogAndContinue();

  std::string line1, line2, line3, line4;
  const char* file;  // a string literal: shared by copies, never freed
  int line_number;
  int severity;
};
