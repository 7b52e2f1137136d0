// Sine and cosine of every whole degree from 0 to 360, for circles drawn in fixed steps. Filled
// when the program loads.
#pragma once

extern float lookup_sin[361];
extern float lookup_cos[361];
