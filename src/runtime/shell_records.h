// The shell's records that the lower layers read and write: the window-and-input record `mnw`,
// the colour palette `colr` and the command registry `cmnd`. They live here, below the shell,
// so that every layer can use them; the shell fills them. Main thread only; no lock.
#pragma once

#include <string>
#include <vector>

// The window-and-input record: the whole state of the window, the current screen, the mouse
// and the keyboard, read directly by every widget, drawing call and screen. All zero at load;
// start-up fills the display fields. Screen units are the 2-D units of the current screen, y up.
struct mnw_struct {
  // Display preferences, exchanged with the preference file.
  int aa_level_wanted;      // anti-aliasing wanted: 0 none, 1 two samples ... 4 sixteen
  int second_monitor;       // second-monitor-in-use flag
  int set_res;              // set-resolution setting
  int req_width;            // requested screen width (800 at start-up)
  int req_height;           // requested screen height (600 at start-up)
  int req_depth;            // requested colour depth in bits (32 at start-up)
  int language;             // interface language: a row of the language table, -1 none
  int key_list;             // key-list setting
  int display_prefs_found;  // display preferences were read

  int aa_level_obtained;  // the level whose pixel format was accepted
  void* windows[2];       // the application window; [1] only in two-window mode
  void* contexts[2];      // their GL contexts; [1] shares [0]
  int second_shown;       // two-window mode: the mouse may be over the second window; never set

  int topwi;        // current screen id: -1 before the first, 0 the main screen, else 1, 2, 992-999
  int mouse_wi;     // screen id for the mouse, set by MACIBM_startwind
  int mouse_in;     // this frame's screen under the mouse
  int modal;        // the current screen is one of the fixed-size modal screens
  int two_windows;  // two-window mode; never set in this program
  int profile_chart;  // turns on the frame profiler's log lines; 0 in this program
  int cursor_request;  // cleared every frame: 2 hides the cursor, 1 leaves it to another party,
                       // 3-14 draw a cursor picture
  int open_menu;       // index into menu of the open in-window menu, -1 none, 1519 the pop-up

  float origin_x, origin_y;  // the current screen's lower-left corner, in screen units
  float screen_w, screen_h;  // the current screen's size, in screen units
  int draw_w, draw_h;        // drawable size in pixels
  int depth;                 // colour depth in use, bits per pixel
  int change_depth;          // the display's depth may be switched
  int fit_to_screen;         // requested size from the display's; never set in this program
  int tex_res;               // texture resolution level: 0-4 reduce to 1/32-1/2, else full; 5 at start-up
  float centre_x, centre_y;          // layout centre
  float side_margin, extra_height;   // design-area offsets
  float ortho_l, ortho_b, ortho_r, ortho_t;  // orthographic bounds
  float unit_factor;         // first pixel scale
  float pix_per_unit;        // pixels per screen unit

  float mouse_x, mouse_y;  // in screen units, relative to the current screen's origin
  int mouse_down;          // the button went down this frame
  int mouse_up;            // the button went up this frame
  int mouse_held;          // the button is down
  int mouse_long;          // held, and more than 0.25 s since the press
  int mouse_double;        // pressed this frame within 0.25 s of the previous press
  int mouse_quick;         // released this frame within 0.25 s of the press
  int wheel;               // sum of the wheel deltas since the current screen started
  int key_went_down;       // a key-down or auto-repeat arrived this frame
  int last_char;           // the character of the last key no widget consumed
  int key_handling;        // read by the key translation; 0 in this program
  float press_time;        // frame-clock time of the last press
  float activity_time;     // frame-clock time of the last press or movement
};

extern mnw_struct mnw;

// The colour palette: every drawing call names its colour by an entry number (0 to 105), plus a
// 1000-step colour ramp for value scales. (The image readers' gamma settings are TEX_gamma of
// the graphics layer, graphics/image_desc.h.)
class colr_class {
 public:
  enum { entry_count = 106, ramp_steps = 1000 };
  // Zeroes everything and sets the default palette.
  colr_class();
  // Sets one entry; a number outside 0 to 105 is a caller's bug and changes nothing.
  void assign(int number, float red, float green, float blue);
  // Raises each component of the light entry 105 to at least 0.75 (a value that is not a
  // number becomes 0.75).
  void set_lites_for_interface();
  // Fills the ramp: type 0 a rainbow from red through orange, yellow, green and blue towards
  // violet; 1, 2, 3 a red, green or blue rise from black; any other type changes nothing.
  void spectrum_init(int type);
  // A vertical value scale 1000 units tall at (x, y): its end values as numbers and a column of
  // points in the ramp's colours, drawn through the scale drawer (set_colr_scale_drawer).
  void spectrum_plotscale(float x, float y, float minimum, float maximum, int decimals);

  // One point of a value scale.
  struct scale_point {
    float x, y, rgb[3];
  };
  // The points of the scale last set by spectrum_plotscale, bottom up, 4 units apart.
  std::vector<scale_point> scale_points(float x, float y) const;

  float rgb[entry_count][3];
  float pulse;  // the brightness of the pulsing entries 79 to 84, set by the shell every frame
  float scale_min, scale_max, scale_range;  // the last value scale drawn
  float ramp[ramp_steps][3];
};

// Draws a value scale: the maximum at (x + 4, y + 996) and the minimum at (x + 4, y - 4) as
// numbers in entry 0 with 5 digits and the given decimals, then the points, 4 pixels wide,
// untextured and blended. Installed by the drawing layer; until then a scale draws nothing.
using colr_scale_drawer = void (*)(float x, float y, float minimum, float maximum, int decimals,
                                   const std::vector<colr_class::scale_point>& points);
void set_colr_scale_drawer(colr_scale_drawer draw);

extern colr_class colr;

// The registry of named commands, found by "/"-separated paths. Number 0 is the built-in
// command "sim/-none-/-none-", which also stands for no command.
class cmnd_class {
 public:
  // Makes command 0 from the first row of the built-in table.
  cmnd_class();
  // The number of the first command whose path is exactly path; 0 when none is.
  int get_cmnd_by_name(const std::string& path) const;
  // Appends a command of type 2 and returns its number.
  int add_cmd(const std::string& path, const std::string& description);
  // Empties out, then appends for every command path longer than prefix and beginning with it
  // the rest after the prefix, cut after its first "/" (so a branch ends with "/"): one entry
  // per matching command, in number order, not sorted or merged.
  void get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) const;
  // Press counts: presses not yet released (below 0 when releases outnumber presses). A number
  // that names no command is a caller's bug and changes nothing.
  void press_one(int number);
  void release_one(int number);
  void single_press(int number);    // a press and its release at once
  void press_always(int number);    // the per-frame call for a held command: nothing to do

  // One entry per command, indexed by its number.
  std::vector<std::string> symbols;
  std::vector<std::string> paths;
  std::vector<std::string> descriptions;
  std::vector<int> types;
  std::vector<int> presses;
};

extern cmnd_class cmnd;

// The built-in commands: the registry starts with the first row; the key bindings' reset binds
// its key and modifiers.
struct default_command {
  const char* symbol;
  const char* path;
  const char* description;
  int type;
  int key;
  int modifiers;
};
extern const default_command default_commands[1];

// The plane focus, a process-wide number with a getter and a setter (0 at start).
int get_plane_focus();
void set_plane_focus(int focus);

