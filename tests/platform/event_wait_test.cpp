// The frame's event wait: woken by marked descriptors and by SDL's queue, never by a mark from
// an earlier frame. Real sockets; bounds on time are generous and only tell "at once" (well
// before a 10 s time-out) from "ran its time-out".
#include "platform/event_wait.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using wait_clock = std::chrono::steady_clock;

constexpr int long_wait_ms = 10000;  // a wait that must be woken, not run out
constexpr int short_wait_ms = 200;   // a wait that must run out
constexpr auto at_once = std::chrono::seconds(5);
constexpr auto ran_its_time = std::chrono::milliseconds(150);

struct timed_wait {
  bool woken;
  wait_clock::duration took;
};

timed_wait wait_for(int timeout_ms) {
  auto start = wait_clock::now();
  bool woken = platform_wait_for_events(timeout_ms);
  return {woken, wait_clock::now() - start};
}

// A connected pair of stream sockets; `near` is the one the wait watches.
struct socket_pair {
  int near = -1, far = -1;
  socket_pair() {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) {
      near = fds[0];
      far = fds[1];
    }
  }
  ~socket_pair() {
    if (near >= 0) close(near);
    if (far >= 0) close(far);
  }
  void send_from_far() { ASSERT_EQ(write(far, "x", 1), 1); }
  void close_far() {
    close(far);
    far = -1;
  }
  // Writes from `near` until the system takes no more, so it stops being writable.
  void fill_near() {
    fcntl(near, F_SETFL, fcntl(near, F_GETFL) | O_NONBLOCK);
    char block[4096] = {};
    while (write(near, block, sizeof block) > 0) {
    }
  }
};

// Each case runs without SDL and with SDL's event subsystem up, where the wait also watches
// SDL's queue and so has to look at the descriptors in slices.
class EventWait : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
    }
  }
  void TearDown() override {
    if (GetParam()) SDL_Quit();
  }
};

INSTANTIATE_TEST_SUITE_P(, EventWait, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "WithSdlEvents" : "WithoutSdl";
                         });

TEST_P(EventWait, WakesForAReadyDescriptorOnly) {
  enum setup_t { nothing, far_sends, far_closes, near_full };
  struct row {
    const char* name;
    setup_t setup;
    bool read, write;  // what the wait watches on `near`
    bool wakes;
  };
  const row rows[] = {
      {"readable", far_sends, true, false, true},
      {"writable", nothing, false, true, true},
      {"peer hung up, watched for reading", far_closes, true, false, true},
      {"peer hung up, watched for writing", far_closes, false, true, true},
      {"reading and writing, only writable", nothing, true, true, true},
      {"nothing to read", nothing, true, false, false},
      {"send buffer full", near_full, false, true, false},
      {"nothing watched although readable", far_sends, false, false, false},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    socket_pair pair;
    ASSERT_GE(pair.near, 0);
    if (r.setup == far_sends) pair.send_from_far();
    if (r.setup == far_closes) pair.close_far();
    if (r.setup == near_full) pair.fill_near();
    if (r.read) platform_watch_descriptor(pair.near, false);
    if (r.write) platform_watch_descriptor(pair.near, true);

    timed_wait w = wait_for(r.wakes ? long_wait_ms : short_wait_ms);
    EXPECT_EQ(w.woken, r.wakes);
    EXPECT_LT(w.took, at_once);
    if (!r.wakes) {
      EXPECT_GE(w.took, ran_its_time);
    }
  }
}

TEST_P(EventWait, DataArrivingDuringTheWaitWakesIt) {
  socket_pair pair;
  ASSERT_GE(pair.near, 0);
  platform_watch_descriptor(pair.near, false);
  std::thread sender([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    pair.send_from_far();
  });
  timed_wait w = wait_for(long_wait_ms);
  sender.join();
  EXPECT_TRUE(w.woken);
  EXPECT_LT(w.took, at_once);
}

// A descriptor nobody marks again, such as a transfer's that is no longer polled, must not keep
// waking frames.
TEST_P(EventWait, MarksLastForOneWaitOnly) {
  socket_pair pair;
  ASSERT_GE(pair.near, 0);
  pair.send_from_far();
  platform_watch_descriptor(pair.near, false);
  EXPECT_TRUE(wait_for(long_wait_ms).woken);

  timed_wait w = wait_for(short_wait_ms);
  EXPECT_FALSE(w.woken);
  EXPECT_GE(w.took, ran_its_time);

  // A wait that ran out forgets its marks as well.
  socket_pair quiet;
  ASSERT_GE(quiet.near, 0);
  platform_watch_descriptor(quiet.near, false);
  EXPECT_FALSE(wait_for(short_wait_ms).woken);
  quiet.send_from_far();
  w = wait_for(short_wait_ms);
  EXPECT_FALSE(w.woken);
  EXPECT_GE(w.took, ran_its_time);
}

// Wakes: one asked for before a wait ends it at once, whether or not anything is watched; wakes
// asked for together end one wait only. One asked for on another thread during a wait ends that
// wait when the wakes are watched; when they are not, the wait runs its time and then reports it.
TEST_P(EventWait, WakesEndOneWait) {
  platform_wake_wait();
  platform_wake_wait();
  timed_wait w = wait_for(long_wait_ms);
  EXPECT_TRUE(w.woken);
  EXPECT_LT(w.took, at_once);
  w = wait_for(short_wait_ms);
  EXPECT_FALSE(w.woken);
  EXPECT_GE(w.took, ran_its_time);

  for (bool watched : {true, false}) {
    SCOPED_TRACE(watched ? "wakes watched" : "wakes not watched");
    if (watched) platform_watch_wakes();
    std::thread waker([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      platform_wake_wait();
    });
    w = wait_for(watched ? long_wait_ms : 400);
    waker.join();
    EXPECT_TRUE(w.woken);
    EXPECT_LT(w.took, at_once);
    if (!watched) {
      EXPECT_GE(w.took, std::chrono::milliseconds(350));
    }
    w = wait_for(short_wait_ms);
    EXPECT_FALSE(w.woken);
    EXPECT_GE(w.took, ran_its_time);
  }
}

// A stretch makes the next wait last at least that long, and only the next: a wake (watched) still
// ends it at once.
TEST_P(EventWait, AStretchLengthensTheNextWaitOnly) {
  platform_stretch_next_wait(300);
  timed_wait w = wait_for(10);
  EXPECT_FALSE(w.woken);
  EXPECT_GE(w.took, std::chrono::milliseconds(250));
  w = wait_for(10);
  EXPECT_LT(w.took, std::chrono::milliseconds(250));

  platform_stretch_next_wait(long_wait_ms);
  platform_watch_wakes();
  std::thread waker([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    platform_wake_wait();
  });
  w = wait_for(10);
  waker.join();
  EXPECT_TRUE(w.woken);
  EXPECT_LT(w.took, at_once);
}

// SDL's queue: an event that is waiting, or one that arrives during the wait, wakes it, with or
// without a descriptor being watched, and is still there for the frame's drain loop.
TEST(EventWaitSdl, PendingEventWakesTheWaitAndStaysQueued) {
  ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
  const Uint32 type = SDL_RegisterEvents(1);
  ASSERT_NE(type, static_cast<Uint32>(-1));
  struct row {
    const char* name;
    bool watch_quiet_socket;
    int push_after_ms;  // -1: pushed before the wait
  };
  const row rows[] = {
      {"queued before, nothing watched", false, -1},
      {"queued before, a quiet socket watched", true, -1},
      {"pushed during the wait, nothing watched", false, 100},
      {"pushed during the wait, a quiet socket watched", true, 100},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    socket_pair pair;
    ASSERT_GE(pair.near, 0);
    SDL_Event event{};
    event.type = type;
    event.user.code = 7;
    if (r.push_after_ms < 0) {
      ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    if (r.watch_quiet_socket) platform_watch_descriptor(pair.near, false);
    std::thread pusher([&] {
      if (r.push_after_ms < 0) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(r.push_after_ms));
      SDL_PushEvent(&event);
    });
    timed_wait w = wait_for(long_wait_ms);
    pusher.join();
    EXPECT_TRUE(w.woken);
    EXPECT_LT(w.took, at_once);

    SDL_Event got{};
    ASSERT_EQ(SDL_PollEvent(&got), 1);
    EXPECT_EQ(got.type, type);
    EXPECT_EQ(got.user.code, 7);
    while (SDL_PollEvent(&got)) {
    }
  }
  SDL_Quit();
}

}  // namespace
