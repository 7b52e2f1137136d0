// The movie recorder with a synthetic capture and a driven clock: pacing, dropped frames, the
// stop protocol, the refusals, and whole recordings checked with ffprobe and ffmpeg.
#include "graphics/movie_recorder.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "graphics/movie_fixture.h"
#include "platform/threads.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

using namespace movie_test;

namespace {

int64_t now_us = 0;
int64_t driven_clock() { return now_us; }

// Holds the compressor before each frame until released.
std::mutex gate_lock;
std::condition_variable gate_cv;
bool gate_open = true;
void compressor_gate() {
  std::unique_lock<std::mutex> g(gate_lock);
  gate_cv.wait(g, [] { return gate_open; });
}
void set_gate(bool open) {
  {
    std::lock_guard<std::mutex> g(gate_lock);
    gate_open = open;
  }
  gate_cv.notify_all();
}

class MovieRecorder : public ::testing::Test {
 protected:
  void SetUp() override {
    shell_double::reset();
    now_us = 1000000000;
    platform_set_time_source(driven_clock);
    xtim_restart();
    mnw.draw_w = 800;
    mnw.draw_h = 600;
    mnw.origin_x = 112;  // a centred modal screen is current: the recording must not care
    mnw.origin_y = 84;
    qtim.movie_width = 320;
    qtim.frame_rate = 20.0f;
    qtim_set_capture(&capture);
  }
  void TearDown() override {
    set_gate(true);
    qtim.stop_thread();
    qtim_set_compress_gate(nullptr);
    qtim_set_capture(nullptr);
    platform_set_time_source(nullptr);
    xtim_restart();
  }
  void advance(double seconds) { now_us += static_cast<int64_t>(seconds * 1e6 + 0.5); }
  // One frame at the current time, repeated while every record is in flight, until captured.
  void capture_frame() {
    const int before = capture.reads;
    for (int tries = 0; capture.reads == before; ++tries) {
      ASSERT_EQ(qtim.mov_per_frame(), 1);
      if (capture.reads == before) std::this_thread::yield();
      ASSERT_LT(tries, 10000000) << "no record ever came back";
    }
  }
  // Runs f on another thread and fails (ending the program) when it has not returned after a
  // minute: a hang must not pass as a slow test.
  template <class F>
  void returns(F f) {
    auto done = std::async(std::launch::async, f);
    if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
      ADD_FAILURE() << "the call never returned";
      std::_Exit(1);
    }
  }

  synthetic_capture capture;
  temp_tree tree;
  current_folder_guard in_tree{tree.path()};
};

// The movie clock is the running time: frames are taken on the frame period's grid, a gap of
// two periods or more restarts the grid, a frame inside a period is not taken, and each
// sample lasts its frame time in 1/600 s, at most 60 units.
TEST_F(MovieRecorder, PacesFramesOnTheGridOfTheFramePeriod) {
  qtim.mov_toggle(1);
  ASSERT_EQ(qtim.mode, 1);
  EXPECT_EQ(qtim.mov_per_frame(), 0) << "no time has passed since the start";

  struct step {
    double after;      // seconds after the last captured frame
    bool captured;
    double moves_by;   // of the last captured frame's time
  };
  const step steps[] = {
      {0.07, true, 0.05},   // within two periods: snapped to one period (30 units)
      {0.12, true, 0.12},   // a gap: the grid restarts (72 units, limited to 60)
      {0.04, false, 0.0},   // inside a period: light and swap only
      {0.06, true, 0.05},   // back on the grid
  };
  double since_last = 0.0;  // movie clock minus the last captured frame's time
  for (const step& s : steps) {
    SCOPED_TRACE(s.after);
    const int reads = capture.reads, swaps = capture.swaps, lights = capture.lights;
    const double last = qtim_prev_frame_time();
    advance(s.after - since_last);
    EXPECT_EQ(qtim.mov_per_frame(), 1);
    EXPECT_EQ(capture.reads - reads, s.captured ? 1 : 0);
    EXPECT_EQ(capture.swaps - swaps, 1);
    EXPECT_EQ(capture.lights - lights, 1);
    EXPECT_NEAR(qtim_prev_frame_time() - last, s.moves_by, 1e-5);
    since_last = s.after - s.moves_by;
  }
  EXPECT_EQ(capture.last_text, "Quicktime Movie Recording...");
  EXPECT_EQ(capture.last_colour, 57);
  EXPECT_EQ(capture.last_x, 10.0f);
  EXPECT_EQ(capture.last_y, 10.0f);

  qtim.stop_thread();
  EXPECT_EQ(qtim.mode, 0);
  const probe p = probe_movie(qtim_movie_path());
  EXPECT_EQ(p.durations, (std::vector<int>{30, 60, 30}));
}

// With every record in flight the frame is dropped (light and swap, no capture) until one comes
// back; a stop asked for before more than two have come back is ignored.
TEST_F(MovieRecorder, DropsFramesWhileEveryRecordIsInFlight) {
  qtim_set_compress_gate(compressor_gate);
  set_gate(false);
  qtim.mov_toggle(1);
  for (int k = 0; k < 3; ++k) {
    advance(0.05);
    qtim.mov_per_frame();
  }
  EXPECT_EQ(capture.reads, 3);
  EXPECT_EQ(qtim_usable_buffer_count(), 0);
  qtim.mov_toggle(0);
  EXPECT_EQ(qtim.mode, 1) << "stopped with no record back";

  advance(0.05);
  const int swaps = capture.swaps;
  EXPECT_EQ(qtim.mov_per_frame(), 1);
  EXPECT_EQ(capture.reads, 3);
  EXPECT_EQ(capture.swaps, swaps + 1);

  set_gate(true);
  capture_frame();
  EXPECT_EQ(capture.reads, 4);
  for (int k = 0; k < 3; ++k) {
    advance(0.05);
    capture_frame();
  }
  ASSERT_GT(qtim.returned_buffers, 2);
  qtim.mov_toggle(0);
  EXPECT_EQ(qtim.mode, 0);
  EXPECT_EQ(capture.ends, 1);
  EXPECT_EQ(probe_movie(qtim_movie_path()).durations.size(), 7u);
}

// Stopping right after a start, before any frame reached the compressor, returns; so does
// ending the thread while the compressor is busy.
TEST_F(MovieRecorder, StopNeverWaitsForEver) {
  qtim.mov_toggle(1);
  returns([] { qtim.stop_thread(); });
  EXPECT_EQ(qtim.mode, 0);
  EXPECT_EQ(capture.ends, 1);
  // A movie without frames, but a whole one.
  EXPECT_EQ(probe_format(qtim_movie_path()), "mov,mp4,m4a,3gp,3g2,mj2");

  qtim.mov_toggle(1);
  qtim.mode = 2;  // stop requested by the owner, nothing back yet: the request waits
  EXPECT_EQ(qtim.mov_per_frame(), 0);
  EXPECT_EQ(qtim.mode, 2);
  returns([] { qtim.stop_thread(); });
  EXPECT_EQ(qtim.mode, 0);
  EXPECT_EQ(probe_format(qtim_movie_path()), "mov,mp4,m4a,3gp,3g2,mj2")
      << "the requested stop finished the file";

  qtim_set_compress_gate(compressor_gate);
  set_gate(false);
  qtim.mov_toggle(1);
  advance(0.05);
  qtim.mov_per_frame();
  std::thread opener([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    set_gate(true);
  });
  returns([] { qtim.stop_thread(); });
  opener.join();
  EXPECT_EQ(probe_movie(qtim_movie_path()).durations.size(), 1u);
}

// Twenty frames of an 800 x 600 window at width 320: a 320 x 240 movie of twenty 1/20 s
// samples, each picture upright, in its colours and in order. A second recording at a larger
// width (clamped to the window) gets fresh records and the next take.
TEST_F(MovieRecorder, RecordsTheWindowFrameByFrame) {
  qtim.mov_toggle(1);
  for (int k = 0; k < 20; ++k) {
    advance(0.05);
    capture_frame();
  }
  const std::string first = qtim_movie_path();
  qtim.mov_toggle(0);
  ASSERT_EQ(qtim.mode, 0);
  EXPECT_EQ(capture.grabs, 20);
  EXPECT_EQ(capture.begins, 1);
  EXPECT_EQ(capture.ends, 1);

  const probe p = probe_movie(first);
  EXPECT_EQ(p.codec, "mjpeg");
  EXPECT_EQ(p.tag, "jpeg");
  EXPECT_EQ(p.time_base, "1/600");
  EXPECT_EQ(p.width, 320);
  EXPECT_EQ(p.height, 240);
  EXPECT_EQ(p.durations, std::vector<int>(20, 30));
  const decoded d = decode_movie(first, 320, 240);
  ASSERT_EQ(d.frames.size(), 20u);
  for (int k = 0; k < 20; ++k) expect_picture(d, k, k);

  qtim.movie_width = 2048;
  capture.reads = 0;
  qtim.mov_toggle(1);
  EXPECT_EQ(qtim.movie_width, 800);
  EXPECT_EQ(qtim.movie_height, 600);
  for (int k = 0; k < 4; ++k) {
    advance(0.05);
    capture_frame();
  }
  qtim.stop_thread();
  const std::string second = qtim_movie_path();
  EXPECT_NE(second, first);
  EXPECT_GT(std::stoi(second.substr(second.rfind('-') + 1)),
            std::stoi(first.substr(first.rfind('-') + 1)));
  const probe q = probe_movie(second);
  EXPECT_EQ(q.width, 800);
  EXPECT_EQ(q.height, 600);
  const decoded e = decode_movie(second, 800, 600);
  ASSERT_EQ(e.frames.size(), 4u);
  for (int k = 0; k < 4; ++k) expect_picture(e, k, k);
}

// With a read-back that arrives one frame late, the first capture is not sent, each record
// carries the previous picture, and the last picture is sent at the stop.
TEST_F(MovieRecorder, DelayedReadBackSendsEveryPictureOnce) {
  synthetic_capture late(1);
  qtim_set_capture(&late);
  qtim.mov_toggle(1);
  for (int k = 0; k < 5; ++k) {
    advance(0.05);
    const int before = late.reads;
    while (late.reads == before) qtim.mov_per_frame();
  }
  EXPECT_EQ(late.previous_reads, 4);
  qtim.stop_thread();
  EXPECT_EQ(late.previous_reads, 5);
  const probe p = probe_movie(qtim_movie_path());
  EXPECT_EQ(p.durations.size(), 5u);
  const decoded d = decode_movie(qtim_movie_path(), 320, 240);
  ASSERT_EQ(d.frames.size(), 5u);
  for (int k = 0; k < 5; ++k) expect_picture(d, k, k);
}

// Windows the recorder refuses: larger than 2048 (the "Oops!" alert) or empty. Either leaves
// the recorder idle with nothing made, and the next start in a fitting window records.
TEST_F(MovieRecorder, RefusedStartsLeaveNothingBehind) {
  struct refusal {
    int w, h;
    bool alert;
  };
  for (const refusal& r : {refusal{2560, 1600, true}, refusal{800, 2049, true},
                           refusal{0, 0, false}}) {
    SCOPED_TRACE(std::to_string(r.w) + " x " + std::to_string(r.h));
    shell_double::reset();
    mnw.draw_w = r.w;
    mnw.draw_h = r.h;
    qtim.mov_toggle(1);
    EXPECT_EQ(qtim.mode, 0);
    EXPECT_EQ(capture.begins, 0);
    EXPECT_FALSE(path_exists(tree.path() + "Skyrill movie take-1.mov"));
    const auto alerts = shell_double::alerts();
    if (r.alert) {
      ASSERT_EQ(alerts.size(), 1u);
      EXPECT_EQ(alerts[0].lines[0], "Oops!");
      EXPECT_EQ(alerts[0].type, 1);
    } else {
      EXPECT_TRUE(alerts.empty());
    }
    EXPECT_EQ(qtim.mov_per_frame(), 0);
  }
  mnw.draw_w = 640;
  mnw.draw_h = 480;
  qtim.mov_toggle(1);
  ASSERT_EQ(qtim.mode, 1);
  advance(0.05);
  capture_frame();
  qtim.stop_thread();
  EXPECT_EQ(probe_movie(qtim_movie_path()).height, 240);
}

// A file that stops growing (here the process's file-size limit) fails a frame on the
// compressor: the main thread raises the fatal alert once, the compressor goes on returning
// records, and the stop still returns.
TEST_F(MovieRecorder, FailedWriteIsReportedOnTheMainThreadAndTheStopReturns) {
  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 20000;  // below the first write of the file's buffer
  void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  qtim.mov_toggle(1);
  ASSERT_EQ(qtim.mode, 1);
  for (int k = 0; k < 40 && shell_double::alerts().empty(); ++k) {
    advance(0.05);
    capture_frame();
  }
  for (int k = 0; k < 5; ++k) {  // later frames raise nothing more
    advance(0.05);
    capture_frame();
  }
  returns([] { qtim.stop_thread(); });
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);

  EXPECT_EQ(qtim.mode, 0);
  const auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[0], "Could not AddMediaSample.");
  EXPECT_EQ(alerts[0].lines[3], "-" + std::to_string(EFBIG));
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_TRUE(alerts[0].on_main_thread);
}

}  // namespace
