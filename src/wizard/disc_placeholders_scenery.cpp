// Weak stand-ins for the disc install flow's screens and flags that the scenery and repair
// flows lead to; the real ones replace them.
#include "wizard/disc_screens.h"

__attribute__((weak)) int repair_is_running = 0;
__attribute__((weak)) int scenery_install_is_running = 0;
__attribute__((weak)) int num_install_errors = 0;
// Set while these stand-ins are linked, so tests that need the real install step can tell.
__attribute__((weak)) int disc_scenery_stand_ins_linked = 1;

__attribute__((weak)) int dvd_start(int, wizard_screen&) { return 0; }
__attribute__((weak)) int dvd_install_repair(int, wizard_screen&) { return 0; }
__attribute__((weak)) int dvd_install_scenery(int, wizard_screen&) { return 0; }
