// Stand-ins for the screens built beside the install flow, so that this branch links on its
// own. Each returns 0 or does nothing.
#include "wizard/disc_screens.h"

// The real scenery screens replace these.
__attribute__((weak)) void UTIL_world_map() {}
__attribute__((weak)) int dvd_pick_scenery(int, wizard_screen&) { return 0; }
__attribute__((weak)) int dvd_scan_scenery(int, wizard_screen&) { return 0; }
__attribute__((weak)) int dvd_edit_scenery(int, wizard_screen&) { return 0; }
__attribute__((weak)) int dvd_done_scenery(int, wizard_screen&) { return 0; }
__attribute__((weak)) void scenery_flow_reset() {}
// The real repair screens replace these.
__attribute__((weak)) int dvd_pick_repair(int, wizard_screen&) { return 0; }
__attribute__((weak)) int dvd_scan_repair(int, wizard_screen&) { return 0; }
__attribute__((weak)) int dvd_confirm_repair(int, wizard_screen&) { return 0; }
__attribute__((weak)) int dvd_done_repair(int, wizard_screen&) { return 0; }
__attribute__((weak)) void repair_flow_reset() {}
