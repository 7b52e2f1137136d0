// A scripted TCP server on 127.0.0.1 for fault cases a real server will not produce: it records
// every request it receives byte for byte and answers each connection with the same script of
// sends, pauses and closes. It runs on its own thread, so the client under test can be polled
// from the test's thread exactly as the frame loop would.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct peer_action {
  enum kind_t {
    send,        // write `text`
    pause,       // wait `millis` milliseconds
    close,       // orderly close (FIN) of this connection
    reset,       // abortive close (RST)
    hold,        // keep the connection open, reading, until the client closes or the peer ends
  } kind;
  std::string text;
  int millis = 0;
};

namespace peer {
inline peer_action send(std::string text) { return {peer_action::send, std::move(text), 0}; }
inline peer_action pause(int millis) { return {peer_action::pause, "", millis}; }
inline peer_action close() { return {peer_action::close, "", 0}; }
inline peer_action reset() { return {peer_action::reset, "", 0}; }
inline peer_action hold() { return {peer_action::hold, "", 0}; }
}  // namespace peer

class raw_peer {
 public:
  // Every accepted connection first reads the request up to its blank line, then plays script.
  // A script that ends without close or reset closes in order.
  explicit raw_peer(std::vector<peer_action> script);
  ~raw_peer();
  raw_peer(const raw_peer&) = delete;
  raw_peer& operator=(const raw_peer&) = delete;

  unsigned short port() const { return port_; }
  // The bytes received on connection `index` (0 = first); waits up to 5 s for its request.
  std::string request(size_t index = 0);
  // Connections accepted so far.
  size_t connections();
  // Waits up to 5 s until the script of connection `index` has run to its end.
  bool wait_script_done(size_t index = 0);

 private:
  void serve();
  void play(int fd, size_t index);

  std::vector<peer_action> script_;
  int listener_ = -1;
  unsigned short port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> requests_;
  std::vector<bool> request_complete_;
  std::vector<bool> script_done_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};
