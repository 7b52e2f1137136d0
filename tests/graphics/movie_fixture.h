// Helpers of the movie tests: a test picture with four coloured quadrants and a dark vertical
// bar whose place marks the frame, laid out as the window's read-back gives it (BGRA, bottom
// row first); a synthetic capture that hands out those pictures; and readers of a movie file
// through ffprobe and ffmpeg.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/movie_recorder.h"
#include "support/process.h"

namespace movie_test {

struct rgb {
  int r, g, b;
};
// Quadrant colours as the picture is seen (top row at the top).
constexpr rgb top_left{0, 0, 255};
constexpr rgb top_right{0, 255, 0};
constexpr rgb bottom_left{255, 0, 0};
constexpr rgb bottom_right{255, 255, 255};
constexpr int bar_width = 6;

// The bar's first column in frame k of a w-pixel-wide picture.
inline int bar_x(int k, int w) { return (4 + 9 * k) % (w - bar_width); }

// Frame k, w x h, BGRA, the picture's bottom row first.
inline void draw_picture(uint8_t* px, int w, int h, int k) {
  for (int row = 0; row < h; ++row) {
    const bool top = row >= h / 2;  // rows count up from the bottom
    for (int x = 0; x < w; ++x) {
      const bool right = x >= w / 2;
      rgb c = top ? (right ? top_right : top_left) : (right ? bottom_right : bottom_left);
      if (x >= bar_x(k, w) && x < bar_x(k, w) + bar_width) c = rgb{0, 0, 0};
      uint8_t* p = px + (static_cast<size_t>(row) * w + x) * 4;
      p[0] = static_cast<uint8_t>(c.b);
      p[1] = static_cast<uint8_t>(c.g);
      p[2] = static_cast<uint8_t>(c.r);
      p[3] = 255;
    }
  }
}

// Stands in for the window: each read-back is the next test picture. With delayed set it
// behaves like a pixel pack buffer: a read lands in the buffer and comes out at the next read.
class synthetic_capture : public movie_capture {
 public:
  explicit synthetic_capture(int delayed = 0) : delayed_(delayed) {}
  void begin(int w, int h) override {
    w_ = w;
    h_ = h;
    ++begins;
    pending_.assign(static_cast<size_t>(w) * h * 4, 0);
  }
  void end() override { ++ends; }
  int delayed() const override { return delayed_; }
  void grab_window() override { ++grabs; }
  void draw_text(int colour, float x, float y, const std::string& text) override {
    ++lights;
    last_text = text;
    last_colour = colour;
    last_x = x;
    last_y = y;
  }
  void swap_buffers() override { ++swaps; }
  void read_frame(uint8_t* pixels) override {
    if (delayed_)
      draw_picture(pending_.data(), w_, h_, reads);
    else
      draw_picture(pixels, w_, h_, reads);
    ++reads;
  }
  void read_previous(uint8_t* pixels) override {
    std::copy(pending_.begin(), pending_.end(), pixels);
    ++previous_reads;
  }

  int begins = 0, ends = 0, grabs = 0, lights = 0, swaps = 0, reads = 0, previous_reads = 0;
  std::string last_text;
  int last_colour = 0;
  float last_x = 0, last_y = 0;

 private:
  int delayed_;
  int w_ = 0, h_ = 0;
  std::vector<uint8_t> pending_;
};

struct probe {
  std::string codec, tag, time_base;
  int width = 0, height = 0;
  std::vector<int> durations;  // per packet, in the stream's time base
  std::vector<long> pts;
};

inline std::string value_of(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
  return "";
}

inline probe probe_movie(const std::string& path) {
  probe p;
  process_result s = run_process({"ffprobe", "-v", "error", "-select_streams", "v:0",
                                  "-show_entries",
                                  "stream=codec_name,codec_tag_string,width,height,time_base",
                                  "-of", "default=nw=1", path});
  EXPECT_EQ(s.exit_code, 0) << s.err;
  p.codec = value_of(s.out, "codec_name");
  p.tag = value_of(s.out, "codec_tag_string");
  p.time_base = value_of(s.out, "time_base");
  p.width = std::atoi(value_of(s.out, "width").c_str());
  p.height = std::atoi(value_of(s.out, "height").c_str());
  process_result k = run_process({"ffprobe", "-v", "error", "-select_streams", "v:0",
                                  "-show_entries", "packet=pts,duration", "-of", "csv=p=0",
                                  path});
  EXPECT_EQ(k.exit_code, 0) << k.err;
  std::istringstream in(k.out);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const size_t comma = line.find(',');
    p.pts.push_back(std::atol(line.substr(0, comma).c_str()));
    p.durations.push_back(std::atoi(line.substr(comma + 1).c_str()));
  }
  return p;
}

// The container ffprobe reads the file as ("" when it cannot read it).
inline std::string probe_format(const std::string& path) {
  process_result s = run_process({"ffprobe", "-v", "error", "-show_entries", "format=format_name",
                                  "-of", "default=nw=1:nk=1", path});
  return s.exit_code == 0 ? s.out.substr(0, s.out.find('\n')) : "";
}

// Every frame decoded by ffmpeg as RGB, top row first.
struct decoded {
  int w = 0, h = 0;
  std::vector<std::string> frames;
  rgb at(int frame, int x, int y) const {
    const unsigned char* p =
        reinterpret_cast<const unsigned char*>(frames[frame].data()) + (y * w + x) * 3;
    return rgb{p[0], p[1], p[2]};
  }
};

inline decoded decode_movie(const std::string& path, int w, int h) {
  decoded d;
  d.w = w;
  d.h = h;
  process_result r = run_process({"ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo",
                                  "-pix_fmt", "rgb24", "-vsync", "passthrough", "-"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const size_t size = static_cast<size_t>(w) * h * 3;
  for (size_t at = 0; size && at + size <= r.out.size(); at += size)
    d.frames.push_back(r.out.substr(at, size));
  return d;
}

inline bool near(rgb a, rgb b, int tolerance = 48) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

inline std::string show(rgb c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

// Checks frame f of a decoded movie against test picture k: the four quadrant colours away from
// the bar and the bar's place along a row of the top half.
inline void expect_picture(const decoded& d, int f, int k) {
  SCOPED_TRACE("frame " + std::to_string(f) + " holds picture " + std::to_string(k));
  const int w = d.w, h = d.h;
  const int bx = bar_x(k, w);
  // Sample points in each quadrant, clear of the bar.
  auto clear_x = [&](int lo, int hi) {
    for (int x = (lo + hi) / 2; x < hi; ++x)
      if (x + 3 < bx || x - 3 > bx + bar_width) return x;
    for (int x = lo; x < hi; ++x)
      if (x + 3 < bx || x - 3 > bx + bar_width) return x;
    return lo;
  };
  const int lx = clear_x(2, w / 2 - 2), rx = clear_x(w / 2 + 2, w - 2);
  EXPECT_TRUE(near(d.at(f, lx, h / 4), top_left)) << show(d.at(f, lx, h / 4));
  EXPECT_TRUE(near(d.at(f, rx, h / 4), top_right)) << show(d.at(f, rx, h / 4));
  EXPECT_TRUE(near(d.at(f, lx, 3 * h / 4), bottom_left)) << show(d.at(f, lx, 3 * h / 4));
  EXPECT_TRUE(near(d.at(f, rx, 3 * h / 4), bottom_right)) << show(d.at(f, rx, 3 * h / 4));
  // The darkest column of a top-half row is the bar's middle.
  int darkest = -1, best = 1 << 30;
  for (int x = 0; x < w; ++x) {
    const rgb c = d.at(f, x, h / 4);
    const int sum = c.r + c.g + c.b;
    if (sum < best) {
      best = sum;
      darkest = x;
    }
  }
  EXPECT_NEAR(darkest, bx + bar_width / 2, bar_width / 2 + 1);
}

}  // namespace movie_test
