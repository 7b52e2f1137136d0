// The colour palette: its defaults, the light entry, the colour ramp and the value scale.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/shell_records.h"

namespace {

struct rgb_case {
  int number;
  float r, g, b;
};

void expect_rgb(const float* got, float r, float g, float b, const char* what, int n) {
  EXPECT_NEAR(got[0], r, 1e-5) << what << " " << n;
  EXPECT_NEAR(got[1], g, 1e-5) << what << " " << n;
  EXPECT_NEAR(got[2], b, 1e-5) << what << " " << n;
}

TEST(ColourPalette, DefaultsAndEverythingElseBlack) {
  const rgb_case listed[] = {
      {0, 1, 1, 1},        {1, 1, 0.2f, 0.2f},   {2, 1, 1, 0.2f},      {3, 0.7f, 0.7f, 0.7f},
      {4, 0.8f, 0, 0},     {5, 1, 1, 0},         {6, 0.3f, 0.3f, 0.3f}, {7, 0.2f, 0, 0},
      {8, 1, 0.8f, 0.2f},  {9, 0.1f, 0.1f, 0.1f}, {10, 0, 0.8f, 0},    {13, 0, 0.4f, 0},
      {15, 0.4f, 0.4f, 1}, {17, 0, 0, 0.6f},     {18, 0.9f, 0.9f, 0.9f}, {19, 0.8f, 0.1f, 0.1f},
      {20, 0.9f, 0.9f, 1}, {21, 0.9f, 0.9f, 0.9f}, {22, 0.1f, 0.1f, 0.1f}, {24, 1, 1, 0},
      {26, 1, 1, 1},       {27, 1, 1, 1},        {28, 1, 1, 1},        {29, 1, 1, 0},
      {31, 1, 1, 1},       {32, 1, 1, 1},        {33, 1, 1, 1},        {49, 1, 1, 1},
      {50, 0.4f, 1, 0.4f}, {51, 1, 0.4f, 0.4f},  {52, 1, 1, 0.6f},     {53, 0.7f, 0.7f, 1},
      {54, 1, 0.5f, 0},    {55, 0.8f, 0.8f, 0.8f}, {56, 0, 1, 0},      {57, 1, 0.2f, 0.2f},
      {58, 1, 1, 0.2f},    {59, 0.4f, 0.4f, 1},  {60, 0.5f, 0.3f, 0},  {61, 0.5f, 0.5f, 0.5f},
      {62, 0, 0.6f, 0},    {63, 0.6f, 0.2f, 0},  {64, 1, 1, 0},        {65, 0.2f, 0.2f, 0.8f},
      {66, 1, 0.4f, 0},    {67, 0.2f, 0.2f, 0.2f}, {68, 0, 0.2f, 0},   {69, 1, 0, 0},
      {70, 0.6f, 0.6f, 0}, {71, 0.15f, 0.15f, 0.6f}, {72, 0.49f, 0.43f, 0.24f}, {74, 0, 0.1f, 0},
      {75, 1, 0.2f, 1},    {76, 1, 0, 1},        {77, 0, 1, 1},        {78, 0.44f, 0.53f, 0.54f},
      {85, 1, 0, 1},       {87, 1, 0, 1},        {88, 1, 1, 1},        {97, 0.5f, 0.5f, 0.4f},
      {98, 1, 0.3f, 0},    {99, 0.5f, 0.5f, 0.4f}, {100, 0.8f, 0.8f, 0.7f}, {101, 0, 0.6f, 0.2f},
      {102, 1, 1, 0.9f},   {105, 1, 1, 1},
  };
  const colr_class c;
  bool seen[colr_class::entry_count] = {};
  for (const auto& e : listed) {
    expect_rgb(c.rgb[e.number], e.r, e.g, e.b, "entry", e.number);
    seen[e.number] = true;
  }
  // The interface colours (34 to 47), the pulsing ones (79 to 84) and 103 stay black until
  // start-up, the clock and the wizard set them.
  for (int n = 0; n < colr_class::entry_count; ++n)
    if (!seen[n]) expect_rgb(c.rgb[n], 0, 0, 0, "unlisted entry", n);
  EXPECT_EQ(c.pulse, 0);
}

TEST(ColourPalette, AssignAndTheLightEntry) {
  colr_class c;
  c.assign(40, 0.1f, 0.2f, 0.3f);
  expect_rgb(c.rgb[40], 0.1f, 0.2f, 0.3f, "assigned", 40);

  // A number outside the palette is a caller's bug: stopped in a debug build, ignored otherwise.
  const colr_class before = c;
  EXPECT_DEBUG_DEATH(c.assign(106, 1, 1, 1), "");
  EXPECT_DEBUG_DEATH(c.assign(-1, 1, 1, 1), "");
  for (int n = 0; n < colr_class::entry_count; ++n)
    expect_rgb(c.rgb[n], before.rgb[n][0], before.rgb[n][1], before.rgb[n][2], "untouched", n);

  c.assign(105, 0.5f, 0.9f, 1.2f);
  c.set_lites_for_interface();
  expect_rgb(c.rgb[105], 0.75f, 0.9f, 1.2f, "light", 105);
  c.assign(105, std::nanf(""), 0.75f, -1);
  c.set_lites_for_interface();
  expect_rgb(c.rgb[105], 0.75f, 0.75f, 0.75f, "light", 105);
}

TEST(ColourPalette, Ramps) {
  colr_class c;
  c.spectrum_init(0);
  const rgb_case rainbow[] = {
      {0, 1, 0, 0},       {100, 1, 0.16f, 0.04f}, {200, 1, 0.32f, 0.08f}, {400, 1, 1, 0},
      {600, 0, 1, 0},     {700, 0, 0.5f, 0.5f},   {800, 0, 0, 1},
      {999, 0.796f, 0, 0.801f},
  };
  for (const auto& s : rainbow) expect_rgb(c.ramp[s.number], s.r, s.g, s.b, "rainbow step", s.number);
  EXPECT_LT(c.ramp[999][0], 0.8f) << "violet is reached only in the limit";

  for (int type = 1; type <= 3; ++type) {
    c.spectrum_init(type);
    for (int step : {0, 500, 999}) {
      float want[3] = {0, 0, 0};
      want[type - 1] = step / 1000.0f;
      expect_rgb(c.ramp[step], want[0], want[1], want[2], "single colour ramp", type);
    }
  }
  // Other types leave the ramp as it is.
  for (int type : {-1, 4, 99}) {
    c.spectrum_init(type);
    expect_rgb(c.ramp[500], 0, 0, 0.5f, "unchanged by type", type);
  }
}

std::vector<colr_class::scale_point> drawn;
float drawn_min, drawn_max;
void record_scale(float, float, float minimum, float maximum, int,
                  const std::vector<colr_class::scale_point>& points) {
  drawn = points;
  drawn_min = minimum;
  drawn_max = maximum;
}

TEST(ColourPalette, ValueScale) {
  colr_class c;
  c.spectrum_init(1);
  c.spectrum_plotscale(10, 20, 0, 5, 1);  // no drawer yet: only the range is kept
  EXPECT_EQ(c.scale_range, 5);

  set_colr_scale_drawer(record_scale);
  c.spectrum_plotscale(10, 20, 2, 12, 1);
  EXPECT_EQ(c.scale_min, 2);
  EXPECT_EQ(c.scale_max, 12);
  EXPECT_EQ(c.scale_range, 10);
  EXPECT_EQ(drawn_min, 2);
  EXPECT_EQ(drawn_max, 12);
  ASSERT_EQ(drawn.size(), 250u);  // every 4 units from 0 to 996
  EXPECT_EQ(drawn.front().x, 10);
  EXPECT_EQ(drawn.front().y, 20);
  EXPECT_EQ(drawn.back().y, 1016);
  EXPECT_NEAR(drawn.front().rgb[0], 0, 1e-6);
  EXPECT_NEAR(drawn[125].rgb[0], 0.5f, 0.002f);
  EXPECT_NEAR(drawn.back().rgb[0], 0.997f, 0.002f);

  // An empty range has nothing to divide by: the whole scale takes the first step.
  c.spectrum_plotscale(0, 0, 3, 3, 0);
  for (const auto& p : drawn) EXPECT_EQ(p.rgb[0], c.ramp[0][0]);
  // A reversed range stays inside the ramp.
  c.spectrum_plotscale(0, 0, 12, 2, 0);
  EXPECT_NEAR(drawn.front().rgb[0], 0, 1e-6);
  set_colr_scale_drawer(nullptr);
}

}  // namespace
