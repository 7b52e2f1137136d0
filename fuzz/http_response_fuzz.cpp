// Feeds arbitrary response bytes to the HTTP client's receive path, cut into segments whose size
// the first input byte chooses, as a peer's packets would arrive.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "net/http_client.h"

namespace {
// A loopback listener that the transfers connect to; their connections are accepted and dropped.
struct listener {
  int fd = -1;
  unsigned short port = 0;
  listener() {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(fd, 128);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
  }
  void drain() {
    int c;
    while ((c = accept(fd, nullptr, nullptr)) >= 0) close(c);
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static listener peer;
  if (size < 1) return 0;
  size_t segment = 1 + data[0] * 4u;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  size_t left = size - 1;
  {
    std::map<std::string, std::string> headers = {{"Host", "fuzz.test"}};
    down_class t("127.0.0.1", peer.port, "/f", false, headers, nullptr, 0, "/dev/null");
    t.state = down_class::phase::awaiting_headers;
    while (left > 0 && !t.finished()) {
      size_t n = left < segment ? left : segment;
      t.received(bytes, n);
      bytes += n;
      left -= n;
      if (!t.headers_done && t.incoming.size() > http_header_limit + segment) __builtin_trap();
      if (t.content_length >= 0 && t.bytes_written > t.content_length + static_cast<int64_t>(segment))
        __builtin_trap();
    }
    if (t.succeeded() && (t.status_code < 200 || t.status_code > 299)) __builtin_trap();
  }
  peer.drain();
  return 0;
}
