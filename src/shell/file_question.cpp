// The modified-file question: a modal screen with its own loop of frames inside the engine's
// decision pass, which waits for the answer.
#include "shell/file_question.h"

#include "install/modified_file_question.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/modal_screen.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

namespace {

constexpr int kQuestionScreen = 996;

const file_question_button kInstalling[5] = {
    {96, 53, 160, answer_replace, "OVERWRITE THE OLD FILE"},
    {96, 28, 160, answer_keep, "KEEP THE OLD FILE"},
    {308, 53, 260, answer_replace_folder, "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY"},
    {308, 28, 260, answer_keep_folder, "KEEP EVERY OLD FILE IN THIS DIRECTORY"},
    {584, 28, 200, answer_cancel, "CANCEL THE WHOLE INSTALLATION!"},
};
const file_question_button kDeleting[5] = {
    {96, 53, 160, answer_replace, "DELETE THE OLD FILE"},
    {96, 28, 160, answer_keep, "KEEP THE OLD FILE"},
    {308, 53, 260, answer_replace_folder, "DELETE EVERY OLD FILE IN THIS DIRECTORY"},
    {308, 28, 260, answer_keep_folder, "KEEP EVERY OLD FILE IN THIS DIRECTORY"},
    {584, 28, 200, answer_cancel, "CANCEL THE WHOLE INSTALLATION!"},
};

}  // namespace

const file_question_button* file_question_buttons(int deleting) { return deleting ? kDeleting : kInstalling; }

int shell_select_alert(std::string local_path, int deleting) {
  shell_screen_calls& frame = shell_screen();
  if (!frame.startwind || !frame.event_proc) return answer_keep;
  frame.startwind(kQuestionScreen);
  if (mnw.topwi != kQuestionScreen) return answer_cancel;

  const std::string first = UTL_translate_string(deleting ? "I am about to DELETE:" : "I am about to install:");
  const std::string second = UTL_translate_string(
      deleting ? "because we no longer use this file, but it appears you have modified it. What to do?"
               : "but it appears you have modified this file. What to do?");
  std::string labels[5];
  const file_question_button* buttons = file_question_buttons(deleting);
  for (int i = 0; i < 5; ++i) labels[i] = UTL_translate_string(buttons[i].label);

  // A quit request while the question is up (the window's close box) ends the question as a
  // cancel: the screen would otherwise stay current with nobody left to answer it.
  while (mnw.topwi == kQuestionScreen && !app_done) {
    if (frame.plot_back_col) frame.plot_back_col();
    BTN_fillwin(1, 21);
    const float width = mnw.screen_w - 40;
    widget_draw_calls& draw = widget_drawing();
    draw.text(43, 20, 100, first, width, 0);
    draw.text(43, 20, 90, local_path, width, 0);
    draw.text(43, 20, 80, second, width, 0);
    for (int i = 0; i < 5; ++i) {
      if (BTN_action(buttons[i].x, buttons[i].y, buttons[i].width, 0, 1, labels[i], "-")) {
        // The press is used up: the engine asks about its next changed file at once, before
        // any frame clears the flag, and that question must not take this click as its answer.
        mnw.mouse_down = 0;
        frame.startwind(0);
        return buttons[i].answer;
      }
    }
    frame.event_proc();
  }
  return answer_cancel;
}
