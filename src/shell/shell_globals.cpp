// The shell's records that every layer shares: the window-and-input record, the colour palette
// and the command registry (types in runtime/shell_records.h).
#include "runtime/shell_records.h"

mnw_struct mnw;
colr_class colr;
cmnd_class cmnd;

// The widgets' keyboard focus arrives with the widget toolkit; until then no widget can hold it.
void BTN_unfocus_any() {}
