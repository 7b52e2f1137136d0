#include "install/modified_file_question.h"

namespace {
modified_file_question_hook hook = nullptr;
}  // namespace

void set_modified_file_question(modified_file_question_hook ask) { hook = ask; }

int select_alert(std::string local_path, int deleting) {
  return hook ? hook(std::move(local_path), deleting) : answer_keep;
}
