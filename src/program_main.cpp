// The installer's process entry: everything else starts from the wizard's entry.
#include "wizard/program_start.h"

int skyrill_main(int argc, char** argv);

// Release-builder mode, fixed per program: the installer is built with 0, the release builder
// (the same sources) with 1.
#ifndef SKY_IS_BUILD
#define SKY_IS_BUILD 0
#endif
extern const int is_build = SKY_IS_BUILD;

// The screen the wizard opens on, fixed per program: the web update's welcome unless the build
// names another flow's first screen.
#ifndef SKY_FIRST_SCREEN
#define SKY_FIRST_SCREEN net_start
#endif
int SKY_FIRST_SCREEN(int first, wizard_screen& page);

int main(int argc, char** argv) {
  wizard_first_screen = SKY_FIRST_SCREEN;
  return skyrill_main(argc, argv);
}
