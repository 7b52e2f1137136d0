// Time and processors. Replaces the original's microsecond counter (Carbon Microseconds) and
// processor count (Multiprocessing Services); threads themselves are plain POSIX threads.
// The clock is monotonic and can be replaced by tests, which then drive time themselves.
#pragma once

#include <cstdint>

// Microseconds since an arbitrary fixed point, never going backwards.
int64_t platform_microseconds();

// Replaces the clock behind platform_microseconds; null restores the real one.
using platform_time_source = int64_t (*)();
void platform_set_time_source(platform_time_source source);

// Processors this process may run on (its affinity mask), at least 1.
int platform_processor_count();
