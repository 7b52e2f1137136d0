// DDS files: read in place (DXT1, DXT3, DXT5, or uncompressed 24-bit BGR and 32-bit BGRA), and
// written with DXT1 or DXT5 compression and a full mipmap chain through libsquish.
#pragma once

#include <string>

#include "graphics/image_desc.h"

class xmap_class;

// Describes the DDS file held by the mapping and points data at its pixels inside the mapping
// (valid while the mapping lives; top row first, as stored). 0 when the file is not a DDS file
// this program takes: a bad signature or header, an unknown pixel format, a side outside
// 1..2048, or fewer bytes than the header declares. has_mips is set only when the file holds
// the whole chain down to 1 x 1; a shorter chain is described as its first level alone.
int TEX_load_dds(const std::string& path, xmap_class* file, const unsigned char*& data, TEX_image_desc& desc);

// Writes an RGB (as DXT1) or RGBA (as DXT5) image, stored bottom row first, as a DDS file with a
// full mipmap chain, at app_path + path. 1 when every byte reached the file, else 0.
int TEX_save_dds(const std::string& path, const unsigned char* pixels, const TEX_image_desc& desc);
