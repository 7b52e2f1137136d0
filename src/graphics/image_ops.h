// Operations on decoded images (see image_desc.h for the layout): the byte size of an image and
// its mipmap chain, integer box downscaling in place, chroma keying, bilinear compositing of one
// image into a rectangle of another, and DXT compression and decompression through libsquish.
// Pure functions on caller buffers. The texture loader uses the size and the downscale on every
// load; the rest serves tools.
#pragma once

#include "graphics/image_desc.h"

// Bytes of the image, every mip level included when it has mipmaps: each level of w x h holds
// h rows of w x bytes per pixel + the row padding (the same padding at every level); DXT levels
// hold their 4 x 4 blocks. 0 for an unknown format, a size below 1, or a total past INT_MAX.
int TEX_bytes_needed_for_image(const TEX_image_desc& desc);

// Shrinks the image in place by whole factors per axis: each output pixel is the mean of its
// fx x fy source pixels, written from the start of the buffer with the same row padding after
// every output row; the descriptor gets the new size. Compressed images, factors below 1 and
// factors larger than the image are left alone (returns 0); 1 when the image was reduced.
int TEX_downscale(TEX_image_desc& desc, unsigned char* pixels, int factor_x, int factor_y);

// Clears the alpha of every RGBA pixel whose summed channel distance from the key is below the
// threshold. Row padding is stepped over, never touched.
void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* rgba, const unsigned char key[3], int threshold);

// Draws the source scaled into the destination rectangle (x1, y1)-(x2, y2) with bilinear
// weights, blending by the source's alpha when it has one. Both images are one of GL_ALPHA,
// GL_RGB or GL_RGBA (1, 3 or 4 bytes per pixel); other formats are refused (nothing drawn).
void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, const unsigned char* src,
                   unsigned char* dst, float x1, float y1, float x2, float y2);

// DXT fit quality for TEX_encode_s3tc.
enum TEX_s3tc_quality { TEX_s3tc_range_fit = 0, TEX_s3tc_cluster_fit = 1, TEX_s3tc_iterative_fit = 2 };

// Compresses 4-byte RGBA pixels (no row padding) into blocks of the destination's format;
// both DXT1 formats use DXT1, DXT3 uses DXT3, anything else DXT5.
void TEX_encode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, const unsigned char* src,
                     unsigned char* dst, int quality);
// Decompresses the level-0 blocks into 4-byte RGBA pixels, the DXT kind chosen as above.
void TEX_decode_s3tc(const TEX_image_desc& comp_desc, const TEX_image_desc& dst_desc, const unsigned char* comp,
                     unsigned char* dst);

// libsquish's flags for a DXT format (kDxt1, kDxt3 or kDxt5).
int TEX_squish_kind(unsigned format);

// Compresses 4-byte RGBA pixels (top row first, no padding) with the libsquish flags, block by
// block on the calling thread. libsquish's own whole-image call runs an OpenMP team whose
// threads spin after every image, which costs far more than the coding on small images.
void TEX_squish_compress(const unsigned char* rgba, int width, int height, unsigned char* blocks, int flags);
// The reverse, into width x height RGBA pixels, also block by block.
void TEX_squish_decompress(unsigned char* rgba, int width, int height, const unsigned char* blocks, int flags);
