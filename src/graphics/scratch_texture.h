// Texture loads of an image the caller placed in scratch_array (scratch_dx x scratch_dy, rows
// bottom first, no padding): the background tiles. Flags as the texture manager takes them;
// their low three bits give the texel format (2 RGBA, 3 one alpha byte). Also the few state
// and colour calls the background needs until the state cache and the 2-D primitives are in.
#pragma once

#include <string>

void load_scratch_texture(int fail_mode, int ref, int flags, float load_time, const std::string& name);
// Binds a texture ref on unit 0 with the texture environment GL_MODULATE.
void bind_scratch_texture(int ref);
// One texture unit, lighting and depth off, the alpha test when opaque, else blending; the
// palette colour.
void set_picture_state(int colour, bool opaque);
// The whole window in a palette colour.
void fill_window(int colour);
