#include "support/modified_file_question_double.h"

#include <deque>

#include "install/modified_file_question.h"

namespace {
std::deque<int> queued;
std::vector<std::pair<std::string, int>> path_rules;
int fallback_answer = 2;
std::vector<asked_question> asked_log;

int answer(std::string local_path, int deleting) {
  asked_log.push_back({local_path, deleting});
  for (const auto& rule : path_rules)
    if (local_path.find(rule.first) != std::string::npos) return rule.second;
  if (!queued.empty()) {
    int a = queued.front();
    queued.pop_front();
    return a;
  }
  return fallback_answer;
}

// Installed before any test runs: a test program that links this double asks it.
const bool installed = (set_modified_file_question(answer), true);
}  // namespace

namespace question_double {
void script(const std::vector<int>& answers, int fallback) {
  queued.assign(answers.begin(), answers.end());
  path_rules.clear();
  fallback_answer = fallback;
}
void script_by_path(const std::vector<std::pair<std::string, int>>& rules, int fallback) {
  queued.clear();
  path_rules = rules;
  fallback_answer = fallback;
}
std::vector<asked_question> asked() { return asked_log; }
void reset() {
  queued.clear();
  path_rules.clear();
  fallback_answer = 2;
  asked_log.clear();
}
}  // namespace question_double
