// What the scenery and repair flows share: the screen that picks the registered copy to work on,
// the question that stops a running install step, and the finish screens' error test.
#pragma once

#include "wizard/wizard_driver.h"

// The copy chooser page (title and prompt in English, translated here): Back to the start
// screen, Next to next once a registered copy is chosen; a single copy is chosen for the user.
int disc_pick_copy(int first, wizard_screen& page, const char* title, const char* prompt, wizard_func next);

// Asks whether to stop the running install step ("Stop" / "Continue", both with the note).
// 1 only for the Stop button: the close box and Return leave the install running.
int disc_stop_question(const char* question, const char* note);

// Whether the last install step had errors: files that failed to install or to delete.
bool disc_install_errors();
