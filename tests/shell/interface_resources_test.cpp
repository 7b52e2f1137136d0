// The interface pictures in resources/: their slots, their agreement with the generator, and the
// properties the program relies on when it loads them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "interface_art.h"

namespace {

using namespace interface_art;

const std::string source = SKY_SOURCE_DIR;
const std::string resources = source + "/resources/";
const std::string bold_font = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char* const languages[3] = {"English", "French", "German"};

std::vector<slot> slots() { return read_slots(source + "/tools/interface_slots.txt"); }

// RGBA of texel (s, t), t counted from the bottom as the program's image loader stores rows.
struct texel {
  int r, g, b, a;
};
texel at(const picture& p, int s, int t) {
  const size_t i = (size_t(p.height - 1 - t) * p.width + s) * 4;
  return {p.rgba[i], p.rgba[i + 1], p.rgba[i + 2], p.rgba[i + 3]};
}

double luminance(texel c) {
  auto lin = [](int v) {
    const double x = v / 255.0;
    return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin(c.r) + 0.7152 * lin(c.g) + 0.0722 * lin(c.b);
}
double contrast(texel a, texel b) {
  const double x = luminance(a) + 0.05, y = luminance(b) + 0.05;
  return x > y ? x / y : y / x;
}

TEST(InterfaceResources, NoTwoSlotsShareATexel) {
  const std::vector<slot> all = slots();
  EXPECT_EQ(first_overlap(all, "interface"), "");
  for (int language = 0; language < 3; ++language) {
    std::vector<slot> elements = button_slots(language);
    for (const slot& k : all)
      if (k.atlas == "elements") elements.push_back(k);
    EXPECT_EQ(first_overlap(elements, "elements"), "") << languages[language];
  }
  // The check itself: two slots one texel apart do not clash, one texel of overlap does.
  slot a{"interface", "a", "check_box", 10, 10, 20, 20}, b = a, c = a;
  b.name = "b", b.s0 = 20, b.s1 = 30;
  c.name = "c", c.s0 = 19, c.s1 = 30, c.t0 = 19, c.t1 = 25;
  EXPECT_EQ(first_overlap({a, b}, "interface"), "");
  EXPECT_EQ(first_overlap({a, c}, "interface"), "a / c");
}

TEST(InterfaceResources, CommittedPicturesAreTheGeneratorsOutput) {
  const std::vector<slot> all = slots();
  struct {
    std::string file;
    picture drawn;
  } cases[] = {
      {"interface.png", draw_interface(all)},
      {"elements_English.png", draw_elements(all, 0, bold_font)},
      {"elements_French.png", draw_elements(all, 1, bold_font)},
      {"elements_German.png", draw_elements(all, 2, bold_font)},
      {"background.png", draw_background()},
  };
  for (const auto& c : cases) {
    const picture committed = read_png(resources + c.file);
    EXPECT_EQ(committed.width, c.drawn.width) << c.file;
    EXPECT_EQ(committed.height, c.drawn.height) << c.file;
    EXPECT_TRUE(committed.rgba == c.drawn.rgba)
        << c.file << " differs from the generator's output: run tools/make_interface";
  }
}

// Gamma or colour-space chunks would make a PNG reader change the colours the palette samples.
TEST(InterfaceResources, PicturesCarryNoGammaOrColourSpace) {
  for (const char* file : {"interface.png", "elements_English.png", "elements_French.png",
                           "elements_German.png", "background.png", "map.png"}) {
    std::ifstream in(resources + file, std::ios::binary);
    ASSERT_TRUE(in) << file;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 8u);
    std::set<std::string> chunks;
    for (size_t i = 8; i + 8 <= bytes.size();) {
      const uint32_t length = (uint8_t(bytes[i]) << 24) | (uint8_t(bytes[i + 1]) << 16) |
                              (uint8_t(bytes[i + 2]) << 8) | uint8_t(bytes[i + 3]);
      chunks.insert(bytes.substr(i + 4, 4));
      i += 12 + size_t(length);
    }
    for (const char* bad : {"gAMA", "sRGB", "iCCP", "cHRM"}) EXPECT_EQ(chunks.count(bad), 0u) << file << " " << bad;
    EXPECT_EQ(chunks.count("IEND"), 1u) << file;
  }
}

TEST(InterfaceResources, TextColoursReadWellOnWhatTheyAreDrawnOn) {
  const picture atlas = read_png(resources + "interface.png");
  ASSERT_EQ(atlas.width, 512);
  ASSERT_EQ(atlas.height, 512);
  const texel panel = at(atlas, 253, 400);       // the middle of the plain panel
  const texel help = at(atlas, 354, 400);        // the hover-help box
  const texel field = at(atlas, 287, 146);       // the entry field
  const texel highlight = at(atlas, 455, 445);   // the highlighted panel's title band
  for (texel surface : {panel, help, field, highlight}) EXPECT_EQ(surface.a, 255);
  struct {
    int entry, s, t;
    texel on;
  } cases[] = {
      {40, 319, 115, panel},  {41, 319, 107, panel}, {42, 319, 99, panel},   {43, 319, 91, panel},
      {45, 319, 83, field},   {47, 319, 67, help},   {47, 319, 67, highlight}, {38, 319, 123, panel},
  };
  for (const auto& c : cases) {
    const texel ink = at(atlas, c.s, c.t);
    EXPECT_EQ(ink.a, 255) << "entry " << c.entry;
    EXPECT_GE(contrast(ink, c.on), 4.5) << "entry " << c.entry;
  }
}

TEST(InterfaceResources, MapHasBothHalvesAtTheirPlaces) {
  const picture map = read_png(resources + "map.png");
  ASSERT_EQ(map.width, 512);
  ASSERT_EQ(map.height, 512);
  // Texels of both maps are opaque; outside them (s from 504, t from 504) nothing is drawn.
  for (int t : {0, 125, 251, 252, 380, 503}) {
    EXPECT_EQ(at(map, 0, t).a, 255) << t;
    EXPECT_EQ(at(map, 503, t).a, 255) << t;
    EXPECT_EQ(at(map, 508, t).a, 0) << t;
  }
  EXPECT_EQ(at(map, 10, 508).a, 0);
  // The same place on both halves is land or sea alike: central Africa (25 E, 5 N) and the
  // middle of the Pacific (145 W, 5 N), off the grid lines. Land is warmer (more red than blue) than sea.
  auto texel_of = [](double lon, double lat, int half) {
    return std::make_pair(int((lon + 180) * 1.4), int((lat + 90) * 1.4) + 252 * half);
  };
  for (int half = 0; half < 2; ++half) {
    auto land = texel_of(25, 5, half), sea = texel_of(-145, 5, half);
    const texel l = at(map, land.first, land.second), s = at(map, sea.first, sea.second);
    EXPECT_GT(l.r, l.b) << half;
    EXPECT_LT(s.r, s.b) << half;
  }
}

}  // namespace
