// The movie settings screen: the recorder's frame rate and movie width as number fields over a
// framed panel of explanations. Drawing it stops a running recording, so the settings never
// change under a movie being written. One frame per call, drawn into the current screen with
// the widget toolkit; the caller runs the frame around it. Main thread only.
//
// It belongs to the recorder (graphics/movie_recorder.h) but is drawn with the shell's widgets,
// which sit above the graphics layer: so it lives here and takes the recorder it shows.
#pragma once

#include <string>

class qtim_class;

// One frame of the settings screen of the recorder (the program's qtim by default).
void qtim_wind(qtim_class* recorder = nullptr);

// The text a slot of the screen shows: the interface text of that slot when one was set, else
// the screen's own text for it, translated. Slots 527, 528 and 723 to 731; "" for others.
std::string qtim_wind_text(int slot);
