// Cutting the background picture into tiles and placing the tiles in the window, without GL.
#include "graphics/background.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A picture whose every pixel names its own position: red = x / 8, green = y / 8, blue = 7.
std::vector<unsigned char> numbered_picture(int dx, int dy) {
  std::vector<unsigned char> p(static_cast<size_t>(dx) * dy * 4);
  for (int y = 0; y < dy; ++y)
    for (int x = 0; x < dx; ++x) {
      unsigned char* q = &p[(static_cast<size_t>(y) * dx + x) * 4];
      q[0] = static_cast<unsigned char>(x / 8);
      q[1] = static_cast<unsigned char>(y / 8);
      q[2] = 7;
      q[3] = 255;
    }
  return p;
}

TEST(BackgroundTiles, EachTileHoldsItsOwnPixels) {
  const int dx = 2048, dy = 2048;
  std::vector<unsigned char> pic = numbered_picture(dx, dy);
  std::vector<unsigned char> tile(512 * 512 * 4);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      back_tile_copy(pic.data(), dx, dy, r, c, tile.data());
      for (int y : {0, 255, 511})
        for (int x : {0, 300, 511}) {
          const unsigned char* q = &tile[(static_cast<size_t>(y) * 512 + x) * 4];
          EXPECT_EQ(q[0], (512 * c + x) / 8 % 256);
          EXPECT_EQ(q[1], (512 * r + y) / 8 % 256);
        }
    }
}

TEST(BackgroundTiles, SmallPictureGivesPartialAndEmptyTiles) {
  // 1000 x 700: tile (1, 1) holds 488 x 188 pixels, tiles from row 2 or column 2 on are empty.
  // The copy lengths are never negative (ASan would see the overrun).
  const int dx = 1000, dy = 700;
  std::vector<unsigned char> pic = numbered_picture(dx, dy);
  std::vector<unsigned char> tile(512 * 512 * 4, 99);
  back_tile_copy(pic.data(), dx, dy, 1, 1, tile.data());
  EXPECT_EQ(tile[((187 * 512) + 487) * 4 + 2], 7);
  EXPECT_EQ(tile[((187 * 512) + 488) * 4 + 2], 0);
  EXPECT_EQ(tile[((188 * 512) + 0) * 4 + 2], 0);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      if (r < 2 && c < 2) continue;
      back_tile_copy(pic.data(), dx, dy, r, c, tile.data());
      EXPECT_EQ(std::vector<unsigned char>(tile.size(), 0), tile) << r << "," << c;
    }
}

TEST(BackgroundLayout, PlacementBeforeAndAfterTheFirstScreen) {
  // After the first screen, a 1024 x 768 window shows the bottom-left of the picture: tiles
  // (0,0), (0,1), (1,0), (1,1) at their own pixels.
  back_layout after = back_tex_layout(0, 1024, 768, 0, 2048, 2048);
  EXPECT_FALSE(after.fill_first);
  ASSERT_EQ(after.count, 4);
  EXPECT_EQ(after.quads[0].ref, 429);
  EXPECT_EQ(after.quads[3].ref, 434);
  EXPECT_EQ(after.quads[3].x0, 512);
  EXPECT_EQ(after.quads[3].y1, 1024);
  // In a wider window it is shifted right by the design-area offset.
  EXPECT_EQ(back_tex_layout(0, 1280, 1024, 128, 2048, 2048).left, 128);
  // Before it, the right half of the picture and its band 768 to 1536 from the bottom.
  back_layout before = back_tex_layout(-1, 1024, 768, 0, 2048, 2048);
  EXPECT_EQ(before.left, -1024);
  EXPECT_EQ(before.bottom, -768);
  EXPECT_FALSE(before.fill_first);
  std::vector<int> refs;
  for (int i = 0; i < before.count; ++i) refs.push_back(before.quads[i].ref);
  EXPECT_EQ(refs, (std::vector<int>{435, 436, 439, 440}));
  // A picture smaller than the window: filled first, and only its real tiles, partly used.
  back_layout small = back_tex_layout(-1, 1024, 768, 0, 1000, 700);
  EXPECT_TRUE(small.fill_first);
  ASSERT_EQ(small.count, 4);
  EXPECT_FLOAT_EQ(small.quads[3].s1, 488.0f / 512);
  EXPECT_FLOAT_EQ(small.quads[3].t1, 188.0f / 512);
  EXPECT_EQ(small.quads[3].x1, 1000);
}

}  // namespace
