// PNG files through libpng: read from a mapped file into the bottom-row-first layout of
// image_desc.h as RGB, RGBA or one grey byte per pixel, and written from that layout. libpng
// allocates from the pooled allocator and reports through the program's alert and log.
#pragma once

#include <png.h>

#include <cstddef>
#include <string>

#include "graphics/image_desc.h"

class xmap_class;

// The mapped file the input callback reads from during one TEX_load_png, and the path named in
// libpng's messages. One PNG is read at a time.
extern xmap_class* png_mapped_file;
extern std::string ping_path;

// Decodes the PNG at the mapping's cursor into buffer (allocated from the pooled allocator when
// null; else it must hold capacity bytes) in the requested format (GL_RGB, GL_RGBA or GL_ALPHA).
// With match_alpha the format becomes GL_RGBA for a file with alpha (a transparency chunk
// counts) and GL_RGB for one without; the descriptor says which. pad_to and pow2 pad as for
// TEX_load_bmp. Returns 1, or 0 when the file is absent or shorter than 8 bytes, or its size
// or padded size is refused (see TEX_plan_layout). A file that is not a PNG, or a corrupt one,
// is the "PING-FILE ERROR!" alert and 0.
int TEX_load_png(const std::string& path, xmap_class* file, unsigned char*& buffer, unsigned format, int pad_to,
                 int pow2, int match_alpha, TEX_image_desc& desc, size_t capacity = TEX_scratch_bytes);

// Writes the image (GL_RGB, GL_RGBA or GL_ALPHA, bottom row first, with its row padding) as a
// PNG file at app_path + path: no filtering, zlib level 9, gAMA 1/1.8. 1 when every byte
// reached the file, else 0.
int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* pixels);

// Writes the width x height image held in scratch_array (4 channels: RGBA, else RGB; no row
// padding) as a PNG file. 1 when written, else 0.
int write_png_to_disk(std::string path, int width, int height, int channels);

// libpng's callbacks.
png_voidp my_malloc(png_structp png, png_alloc_size_t size);
void my_free(png_structp png, png_voidp ptr);
void my_readbuf(png_structp png, png_bytep out, size_t length);
void my_error(png_structp png, png_const_charp message);
void my_warning(png_structp png, png_const_charp message);
