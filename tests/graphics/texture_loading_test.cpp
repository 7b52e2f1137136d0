// The decode step of texture loading, without GL: the sizes from the resolution level, flags and
// hardware limit; the file search; sniffing; downscaling; the DDS chain copy and flip; the
// refusal of pictures too large for a texture before anything is decoded; the colour bleed.
#include <gtest/gtest.h>
#include <squish.h>

#include <cstring>
#include <vector>

#include "graphics/gl_capabilities.h"
#include "graphics/image_flip.h"
#include "graphics/image_ops.h"
#include "graphics/texture_loading.h"
#include "runtime/command_line.h"
#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "support/image_fixtures.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

bool has_alert(const std::string& first) {
  for (const recorded_alert& a : shell_double::alerts())
    if (a.lines[0] == first) return true;
  return false;
}

class TextureDecode : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::vector<unsigned char> shared(TEX_scratch_bytes);
    scratch_array = shared.data();
    shell_double::reset();
    mnw.tex_res = 5;
    glExt.max_tex_size = 16384;
    cmdline.erase("--no_dds");
  }
  void TearDown() override { cmdline.erase("--no_dds"); }
  // Decodes name with flags; the vars block afterwards.
  tex_load_vars decode(const std::string& name, int flags, int* result) {
    tex_load_vars v;
    v.ref = 396;
    v.flags = flags;
    v.name = name;
    *result = load_texture_io(&v);
    return v;
  }
  temp_tree tree;
};

}  // namespace

TEST_F(TextureDecode, ScaleFromLevelFlagsAndLimit) {
  struct row {
    int level, flags, w, h, limit;
    int image_w, image_h, tex_w, tex_h;
  };
  const std::vector<row> rows = {
      {5, 0, 1000, 500, 16384, 1000, 500, 1024, 512},
      {5, 0x2000, 1000, 500, 16384, 1000, 500, 1000, 500},
      {3, 0, 1024, 1024, 16384, 256, 256, 256, 256},
      {3, 0x40, 1024, 1024, 16384, 512, 512, 512, 512},
      {3, 0x80, 1024, 1024, 16384, 128, 128, 128, 128},
      {3, 0x100, 1024, 1024, 16384, 1024, 1024, 1024, 1024},
      {5, 0x100, 1024, 1024, 256, 256, 256, 256, 256},  // the hardware limit halves
      {0, 0, 64, 2, 16384, 32, 1, 32, 1},                // raised so no side falls below 1
  };
  for (const row& r : rows) {
    SCOPED_TRACE(std::to_string(r.level) + " " + std::to_string(r.flags) + " " + std::to_string(r.w));
    mnw.tex_res = r.level;
    glExt.max_tex_size = r.limit;
    int iw, ih, tw, th;
    EXPECT_GT(TEX_get_scale("t", r.flags, r.w, r.h, iw, ih, tw, th, 2), 0);
    EXPECT_EQ(iw, r.image_w);
    EXPECT_EQ(ih, r.image_h);
    EXPECT_EQ(tw, r.tex_w);
    EXPECT_EQ(th, r.tex_h);
  }
  mnw.tex_res = 5;
  int iw, ih, tw, th;
  EXPECT_EQ(TEX_get_scale("wide", 0, 4096, 1, iw, ih, tw, th, 2), 0);
  ASSERT_FALSE(shell_double::alerts().empty());
  EXPECT_EQ(shell_double::alerts()[0].lines[0], "Trying to create a texture either less than 1 or greater than 2048!");
  EXPECT_EQ(shell_double::alerts()[0].lines[3], "4096");
}

TEST_F(TextureDecode, NamesTried) {
  EXPECT_EQ(TEX_replace_ext("a/b.png", ".dds"), "a/b.dds");
  EXPECT_EQ(TEX_replace_ext("abc", ".dds"), "abc");
  EXPECT_EQ(TEX_replace_ext("x.pn", ".dds"), "x.pn");
}

// The search: a PNG behind a ".png" name (after the ".dds" tries), a BMP behind another
// extension, a DDS without its chain or a damaged file that does not hide a good PNG, and
// "--no_dds" skipping a good DDS.
TEST_F(TextureDecode, FileSearchAndSniffing) {
  if (!have_imagemagick()) GTEST_SKIP() << "ImageMagick is not installed";
  const rgba_picture p = test_picture(8, 4, 3);
  ASSERT_TRUE(convert_picture(p, tree.path() + "only.png", {"-define", "png:color-type=2"}));
  ASSERT_TRUE(convert_picture(p, tree.path() + "pic.bmp", {"-alpha", "off", "-type", "TrueColor"}, "BMP3:"));
  ASSERT_TRUE(convert_picture(p, tree.path() + "both.png", {"-define", "png:color-type=2"}));
  ASSERT_TRUE(convert_picture(p, tree.path() + "both.dds", {"-define", "dds:compression=dxt1", "-define", "dds:mipmaps=0"}));
  ASSERT_TRUE(convert_picture(p, tree.path() + "chain.dds", {"-alpha", "off", "-define", "dds:compression=dxt1"}));
  ASSERT_TRUE(convert_picture(p, tree.path() + "chain.png", {"-define", "png:color-type=2"}));
  write_whole_file(tree.path() + "bad.dds", "DDS garbage that is no header at all........................");
  ASSERT_TRUE(convert_picture(p, tree.path() + "bad.png", {"-define", "png:color-type=2"}));
  write_whole_file(tree.path() + "nodds.dds", "DDS short");

  int result = 0;
  tex_load_vars v = decode(tree.path() + "only.png", 0x501, &result);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(v.format, int(TEX_fmt_rgb));
  EXPECT_EQ(v.image_w, 8);
  // The PNG's top row is the last row in memory.
  EXPECT_EQ(0, std::memcmp(scratch_array_temp + 3 * 8 * 3, p.at(0, 0), 3));

  v = decode(tree.path() + "pic.tex", 0x501, &result);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(v.tex_w, 8);

  for (const char* name : {"both.png", "bad.png"}) {
    v = decode(tree.path() + name, 0x501, &result);
    EXPECT_EQ(result, 2) << name;
    EXPECT_EQ(v.format, int(TEX_fmt_rgb)) << name;
  }

  v = decode(tree.path() + "chain.png", 0x501, &result);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(v.format, int(TEX_fmt_dxt1));
  EXPECT_EQ(v.file_mips, 1);
  cmdline["--no_dds"] = "";
  v = decode(tree.path() + "chain.png", 0x501, &result);
  EXPECT_EQ(v.format, int(TEX_fmt_rgb));
  EXPECT_EQ(v.file_mips, 0);
  cmdline.erase("--no_dds");

  v = decode(tree.path() + "nodds.png", 0x501, &result);
  EXPECT_EQ(result, 0);
  v = decode(tree.path() + "missing.png", 0x501, &result);
  EXPECT_EQ(result, 0);
  v = decode("", 0x501, &result);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(shell_double::alerts().empty());
}

// A DDS chain is copied out of the file, levels skipped for the resolution, and turned upside
// down; a DXT1 chain whose picture uses the transparent colour becomes DXT1 with alpha.
TEST_F(TextureDecode, DdsChainSkippedCopiedAndFlipped) {
  if (!have_imagemagick()) GTEST_SKIP() << "ImageMagick is not installed";
  rgba_picture p = test_picture(16, 16, 4);
  ASSERT_TRUE(convert_picture(p, tree.path() + "opaque.dds", {"-alpha", "off", "-define", "dds:compression=dxt1"}));
  // The same file with one block of level 0 in three-colour mode, its texels transparent.
  std::string holed = read_whole_file(tree.path() + "opaque.dds");
  const char block[8] = {0x00, 0x10, 0x00, 0x20, char(0xFF), char(0xFF), char(0xFF), char(0xFF)};
  holed.replace(128 + 8 * 5, 8, block, 8);
  write_whole_file(tree.path() + "holed.dds", holed);

  int result = 0;
  tex_load_vars v = decode(tree.path() + "opaque.dds", 0x501, &result);
  ASSERT_EQ(result, 2);
  EXPECT_EQ(v.format, int(TEX_fmt_dxt1));
  EXPECT_EQ(v.channels, 3);
  // Level 0 in the buffer decodes to the file's level 0 upside down.
  const std::string file = read_whole_file(tree.path() + "opaque.dds");
  std::vector<unsigned char> from_file(16 * 16 * 4), from_buffer(16 * 16 * 4);
  TEX_squish_decompress(from_file.data(), 16, 16, reinterpret_cast<const unsigned char*>(file.data()) + 128, squish::kDxt1);
  TEX_squish_decompress(from_buffer.data(), 16, 16, scratch_array_temp, squish::kDxt1);
  for (int y = 0; y < 16; ++y) EXPECT_EQ(0, std::memcmp(&from_buffer[y * 64], &from_file[(15 - y) * 64], 64)) << y;

  v = decode(tree.path() + "holed.dds", 0x501, &result);
  EXPECT_EQ(v.format, int(TEX_fmt_dxt1a));
  EXPECT_EQ(v.channels, 4);

  mnw.tex_res = 3;  // a quarter: two levels skipped
  v = decode(tree.path() + "opaque.dds", 0x401, &result);
  EXPECT_EQ(v.image_w, 4);
  EXPECT_EQ(v.tex_w, 4);
  std::vector<unsigned char> level2(4 * 4 * 4);
  TEX_squish_decompress(level2.data(), 4, 4, scratch_array_temp, squish::kDxt1);
  const size_t level2_offset = 128 + 128 + 32;
  TEX_squish_decompress(from_file.data(), 4, 4, reinterpret_cast<const unsigned char*>(file.data()) + level2_offset,
                        squish::kDxt1);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(0, std::memcmp(&level2[y * 16], &from_file[(3 - y) * 16], 16)) << y;
}

// Pictures reduced for the resolution level by power-of-two factors of the padded picture, so
// the buffer is the texture; exact-size textures keep the decoded row width for the upload.
TEST_F(TextureDecode, DownscaleForLevel) {
  if (!have_imagemagick()) GTEST_SKIP() << "ImageMagick is not installed";
  rgba_picture p = test_picture(12, 8, 5);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) p.at(x, y)[0] = static_cast<unsigned char>(x < 6 ? 40 : 200);
  ASSERT_TRUE(convert_picture(p, tree.path() + "p.png", {"-define", "png:color-type=2"}));
  mnw.tex_res = 4;  // half
  int result = 0;
  tex_load_vars v = decode(tree.path() + "p.png", 0x401, &result);
  ASSERT_EQ(result, 2);
  EXPECT_EQ(v.image_w, 6);
  EXPECT_EQ(v.image_h, 4);
  EXPECT_EQ(v.tex_w, 8);
  EXPECT_EQ(v.tex_h, 4);
  EXPECT_EQ(tex_decoded_row_texels, 8);
  EXPECT_EQ(scratch_array_temp[0], 40);
  EXPECT_EQ(scratch_array_temp[5 * 3], 200);

  // Level 0 on a 3-wide picture: the factor rises to 1/3 and is taken as 1/2.
  ASSERT_TRUE(convert_picture(test_picture(3, 3, 6), tree.path() + "tiny.png", {"-define", "png:color-type=2"}));
  mnw.tex_res = 0;
  v = decode(tree.path() + "tiny.png", 0x401, &result);
  ASSERT_EQ(result, 2);
  EXPECT_EQ(v.tex_w, 2);
  EXPECT_EQ(v.image_w, 1);
}

// Pictures too large for a texture are refused by the size alert before anything is decoded:
// a real 2049 x 2049 PNG and forged headers (4096 x 1100 PNG, 3000-wide BMP).
TEST_F(TextureDecode, TooLargeIsRefusedBeforeDecoding) {
  if (!have_imagemagick()) GTEST_SKIP() << "ImageMagick is not installed";
  ASSERT_TRUE(convert_picture(test_picture(2049, 2049, 1), tree.path() + "big.png", {"-define", "png:color-type=6"}));
  ASSERT_TRUE(convert_picture(test_picture(4, 4, 1), tree.path() + "small.png", {"-define", "png:color-type=6"}));
  std::string forged = read_whole_file(tree.path() + "small.png");
  forged[16] = 0, forged[17] = 0, forged[18] = 0x10, forged[19] = 0;      // width 4096
  forged[20] = 0, forged[21] = 0, forged[22] = 0x04, forged[23] = 0x4C;  // height 1100
  write_whole_file(tree.path() + "forged.png", forged);
  ASSERT_TRUE(convert_picture(test_picture(4, 4, 1), tree.path() + "wide.bmp", {"-alpha", "off", "-type", "TrueColor"}, "BMP3:"));
  std::string bmp = read_whole_file(tree.path() + "wide.bmp");
  bmp[18] = char(3000 & 255), bmp[19] = char(3000 >> 8);
  write_whole_file(tree.path() + "wide.bmp", bmp);
  for (const char* name : {"big.png", "forged.png", "wide.tex"}) {
    SCOPED_TRACE(name);
    shell_double::reset();
    int result = 1;
    decode(tree.path() + name, 0x502, &result);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(has_alert("Trying to create a texture either less than 1 or greater than 2048!"));
  }
}

TEST_F(TextureDecode, ScratchArrayNamesAndColourCodes) {
  scratch_dx = 16;
  scratch_dy = 8;
  int result = 0;
  tex_load_vars v = decode("scratch_array-t_tex_back (tile)", 0x412, &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(v.pixels, scratch_array);
  EXPECT_EQ(v.format, int(TEX_fmt_rgba));
  EXPECT_EQ(v.tex_w, 16);
  scratch_dx = 0;
  decode("scratch_array-bad", 0x412, &result);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(has_alert("Trying to create a texture either less than 1 or greater than 2048!"));
  shell_double::reset();
  decode("", 0x500, &result);
  EXPECT_TRUE(has_alert("BAD color enum for tman - see tman.h for valid colors!  We cannot pass 0."));
}

TEST(TextureBleed, ColourBleedsIntoTransparentTexels) {
  auto px = [](std::vector<unsigned char>& img, int w, int x, int y) { return &img[(y * w + x) * 4]; };
  {
    // All transparent: unchanged.
    std::vector<unsigned char> img(4 * 4 * 4, 0);
    for (size_t i = 0; i < img.size(); i += 4) img[i] = 77;
    const auto before = img;
    TEX_bleed_alpha(img.data(), 4, 4);
    EXPECT_EQ(img, before);
  }
  {
    // A row of 8: red opaque at 0 and 1, transparent from 2 on. Texels 2 to 3 are within two
    // of red and turn red; texel 4 and beyond stay (bled texels feed nobody).
    std::vector<unsigned char> img(8 * 1 * 4, 0);
    for (int x = 0; x < 2; ++x) {
      unsigned char* p = px(img, 8, x, 0);
      p[0] = 255, p[3] = 255;
    }
    px(img, 8, 2, 0)[1] = 9;  // a transparent texel's own colour does not count
    TEX_bleed_alpha(img.data(), 8, 1);
    EXPECT_EQ(px(img, 8, 2, 0)[0], 255);
    EXPECT_EQ(px(img, 8, 2, 0)[1], 0);
    EXPECT_EQ(px(img, 8, 2, 0)[3], 0);
    EXPECT_EQ(px(img, 8, 3, 0)[0], 255);
    EXPECT_EQ(px(img, 8, 4, 0)[0], 0);
  }
  {
    // A corner: the window is clipped; the mean of the opaque texels inside it.
    std::vector<unsigned char> img(3 * 3 * 4, 0);
    unsigned char* a = px(img, 3, 1, 0);
    a[0] = 100, a[3] = 255;
    unsigned char* b = px(img, 3, 0, 2);
    b[0] = 201, b[3] = 255;
    TEX_bleed_alpha(img.data(), 3, 3);
    EXPECT_EQ(px(img, 3, 0, 0)[0], (100 + 201) / 2);
  }
}
