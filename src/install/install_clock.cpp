#include "install/install_clock.h"

#include "platform/threads.h"

float install_clock_seconds() {
  static const int64_t origin = platform_microseconds();
  return static_cast<float>((platform_microseconds() - origin) * 1e-6);
}
