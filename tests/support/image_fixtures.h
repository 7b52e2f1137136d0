// Image fixtures for the image and texture tests: pictures made at test time by ImageMagick's
// convert from pixels the test chooses, convert's own decode as the oracle, and a mapped-file
// view over an exact-size heap copy of a file, so that AddressSanitizer sees any read past its
// last byte (a real mapping runs on to the end of its page).
#pragma once

#include <string>
#include <vector>

#include "files/mapped_file.h"

// RGBA pixels, top row first, as convert reads and writes them raw.
struct rgba_picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;
  unsigned char* at(int x, int y) { return &rgba[(size_t(y) * width + x) * 4]; }
  const unsigned char* at(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

// A picture with varied colours; pixel (x, y) of the test pattern of the given seed.
rgba_picture test_picture(int width, int height, int seed = 1, bool with_alpha = false);

// Writes picture to out_path through convert with the extra arguments placed before the output
// name (for example {"-define", "png:color-type=2"}); gamma and other ancillary chunks are left
// out of PNG files. True when convert succeeded.
bool convert_picture(const rgba_picture& picture, const std::string& out_path,
                     const std::vector<std::string>& extra_args, const std::string& out_prefix = "");

// convert's decode of a file as 8-bit RGBA, top row first; width 0 when convert failed.
rgba_picture convert_decode(const std::string& path);

// A mapped-file view over an exact-size heap copy of some bytes.
class heap_mapping {
 public:
  explicit heap_mapping(const std::string& bytes);
  ~heap_mapping();
  heap_mapping(const heap_mapping&) = delete;
  heap_mapping& operator=(const heap_mapping&) = delete;
  xmap_class* file() { return &map_; }

 private:
  char* copy_;
  xmap_class map_;
};

// True when the ImageMagick tools are installed (the stand-in that prints only PPM is not).
bool have_imagemagick();
