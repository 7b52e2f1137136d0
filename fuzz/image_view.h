// A mapped-file view over an exact-size heap copy of the fuzzer's input, so that any read past
// the last byte is caught (a real mapping runs on to the end of its page).
#pragma once

#include <cstdint>
#include <cstring>

#include "files/mapped_file.h"

class fuzz_image_view {
 public:
  fuzz_image_view(const uint8_t* data, size_t size) : copy_(new char[size ? size : 1]) {
    if (size) std::memcpy(copy_, data, size);
    map.begin = map.cursor = copy_;
    map.end = copy_ + size;
  }
  ~fuzz_image_view() {
    map.begin = map.cursor = map.end = nullptr;
    delete[] copy_;
  }
  fuzz_image_view(const fuzz_image_view&) = delete;
  fuzz_image_view& operator=(const fuzz_image_view&) = delete;
  void rewind() { map.cursor = map.begin; }
  xmap_class map;

 private:
  char* copy_;
};
