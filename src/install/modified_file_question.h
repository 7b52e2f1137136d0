// The modal question about one file the user changed: the engine asks, the shell draws the
// window (700 x 146 units, id 996) and runs its frames until a button is pressed. The engine
// sits below the shell, so the question goes through a hook the shell installs; tests install
// a double that answers from a script.
#pragma once

#include <string>

// Answers of the question.
enum {
  answer_replace = 1,         // overwrite (or delete) this file
  answer_keep = 2,            // keep this file
  answer_cancel = 3,          // cancel the whole installation; also the window closed unanswered
  answer_replace_folder = 4,  // overwrite (or delete) every modified file in this folder
  answer_keep_folder = 5,     // keep every modified file in this folder
};

// Asks about the local file at local_path; deleting is 1 when the release no longer has the
// file. The texts are translated by the callee; the path is shown unchanged. With no hook
// installed (a program without a window) the answer is answer_keep: nothing the user changed is
// replaced unasked.
int select_alert(std::string local_path, int deleting);

using modified_file_question_hook = int (*)(std::string local_path, int deleting);
void set_modified_file_question(modified_file_question_hook ask);
