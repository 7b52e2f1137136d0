// The wizard: one page drawn afresh every frame. The current screen function fills an empty page
// record; the driver draws the window's fixed frame (background, the flow's steps, two panels),
// the page (title, text, choices, progress bar, mirror list) and the bottom bar (Quit,
// Preferences, Back, Next), and applies what the user pressed. Only the driver changes the
// current screen. Main thread only.
#pragma once

#include <string>
#include <vector>

struct wizard_screen;
// A screen: first is 1 on the first frame after the screen became current. A non-zero result
// asks the driver to go on to the page's go_next.
using wizard_func = int (*)(int first, wizard_screen& page);

struct wizard_screen {
  std::string title;
  std::string text;
  wizard_func go_back = nullptr;  // null: Back disabled
  wizard_func go_next = nullptr;  // null: Next disabled; wizard_quit: the right button quits
  float progress = -1;            // 0 to 1; negative (or not a number) hides the bar
  std::string progress_text;
  int show_servers = 0;           // the radio list of update servers
  int allow_prefs = 0;            // the Preferences button
  std::vector<std::string> choices;
  std::vector<wizard_func> choice_funcs;
  void (*on_cancel)() = nullptr;  // stops the screen's work when the program ends
  // Work the page goes on with while its frame is rendered, when the page stays current.
  void (*while_drawn)() = nullptr;
};

// The current screen; null ends the program.
extern wizard_func g_wizard;
// The flow's steps, listed at the left; the step whose function is current is highlighted.
extern std::vector<std::string> step_names;
extern std::vector<wizard_func> step_funcs;

// One step of a flow: its English name (translated when the list is set) and its screen.
struct wizard_step {
  const char* name;
  wizard_func func;
};
// Replaces the step list with these steps, in order.
void set_wizard_steps(const std::vector<wizard_step>& steps);

// Left edges of the bottom-bar icons in the 1024-wide button atlas: row k is icon k's left edge
// (row k+1 its right edge); columns English, French, German. Icons: 0 Quit, 1 Back, 2 Next,
// 3 and 4 the world map's, 5 unused, 6 Preferences.
extern const float btn_cuts[8][3];
// The texture references of the button atlas and the background.
enum { button_atlas_texture = 395, background_texture = 397 };

// One bottom-bar button, 22 units high at y: align 0 centres it on x, 1 puts its left edge at x,
// -1 its right edge. *width (when given) receives the icon's width. Look 2 is the disabled look
// (half opacity, never the hover or pressed band). 1 when it was clicked in this frame, whether
// enabled or not: callers test their own condition.
int interface_rect(float x, float y, int icon, int align, int* width, int enabled, int look);

// The width of a bottom-bar icon in the current language.
float interface_icon_width(int icon);

// A screen that ends the program: sets app_done and returns 1.
int wizard_quit(int first, wizard_screen& page);

// One frame of the wizard.
void APP_update();

// The shown page's work while its frame is rendered (the shell calls it between the drawing and
// the swap); nothing when the frame changed the page.
void wizard_while_frame_renders();

// Runs the cancel hook of the last page shown, once: the program calls it whenever the main
// loop ends (Quit, wizard_quit, the window's close button, a null screen), so no worker pool
// outlives the data it works on.
void wizard_cancel_work();

// The shell's menu and function-key hooks; the wizard has no menus.
void APP_handlemenu(int item);
void function_key(int key);

// The screen shown before the current one, and its title, as they were when the current one
// became current: for a screen any flow can open, whose Back returns there. Null and empty at
// the first screen.
wizard_func wizard_came_from();
const std::string& wizard_came_from_title();

// Forgets the previous frame's screen (the next frame is a first frame); for tests.
void wizard_driver_reset();
