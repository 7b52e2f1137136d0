// The image readers and writers against files made by ImageMagick and against hostile files.
// Readers run over exact-size heap copies (support/image_fixtures.h), so under AddressSanitizer
// any read past a file's last byte fails the test.
#include <gtest/gtest.h>
#include <squish.h>
#include <zlib.h>

#include <cmath>
#include <cstring>

#include "graphics/image_bmp.h"
#include "graphics/image_dds.h"
#include "graphics/image_files.h"
#include "graphics/image_ops.h"
#include "graphics/image_png.h"
#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_services.h"
#include "support/image_fixtures.h"
#include "support/process.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

class ImageCodec : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have_imagemagick()) GTEST_SKIP() << "ImageMagick is not installed (scripts/setup installs it)";
    shell_double::reset();
  }
  std::string make(const std::string& name, const rgba_picture& p, const std::vector<std::string>& args,
                   const std::string& prefix = "") {
    const std::string path = tree.path() + name;
    EXPECT_TRUE(convert_picture(p, path, args, prefix)) << name;
    return path;
  }
  temp_tree tree;
};

bool has_alert(const std::string& first, const std::string& second = "") {
  for (const recorded_alert& a : shell_double::alerts())
    if (a.lines[0] == first && (second.empty() || a.lines[1] == second)) return true;
  return false;
}

// A picture of black and white with one transparent black pixel, for the low grey depths.
rgba_picture black_and_white(bool with_hole) {
  rgba_picture p = test_picture(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const unsigned char v = (x + y) % 2 ? 255 : 0;
      unsigned char* px = p.at(x, y);
      px[0] = px[1] = px[2] = v;
      px[3] = with_hole && x == 1 && y == 1 ? 0 : 255;
    }
  return p;
}

rgba_picture with_hole(rgba_picture p) {
  p.at(1, 1)[3] = 0;
  return p;
}

// libpng's colour-to-grey: its default weights applied in linear light, since the reader's
// gamma (1.8 both ways) makes the conversion work on linear values.
int grey_of(const unsigned char* rgb) {
  auto lin = [](unsigned char v) { return std::pow(v / 255.0, 1.8); };
  const double y = (6968 * lin(rgb[0]) + 23434 * lin(rgb[1]) + 2366 * lin(rgb[2])) / 32768.0;
  return int(std::lround(255.0 * std::pow(y, 1 / 1.8)));
}

struct png_case {
  const char* name;
  rgba_picture picture;
  std::vector<std::string> args;
  std::string prefix;
  bool alpha;      // the file has alpha: an alpha channel or a transparency chunk
  bool colour;     // the file has colour (else grey)
};

}  // namespace

// Every colour type and depth, with and without transparency chunks, against every requested
// format, with match-alpha on and off and with power-of-two sizing on and off; the oracle is
// convert's own decode. Rows come out bottom first, padding is zero, and the descriptor's
// format follows match-alpha (a transparency chunk counts as alpha).
TEST_F(ImageCodec, PngEveryColourTypeAgainstConvert) {
  const rgba_picture colour = test_picture(5, 3, 1, false);
  const rgba_picture colour_alpha = test_picture(5, 3, 2, true);
  const std::vector<std::string> grey = {"-colorspace", "Gray"};
  auto plus = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::vector<png_case> cases = {
      {"rgb8", colour, {"-define", "png:color-type=2"}, "", false, true},
      {"rgb8_trns", with_hole(colour), {"-define", "png:color-type=2"}, "", true, true},
      {"rgba8", colour_alpha, {"-define", "png:color-type=6"}, "", true, true},
      {"grey8", colour, plus(grey, {"-define", "png:color-type=0", "-define", "png:bit-depth=8"}), "", false, false},
      {"grey8_trns", black_and_white(true), {"-define", "png:color-type=0", "-define", "png:bit-depth=8"}, "", true, false},
      {"grey_alpha", colour_alpha, plus(grey, {"-define", "png:color-type=4"}), "", true, false},
      {"palette", colour, {}, "PNG8:", false, true},
      {"palette_trns", with_hole(colour), {}, "PNG8:", true, true},
      {"grey1", black_and_white(false), {"-alpha", "off", "-define", "png:color-type=0", "-define", "png:bit-depth=1"}, "", false, false},
      {"grey1_trns", black_and_white(true), {"-define", "png:color-type=0", "-define", "png:bit-depth=1"}, "", true, false},
      {"grey2", black_and_white(false), {"-alpha", "off", "-define", "png:color-type=0", "-define", "png:bit-depth=2"}, "", false, false},
      {"grey4", black_and_white(false), {"-alpha", "off", "-define", "png:color-type=0", "-define", "png:bit-depth=4"}, "", false, false},
      {"rgb16", colour, {"-alpha", "off", "-depth", "16", "-define", "png:color-type=2", "-define", "png:bit-depth=16"}, "", false, true},
      {"adam7", colour_alpha, {"-interlace", "PNG", "-define", "png:color-type=6"}, "", true, true},
  };
  for (const png_case& c : cases) {
    const std::string path = make(std::string(c.name) + ".png", c.picture, c.args, c.prefix);
    const rgba_picture oracle = convert_decode(path);
    ASSERT_EQ(oracle.width, 5) << c.name;
    const std::string bytes = read_whole_file(path);
    for (unsigned want : {TEX_fmt_rgb, TEX_fmt_rgba, TEX_fmt_alpha}) {
      for (int match : {0, 1}) {
        for (int pow2 : {0, 1}) {
          SCOPED_TRACE(std::string(c.name) + " format " + std::to_string(want) + " match " + std::to_string(match) +
                       " pow2 " + std::to_string(pow2));
          heap_mapping m(bytes);
          unsigned char* out = nullptr;
          TEX_image_desc d;
          ASSERT_EQ(TEX_load_png(path, m.file(), out, want, 0, pow2, match, d), 1);
          unsigned expect = want;
          if (match && c.alpha && want == TEX_fmt_rgb) expect = TEX_fmt_rgba;
          if (match && !c.alpha && want == TEX_fmt_rgba) expect = TEX_fmt_rgb;
          EXPECT_EQ(d.format, expect);
          EXPECT_EQ(d.width, 5);
          EXPECT_EQ(d.height, 3);
          const int bpp = TEX_bytes_per_pixel(expect);
          EXPECT_EQ(d.pad, pow2 ? 3 * bpp : 0);
          const size_t stride = size_t(5) * bpp + d.pad;
          const int rows = pow2 ? 4 : 3;
          int worst = 0;
          for (int r = 0; r < rows; ++r) {
            for (size_t b = 0; b < stride; ++b) {
              const int x = int(b / bpp), ch = int(b % bpp);
              const unsigned char got = out[r * stride + b];
              if (r >= 3 || x >= 5) {
                EXPECT_EQ(got, 0) << "padding at row " << r << " byte " << b;
                continue;
              }
              const unsigned char* o = oracle.at(x, 2 - r);  // memory row 0 is the picture's bottom
              int want_value;
              if (bpp == 1) {
                want_value = c.colour ? grey_of(o) : o[0];
              } else {
                want_value = o[ch];
              }
              worst = std::max(worst, std::abs(int(got) - want_value));
            }
          }
          // Colour to grey is libpng's weighted sum; everything else is exact.
          EXPECT_LE(worst, bpp == 1 && c.colour ? 2 : 0);
          nedfree(out);
        }
      }
    }
  }
}

// A file with gAMA 0.45455 is corrected for the screen gamma of 1.8 (value^(1 / (0.45455 x
// 1.8))); one without gamma chunks loads unchanged.
TEST_F(ImageCodec, PngGammaChunkIsApplied) {
  rgba_picture grey = test_picture(4, 4);
  for (size_t i = 0; i < grey.rgba.size(); ++i) grey.rgba[i] = i % 4 == 3 ? 255 : 100;
  const std::string plain = make("plain.png", grey, {"-define", "png:color-type=2"});
  const std::string gamma_path = tree.path() + "gamma.png";
  write_whole_file(tree.path() + "g.rgba", std::string(grey.rgba.begin(), grey.rgba.end()));
  ASSERT_EQ(run_process({"convert", "-size", "4x4", "-depth", "8", "rgba:" + tree.path() + "g.rgba", "-define",
                         "png:color-type=2", "-gamma", "1", "-set", "gamma", "0.45455", gamma_path})
                .exit_code,
            0);
  const int corrected = int(std::lround(255 * std::pow(100 / 255.0, 1 / (0.45455 * 1.8))));
  for (const auto& [path, want] : {std::pair{plain, 100}, std::pair{gamma_path, corrected}}) {
    heap_mapping m(read_whole_file(path));
    unsigned char* out = nullptr;
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_png(path, m.file(), out, TEX_fmt_rgb, 0, 0, 0, d), 1);
    EXPECT_NEAR(out[0], want, 1) << path;
    nedfree(out);
  }
}

// Sizes are checked against the buffer before a byte is written: a forged IHDR, an image too
// large for the caller's buffer, and a pad-to width below the width are refused; a 2049-wide
// picture is refused even into an allocated buffer.
TEST_F(ImageCodec, PngRefusesSizesThatDoNotFit) {
  const std::string path = make("small.png", test_picture(5, 3, 1, true), {"-define", "png:color-type=6"});
  const std::string bytes = read_whole_file(path);
  auto forge = [&](uint32_t w, uint32_t h) {
    std::string f = bytes;
    for (int i = 0; i < 4; ++i) {
      f[16 + i] = char(w >> (24 - 8 * i));
      f[20 + i] = char(h >> (24 - 8 * i));
    }
    const uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(f.data() + 12), 17);
    for (int i = 0; i < 4; ++i) f[29 + i] = char(crc >> (24 - 8 * i));
    return f;
  };
  struct row {
    const char* what;
    std::string file;
    int pad_to;
    int pow2;
    size_t capacity;
  };
  const std::vector<row> rows = {
      {"4096 x 4096 forged", forge(4096, 4096), 0, 0, TEX_scratch_bytes},
      {"2049 x 1 forged", forge(2049, 1), 0, 0, TEX_scratch_bytes},
      {"buffer one byte short", bytes, 0, 0, 5 * 3 * 4 - 1},
      {"power of two does not fit", bytes, 0, 1, 5 * 3 * 4},
      {"pad-to below width", bytes, 4, 0, TEX_scratch_bytes},
      {"pad-to past 2048", bytes, 4096, 0, TEX_scratch_bytes},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    std::vector<unsigned char> buffer(64, 0xAB);
    unsigned char* out = buffer.data();
    heap_mapping m(r.file);
    TEX_image_desc d;
    EXPECT_EQ(TEX_load_png(path, m.file(), out, TEX_fmt_rgba, r.pad_to, r.pow2, 0, d, r.capacity), 0);
    for (unsigned char b : buffer) EXPECT_EQ(b, 0xAB);
  }
  EXPECT_TRUE(shell_double::alerts().empty());

  // A pad-to width at or above the width pads.
  heap_mapping m(bytes);
  unsigned char* out = nullptr;
  TEX_image_desc d;
  ASSERT_EQ(TEX_load_png(path, m.file(), out, TEX_fmt_rgba, 8, 0, 0, d), 1);
  EXPECT_EQ(d.pad, 3 * 4);
  nedfree(out);
}

// Corrupt files: a truncated or damaged file is the ordinary "PNG error!" alert followed by the
// fatal one and 0; a file of 7 bytes is 0 without an alert; a file without the signature is the
// signature alert. Nothing is read past the end of the file.
TEST_F(ImageCodec, PngCorruptFilesAreRefused) {
  const std::string path = make("good.png", test_picture(32, 32, 3, true), {"-define", "png:color-type=6"});
  const std::string bytes = read_whole_file(path);
  std::string bad_crc = bytes;
  bad_crc[bad_crc.find("IDAT") + 8] ^= 0x55;
  struct row {
    const char* what;
    std::string file;
    const char* second_fatal_line;  // "" for no alert
  };
  const std::vector<row> rows = {
      {"cut at half", bytes.substr(0, bytes.size() / 2), "setjmp(png_ptr->jmpbuf"},
      {"cut after the header", bytes.substr(0, 40), "setjmp(png_ptr->jmpbuf"},
      {"bad IDAT", bad_crc, "setjmp(png_ptr->jmpbuf"},
      {"seven bytes", bytes.substr(0, 7), ""},
      {"no signature", "GIF89a" + bytes.substr(6), "is_png=!png_sig_cmp(png_io_buf,0,8)"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    shell_double::reset();
    heap_mapping m(r.file);
    unsigned char* out = nullptr;
    TEX_image_desc d;
    EXPECT_EQ(TEX_load_png(path, m.file(), out, TEX_fmt_rgba, 0, 0, 0, d), 0);
    EXPECT_EQ(out, nullptr);
    if (!*r.second_fatal_line) {
      EXPECT_TRUE(shell_double::alerts().empty());
      continue;
    }
    const auto alerts = shell_double::alerts();
    ASSERT_FALSE(alerts.empty());
    EXPECT_EQ(alerts.back().lines[0], "PING-FILE ERROR!");
    EXPECT_EQ(alerts.back().lines[1], r.second_fatal_line);
    EXPECT_EQ(alerts.back().type, t_exit);
    if (std::string(r.second_fatal_line) == "setjmp(png_ptr->jmpbuf") {
      ASSERT_GE(alerts.size(), 2u);
      EXPECT_EQ(alerts[0].lines[0], "PNG error!");
      EXPECT_EQ(alerts[0].type, t_alert);
    }
  }
}

// What TEX_save_png writes reads back byte for byte, padding included, and says gAMA 1/1.8.
TEST_F(ImageCodec, PngWriteReadRoundTrip) {
  for (unsigned format : {TEX_fmt_rgb, TEX_fmt_rgba, TEX_fmt_alpha}) {
    SCOPED_TRACE(format);
    const int bpp = TEX_bytes_per_pixel(format);
    TEX_image_desc d{format, 7, 5, 2 * bpp, 0};
    std::vector<unsigned char> pixels(size_t(7 * bpp + d.pad) * 5);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 7 + 3);
    for (int r = 0; r < 5; ++r) std::memset(&pixels[r * (7 * bpp + d.pad) + 7 * bpp], 0, d.pad);
    const std::string path = tree.path() + "round" + std::to_string(format) + ".png";
    ASSERT_EQ(TEX_save_png(path, d, pixels.data()), 1);
    heap_mapping m(read_whole_file(path));
    unsigned char* out = nullptr;
    TEX_image_desc back;
    ASSERT_EQ(TEX_load_png(path, m.file(), out, format, 9, 0, 0, back), 1);
    EXPECT_EQ(back.pad, d.pad);
    EXPECT_EQ(0, std::memcmp(out, pixels.data(), pixels.size()));
    nedfree(out);
    const process_result id = run_process({"identify", "-verbose", path});
    EXPECT_NE(id.out.find("gamma=0.55556"), std::string::npos);
  }
  // A write that cannot reach the disk reports failure.
  TEX_image_desc d{TEX_fmt_rgb, 64, 64, 0, 0};
  std::vector<unsigned char> pixels(64 * 64 * 3, 9);
  EXPECT_EQ(TEX_save_png("/dev/full", d, pixels.data()), 0);
  EXPECT_EQ(TEX_save_png(tree.path() + "no/such/folder.png", d, pixels.data()), 0);
}

// 24-bit BMP files from convert: source rows padded to 4 bytes for widths 1 to 5, bottom row
// first, magenta transparent only under RGBA, grey as the integer mean.
TEST_F(ImageCodec, BmpWidthsAndFormats) {
  for (int w = 1; w <= 5; ++w) {
    rgba_picture p = test_picture(w, 3, w);
    p.at(0, 0)[0] = 255, p.at(0, 0)[1] = 0, p.at(0, 0)[2] = 255;  // magenta top-left
    const std::string path = make("w" + std::to_string(w) + ".bmp", p, {"-alpha", "off", "-type", "TrueColor"}, "BMP3:");
    const std::string bytes = read_whole_file(path);
    ASSERT_EQ(bytes.size(), 54u + 3 * ((w * 3 + 3) & ~3)) << w;
    for (unsigned format : {TEX_fmt_rgb, TEX_fmt_rgba, TEX_fmt_alpha}) {
      for (int pow2 : {0, 1}) {
        SCOPED_TRACE("width " + std::to_string(w) + " format " + std::to_string(format) + " pow2 " + std::to_string(pow2));
        heap_mapping m(bytes);
        unsigned char* out = nullptr;
        TEX_image_desc d;
        ASSERT_EQ(TEX_load_bmp(path, m.file(), out, format, 0, pow2, d), 1);
        const int bpp = TEX_bytes_per_pixel(format);
        EXPECT_EQ(d.pad, pow2 ? (TEX_next_pow2(w) - w) * bpp : 0);
        const size_t stride = size_t(w) * bpp + d.pad;
        for (int r = 0; r < 3; ++r) {
          for (int x = 0; x < w; ++x) {
            const unsigned char* src = p.at(x, 2 - r);
            const unsigned char* got = out + r * stride + x * bpp;
            const bool magenta = x == 0 && r == 2;
            if (format == TEX_fmt_alpha) {
              EXPECT_EQ(got[0], (src[0] + src[1] + src[2]) / 3);
            } else if (format == TEX_fmt_rgba && magenta) {
              EXPECT_EQ(got[0] | got[1] | got[2] | got[3], 0);
            } else {
              EXPECT_EQ(got[0], src[0]);
              EXPECT_EQ(got[1], src[1]);
              EXPECT_EQ(got[2], src[2]);
              if (bpp == 4) {
                EXPECT_EQ(got[3], 255);
              }
            }
          }
          for (int b = w * bpp; b < int(stride); ++b) EXPECT_EQ(out[r * stride + b], 0);
        }
        if (pow2) {
          for (size_t b = 3 * stride; b < 4 * stride; ++b) EXPECT_EQ(out[b], 0);
        }
        nedfree(out);
      }
    }
  }
}

// The grey value of the worked example pixel.
TEST_F(ImageCodec, BmpAlphaIsIntegerMean) {
  rgba_picture p = test_picture(1, 1);
  p.at(0, 0)[0] = 10, p.at(0, 0)[1] = 20, p.at(0, 0)[2] = 31;
  const std::string path = make("mean.bmp", p, {"-alpha", "off", "-type", "TrueColor"}, "BMP3:");
  heap_mapping m(read_whole_file(path));
  unsigned char* out = nullptr;
  TEX_image_desc d;
  ASSERT_EQ(TEX_load_bmp(path, m.file(), out, TEX_fmt_alpha, 0, 0, d), 1);
  EXPECT_EQ(out[0], 20);
  nedfree(out);
}

// Files the reader declines: other depths and compression with their alerts; hostile headers
// (sizes that lie, a data offset past the end, rows cut short, zero or negative width) without
// a read past the file; a top-down file (negative height) is read the right way up.
TEST_F(ImageCodec, BmpHostileAndUnsupportedFiles) {
  const rgba_picture p = test_picture(6, 4, 4);
  const std::string path24 = make("p24.bmp", p, {"-alpha", "off", "-type", "TrueColor"}, "BMP3:");
  const std::string path32 = make("p32.bmp", test_picture(6, 4, 4, true), {"-type", "TrueColorAlpha"}, "BMP:");
  const std::string path8 = make("p8.bmp", p, {"-type", "Palette"}, "BMP3:");
  const std::string good = read_whole_file(path24);
  auto put32 = [](std::string s, int at, int32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char(uint32_t(v) >> (8 * i));
    return s;
  };
  struct row {
    const char* what;
    std::string file;
    const char* alert;  // first line of the expected alert, or ""
  };
  const std::vector<row> rows = {
      {"32-bit", read_whole_file(path32), "Wrong bitmap color depth for texture!"},
      {"8-bit", read_whole_file(path8), "Wrong bitmap color depth for texture!"},
      {"compressed", put32(good, 30, 1), "Bitmap is compressed!"},
      {"height claims more rows", put32(good, 22, 400), ""},
      {"width claims more columns", put32(good, 18, 2000), ""},
      {"width too large", put32(good, 18, 4096), ""},
      {"zero width", put32(good, 18, 0), ""},
      {"negative width", put32(good, 18, -6), ""},
      {"data offset past the end", put32(good, 10, int32_t(good.size())), ""},
      {"data offset huge", put32(good, 10, -1), ""},
      {"rows cut short", good.substr(0, good.size() - 1), ""},
      {"header only", good.substr(0, 30), ""},
      {"two bytes", "BM", "Wrong bitmap color depth for texture!"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    shell_double::reset();
    heap_mapping m(r.file);
    unsigned char* out = nullptr;
    TEX_image_desc d;
    EXPECT_EQ(TEX_load_bmp(path24, m.file(), out, TEX_fmt_rgb, 0, 0, d), 0);
    EXPECT_EQ(out, nullptr);
    if (*r.alert) EXPECT_TRUE(has_alert(r.alert));
    else EXPECT_TRUE(shell_double::alerts().empty());
  }

  // Top-down: rows stored top first, height negative.
  const size_t stride = (6 * 3 + 3) & ~3;
  std::string top_down = put32(good, 22, -4);
  for (int r = 0; r < 4; ++r)
    top_down.replace(54 + r * stride, stride, good.substr(54 + (3 - r) * stride, stride));
  heap_mapping a(good), b(top_down);
  unsigned char *out_a = nullptr, *out_b = nullptr;
  TEX_image_desc da, db;
  ASSERT_EQ(TEX_load_bmp(path24, a.file(), out_a, TEX_fmt_rgb, 0, 0, da), 1);
  ASSERT_EQ(TEX_load_bmp(path24, b.file(), out_b, TEX_fmt_rgb, 0, 0, db), 1);
  EXPECT_EQ(db.height, 4);
  EXPECT_EQ(0, std::memcmp(out_a, out_b, 6 * 3 * 4));
  nedfree(out_a);
  nedfree(out_b);
}

namespace {

// A DDS file of DXT blocks made here (convert writes no DXT3): header fields as given.
std::string dds_file(const char* fourcc, int w, int h, bool mips, int mip_count, const std::string& data,
                     uint32_t pixel_flags = 4) {
  std::string f(128, '\0');
  auto put = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = char(v >> (8 * i));
  };
  std::memcpy(&f[0], "DDS ", 4);
  put(4, 124);
  put(8, mips ? 0xA1007 : 0x81007);
  put(12, uint32_t(h));
  put(16, uint32_t(w));
  put(28, uint32_t(mip_count));
  put(76, 32);
  put(80, pixel_flags);
  std::memcpy(&f[84], fourcc, 4);
  put(108, mips ? 0x401008 : 0x1000);
  return f + data;
}

}  // namespace

// DDS files from convert (DXT1, DXT5, uncompressed) and built here (DXT3): format constant,
// sizes, has-mipmaps only for a whole chain, data in place after the header; level 0 decodes
// like convert's decode.
TEST_F(ImageCodec, DdsReadsWhatConvertWrites) {
  const rgba_picture p = test_picture(16, 8, 5, true);
  struct row {
    const char* what;
    std::vector<std::string> args;
    unsigned format;
    int has_mips;
  };
  const std::vector<row> rows = {
      {"dxt1 chain", {"-alpha", "off", "-define", "dds:compression=dxt1"}, TEX_fmt_dxt1, 1},
      {"dxt5 chain", {"-define", "dds:compression=dxt5"}, TEX_fmt_dxt5, 1},
      {"dxt1 no mips", {"-alpha", "off", "-define", "dds:compression=dxt1", "-define", "dds:mipmaps=0"}, TEX_fmt_dxt1, 0},
      {"dxt5 partial chain", {"-define", "dds:compression=dxt5", "-define", "dds:mipmaps=2"}, TEX_fmt_dxt5, 0},
      {"bgr", {"-alpha", "off", "-define", "dds:compression=none"}, TEX_fmt_bgr, 1},
      {"bgra", {"-define", "dds:compression=none"}, TEX_fmt_bgra, 1},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string path = make(std::string(r.what) + ".dds", p, r.args);
    const std::string bytes = read_whole_file(path);
    heap_mapping m(bytes);
    const unsigned char* data = nullptr;
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_dds(path, m.file(), data, d), 1);
    EXPECT_EQ(d.format, r.format);
    EXPECT_EQ(d.width, 16);
    EXPECT_EQ(d.height, 8);
    EXPECT_EQ(d.has_mips, r.has_mips);
    EXPECT_EQ(data, reinterpret_cast<const unsigned char*>(m.file()->begin) + 128);
    if (!TEX_is_dxt(d.format)) continue;
    const rgba_picture oracle = convert_decode(path);
    ASSERT_EQ(oracle.width, 16);
    std::vector<unsigned char> rgba(16 * 8 * 4);
    TEX_squish_decompress(rgba.data(), 16, 8, data, TEX_squish_kind(d.format));
    int worst = 0;
    for (size_t i = 0; i < rgba.size(); ++i)
      if (d.format != TEX_fmt_dxt1 || i % 4 != 3) worst = std::max(worst, std::abs(rgba[i] - oracle.rgba[i]));
    EXPECT_LE(worst, 8);
  }

  // DXT3 with a full chain, built here.
  TEX_image_desc chain{TEX_fmt_dxt3, 8, 8, 0, 1};
  const std::string blocks(size_t(TEX_bytes_needed_for_image(chain)), 'x');
  heap_mapping m(dds_file("DXT3", 8, 8, true, 4, blocks));
  const unsigned char* data = nullptr;
  TEX_image_desc d;
  ASSERT_EQ(TEX_load_dds("dxt3.dds", m.file(), data, d), 1);
  EXPECT_EQ(d.format, TEX_fmt_dxt3);
  EXPECT_EQ(d.has_mips, 1);
}

// Files the reader declines, and never reads past: short files, chains the file does not hold,
// pixel formats it does not know, sizes out of range. The four-character code and RGB bits
// together are taken as uncompressed.
TEST_F(ImageCodec, DdsHostileFiles) {
  TEX_image_desc chain{TEX_fmt_dxt1, 8, 8, 0, 1};
  const std::string blocks(size_t(TEX_bytes_needed_for_image(chain)), 'x');
  const std::string good = dds_file("DXT1", 8, 8, true, 4, blocks);
  auto put = [](std::string f, int at, uint32_t v) {
    const char le[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    f.replace(size_t(at), 4, le, 4);
    return f;
  };
  struct row {
    const char* what;
    std::string file;
  };
  const std::vector<row> rows = {
      {"8 bytes", good.substr(0, 8)},
      {"100 bytes", good.substr(0, 100)},
      {"127 bytes", good.substr(0, 127)},
      {"chain cut by one byte", good.substr(0, good.size() - 1)},
      {"level 0 cut", good.substr(0, 128 + 16)},
      {"ATI2", dds_file("ATI2", 8, 8, true, 4, blocks)},
      {"no pixel format bits", put(good, 80, 0)},
      {"width 0", put(good, 16, 0)},
      {"height 4096", put(good, 12, 4096)},
      {"width claims 2048", put(good, 16, 2048)},
      {"bad header size", put(good, 4, 100)},
      {"16-bit rgb565", put(put(put(put(put(good, 80, 0x40), 88, 16), 92, 0xF800), 96, 0x7E0), 100, 0x1F)},
      {"24-bit with alpha bit", put(put(put(put(put(good, 80, 0x41), 88, 24), 92, 0xFF0000), 96, 0xFF00), 100, 0xFF)},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    heap_mapping m(r.file);
    const unsigned char* data = nullptr;
    TEX_image_desc d;
    EXPECT_EQ(TEX_load_dds("hostile.dds", m.file(), data, d), 0);
    EXPECT_EQ(data, nullptr);
  }

  // Four-character code and RGB together: uncompressed BGR wins, and the size check follows it.
  std::string both = put(put(put(put(put(good, 80, 0x44), 88, 24), 92, 0xFF0000), 96, 0xFF00), 100, 0xFF);
  both.resize(128 + 8 * 8 * 3 * 2);  // more than the BGR chain needs
  heap_mapping m(both);
  const unsigned char* data = nullptr;
  TEX_image_desc d;
  ASSERT_EQ(TEX_load_dds("both.dds", m.file(), data, d), 1);
  EXPECT_EQ(d.format, TEX_fmt_bgr);
}

// The writer: header fields, one level per halving down to 1 x 1, and a picture convert reads
// back close to the source.
TEST_F(ImageCodec, DdsWriteHeaderLevelsAndPicture) {
  struct row {
    int w, h;
    unsigned format;
    int levels;
  };
  for (const row& r : std::vector<row>{{1, 1, TEX_fmt_rgb, 1}, {4, 1, TEX_fmt_rgba, 3}, {256, 256, TEX_fmt_rgb, 9},
                                       {64, 32, TEX_fmt_rgba, 7}}) {
    SCOPED_TRACE(std::to_string(r.w) + "x" + std::to_string(r.h));
    const int bpp = TEX_bytes_per_pixel(r.format);
    // A smooth gradient, stored bottom row first with one byte of row padding.
    TEX_image_desc d{r.format, r.w, r.h, 1, 0};
    std::vector<unsigned char> pixels(size_t(r.w * bpp + 1) * r.h);
    for (int y = 0; y < r.h; ++y)
      for (int x = 0; x < r.w; ++x) {
        unsigned char* px = &pixels[y * (r.w * bpp + 1) + x * bpp];
        px[0] = static_cast<unsigned char>(x * 255 / std::max(1, r.w - 1));
        px[1] = static_cast<unsigned char>(y * 255 / std::max(1, r.h - 1));
        px[2] = 128;
        if (bpp == 4) px[3] = 255;
      }
    const std::string path = tree.path() + "out" + std::to_string(r.w) + ".dds";
    ASSERT_EQ(TEX_save_dds(path, pixels.data(), d), 1);
    const std::string f = read_whole_file(path);
    auto get = [&](int at) {
      uint32_t v = 0;
      for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(f[at + i])) << (8 * i);
      return v;
    };
    const int kind = r.format == TEX_fmt_rgb ? squish::kDxt1 : squish::kDxt5;
    EXPECT_EQ(f.substr(0, 4), "DDS ");
    EXPECT_EQ(get(4), 124u);
    EXPECT_EQ(get(8), 0xA1007u);
    EXPECT_EQ(get(12), uint32_t(r.h));
    EXPECT_EQ(get(16), uint32_t(r.w));
    EXPECT_EQ(get(20), uint32_t(squish::GetStorageRequirements(r.w, r.h, kind)));
    EXPECT_EQ(get(28), uint32_t(r.levels));
    EXPECT_EQ(get(76), 32u);
    EXPECT_EQ(get(80), 4u);
    EXPECT_EQ(f.substr(84, 4), kind == squish::kDxt1 ? "DXT1" : "DXT5");
    EXPECT_EQ(get(108), 0x401008u);
    TEX_image_desc chain{r.format == TEX_fmt_rgb ? TEX_fmt_dxt1 : TEX_fmt_dxt5, r.w, r.h, 0, 1};
    EXPECT_EQ(f.size(), 128u + TEX_bytes_needed_for_image(chain));
    // Our own reader takes it with its whole chain.
    heap_mapping m(f);
    const unsigned char* data = nullptr;
    TEX_image_desc back;
    ASSERT_EQ(TEX_load_dds(path, m.file(), data, back), 1);
    EXPECT_EQ(back.has_mips, 1);
    if (r.w < 64) continue;
    const rgba_picture seen = convert_decode(path);
    ASSERT_EQ(seen.width, r.w);
    double err = 0;
    for (int y = 0; y < r.h; ++y)
      for (int x = 0; x < r.w; ++x)
        for (int c = 0; c < 3; ++c) {
          const double diff = double(seen.at(x, r.h - 1 - y)[c]) - pixels[y * (r.w * bpp + 1) + x * bpp + c];
          err += diff * diff;
        }
    const double psnr = 10 * std::log10(255.0 * 255.0 / (err / (r.w * r.h * 3)));
    EXPECT_GE(psnr, 30.0);
  }
  TEX_image_desc d{TEX_fmt_rgb, 64, 64, 0, 0};
  std::vector<unsigned char> pixels(64 * 64 * 3, 9);
  EXPECT_EQ(TEX_save_dds("/dev/full", pixels.data(), d), 0);
  shell_double::reset();
  TEX_image_desc alpha{TEX_fmt_alpha, 4, 4, 0, 0};
  EXPECT_EQ(TEX_save_dds(tree.path() + "a.dds", pixels.data(), alpha), 0);
  EXPECT_TRUE(has_alert("rel_assert Error! Possibly an out of range vector! Attach the debugger and see who called this!"));
}

// Loading by content and by extension: the names tried, the reader picked by the first bytes,
// and the pad-to width (refused below the width).
TEST_F(ImageCodec, LoadAnyByContentAndExtension) {
  struct name_row {
    const char* path;
    const char* png;
    const char* bmp;
  };
  for (const name_row& r : std::vector<name_row>{{"a/b.tex", "a/b.png", "a/b.bmp"},
                                                 {"abcd", "abcd.png", "abcd.bmp"},
                                                 {"x.p", "x.p.png", "x.p.bmp"},
                                                 {".png", ".png.png", ".png.bmp"},
                                                 {"pic.png", "pic.png", "pic.bmp"}}) {
    EXPECT_EQ(TEX_name_with_ext(r.path, ".png"), r.png);
    EXPECT_EQ(TEX_name_with_ext(r.path, ".bmp"), r.bmp);
  }

  const rgba_picture p = test_picture(5, 3, 6);
  // A BMP under a .png name is still read as a BMP; only a .bmp present is found by extension.
  const std::string bmp_as_png = make("misnamed.png", p, {"-alpha", "off", "-type", "TrueColor"}, "BMP3:");
  make("only.bmp", p, {"-alpha", "off", "-type", "TrueColor"}, "BMP3:");
  for (const std::string& path : {bmp_as_png, tree.path() + "only.tex"}) {
    unsigned char* out = nullptr;
    TEX_image_desc d;
    const int got = path == bmp_as_png ? TEX_load_any(path, out, TEX_fmt_rgb, 8, 0, d)
                                       : TEX_load_any_ext(path, out, TEX_fmt_rgb, 8, 0, d);
    ASSERT_EQ(got, 1) << path;
    EXPECT_EQ(d.width, 5);
    EXPECT_EQ(d.pad, 3 * 3);
    EXPECT_EQ(out[0], p.at(0, 2)[0]);
    nedfree(out);
  }
  const std::string png = make("pic.png", p, {"-define", "png:color-type=2"});
  unsigned char* out = nullptr;
  TEX_image_desc d;
  EXPECT_EQ(TEX_load_any(png, out, TEX_fmt_rgb, 4, 0, d), 0);
  EXPECT_EQ(TEX_load_any(bmp_as_png, out, TEX_fmt_rgb, 4, 0, d), 0);
  EXPECT_EQ(TEX_load_any(tree.path() + "missing.png", out, TEX_fmt_rgb, 0, 0, d), 0);
  EXPECT_EQ(out, nullptr);
  ASSERT_EQ(TEX_load_any(png, out, TEX_fmt_rgb, 0, 0, d), 1);
  EXPECT_EQ(d.pad, 0);
  nedfree(out);
}

// The bundled interface pictures load byte for byte as stored (no gamma chunk bends them, so
// the palette read from the atlas is the atlas's own colours), fit a texture, and have no DDS
// file beside them that the texture loader would try first.
TEST_F(ImageCodec, BundledPicturesLoadUnchanged) {
  const std::string folder = std::string(SKY_SOURCE_DIR) + "/resources/";
  for (const char* name : {"interface", "background", "map", "elements_English", "elements_French", "elements_German"}) {
    SCOPED_TRACE(name);
    const std::string path = folder + name + ".png";
    if (!path_exists(path)) continue;
    EXPECT_FALSE(path_exists(folder + name + ".dds"));
    const rgba_picture oracle = convert_decode(path);
    ASSERT_GT(oracle.width, 0);
    EXPECT_LE(oracle.width, TEX_max_side);
    EXPECT_LE(oracle.height, TEX_max_side);
    heap_mapping m(read_whole_file(path));
    unsigned char* out = nullptr;
    TEX_image_desc d;
    ASSERT_EQ(TEX_load_png(path, m.file(), out, TEX_fmt_rgba, 0, 0, 0, d), 1);
    ASSERT_EQ(d.width, oracle.width);
    size_t differ = 0;
    for (int y = 0; y < d.height; ++y)
      differ += std::memcmp(out + size_t(y) * d.width * 4, oracle.at(0, d.height - 1 - y), size_t(d.width) * 4) != 0;
    EXPECT_EQ(differ, 0u);
    nedfree(out);
  }
}
