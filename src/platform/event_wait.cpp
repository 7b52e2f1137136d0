#include "platform/event_wait.h"

#include <SDL2/SDL.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <vector>

namespace {

using wait_clock = std::chrono::steady_clock;

// The descriptors marked for the next wait, one entry per descriptor.
std::vector<pollfd> watched;

// A wake asked for and not yet taken by a wait, and the descriptor a wake makes readable, for a
// wait that watches the wakes.
std::atomic<bool> wake_pending{false};
// The least length of the next wait, in milliseconds.
int stretch_ms = 0;

int wake_descriptor() {
  static const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return fd;
}

// Takes a pending wake: true when there was one. The descriptor is read whatever the flag says,
// so a wake whose write came after the last take still counts once and never leaves the
// descriptor readable for every later wait.
bool take_wake() {
  const bool pending = wake_pending.exchange(false);
  uint64_t count = 0;
  const bool written = wake_descriptor() >= 0 && read(wake_descriptor(), &count, sizeof count) > 0;
  return pending || written;
}

// While a descriptor is watched, SDL's queue is looked at this often: SDL offers no way to wait
// on its events and our descriptors together.
constexpr int sdl_slice_ms = 1;

int remaining_ms(wait_clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - wait_clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// One poll of the watched descriptors; true when one is ready. A failing poll (other than an
// interruption) drops the descriptors, so the rest of the wait still sleeps instead of spinning.
bool poll_watched(int timeout_ms) {
  int ready = poll(watched.data(), static_cast<nfds_t>(watched.size()), timeout_ms);
  if (ready > 0) return true;
  if (ready < 0 && errno != EINTR) watched.clear();
  return false;
}

bool wait_for_descriptors(wait_clock::time_point deadline) {
  for (;;) {
    if (poll_watched(remaining_ms(deadline))) return true;
    if (wait_clock::now() >= deadline) return false;
  }
}

bool wait_for_descriptors_and_sdl(wait_clock::time_point deadline) {
  for (;;) {
    SDL_PumpEvents();
    if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return true;
    if (poll_watched(std::min(remaining_ms(deadline), sdl_slice_ms))) return true;
    if (wait_clock::now() >= deadline) return false;
  }
}

}  // namespace

void platform_watch_descriptor(int fd, bool for_writing) {
  if (fd < 0) return;
  short events = for_writing ? POLLOUT : POLLIN;
  for (pollfd& p : watched)
    if (p.fd == fd) {
      p.events |= events;
      return;
    }
  watched.push_back(pollfd{fd, events, 0});
}

void platform_wake_wait() {
  if (wake_pending.exchange(true)) return;
  const uint64_t one = 1;
  if (wake_descriptor() >= 0) (void)!write(wake_descriptor(), &one, sizeof one);
}

void platform_stretch_next_wait(int ms) { stretch_ms = std::max(stretch_ms, ms); }

void platform_watch_wakes() { platform_watch_descriptor(wake_descriptor(), false); }

bool platform_wait_for_events(int timeout_ms) {
  timeout_ms = std::max(timeout_ms, stretch_ms);
  stretch_ms = 0;
  if (take_wake()) {
    watched.clear();
    return true;
  }
  auto deadline = wait_clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  bool woken;
  if (!SDL_WasInit(SDL_INIT_EVENTS))
    woken = wait_for_descriptors(deadline);
  else if (watched.empty())
    // SDL's own wait sleeps on the display connection; a null event leaves the queue alone.
    woken = SDL_WaitEventTimeout(nullptr, std::max(timeout_ms, 0)) == 1;
  else
    woken = wait_for_descriptors_and_sdl(deadline);
  watched.clear();
  return take_wake() || woken;
}
