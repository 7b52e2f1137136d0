// The movie settings screen.
#include "shell/movie_settings_window.h"

#include "graphics/movie_recorder.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/shell_globals.h"
#include "shell/value_widgets.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

namespace {

// The screen's own texts, used while the interface text of their slot is empty (nothing in
// the installer fills these slots).
struct slot_text {
  int slot;
  const char* english;
};
const slot_text kTexts[] = {
    {527, "Frame rate|frames per second"},
    {528, "Movie width|pixels"},
    {723, "Movie recording is available: movies are QuickTime files with Motion JPEG pictures."},
    {724, "Movie recording is not available on this computer."},
    {725, "The Motion JPEG encoder of FFmpeg could not be found."},
    {726, "Install FFmpeg with its MJPEG encoder to record movies."},
    {727, "The frame rate is how many pictures of the window the movie takes each second."},
    {728, "The movie width is in pixels; the height follows the shape of the window."},
    {729, "Each recording is a new file, \"Skyrill movie take-1.mov\", \"Skyrill movie take-2.mov\" and so on, in "
          "the folder that holds the installer."},
    {730, "Opening this screen stops a recording that is running."},
    {731, "A window larger than 2048 x 2048 cannot be recorded."},
};

constexpr int kTextColour = 47;
constexpr float kTextX = 20;
constexpr float kWrapWidth = 600;

void write_slot(int slot, float y) {
  widget_drawing().text(kTextColour, kTextX, y, qtim_wind_text(slot), kWrapWidth, 0);
}

}  // namespace

std::string qtim_wind_text(int slot) {
  if (slot >= 0 && slot < stls_struct::slot_count && !stls.texts[slot].empty()) return stls.texts[slot];
  for (const slot_text& t : kTexts)
    if (t.slot == slot) return UTL_translate_string(t.english);
  return std::string();
}

void qtim_wind(qtim_class* recorder) {
  qtim_class& q = recorder ? *recorder : qtim;
  BTN_fillwin(1, 21);
  float next_x = 0, next_y = 0;
  BTN_subwin(0, 15, 10, 10, mnw.screen_w - 20, 296, "", &next_x, &next_y);
  // The settings are the running recording's: it ends before they can change. (The recorder
  // stops only once its compressor has returned frames; until then this asks again each frame.)
  if (q.mode != 0) q.mov_toggle(0);
  BTN_flt_range(150, 415, &q.frame_rate, 2, 0, 10, 99, qtim_wind_text(527));
  BTN_int_range(130, 365, &q.movie_width, 4, 32, 2048, qtim_wind_text(528));
  if (q.available) {
    write_slot(723, 285);
  } else {
    write_slot(724, 285);
    write_slot(725, 255);
    write_slot(726, 245);
  }
  const float ys[] = {225, 195, 165, 125, 85};
  for (int i = 0; i < 5; ++i) write_slot(727 + i, ys[i]);
}
