// The image operations: sizes, downscaling, flips (with libsquish's decode as the oracle for
// DXT), endpoint gamma correction, chroma key, compositing and DXT coding.
#include <gtest/gtest.h>
#include <squish.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/image_flip.h"
#include "graphics/image_ops.h"
#include "support/shell_double.h"

namespace {

std::vector<unsigned char> random_bytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<unsigned char> v(n);
  for (auto& b : v) b = static_cast<unsigned char>(rng());
  return v;
}

// A smooth picture with some noise, so that DXT blocks use all their indices.
std::vector<unsigned char> picture(int w, int h, unsigned seed, bool opaque = true) {
  std::mt19937 rng(seed);
  std::vector<unsigned char> v(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = &v[(size_t(y) * w + x) * 4];
      p[0] = static_cast<unsigned char>(x * 255 / std::max(1, w - 1));
      p[1] = static_cast<unsigned char>(y * 255 / std::max(1, h - 1));
      p[2] = static_cast<unsigned char>((x + y) * 6 + (rng() & 15));
      p[3] = opaque ? 255 : static_cast<unsigned char>(rng() & 255);
    }
  return v;
}

std::vector<unsigned char> flip_rows(const std::vector<unsigned char>& rgba, int w, int h) {
  std::vector<unsigned char> out(rgba.size());
  for (int y = 0; y < h; ++y) std::memcpy(&out[size_t(y) * w * 4], &rgba[size_t(h - 1 - y) * w * 4], size_t(w) * 4);
  return out;
}

double psnr(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  double err = 0;
  for (size_t i = 0; i < a.size(); ++i) err += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  if (err == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 / (err / a.size()));
}

struct level {
  int w, h;
  size_t offset;
};

std::vector<level> chain_levels(int w, int h, unsigned format, bool mips) {
  std::vector<level> out;
  size_t offset = 0;
  for (;;) {
    out.push_back({w, h, offset});
    offset += size_t(TEX_bytes_needed_for_image({format, w, h, 0, 0}));
    if (!mips || (w == 1 && h == 1)) break;
    w = std::max(1, w / 2);
    h = std::max(1, h / 2);
  }
  return out;
}

}  // namespace

TEST(ImageOps, BytesNeeded) {
  struct row {
    TEX_image_desc desc;
    int bytes;
  };
  const std::vector<row> rows = {
      {{TEX_fmt_rgba, 256, 256, 0, 1}, 349524},
      {{TEX_fmt_rgba, 256, 256, 0, 0}, 262144},
      {{TEX_fmt_dxt1, 1, 1, 0, 0}, 8},
      {{TEX_fmt_dxt5, 5, 3, 0, 0}, 32},
      {{TEX_fmt_dxt1, 16, 8, 0, 1}, 64 + 16 + 8 + 8 + 8},
      {{TEX_fmt_dxt3, 4, 4, 0, 1}, 16 * 3},
      // Padding counts at every level: 4x2 (2 rows of 12 + 2), 2x1 (6 + 2), 1x1 (3 + 2).
      {{TEX_fmt_rgb, 4, 2, 2, 1}, 28 + 8 + 5},
      {{TEX_fmt_alpha, 3, 5, 1, 0}, 20},
      {{TEX_fmt_bgra, 2, 2, 0, 0}, 16},
      {{TEX_fmt_depth, 2, 2, 0, 0}, 16},
      {{0x1234, 4, 4, 0, 0}, 0},
      {{TEX_fmt_rgb, 0, 4, 0, 0}, 0},
  };
  for (const row& r : rows) EXPECT_EQ(TEX_bytes_needed_for_image(r.desc), r.bytes) << r.desc.format << " " << r.desc.width;
}

// The mean of each box, for grey, RGB, BGR and RGBA, with factors that are not powers of two;
// compressed images and factors below 1 are left alone.
TEST(ImageOps, Downscale) {
  {
    // 3 x 2 grey by 2 x 2: one pixel, the mean of the first two of each row; the third column goes.
    unsigned char px[] = {10, 20, 250, 30, 40, 250};
    TEX_image_desc d{TEX_fmt_alpha, 3, 2, 0, 0};
    ASSERT_EQ(TEX_downscale(d, px, 2, 2), 1);
    EXPECT_EQ(d.width, 1);
    EXPECT_EQ(d.height, 1);
    EXPECT_EQ(px[0], 25);
  }
  {
    // 3 x 3 grey by 3: nine pixels divided by nine, not by sixteen.
    unsigned char px[] = {90, 90, 90, 90, 90, 90, 90, 90, 90};
    TEX_image_desc d{TEX_fmt_alpha, 3, 3, 0, 0};
    ASSERT_EQ(TEX_downscale(d, px, 3, 3), 1);
    EXPECT_EQ(px[0], 90);
  }
  for (unsigned format : {TEX_fmt_rgb, TEX_fmt_bgr, TEX_fmt_rgba}) {
    for (auto [fx, fy] : {std::pair{2, 2}, std::pair{1, 2}, std::pair{2, 1}, std::pair{3, 2}}) {
      SCOPED_TRACE(std::to_string(format) + " by " + std::to_string(fx) + "x" + std::to_string(fy));
      const int bpp = TEX_bytes_per_pixel(format), w = 6, h = 4, pad = 3;
      std::vector<unsigned char> px = random_bytes(size_t(w * bpp + pad) * h, 7);
      const std::vector<unsigned char> src = px;
      TEX_image_desc d{format, w, h, pad, 0};
      ASSERT_EQ(TEX_downscale(d, px.data(), fx, fy), 1);
      ASSERT_EQ(d.width, w / fx);
      ASSERT_EQ(d.height, h / fy);
      for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x)
          for (int c = 0; c < bpp; ++c) {
            unsigned sum = 0;
            for (int j = 0; j < fy; ++j)
              for (int i = 0; i < fx; ++i) sum += src[(y * fy + j) * (w * bpp + pad) + (x * fx + i) * bpp + c];
            EXPECT_EQ(px[y * (d.width * bpp + pad) + x * bpp + c], sum / (fx * fy));
          }
    }
  }
  unsigned char block[16] = {};
  TEX_image_desc dxt{TEX_fmt_dxt5, 4, 4, 0, 0};
  EXPECT_EQ(TEX_downscale(dxt, block, 2, 2), 0);
  TEX_image_desc rgb{TEX_fmt_rgb, 4, 4, 0, 0};
  std::vector<unsigned char> px(48);
  EXPECT_EQ(TEX_downscale(rgb, px.data(), 0, 2), 0);
  EXPECT_EQ(TEX_downscale(rgb, px.data(), 5, 1), 0);
  EXPECT_EQ(rgb.width, 4);
}

// Flipping twice gives the image back, over random sizes, paddings and formats; once puts row k
// at row height - 1 - k (the middle row of an odd height stays) and leaves padding with its row.
TEST(ImageOps, FlipUncompressed) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 60; ++trial) {
    const unsigned formats[] = {TEX_fmt_alpha, TEX_fmt_rgb, TEX_fmt_rgba, TEX_fmt_bgr, TEX_fmt_bgra};
    const unsigned format = formats[trial % 5];
    const int w = 1 + int(rng() % 9), h = 1 + int(rng() % 9), pad = int(rng() % 4);
    const bool mips = trial % 3 == 0;
    TEX_image_desc d{format, w, h, pad, mips};
    const std::vector<unsigned char> orig = random_bytes(size_t(TEX_bytes_needed_for_image(d)), trial);
    std::vector<unsigned char> px = orig;
    EXPECT_EQ(TEX_flip_y(d, px.data()), 0);
    const size_t stride = size_t(w) * TEX_bytes_per_pixel(format) + pad;
    for (int r = 0; r < h; ++r) EXPECT_EQ(0, std::memcmp(&px[r * stride], &orig[(h - 1 - r) * stride], stride));
    TEX_flip_y(d, px.data());
    EXPECT_EQ(px, orig);
  }
}

// DXT flips against libsquish: each level of a chain is compressed, the chain flipped block by
// block, and every flipped level must decode to the decoded original turned upside down,
// exactly. Covers odd block-row counts (heights 4 and 12), partial blocks (widths 6 and 2) and
// the 2- and 1-high levels of chains. A level whose height is above 4 and not a multiple of 4
// (the 6-high level of 12) is decoded, flipped and encoded again: its texel rows fall into new
// blocks, so it is only close (by PSNR), not exact.
TEST(ImageOps, FlipDxtAgainstDecode) {
  struct row {
    int w, h;
    bool mips;
  };
  const std::vector<row> rows = {{16, 8, true}, {8, 16, true}, {16, 4, false}, {16, 12, false}, {6, 8, true},
                                 {2, 8, true},  {8, 2, false}, {8, 1, false},  {8, 3, false},  {12, 12, true},
                                 {16, 16, true}, {20, 20, false}};
  for (unsigned format : {TEX_fmt_dxt1, TEX_fmt_dxt3, TEX_fmt_dxt5}) {
    const int kind = TEX_squish_kind(format);
    for (const row& r : rows) {
      SCOPED_TRACE(std::to_string(format) + " " + std::to_string(r.w) + "x" + std::to_string(r.h));
      const auto levels = chain_levels(r.w, r.h, format, r.mips);
      std::vector<unsigned char> data(size_t(TEX_bytes_needed_for_image({format, r.w, r.h, 0, r.mips})));
      std::vector<std::vector<unsigned char>> decoded;
      for (size_t i = 0; i < levels.size(); ++i) {
        const level& l = levels[i];
        const auto rgba = picture(l.w, l.h, unsigned(i + r.w * 7 + r.h), format == TEX_fmt_dxt1);
        TEX_squish_compress(rgba.data(), l.w, l.h, &data[l.offset], kind | squish::kColourRangeFit);
        std::vector<unsigned char> dec(size_t(l.w) * l.h * 4);
        TEX_squish_decompress(dec.data(), l.w, l.h, &data[l.offset], kind);
        decoded.push_back(flip_rows(dec, l.w, l.h));
      }
      EXPECT_EQ(TEX_flip_y({format, r.w, r.h, 0, r.mips}, data.data()), 0);
      for (size_t i = 0; i < levels.size(); ++i) {
        const level& l = levels[i];
        std::vector<unsigned char> dec(size_t(l.w) * l.h * 4);
        TEX_squish_decompress(dec.data(), l.w, l.h, &data[l.offset], kind);
        if (l.h > 4 && l.h % 4) EXPECT_GE(psnr(dec, decoded[i]), 20.0) << "level " << i;
        else EXPECT_EQ(dec, decoded[i]) << "level " << i << " " << l.w << "x" << l.h;
      }
    }
  }
}

// The DXT1 transparency report: a three-colour block using index 3 counts, a four-colour block
// with index 3 does not; the report covers the whole chain.
TEST(ImageOps, FlipReportsDxt1Transparency) {
  auto block = [](uint16_t c0, uint16_t c1, uint8_t indices) {
    DXTColBlock b;
    b.col0[0] = uint8_t(c0), b.col0[1] = uint8_t(c0 >> 8);
    b.col1[0] = uint8_t(c1), b.col1[1] = uint8_t(c1 >> 8);
    std::memset(b.row, indices, 4);
    return b;
  };
  DXTColBlock three = block(0x1000, 0x2000, 0xFF);
  DXTColBlock four = block(0x2000, 0x1000, 0xFF);
  DXTColBlock three_no_3 = block(0x1000, 0x2000, 0x55);
  EXPECT_EQ(nv_flip_blocks_dxtc1(&three, 1, 0), 1);
  EXPECT_EQ(nv_flip_blocks_dxtc1(&four, 1, 0), 0);
  EXPECT_EQ(nv_flip_blocks_dxtc1(&three_no_3, 1, 0), 0);
  EXPECT_EQ(nv_flip_blocks_dxtc1(&four, 1, 1), 1);
  // In the 1 x 1 level of a chain only.
  // An 8 x 8 chain: four blocks, then one each for 4 x 4, 2 x 2 and 1 x 1.
  std::vector<DXTColBlock> chain(7, four);
  chain.back() = three;
  EXPECT_EQ(TEX_flip_y({TEX_fmt_dxt1, 8, 8, 0, 1}, reinterpret_cast<unsigned char*>(chain.data())), 1);
  // DXT3 and DXT5 report nothing.
  std::vector<unsigned char> dxt5(16, 0);
  std::memcpy(&dxt5[8], &three, 8);
  EXPECT_EQ(TEX_flip_y({TEX_fmt_dxt5, 4, 4, 0, 0}, dxt5.data()), 0);
}

TEST(ImageOps, DxtBlockRowFlips) {
  // DXT3: the four 16-bit alpha rows reverse.
  unsigned char b3[16] = {1, 2, 3, 4, 5, 6, 7, 8, 0x20, 0, 0x10, 0, 0xA, 0xB, 0xC, 0xD};
  nv_flip_blocks_dxtc3(b3, 1);
  const unsigned char want3[16] = {7, 8, 5, 6, 3, 4, 1, 2, 0x20, 0, 0x10, 0, 0xD, 0xC, 0xB, 0xA};
  EXPECT_EQ(0, std::memcmp(b3, want3, 16));
  // DXT5 alpha: rows of 12 bits, 0x123 0x456 0x789 0xABC become 0xABC 0x789 0x456 0x123.
  DXT5AlphaBlock a{9, 3, {0x23, 0x61, 0x45, 0x89, 0xC7, 0xAB}};
  nv_flip_dxt5_alpha(&a);
  const DXT5AlphaBlock want{9, 3, {0xBC, 0x9A, 0x78, 0x56, 0x34, 0x12}};
  EXPECT_EQ(0, std::memcmp(&a, &want, 8));
}

TEST(ImageOps, ColourSteps) {
  struct row {
    uint16_t in;
    bool up;
    uint16_t out;
    int changed;
  };
  for (const row& r : std::vector<row>{{0x07E0, true, 0x07E1, 1},
                                       {0x001F, true, 0x003F, 1},
                                       {0x07FF, true, 0x0FFF, 1},
                                       {0xFFFF, true, 0xFFFF, 0},
                                       {0x0000, false, 0x0000, 0},
                                       {0x0020, false, 0x0000, 1},
                                       {0x0801, false, 0x0800, 1},
                                       {0x0800, false, 0x0000, 1}}) {
    uint16_t c = r.in;
    EXPECT_EQ(r.up ? IncColor565(c) : DecColor565(c), r.changed) << std::hex << r.in;
    EXPECT_EQ(c, r.out) << std::hex << r.in;
  }
}

// With the gamma table on, flipped blocks decode to table(original) within DXT error, and a
// block with no transparent texels never gains any, even where both ends correct to white.
TEST(ImageOps, FlipGammaCorrectsEndpoints) {
  const TEX_gamma_settings saved = TEX_gamma;
  TEX_gamma.table_on = 1;
  for (int v = 0; v < 256; ++v) TEX_gamma.table[v] = static_cast<unsigned char>(std::lround(255 * std::pow(v / 255.0, 0.7)));

  const int w = 16, h = 16;
  const auto rgba = picture(w, h, 11);
  std::vector<unsigned char> data(size_t(squish::GetStorageRequirements(w, h, squish::kDxt1)));
  TEX_squish_compress(rgba.data(), w, h, data.data(), squish::kDxt1 | squish::kColourClusterFit);
  std::vector<unsigned char> before(rgba.size()), after(rgba.size());
  TEX_squish_decompress(before.data(), w, h, data.data(), squish::kDxt1);
  EXPECT_EQ(TEX_flip_y({TEX_fmt_dxt1, w, h, 0, 0}, data.data()), 0);
  TEX_squish_decompress(after.data(), w, h, data.data(), squish::kDxt1);
  std::vector<unsigned char> want = flip_rows(before, w, h);
  for (size_t i = 0; i < want.size(); ++i)
    if (i % 4 != 3) want[i] = TEX_gamma.table[want[i]];
  int worst = 0;
  for (size_t i = 0; i < want.size(); ++i) {
    if (i % 4 == 3) EXPECT_EQ(after[i], 255);
    else worst = std::max(worst, std::abs(int(after[i]) - want[i]));
  }
  EXPECT_LE(worst, 24);

  // Two near-white ends of a four-colour block that the table takes both to white.
  for (int v = 230; v < 256; ++v) TEX_gamma.table[v] = 255;
  DXTColBlock b;
  b.col0[0] = 0xDF, b.col0[1] = 0xFF;  // 0xFFDF
  b.col1[0] = 0xBF, b.col1[1] = 0xFF;  // 0xFFBF
  std::memset(b.row, 0xFF, 4);         // every texel index 3
  nv_gamma_correct(&b);
  unsigned char texels[64];
  squish::Decompress(texels, &b, squish::kDxt1);
  for (int t = 0; t < 16; ++t) EXPECT_EQ(texels[t * 4 + 3], 255) << t;
  EXPECT_GT(b.col0[0] | (b.col0[1] << 8), b.col1[0] | (b.col1[1] << 8));
  TEX_gamma = saved;
}

TEST(ImageOps, ChromaKey) {
  const unsigned char key[3] = {10, 20, 30};
  // Two pixels per row and four bytes of padding, which must stay as they are.
  std::vector<unsigned char> px = {10, 20, 30, 200, 11, 20, 30, 200, 9, 9, 9, 9,
                                   10, 20, 31, 200, 10, 20, 30, 200, 9, 9, 9, 9};
  const auto orig = px;
  TEX_image_desc d{TEX_fmt_rgba, 2, 2, 4, 0};
  TEX_chroma_key(d, px.data(), key, 0);
  EXPECT_EQ(px, orig);
  TEX_chroma_key(d, px.data(), key, 1);
  auto want = orig;
  want[3] = 0;
  want[12 + 4 + 3] = 0;
  EXPECT_EQ(px, want);
  TEX_chroma_key(d, px.data(), key, 2);
  want[7] = 0;
  want[12 + 3] = 0;
  EXPECT_EQ(px, want);
}

TEST(ImageOps, Composite) {
  // Source 2 x 2 RGB into a 4 x 4 RGB destination over the whole of it.
  const unsigned char src[] = {0, 0, 0, 100, 100, 100, 200, 200, 200, 40, 40, 40};
  std::vector<unsigned char> dst(4 * 4 * 3, 80);
  const TEX_image_desc sd{TEX_fmt_rgb, 2, 2, 0, 0}, dd{TEX_fmt_rgb, 4, 4, 0, 0};
  TEX_composite(sd, dd, src, dst.data(), 0, 0, 4, 4);
  EXPECT_EQ(dst[0], 0);                                    // (0,0) on source (0,0)
  EXPECT_EQ(dst[(1 * 4 + 1) * 3], (0 + 100 + 200 + 40) / 4);  // (1,1) between all four
  EXPECT_EQ(dst[(3 * 4 + 3) * 3], int(80 * 0.75 + 40 * 0.25));  // (3,3): one neighbour inside, weight 1/4
  // A rectangle partly outside the destination draws only the inside, never past it.
  std::vector<unsigned char> small(2 * 2 * 3, 1);
  TEX_composite(sd, {TEX_fmt_rgb, 2, 2, 0, 0}, src, small.data(), -2, -2, 6, 6);
  // x1 == x2: the middle of the source.
  std::vector<unsigned char> one(1 * 1 * 4, 0);
  TEX_composite(sd, {TEX_fmt_rgba, 1, 1, 0, 0}, src, one.data(), 0.5f, 0, 0.5f, 1);
  EXPECT_EQ(one, (std::vector<unsigned char>{100, 100, 100, 255}));
  // RGBA source with alpha 0 leaves an RGB destination alone; with 255 replaces it.
  const unsigned char rgba_src[] = {200, 100, 50, 0};
  std::vector<unsigned char> under(3, 7);
  TEX_composite({TEX_fmt_rgba, 1, 1, 0, 0}, {TEX_fmt_rgb, 1, 1, 0, 0}, rgba_src, under.data(), 0, 0, 1, 1);
  EXPECT_EQ(under, std::vector<unsigned char>(3, 7));
  const unsigned char opaque_src[] = {200, 100, 50, 255};
  TEX_composite({TEX_fmt_rgba, 1, 1, 0, 0}, {TEX_fmt_rgb, 1, 1, 0, 0}, opaque_src, under.data(), 0, 0, 1, 1);
  EXPECT_EQ(under, (std::vector<unsigned char>{200, 100, 50}));
  // A one-byte source into RGBA and a colour source into a one-byte destination stay inside
  // their buffers (AddressSanitizer) and carry the value.
  const unsigned char grey[] = {60};
  std::vector<unsigned char> to_rgba(4, 0);
  TEX_composite({TEX_fmt_alpha, 1, 1, 0, 0}, {TEX_fmt_rgba, 1, 1, 0, 0}, grey, to_rgba.data(), 0, 0, 1, 1);
  EXPECT_EQ(to_rgba, (std::vector<unsigned char>{60, 60, 60, 255}));
  std::vector<unsigned char> to_alpha(1, 0);
  TEX_composite({TEX_fmt_rgb, 1, 1, 0, 0}, {TEX_fmt_alpha, 1, 1, 0, 0}, opaque_src, to_alpha.data(), 0, 0, 1, 1);
  EXPECT_EQ(to_alpha[0], 200);
}

// Every quality stays close to the source; both DXT1 enums code 8-byte DXT1 blocks, so a DXT1
// image reported as 0x83F0 decodes as DXT1 and nothing past its blocks is touched.
TEST(ImageOps, EncodeDecode) {
  const int w = 32, h = 32;
  const auto rgba = picture(w, h, 5);
  for (int quality : {TEX_s3tc_range_fit, TEX_s3tc_cluster_fit, TEX_s3tc_iterative_fit}) {
    for (unsigned format : {TEX_fmt_dxt1, TEX_fmt_dxt1a, TEX_fmt_dxt3, TEX_fmt_dxt5}) {
      SCOPED_TRACE(std::to_string(quality) + " " + std::to_string(format));
      const size_t need = size_t(TEX_bytes_needed_for_image({format, w, h, 0, 0}));
      std::vector<unsigned char> blocks(need + 64, 0xEE);
      TEX_encode_s3tc({TEX_fmt_rgba, w, h, 0, 0}, {format, w, h, 0, 0}, rgba.data(), blocks.data(), quality);
      for (size_t i = need; i < blocks.size(); ++i) ASSERT_EQ(blocks[i], 0xEE);
      std::vector<unsigned char> back(rgba.size());
      TEX_decode_s3tc({format, w, h, 0, 0}, {TEX_fmt_rgba, w, h, 0, 0}, blocks.data(), back.data());
      std::vector<unsigned char> a, b;
      for (size_t i = 0; i < rgba.size(); ++i)
        if (i % 4 != 3) a.push_back(rgba[i]), b.push_back(back[i]);
      EXPECT_GE(psnr(a, b), quality == TEX_s3tc_range_fit ? 24.0 : 26.0);
    }
  }
}

TEST(ImageOps, FlipUnknownFormatIsFatal) {
  shell_double::reset();
  unsigned char px[4] = {};
  EXPECT_EQ(TEX_flip_y({0x1234, 1, 1, 0, 0}, px), 0);
  ASSERT_EQ(shell_double::alerts().size(), 1u);
  EXPECT_EQ(shell_double::alerts()[0].lines[0], "Illegal format!");
}
