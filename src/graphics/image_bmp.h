// Uncompressed 24-bit BMP files, read into the bottom-row-first layout of image_desc.h as RGB,
// RGBA (pure magenta becomes transparent black) or one grey byte per pixel.
#pragma once

#include <cstddef>
#include <string>

#include "graphics/image_desc.h"

class xmap_class;

// Decodes the BMP held by the mapping into buffer (allocated from the pooled allocator when
// null; else it must hold capacity bytes). pad_to (texels, 0 for none) pads every row to that
// width; pow2 pads rows and row count to powers of two instead; padding is zero. Returns 1, or 0
// when the file is unmapped, not a 24-bit uncompressed BMP (with the alert for that), has a
// side outside 1..2048, holds fewer pixel bytes than it declares, asks for a pad-to width
// below its own width, or would not fit the buffer. A negative height is a top-down file.
int TEX_load_bmp(const std::string& path, xmap_class* file, unsigned char*& buffer, unsigned format, int pad_to,
                 int pow2, TEX_image_desc& desc, size_t capacity = TEX_scratch_bytes);
