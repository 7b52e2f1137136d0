#include "runtime/md5.h"

#include <cstring>

// Words are loaded with memcpy, which is a plain load on the little-endian machines this
// program runs on; a big-endian build would need byte swaps here.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "MD5 loads assume little-endian words");

namespace {

inline uint32_t rotl(uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

// The round functions are written to keep the chain through b short: whatever does not need
// the newest value (b) is computed while the previous step is still finishing. In round two
// the two halves of G share no bits, so they can be added separately.
#define MD5_F(a, b, c, d, x, t, s) \
  a += (d ^ (b & (c ^ d))) + x + t; \
  a = rotl(a, s) + b;
#define MD5_G(a, b, c, d, x, t, s) \
  a += (~d & c) + x + t;            \
  a += d & b;                       \
  a = rotl(a, s) + b;
#define MD5_H(a, b, c, d, x, t, s) \
  a += (b ^ c ^ d) + x + t;         \
  a = rotl(a, s) + b;
#define MD5_I(a, b, c, d, x, t, s) \
  a += (c ^ (b | ~d)) + x + t;      \
  a = rotl(a, s) + b;

// Compresses count consecutive 64-byte blocks starting at p.
void compress(uint32_t state[4], const unsigned char* p, size_t count) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (; count; --count, p += 64) {
    uint32_t x[16];
    std::memcpy(x, p, 64);
    const uint32_t aa = a, bb = b, cc = c, dd = d;

    MD5_F(a, b, c, d, x[0], 0xd76aa478, 7)
    MD5_F(d, a, b, c, x[1], 0xe8c7b756, 12)
    MD5_F(c, d, a, b, x[2], 0x242070db, 17)
    MD5_F(b, c, d, a, x[3], 0xc1bdceee, 22)
    MD5_F(a, b, c, d, x[4], 0xf57c0faf, 7)
    MD5_F(d, a, b, c, x[5], 0x4787c62a, 12)
    MD5_F(c, d, a, b, x[6], 0xa8304613, 17)
    MD5_F(b, c, d, a, x[7], 0xfd469501, 22)
    MD5_F(a, b, c, d, x[8], 0x698098d8, 7)
    MD5_F(d, a, b, c, x[9], 0x8b44f7af, 12)
    MD5_F(c, d, a, b, x[10], 0xffff5bb1, 17)
    MD5_F(b, c, d, a, x[11], 0x895cd7be, 22)
    MD5_F(a, b, c, d, x[12], 0x6b901122, 7)
    MD5_F(d, a, b, c, x[13], 0xfd987193, 12)
    MD5_F(c, d, a, b, x[14], 0xa679438e, 17)
    MD5_F(b, c, d, a, x[15], 0x49b40821, 22)

    MD5_G(a, b, c, d, x[1], 0xf61e2562, 5)
    MD5_G(d, a, b, c, x[6], 0xc040b340, 9)
    MD5_G(c, d, a, b, x[11], 0x265e5a51, 14)
    MD5_G(b, c, d, a, x[0], 0xe9b6c7aa, 20)
    MD5_G(a, b, c, d, x[5], 0xd62f105d, 5)
    MD5_G(d, a, b, c, x[10], 0x02441453, 9)
    MD5_G(c, d, a, b, x[15], 0xd8a1e681, 14)
    MD5_G(b, c, d, a, x[4], 0xe7d3fbc8, 20)
    MD5_G(a, b, c, d, x[9], 0x21e1cde6, 5)
    MD5_G(d, a, b, c, x[14], 0xc33707d6, 9)
    MD5_G(c, d, a, b, x[3], 0xf4d50d87, 14)
    MD5_G(b, c, d, a, x[8], 0x455a14ed, 20)
    MD5_G(a, b, c, d, x[13], 0xa9e3e905, 5)
    MD5_G(d, a, b, c, x[2], 0xfcefa3f8, 9)
    MD5_G(c, d, a, b, x[7], 0x676f02d9, 14)
    MD5_G(b, c, d, a, x[12], 0x8d2a4c8a, 20)

    MD5_H(a, b, c, d, x[5], 0xfffa3942, 4)
    MD5_H(d, a, b, c, x[8], 0x8771f681, 11)
    MD5_H(c, d, a, b, x[11], 0x6d9d6122, 16)
    MD5_H(b, c, d, a, x[14], 0xfde5380c, 23)
    MD5_H(a, b, c, d, x[1], 0xa4beea44, 4)
    MD5_H(d, a, b, c, x[4], 0x4bdecfa9, 11)
    MD5_H(c, d, a, b, x[7], 0xf6bb4b60, 16)
    MD5_H(b, c, d, a, x[10], 0xbebfbc70, 23)
    MD5_H(a, b, c, d, x[13], 0x289b7ec6, 4)
    MD5_H(d, a, b, c, x[0], 0xeaa127fa, 11)
    MD5_H(c, d, a, b, x[3], 0xd4ef3085, 16)
    MD5_H(b, c, d, a, x[6], 0x04881d05, 23)
    MD5_H(a, b, c, d, x[9], 0xd9d4d039, 4)
    MD5_H(d, a, b, c, x[12], 0xe6db99e5, 11)
    MD5_H(c, d, a, b, x[15], 0x1fa27cf8, 16)
    MD5_H(b, c, d, a, x[2], 0xc4ac5665, 23)

    MD5_I(a, b, c, d, x[0], 0xf4292244, 6)
    MD5_I(d, a, b, c, x[7], 0x432aff97, 10)
    MD5_I(c, d, a, b, x[14], 0xab9423a7, 15)
    MD5_I(b, c, d, a, x[5], 0xfc93a039, 21)
    MD5_I(a, b, c, d, x[12], 0x655b59c3, 6)
    MD5_I(d, a, b, c, x[3], 0x8f0ccc92, 10)
    MD5_I(c, d, a, b, x[10], 0xffeff47d, 15)
    MD5_I(b, c, d, a, x[1], 0x85845dd1, 21)
    MD5_I(a, b, c, d, x[8], 0x6fa87e4f, 6)
    MD5_I(d, a, b, c, x[15], 0xfe2ce6e0, 10)
    MD5_I(c, d, a, b, x[6], 0xa3014314, 15)
    MD5_I(b, c, d, a, x[13], 0x4e0811a1, 21)
    MD5_I(a, b, c, d, x[4], 0xf7537e82, 6)
    MD5_I(d, a, b, c, x[11], 0xbd3af235, 10)
    MD5_I(c, d, a, b, x[2], 0x2ad7d2bb, 15)
    MD5_I(b, c, d, a, x[9], 0xeb86d391, 21)

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  state[0] = a;
  state[1] = b;
  state[2] = c;
  state[3] = d;
}

#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I

}  // namespace

void Transform(uint32_t state[4], const uint32_t in[16]) {
  compress(state, reinterpret_cast<const unsigned char*>(in), 1);
}

void MD5Init(MD5Context* ctx) {
  ctx->bits[0] = ctx->bits[1] = 0;
  ctx->state[0] = 0x67452301;
  ctx->state[1] = 0xefcdab89;
  ctx->state[2] = 0x98badcfe;
  ctx->state[3] = 0x10325476;
}

void MD5UpdateWide(MD5Context* ctx, const void* bytes, size_t length) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  size_t index = (ctx->bits[0] >> 3) & 63;

  uint64_t count = (uint64_t(ctx->bits[1]) << 32 | ctx->bits[0]) + (uint64_t(length) << 3);
  ctx->bits[0] = uint32_t(count);
  ctx->bits[1] = uint32_t(count >> 32);

  if (index) {
    size_t room = 64 - index;
    if (length < room) {
      std::memcpy(ctx->in + index, p, length);
      return;
    }
    std::memcpy(ctx->in + index, p, room);
    compress(ctx->state, ctx->in, 1);
    p += room;
    length -= room;
  }
  // Whole blocks are compressed straight from the caller's bytes, without a copy.
  compress(ctx->state, p, length / 64);
  p += length & ~size_t(63);
  std::memcpy(ctx->in, p, length & 63);
}

void MD5Update(MD5Context* ctx, const void* bytes, uint16_t length) {
  MD5UpdateWide(ctx, bytes, length);
}

void MD5Final(MD5Context* ctx) {
  unsigned char length_bytes[8];
  std::memcpy(length_bytes, ctx->bits, 8);
  size_t index = (ctx->bits[0] >> 3) & 63;
  static const unsigned char padding[64] = {0x80};
  MD5UpdateWide(ctx, padding, index < 56 ? 56 - index : 120 - index);
  MD5UpdateWide(ctx, length_bytes, 8);
  std::memcpy(ctx->digest, ctx->state, 16);
}

std::string MD5_hex(const unsigned char digest[16]) {
  static const char hex[] = "0123456789abcdef";
  std::string s(32, '0');
  for (int i = 0; i < 16; ++i) {
    s[2 * i] = hex[digest[i] >> 4];
    s[2 * i + 1] = hex[digest[i] & 15];
  }
  return s;
}
