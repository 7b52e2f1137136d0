// The immediate-mode widget toolkit: frames, windows and labels, push buttons, check boxes and
// radio buttons, and the keyboard focus ring. A screen calls each widget once per frame with
// the caller's variable; the widget draws from the interface atlas (texture 392, 512 x 512
// texels, t counted up from the bottom row), reads this frame's mouse state in mnw and returns
// 1 in the frame in which the user acted on it. Positions are screen units relative to the
// current screen's origin, y up; colours are palette numbers. Clicks count only on the pressed
// flag and only while no in-window menu is open. Main thread only.
#pragma once

#include <string>
#include <vector>

// Labels
// A label is a left text, '|' and a right text, then '{', one separator character and a
// hover-help text; every piece may be missing. A '|' inside the help text is part of the help.
void BTN_expand_label(const std::string& label, std::string* left, std::string* right, std::string* help);
// Draws one label part: type 0 right-aligned at x, 1 centred, 2 left-aligned; colour 81 when
// lit, else 43. Parts of types 0 and 2 longer than 12 bytes break in two lines at the space,
// '-' or '/' nearest the middle; a leading '-' is dropped and stops the split.
void BTN_util_draw_label(float x, float y, int type, const std::string& text, int lit);
// Where a label part of that type breaks: the break position, or 0 for one line.
int BTN_label_break(const std::string& text, int type);

// Frames
// One-row bar centred on (x_centre, y_centre): types 0 to 5 and 7 to 10 (2 and 3 the push
// button, 4 and 5 the progress bar, 9 the entry field).
void BTN_frame1(int type, float x_centre, float y_centre, float width, int colour);
// The vertical track, type 6; both centre coordinates must be whole numbers.
void BTN_frame0(int type, float x_centre, float y_centre, float height);
// A panel whose named rectangle has its lower-left corner at (x, y), drawn a margin larger:
// types 11 to 20 (11 a window with close boxes, 13 a plain panel, 15 a panel with a highlighted
// title, 20 the wizard's panels from the button atlas 395).
void BTN_frame2(int type, float x, float y, float width, float height, const std::string& title);
// The current screen's background: a window (type 11 with close boxes, else 12) over the whole
// screen with its title, then inner_type 1 a full-width bar, 21 nothing, any other that panel
// type inset by 10 units.
void BTN_fillwin(int close_boxes, int inner_type);
// A framed sub-panel; a negative x or y becomes 10, a negative width or height fills the
// screen. Reports where the neighbouring panels to the right and above begin.
void BTN_subwin(float top_reserve, int type, float x, float y, float width, float height,
                const std::string& title, float* next_x, float* next_y);
// The two window close boxes (lit: the pressed look); 1 when this frame's press is in one.
int BTN_zap_boxes(int lit);
// One tab of a tab row; a click sets *selected = value and returns 1.
int BTN_tab(int column, int row, int* selected, int value, const std::string& label);
// A compass dial showing *heading in degrees; dragging within it sets the heading.
void plot_dir(float x, float y, float* heading, int style);
// The atlas rectangle centred on texel (s, t), half_width x half_height texels, drawn the same
// size centred on (x, y).
void BTN_util_element(float x, float y, float s, float t, float half_width, float half_height, int colour);

// Buttons, check boxes and radio buttons
// Push button centred at (x, y); width 0 or less: the label's width + 21. Style 0 gives no
// feedback, 1 and 2 show the pressed look at once on a click of an unlit button (2 also draws
// a lit button's label in the lit colour). hint "-" draws no side text.
int BTN_action(float x, float y, float width, int lit, int style, const std::string& label,
               const std::string& hint);
// Check box (style 0) or radio look (style 1); a click toggles *value between 0 and 1.
int BTN_bool(float x, float y, int* value, const std::string& label, int style);
int BTN_xbol(float x, float y, bool* value, const std::string& label);
int BTN_xchr(float x, float y, char* value, const std::string& label);
int BTN_xbyt(float x, float y, unsigned char* value, const std::string& label);
// Radio button, set while *variable == value; a click sets it (and returns 1 also when it
// already was).
int BTN_is_int(float x, float y, int* variable, int value, const std::string& label);

// Keyboard focus ring
// One widget that takes typed keys, registered each frame it is drawn. The queues belong to
// the widget (one set per widget kind); the ring only points at them.
struct focus_info_t {
  int id;
  int* char_queue;
  int* vkey_queue;
  int* flag_queue;
  int* owner_queue;
  int* count;
  int capacity;
  int accept_mask;
};

// Accept-mask bits.
enum {
  focus_tab = 0x1,
  focus_return = 0x2,
  focus_delete = 0x4,
  focus_escape = 0x8,
  focus_arrows = 0x10,
  focus_letters = 0x20,
  focus_digits = 0x40,
  focus_signs = 0x80,
  focus_printable = 0x100,
  focus_control = 0x200,
};

extern std::vector<focus_info_t> focus_ring;
extern int focus_id;    // the widget holding the focus; 0 none
extern int wind_focus;  // a window claims the keyboard; never set in this program
// The file dialog's side-panel width and list height; io_cx and io_cy are read by nothing.
extern float io_dx, io_dy, io_cx, io_cy;

// A widget's id from its position.
inline int BTN_focus_id_at(float x, float y) { return static_cast<int>(y) + static_cast<int>(x) * 8192; }
// The mask bit a key falls under (by virtual key first, else by character).
int BTN_key_class(int character, int vkey);

// Empties the ring at the start of each frame's widgets.
void BTN_begin_focus_ring();
// Registers a widget; take_focus makes it the focused one. 1 when it holds the focus after.
int BTN_register_focus(int id, int* char_queue, int* vkey_queue, int* flag_queue, int* owner_queue,
                       int* count, int capacity, int accept_mask, int take_focus);
// Offers one key to the ring: Tab moves the focus, an accepted key is queued for the focused
// widget. 1 when consumed (a key for a full queue is dropped and counts as consumed).
int BTN_dispatch_to_focus(int character, int vkey, int flags);
void BTN_unfocus_any();
void BTN_focus_any();
void BTN_window_has_focus();
int BTN_no_focus_yet();
// Item callbacks of the list widget over a std::vector<std::string> or std::vector<int>.
std::string BTN_name_from_vector(int index, void* list);
int BTN_type_from_vector(int index, void* list);
