// The toolkit's value widgets: the one-line text field over the text-editing engine, the
// digit-spinner number fields, the scroll bar and the horizontal slider, the pop-up text list
// and the character picker. Immediate-mode like the rest of the toolkit (shell/widgets.h): the
// caller calls each once per frame with its variable, positions are screen units relative to
// the current screen's origin, y up. Main thread only.
#pragma once

#include <cstddef>
#include <string>

struct OGLE_Rec;
struct OGLE_Callbacks;

// Text fields
// The engine's binding for the focused field: its left edge and baseline, its width, the scroll
// offset, the string it edits and whether this frame's keys changed it.
extern int OGLE_x, OGLE_y, OGLE_entry_dx;
extern float OGLE_dx, OGLE_dy;
extern std::string* OGLE_input;
extern int OGLE_edit;
extern const OGLE_Callbacks OGLE_cbs;

// A one-line text field at (x, y) (left edge, text baseline), width units wide, editing *text.
// The text is cut back to max_length bytes (on a character boundary) one frame after it grew
// past it. take_focus claims the keyboard when nothing holds it. 1 when the text changed.
int BTN_enterstring(float x, float y, std::string* text, int max_length, const std::string& label, float width,
                    int take_focus);
// The same over a NUL-terminated buffer of buffer_size bytes: the text never grows past
// buffer_size - 1 bytes, whatever max_length says.
int BTN_enterstring(float x, float y, char* buffer, size_t buffer_size, int max_length, const std::string& label,
                    float width, int take_focus);
// The record every text field shares (for tests: its selection belongs to the focused field).
OGLE_Rec* BTN_enterstring_record();
// Encodes one code point as UTF-8 into out (4 bytes at most); 0 for a code point that has no
// UTF-8 form (a surrogate or above U+10FFFF).
int BTN_utf8_encode(int code_point, char out[4]);
// The longest prefix of at most max_bytes bytes that ends on a character boundary.
size_t BTN_utf8_cut(const std::string& text, size_t max_bytes);

// Number fields
// Digit-cell number field: `digits` cells 10 units wide from x, the last `decimals` of them
// after the point. Arrows, digits, '+' and '-' edit it while it has the focus; clicks on the
// arrows above and below a cell step it. Clamped to minimum..maximum and rounded to `decimals`
// every frame. 1 in a frame in which the user changed it.
int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float minimum, float maximum,
                  const std::string& label);
int BTN_flt(float x, float y, float* value, int digits, int decimals, int allow_negative, const std::string& label);
int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float minimum, float maximum,
                  const std::string& label);
// Integer fields keep the value exactly: it is written back only when the user changed it, and
// they take at most 9 digits.
int BTN_int_range(float x, float y, int* value, int digits, float minimum, float maximum, const std::string& label);
int BTN_int(float x, float y, int* value, int digits, int allow_negative, const std::string& label);
int BTN_fltij(int i, int j, float* value, int digits, int decimals, int allow_negative, const std::string& label);
int BTN_flt_rangeij(int i, int j, float* value, int digits, int decimals, float minimum, float maximum,
                    const std::string& label);
void BTN_display_number(float x, float y, float value, int digits, int decimals, const std::string& label);
// The edit of the number field's engine, without drawing or input: the value after one key.
// vkey 37 and 39 move *hot_digit (wrapping), 38 and 40 step the cell; character a digit, '+'
// or '-'. The digit maths runs on the whole number round(|v| x 10^decimals).
double BTN_number_key(double value, int digits, int decimals, double minimum, double maximum, int character,
                      int vkey, int* hot_digit);
// Clamp to minimum..maximum, then round to `decimals` (halves away from zero).
double BTN_number_settle(double value, int decimals, double minimum, double maximum);
// The hot cell shared by every number field.
extern int BTN_number_hot_digit;

// Vertical scroll bar (index 0 to 3) between y_bottom and y_top at x; 1 while its thumb is held.
int BTN_vert_slider(int index, float x, float y_bottom, float y_top, int minimum, int maximum, int* value);
// Horizontal slider from x to x + width; 1 in a frame in which a drag set the value.
int BTN_horz_slider(float x, float y, float width, int fill_colour, float left_value, float right_value, float* value,
                    int interactive, const std::string& label, const std::string& caption);

// Text list and character picker
// Pop-up list of the texts in `items` separated by '-'; *choice is the chosen index. 1 in the
// frame in which a pick was stored. Escape closes an open list without a pick.
int BTN_textlist(float x, float y, int* choice, const std::string& items, const std::string& label);
// Edits text[0..length-1] as a code of blanks, digits, upper-case letters and '-'.
void BTN_chars(float x, float y, char* text, int length, const std::string& label);
// The picker's alphabet index of a character (any case); 1 ('0') for one outside it.
int BTN_chars_index(char c);
extern const char BTN_chars_alphabet[39];
