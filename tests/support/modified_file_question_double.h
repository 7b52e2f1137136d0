// Answers the engine's modified-file question from a script instead of a window, and records
// every question asked.
#pragma once

#include <string>
#include <vector>

struct asked_question {
  std::string local_path;
  int deleting = 0;
};

namespace question_double {
// Answers given in order; once used up, every further question is answered with fallback.
void script(const std::vector<int>& answers, int fallback = 2);
// Answers by the asked path: the first rule whose text occurs in the path wins; else fallback.
void script_by_path(const std::vector<std::pair<std::string, int>>& rules, int fallback = 2);
std::vector<asked_question> asked();
void reset();
}  // namespace question_double
