// The program's committed interface pictures for tests that draw widgets: the interface atlas
// (392) and the English button atlas (395) loaded from resources/ by the texture manager, and
// palette entries 34 to 47 taken from the atlas's swatches as start-up takes them. Needs the
// graphics layer started on a current context (graphics_fixture.h).
#pragma once

#include <string>

#include "support/display_fixture.h"

// A PNG as RGBA rows, bottom row first (as the program's loader and GL keep them); empty when
// it cannot be read.
gl_picture read_png_bottom_up(const std::string& path);

// Loads both atlases from the source tree's resources/ and sets the interface palette.
// False when a picture cannot be read.
bool load_interface_atlases();


// The widgets' start on the test display: the program's path set inside the build's Resources
// folder (so the bundled faces are found), both atlases loaded, and typed keys delivered to the
// focused widget. False when an atlas cannot be read.
bool start_widgets_on_display(const std::string& resources_dir);
