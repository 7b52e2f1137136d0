// The longitude and latitude entry: each angle in decimal degrees edited as whole degrees and
// decimal minutes in two digit-cell number fields.
#include <cmath>

#include "shell/value_widgets.h"

namespace {

// Whole degrees (truncated towards zero) and minutes; an angle between -1 and 1 degree keeps
// its sign in the minutes.
void split_angle(float angle, float* degrees, float* minutes) {
  *degrees = std::trunc(angle);
  *minutes = (*degrees != 0.0f) ? std::fabs(angle - *degrees) * 60.0f : angle * 60.0f;
}

float join_angle(float degrees, float minutes) {
  if (degrees == 0.0f) return minutes / 60.0f;
  return degrees + (degrees > 0.0f ? 1.0f : -1.0f) * minutes / 60.0f;
}

}  // namespace

int enter_lat_lon(float* x, float* y, float* longitude, float* latitude) {
  float lon_deg, lon_min, lat_deg, lat_min;
  split_angle(*longitude, &lon_deg, &lon_min);
  split_angle(*latitude, &lat_deg, &lat_min);
  int changed = 0;

  *y -= 50;
  int lon_changed = BTN_flt(*x, *y, &lon_deg, 3, 0, 1, "lon:");
  lon_changed |= BTN_flt_range(*x + 50, *y, &lon_min, 5, 3, lon_deg != 0.0f ? 0.0f : -60.0f, 60.0f, "");

  *y -= 50;
  int lat_changed = BTN_flt(*x + 10, *y, &lat_deg, 2, 0, 1, "lat:");
  lat_changed |= BTN_flt_range(*x + 50, *y, &lat_min, 5, 3, lat_deg != 0.0f ? 0.0f : -60.0f, 60.0f, "");

  // An angle is written back only when one of its fields changed: the minutes field rounds to
  // three decimals, and rewriting an untouched angle every frame would wear its precision away.
  if (lon_changed) *longitude = join_angle(lon_deg, lon_min);
  if (lat_changed) *latitude = join_angle(lat_deg, lat_min);
  changed = lon_changed | lat_changed;
  return changed ? 1 : 0;
}
