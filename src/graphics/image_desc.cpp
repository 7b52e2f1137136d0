#include "graphics/image_desc.h"

TEX_gamma_settings TEX_gamma;

namespace {
// The shared image buffer lives as long as the program: text and texture loads may come before
// (or without) the shell's start-up.
alignas(16) unsigned char scratch_storage[TEX_scratch_bytes];
}  // namespace

unsigned char* scratch_array = scratch_storage;
int scratch_dx = 0;
int scratch_dy = 0;
