#include "runtime/random_table.h"

#include <cstdint>

float randrat[randrat_size];

namespace {
// The same table on every run: a fixed seed for a small linear congruential generator.
struct filler {
  filler() {
    uint32_t x = 12345u;
    for (float& r : randrat) {
      x = x * 1664525u + 1013904223u;
      r = static_cast<float>((x >> 8) % 9999u) / 10000.0f;
    }
  }
} fill_at_load;
}  // namespace
