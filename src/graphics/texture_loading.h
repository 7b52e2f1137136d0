// Turning one registered texture record into an OpenGL texture. The decode step finds the file
// (DDS, then the name itself, then PNG, then BMP), sniffs its signature, decodes it into a
// shared 16 MB buffer and works out the image and texture sizes from the resolution level, the
// load flags and the hardware limit; it makes no GL calls. The upload step (in the texture
// manager, which owns the records) chooses formats, filters and wrap, and uploads every level.
#pragma once

#include <string>

#include "graphics/image_desc.h"

// Load flags of a texture (the flags argument of tman_class::load_texture).
enum {
  tex_colour_mask = 7,    // 1 RGB, 2 RGBA, 3 alpha, 4/5 RGB/RGBA following the file's alpha, 6 depth, 7 RGB
  tex_mipmaps = 0x8,
  tex_clamp_st = 0x10,
  tex_clamp_s = 0x20,
  tex_res_double = 0x40,
  tex_res_half = 0x80,
  tex_res_full = 0x100,
  tex_keep_scratch = 0x200,  // decode into scratch_array and leave the pixels there
  tex_interface = 0x400,     // carried, no effect
  tex_float16 = 0x800,
  tex_sized_8bit = 0x1000,
  tex_exact_size = 0x2000,   // no power-of-two rounding or check
  tex_flags_limit = 0x3FFF,
};

// What a missing file does.
enum tex_fail_mode { tex_fail_silent = 0, tex_fail_scenery = 1, tex_fail_plane = 2, tex_fail_instl = 3, tex_fail_fatal = 4 };

// The parameter block of one load.
struct tex_load_vars {
  int fail_mode = tex_fail_fatal;
  int ref = 0;
  int flags = 0;
  int first_load = 0;
  int format = 0;          // of the source pixels, set by the decode step
  int file_mips = 0;       // the pixels carry their own mipmap chain (DDS)
  unsigned char channels = 3;
  int follow_alpha = 0;
  int image_w = 0, image_h = 0;
  int tex_w = 0, tex_h = 0;
  std::string name;
  unsigned char* pixels = nullptr;
};

// The second 16 MB decode buffer, owned here (scratch_array is the shared one); made on the
// first decode.
extern unsigned char* scratch_array_temp;
// The row width in texels of the pixels the last decode step left: the padded power-of-two
// width, or scratch_dx. The upload reads rows at that stride, which differs from the texture
// width for exact-size (0x2000) textures.
extern int tex_decoded_row_texels;

// The decode step: 0 file missing (or undecodable), 1 image taken from scratch_array, 2 image
// decoded from a file. Fills format, channels, sizes and pixels of vars.
int load_texture_io(tex_load_vars* vars);

// Finds, decodes and scales one file into scratch_array_temp (scratch_array with the 0x200
// flag). 1 on success, 0 when no name maps or none decodes.
int load_any_into_scratch(const std::string& name, int ref, int flags, int& format, int& file_mips, unsigned char& channels,
                          int follow_alpha, int& image_w, int& image_h, int& tex_w, int& tex_h);

// The resolution factor for an image of width x height and the sizes it gives. force 1 takes the
// full size. Returns 0 (after the size alert) when a size falls outside 1 to 2048.
float TEX_get_scale(const std::string& name, int flags, int width, int height, int& image_w, int& image_h, int& tex_w,
                    int& tex_h, int force);

// The names the decode step maps, in order, for a texture name (the ".dds" ones left out under
// "--no_dds"): the name with ".dds", the same again, then ".png", then ".bmp"; the extension
// is replaced only when the fourth-last character is '.'.
std::string TEX_replace_ext(const std::string& name, const char* ext);

// Every pixel with alpha 0 takes the mean colour of the pixels with non-zero alpha in the 5 x 5
// window around it (clipped to the image); bled pixels keep alpha 0 and feed no neighbour.
void TEX_bleed_alpha(unsigned char* rgba, int width, int height);

// The texture size check the decode and upload steps call; the binding cache's size check by
// default. Tests may replace it.
extern void (*tex_check_size)(int value, std::string name);
