// The window side of the install engine's question about a file the user changed: modal
// screen 996 with the file's path and five answers. Installed as the engine's
// modified-file question at start-up.
#pragma once

#include <string>

// Runs the screen's own frames until an answer is pressed (1 replace, 2 keep, 4 replace the
// folder, 5 keep the folder, 3 cancel the whole installation); 3 as well when the screen is
// closed or left without an answer, or the program is asked to quit. With no frame to ask in
// (before the window exists) the file is kept: 2.
int shell_select_alert(std::string local_path, int deleting);

// The five buttons as drawn: centre, width, answer and English label.
struct file_question_button {
  float x, y, width;
  int answer;
  const char* label;
};
const file_question_button* file_question_buttons(int deleting);  // five of them
