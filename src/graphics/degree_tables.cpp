#include "graphics/degree_tables.h"

#include <cmath>

float lookup_sin[361];
float lookup_cos[361];

namespace {
struct filler {
  filler() {
    for (int d = 0; d <= 360; ++d) {
      const double r = d * 3.14159265358979323846 / 180.0;
      lookup_sin[d] = static_cast<float>(std::sin(r));
      lookup_cos[d] = static_cast<float>(std::cos(r));
    }
  }
} fill_at_load;
}  // namespace
