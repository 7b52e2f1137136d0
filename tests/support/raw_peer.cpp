#include "support/raw_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

raw_peer::raw_peer(std::vector<peer_action> script) : script_(std::move(script)) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr;
  memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener_, 16) != 0)
    throw std::runtime_error("raw_peer: cannot listen on 127.0.0.1");
  socklen_t len = sizeof addr;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  acceptor_ = std::thread([this] { serve(); });
}

raw_peer::~raw_peer() {
  stop_ = true;
  acceptor_.join();
  for (auto& w : workers_) w.join();
  close(listener_);
}

void raw_peer::serve() {
  while (!stop_) {
    pollfd p = {listener_, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    size_t index;
    {
      std::lock_guard<std::mutex> g(lock_);
      index = requests_.size();
      requests_.emplace_back();
      request_complete_.push_back(false);
      script_done_.push_back(false);
    }
    workers_.emplace_back([this, fd, index] { play(fd, index); });
  }
}

void raw_peer::play(int fd, size_t index) {
  char buf[65536];
  bool client_closed = false;
  // Reads what is waiting (up to `millis`); false once the client has closed.
  auto read_some = [&](int millis) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, millis) <= 0) return !client_closed;
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) {
      client_closed = true;
      return false;
    }
    std::lock_guard<std::mutex> g(lock_);
    requests_[index].append(buf, static_cast<size_t>(n));
    if (requests_[index].find("\r\n\r\n") != std::string::npos) request_complete_[index] = true;
    changed_.notify_all();
    return true;
  };
  auto complete = [&] {
    std::lock_guard<std::mutex> g(lock_);
    return request_complete_[index];
  };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!stop_ && !complete() && !client_closed && std::chrono::steady_clock::now() < deadline)
    read_some(20);

  bool closed = false;
  for (const peer_action& a : script_) {
    if (stop_ || closed) break;
    switch (a.kind) {
      case peer_action::send: {
        size_t done = 0;
        while (done < a.text.size() && !stop_) {
          ssize_t n = ::send(fd, a.text.data() + done, a.text.size() - done, MSG_NOSIGNAL);
          if (n < 0) break;
          done += static_cast<size_t>(n);
        }
        break;
      }
      case peer_action::pause:
        std::this_thread::sleep_for(std::chrono::milliseconds(a.millis));
        break;
      case peer_action::close:
        shutdown(fd, SHUT_WR);
        closed = true;
        break;
      case peer_action::reset: {
        linger l = {1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        ::close(fd);
        fd = -1;
        closed = true;
        break;
      }
      case peer_action::hold:
        {
          std::lock_guard<std::mutex> g(lock_);
          script_done_[index] = true;
          changed_.notify_all();
        }
        while (!stop_ && read_some(20)) {
        }
        closed = true;
        break;
    }
  }
  if (fd >= 0 && !closed) shutdown(fd, SHUT_WR);
  {
    std::lock_guard<std::mutex> g(lock_);
    script_done_[index] = true;
    changed_.notify_all();
  }
  // Keep recording until the client hangs up, so that a late request byte is still seen.
  while (fd >= 0 && !stop_ && read_some(20)) {
  }
  if (fd >= 0) ::close(fd);
}

std::string raw_peer::request(size_t index) {
  std::unique_lock<std::mutex> g(lock_);
  changed_.wait_for(g, std::chrono::seconds(5), [&] {
    return index < request_complete_.size() && request_complete_[index];
  });
  return index < requests_.size() ? requests_[index] : std::string();
}

size_t raw_peer::connections() {
  std::lock_guard<std::mutex> g(lock_);
  return requests_.size();
}

bool raw_peer::wait_script_done(size_t index) {
  std::unique_lock<std::mutex> g(lock_);
  return changed_.wait_for(g, std::chrono::seconds(5), [&] {
    return index < script_done_.size() && script_done_[index];
  });
}
