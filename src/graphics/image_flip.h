// Turning decoded images upside down in place, uncompressed and DXT-compressed, every level of a
// mipmap chain; DDS files store the top row first while textures want the bottom row first.
// DXT blocks are flipped without decoding: the index rows of each 4 x 4 block are reversed and
// the block rows exchanged. While the gamma table is on, DXT colour endpoints are corrected
// on the way, keeping each block's colour mode.
#pragma once

#include <cstdint>

#include "graphics/image_desc.h"

// One DXT colour block: two 5:6:5 endpoints (little-endian), then one byte of 2-bit indices per
// texel row, lowest bits first. colour 0 > colour 1 is four-colour mode; otherwise three-colour
// mode, where index 3 is transparent black.
struct DXTColBlock {
  uint8_t col0[2];
  uint8_t col1[2];
  uint8_t row[4];
};

// One DXT5 alpha block: two 8-bit endpoints, then 3-bit indices, 12 bits per texel row; rows 0
// and 1 in bytes 0-2 of index, rows 2 and 3 in bytes 3-5.
struct DXT5AlphaBlock {
  uint8_t alpha0;
  uint8_t alpha1;
  uint8_t index[6];
};

// Flips every level of the image. Returns 1 when a DXT1 image has a three-colour block that
// uses its transparent index, else 0. A format it does not know is the fatal "Illegal format!".
int TEX_flip_y(const TEX_image_desc& desc, unsigned char* data);

// Flip whole 4-row blocks of one block row. The DXT1 flip passes the transparency flag along
// (set once any block uses its transparent index); the others return 0.
int nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count, int flag);
int nv_flip_blocks_dxtc3(unsigned char* blocks, int count);
int nv_flip_blocks_dxtc5(unsigned char* blocks, int count);
void nv_flip_dxt5_alpha(DXT5AlphaBlock* block);

// Gamma-corrects a block's two endpoints through the gamma table, keeping its colour mode.
void nv_gamma_correct(DXTColBlock* block);

// One step up (green, then blue, then red) or down (green, then blue, then red) of a 5:6:5
// colour; 0 and the colour unchanged at white (up) or black (down).
int IncColor565(uint16_t& colour);
int DecColor565(uint16_t& colour);
