// The movie file on its own: what ffprobe and ffmpeg find in it, and how its name is chosen.
#include "graphics/movie_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "graphics/movie_fixture.h"
#include "support/temp_tree.h"

using namespace movie_test;

namespace {

struct file_case {
  const char* name;
  int w, h;
  std::vector<int> units;     // asked per frame
  std::vector<int> expected;  // durations in the file
};

void PrintTo(const file_case& c, std::ostream* os) { *os << c.name; }

class MovieFile : public ::testing::TestWithParam<file_case> {};

// Size, codec tag, time scale, one sample per frame with its duration (limited to 1..60), and
// the pictures upright with their colours in place (a channel or row order mix-up shows here).
TEST_P(MovieFile, HoldsEveryFrameUprightWithItsDuration) {
  const file_case& c = GetParam();
  ASSERT_EQ(movie_encoder_available(), 1);
  temp_tree tree;
  int take = 0;
  std::string path;
  const int fd = movie_create_take(tree.path(), &take, &path);
  ASSERT_GE(fd, 0);
  movie_file movie;
  movie_file::stage failed = movie_file::ok;
  ASSERT_EQ(movie.open(fd, c.w, c.h, &failed), 0) << failed;
  std::vector<uint8_t> px(static_cast<size_t>(c.w) * c.h * 4);
  for (size_t k = 0; k < c.units.size(); ++k) {
    draw_picture(px.data(), c.w, c.h, static_cast<int>(k));
    ASSERT_EQ(movie.add_frame(px.data(), c.units[k], &failed), 0) << failed;
  }
  ASSERT_EQ(movie.finish(&failed), 0) << failed;
  EXPECT_FALSE(movie.is_open());

  const probe p = probe_movie(path);
  EXPECT_EQ(p.codec, "mjpeg");
  EXPECT_EQ(p.tag, "jpeg");
  EXPECT_EQ(p.time_base, "1/600");
  EXPECT_EQ(p.width, c.w);
  EXPECT_EQ(p.height, c.h);
  EXPECT_EQ(p.durations, c.expected);
  long at = 0;
  for (size_t k = 0; k < p.pts.size(); ++k) {
    EXPECT_EQ(p.pts[k], at) << "sample " << k;
    at += p.durations[k];
  }
  const decoded d = decode_movie(path, c.w, c.h);
  ASSERT_EQ(d.frames.size(), c.units.size());
  for (size_t k = 0; k < d.frames.size(); ++k) expect_picture(d, static_cast<int>(k), static_cast<int>(k));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MovieFile,
    ::testing::Values(file_case{"movie_320x240", 320, 240, {30, 30, 30, 60}, {30, 30, 30, 60}},
                      file_case{"odd_size_and_limits", 65, 37, {0, 1, 61, 600, 20}, {1, 1, 60, 60, 20}},
                      file_case{"single_frame", 64, 48, {30}, {30}}),
    [](const ::testing::TestParamInfo<file_case>& i) { return std::string(i.param.name); });

// The name is the first free take after the last one used; anything already there under a
// name (an empty file, an unreadable file, a dangling link) is skipped and left as it was.
TEST(MovieTakeName, SkipsEveryExistingNameAndKeepsCounting) {
  temp_tree tree;
  const std::string base = tree.path() + "Skyrill movie take-";
  write_whole_file(base + "1.mov", "");
  write_whole_file(base + "2.mov", "keep me");
  chmod((base + "2.mov").c_str(), 0);
  ASSERT_EQ(symlink((tree.path() + "nowhere").c_str(), (base + "3.mov").c_str()), 0);

  int take = 0;
  std::string path;
  int fd = movie_create_take(tree.path(), &take, &path);
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_EQ(take, 4);
  EXPECT_EQ(path, base + "4.mov");
  EXPECT_FALSE(path_exists(tree.path() + "nowhere"));  // the link was not followed
  chmod((base + "2.mov").c_str(), 0644);
  EXPECT_EQ(read_whole_file(base + "2.mov"), "keep me");

  fd = movie_create_take(tree.path(), &take, &path);
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_EQ(path, base + "5.mov");

  // A folder that cannot take files: the error, not a loop.
  take = 0;
  EXPECT_LT(movie_create_take(tree.path() + "missing/", &take, &path), 0);
}

}  // namespace
