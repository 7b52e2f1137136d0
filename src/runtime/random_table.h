// A table of pseudo-random fractions in [0, 0.9999), filled when the program loads, for choices
// that want a cheap, repeatable spread (indexed by a caller's number modulo its size).
#pragma once

constexpr int randrat_size = 10000;
extern float randrat[randrat_size];
