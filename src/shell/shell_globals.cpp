// The shell's records that every layer shares: the window-and-input record, the colour palette,
// the command registry (types in runtime/shell_records.h) and the frame clock.
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"

mnw_struct mnw;
colr_class colr;
cmnd_class cmnd;
xtim_class xtim;

// The widgets' keyboard focus arrives with the widget toolkit; until then no widget can hold it.
void BTN_unfocus_any() {}
