// The HTTP/1.1 client: six numbered transfer slots that the frame loop polls, each fetching one
// file with GET over a non-blocking socket straight into a local file, optionally through a
// proxy. Nothing here waits, apart from the host-name look-up when a transfer starts.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class PCSBSocket;

// Header names compare without regard to ASCII case, as HTTP defines them.
struct header_name_less {
  bool operator()(const std::string& a, const std::string& b) const;
};
using http_header_map = std::map<std::string, std::string, header_name_less>;

// One GET (or POST) transfer. Constructing it looks the host up and starts connecting;
// DoProcessing advances it by one non-blocking pass.
class down_class {
 public:
  // Where the transfer stands; every change happens in DoProcessing's switch.
  enum class phase {
    unreachable,       // never connected: unknown host or a refused request
    connecting,
    sending,           // request bytes still waiting for the socket
    awaiting_headers,  // reading status line and headers (interim blocks skipped)
    receiving_body,    // streaming the body into the file
    complete,          // the announced length is in, the connection closed
    failed,            // connection or protocol failure; `failure` says which
  };

  down_class(const char* server, unsigned short port, const char* path, bool is_post,
             const std::map<std::string, std::string>& headers, const char* body,
             int body_length, const char* local_file);
  ~down_class();
  down_class(const down_class&) = delete;
  down_class& operator=(const down_class&) = delete;

  void DoProcessing();
  // Handles bytes as if one receive had delivered them (the receive path of DoProcessing; the
  // response parser's fuzz target feeds it directly).
  void received(const char* data, size_t size);

  bool finished() const;
  bool succeeded() const;
  // The transfer state that the failure report prints: 0 no socket, 1 connecting, 2 socket
  // error, 3 closed, 4 sending, 5 receiving the body, 6 waiting for headers.
  int GetStat() const;
  bool IsDone() const { return GetStat() == 3; }
  bool IsComplete() const { return bytes_written == content_length; }
  bool IsErr() const;
  int GetOSErr() const;
  // Marks the socket for the frame's event wait, for the readiness this transfer needs next.
  void watch_socket() const;

  PCSBSocket* socket = nullptr;
  std::vector<char> outgoing;
  std::vector<char> incoming;
  bool headers_done = false;
  int status_code = 0;
  std::string status_text;
  http_header_map headers;
  int file = -1;  // the local file's descriptor while the body is written
  std::string local_path;
  int error = 0;
  int64_t content_length = -1;
  int64_t bytes_written = 0;
  double last_activity = 0;
  // Body bytes received since rate_window_start, for the rate floor.
  double rate_window_start = 0;
  int64_t rate_window_bytes = 0;

  phase state = phase::connecting;
  std::string failure;  // why a protocol-level failure happened, for the log
  // The request this transfer serves, so that a slot can tell a different request apart.
  std::string server_name, remote_path, local_file_name;

 private:
  bool parse_header_block(std::string* problem);
  std::string body_problem();
  bool store_body(const char* data, size_t size);
  int open_local_file();
  void fail(const std::string& why);
  void close_file();
  size_t header_bytes = 0;  // header text consumed so far, for the size cap
};

// The client's transfer slots: 0 the server list, 1 the release directory, and from
// first_download_http_slot on the download scheduler's four streams.
constexpr int http_slot_count = 6;
constexpr int first_download_http_slot = 2;
// The transfer slot of download stream i (0..3).
constexpr int download_http_slot(int stream) { return first_download_http_slot + stream; }

class http_class {
 public:
  http_class();

  // Polls slot 0..5: 0 running, 1 finished well (file complete and closed), 2 failed. One poll
  // takes at most http_receive_size bytes of the transfer's response.
  int net_check(int slot, const std::string& server, const std::string& path, const std::string& local);
  // Stops the slot's transfer, if any, and frees the slot. The partial file stays.
  void cancel(int slot);
  // Progress in percent; 0 for a free slot, -1 while the length is unknown.
  int percent_done(int slot);

  bool UseProxy(const char* host, unsigned short port);
  const char* ProxyHost(const char* host, unsigned short port);
  unsigned short ProxyPort(const char* host, unsigned short port);

  std::string proxy_host;       // preference "_proxy_host"
  std::string proxy_port_text;  // preference "_proxy_port"
  int proxy_port = 0;           // preference "_proxy_port_int"; 0 = no proxy
  // The servers' port when no proxy applies: 80, moved only by tests that cannot bind 80.
  unsigned short direct_port = 80;
  down_class* slots[http_slot_count];
};

extern http_class http;

// Host-name suffixes that bypass the proxy.
extern std::vector<std::string> gProxyExclude;

// How long a transfer may go without progress before net_check gives up on it, in seconds.
constexpr double http_idle_limit = 30.0;
// A transfer that stays below this rate over a whole window fails, so that a mirror dripping
// a byte now and then (which keeps the idle rule happy) hands its file to another mirror.
constexpr double http_rate_window = 30.0;           // seconds
constexpr double http_rate_floor = 1024.0;          // bytes per second
// The largest header block accepted; more is taken as a broken or hostile peer.
constexpr size_t http_header_limit = 65536;
// One poll of a transfer receives up to this many bytes, in one read, and writes them to the file
// in one write: large reads cost far less per byte than many small ones, and the bound keeps a
// frame's pass over four fast transfers near a millisecond.
constexpr size_t http_receive_size = 256 * 1024;
