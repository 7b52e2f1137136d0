#include "graphics/image_desc.h"

TEX_gamma_settings TEX_gamma;

unsigned char* scratch_array = nullptr;
int scratch_dx = 0;
int scratch_dy = 0;
