// The MD5 message digest (RFC 1321) over a caller-held context; no heap. The install engine
// compares the 32 lower-case hex digits of a file's digest with the release directory's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct MD5Context {
  uint32_t bits[2];          // message length in bits modulo 2^64, low word first
  uint32_t state[4];         // chaining values a, b, c, d
  unsigned char in[64];      // the partial block
  unsigned char digest[16];  // the result, valid after MD5Final
};

void MD5Init(MD5Context* ctx);

// Feeds any number of bytes; lengths are 64-bit, so a whole mapped file of 4 GiB or more can
// go through in one call.
void MD5UpdateWide(MD5Context* ctx, const void* bytes, size_t length);

// Feeds at most 65,535 bytes: the length is a 16-bit number, so a larger count would arrive
// here already cut to its low 16 bits. Use MD5UpdateWide for anything that may be larger.
void MD5Update(MD5Context* ctx, const void* bytes, uint16_t length);

// Pads, appends the length and writes the digest into ctx->digest.
void MD5Final(MD5Context* ctx);

// A finished digest as the 32 lower-case hex digits the release directory stores.
std::string MD5_hex(const unsigned char digest[16]);

// The MD5 compression of one block given as sixteen little-endian words.
void Transform(uint32_t state[4], const uint32_t in[16]);
