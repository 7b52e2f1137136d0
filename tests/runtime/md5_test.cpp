#include "runtime/md5.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <random>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_tree.h"

namespace {

std::string hex(const MD5Context& ctx) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (unsigned char b : ctx.digest) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

std::string md5_of(const void* data, size_t length) {
  MD5Context ctx;
  MD5Init(&ctx);
  MD5UpdateWide(&ctx, data, length);
  MD5Final(&ctx);
  return hex(ctx);
}

std::string md5_of(const std::string& s) { return md5_of(s.data(), s.size()); }

std::vector<unsigned char> random_bytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<unsigned char> v(n);
  for (auto& b : v) b = static_cast<unsigned char>(rng());
  return v;
}

}  // namespace

TEST(Md5, Rfc1321Suite) {
  struct row {
    const char* text;
    const char* digest;
  } rows[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const row& r : rows) EXPECT_EQ(md5_of(r.text), r.digest) << '"' << r.text << '"';
}

TEST(Md5, AnySplitGivesTheSameDigest) {
  auto data = random_bytes(200000, 7);
  const std::string whole = md5_of(data.data(), data.size());
  std::mt19937 rng(99);
  // Fixed splits around the old 16-bit piece size, then random ones.
  std::vector<std::vector<size_t>> splits = {{65535, 65535, 65535}, {65536, 65536, 65536},
                                             {1, 63, 64, 65, 65535, 65536}, {0, 0, 199999}};
  for (int i = 0; i < 20; ++i) {
    std::vector<size_t> s;
    for (int k = 0; k < 12; ++k) s.push_back(rng() % (rng() % 2 ? 130 : 40000));
    splits.push_back(s);
  }
  for (const auto& split : splits) {
    MD5Context ctx;
    MD5Init(&ctx);
    size_t at = 0;
    for (size_t piece : split) {
      piece = std::min(piece, data.size() - at);
      MD5UpdateWide(&ctx, data.data() + at, piece);
      at += piece;
    }
    MD5UpdateWide(&ctx, data.data() + at, data.size() - at);
    MD5Final(&ctx);
    EXPECT_EQ(hex(ctx), whole);
  }
}

TEST(Md5, PaddingBoundariesAgreeWithMd5sum) {
  temp_tree tree;
  auto data = random_bytes(3 * 1024 * 1024 + 17, 3);
  for (size_t length : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 4096, 3 * 1024 * 1024 + 17}) {
    std::string content(reinterpret_cast<const char*>(data.data()), length);
    std::string path = tree.write("f" + std::to_string(length), content);
    EXPECT_EQ(md5_of(content), md5sum_of(path)) << length << " bytes";
  }
}

TEST(Md5, ShortUpdateTakesSixteenBitLengths) {
  auto data = random_bytes(70000, 5);
  MD5Context ctx;
  MD5Init(&ctx);
  MD5Update(&ctx, data.data(), static_cast<uint16_t>(65536));  // nothing
  MD5Update(&ctx, data.data(), static_cast<uint16_t>(65537));  // one byte
  MD5Final(&ctx);
  EXPECT_EQ(hex(ctx), md5_of(data.data(), 1));

  MD5Init(&ctx);
  MD5Update(&ctx, data.data(), 65535);
  MD5Final(&ctx);
  EXPECT_EQ(hex(ctx), md5_of(data.data(), 65535));
}

TEST(Md5, BitCountCarriesIntoTheHighWord) {
  MD5Context ctx;
  MD5Init(&ctx);
  ctx.bits[0] = 0xFFFFFFF8u;  // 2^29 - 1 bytes fed so far
  ctx.bits[1] = 0;
  unsigned char byte = 'x';
  MD5UpdateWide(&ctx, &byte, 1);
  EXPECT_EQ(ctx.bits[0], 0u);
  EXPECT_EQ(ctx.bits[1], 1u);
}

// A buffer of more than 4 GiB in one call: its length must not be cut to 32 bits. The
// reference digest is that of `head -c 4294967299 /dev/zero | md5sum`. Too slow without
// optimisation, so the sanitizer build skips it.
TEST(Md5, MoreThanFourGibibytesInOneCall) {
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
  GTEST_SKIP() << "runs in the optimised build only";
#endif
  const size_t length = (size_t(4) << 30) + 3;
  void* zeros = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(zeros, MAP_FAILED);
  // Reads then fault in the huge zero page where the kernel offers it: far fewer faults.
  madvise(zeros, length, MADV_HUGEPAGE);
  EXPECT_EQ(md5_of(zeros, length), "4ca27e0aa2e7592739ca3de160d1c3a6");
  munmap(zeros, length);
}
