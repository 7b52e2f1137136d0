// Loading an image file whose kind is known only from its content (BMP or PNG), or from a list
// of extensions to try.
#pragma once

#include <cstddef>
#include <string>

#include "graphics/image_desc.h"

// Maps the file and decodes it by its first bytes: "BM" through the BMP reader (when that
// declines, the PNG test follows), the PNG signature through the PNG reader; no power-of-two
// sizing. pad_to is a pad-to width in texels (0 for none); one below the image's width is
// refused. buffer and capacity as for the readers. 1 when decoded, else 0.
int TEX_load_any(const std::string& path, unsigned char*& buffer, unsigned format, int pad_to, int match_alpha,
                 TEX_image_desc& desc, size_t capacity = TEX_scratch_bytes);

// TEX_load_any on the path with ".png", then with ".bmp": a name longer than 4 characters whose
// fourth-last character is '.' loses its last four characters first; any other name gets the
// extension appended.
int TEX_load_any_ext(const std::string& path, unsigned char*& buffer, unsigned format, int pad_to, int match_alpha,
                     TEX_image_desc& desc, size_t capacity = TEX_scratch_bytes);

// The name TEX_load_any_ext tries for one extension (".png", ".bmp").
std::string TEX_name_with_ext(const std::string& path, const char* ext);
