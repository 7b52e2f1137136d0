// One-channel test images: written as PNG (libpng) or as an uncompressed 8-bit BMP, and read
// back the way the program's image loader hands them over (one byte per pixel, rows from the
// bottom up). For the scenery library's region bitmaps, whose real loader lives in the graphics
// layer above the file layer.
#pragma once

#include <string>
#include <vector>

// rows_from_top: width * height bytes, the first row the top of the picture.
bool write_gray_png(const std::string& path, int width, int height, const std::vector<unsigned char>& rows_from_top);
bool write_gray_bmp(const std::string& path, int width, int height, const std::vector<unsigned char>& rows_from_top);

// Reads a file written by one of the above (by its contents, not its name).
bool load_gray_image(const std::string& path, int* width, int* height, std::vector<unsigned char>* rows_from_bottom);
