#include "net/http_client.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/error_codes.h"
#include "net/tcp_socket.h"
#include "platform/event_wait.h"
#include "platform/threads.h"
#include "runtime/constants.h"
#include "runtime/shell_services.h"

http_class http;
std::vector<std::string> gProxyExclude;

namespace {

// One receive buffer for every transfer: all of them run on the main thread.
char readChunk[http_receive_size];

double now_seconds() { return platform_microseconds() * 1e-6; }

char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7f; }

bool has_control(const std::string& text) {
  for (unsigned char c : text)
    if (is_control(c)) return true;
  return false;
}

bool is_unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

// Every byte that could end or bend the request target ('#', '?', '%', '+', blanks, non-ASCII)
// goes out percent-encoded; the server decodes it back to the file name.
std::string escape_target(const std::string& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (unsigned char c : path) {
    if (is_unreserved(c) || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string trim_blanks(const std::string& text) {
  size_t a = text.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  size_t b = text.find_last_not_of(" \t");
  return text.substr(a, b - a + 1);
}

// A Content-Length value: digits only, small enough for a 64-bit count; -1 otherwise.
int64_t parse_length(const std::string& text) {
  if (text.empty() || text.size() > 18) return -1;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string dotted(unsigned long address) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&address);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
         std::to_string(b[3]);
}
}  // namespace

bool header_name_less::operator()(const std::string& a, const std::string& b) const {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char x = lower_ascii(a[i]), y = lower_ascii(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  return a.size() < b.size();
}

// ---------------------------------------------------------------------------------------------
// One transfer

down_class::down_class(const char* server, unsigned short port, const char* path, bool is_post,
                       const std::map<std::string, std::string>& request_headers,
                       const char* body, int body_length, const char* local_file)
    : server_name(server), remote_path(path), local_file_name(local_file ? local_file : "") {
  last_activity = now_seconds();
  rate_window_start = last_activity;
  if (local_file && *local_file) local_path = app_path + local_file;

  // A control character in the target or a header would split the request into lines the
  // server reads as further headers; such a request is never sent.
  bool unsafe = has_control(remote_path);
  for (const auto& h : request_headers) unsafe = unsafe || has_control(h.first + h.second);
  if (unsafe) {
    state = phase::unreachable;
    error = EINVAL;
    failure = "control character in the request";
    return;
  }

  const char* host = http.ProxyHost(server, port);
  unsigned long address = PCSBSocket::LookupAddress(host);
  if (address == 0) {
    xer << "Translated server " << server << " to IP addy: " << dotted(address)
        << " and port = " << port << "\n";
    state = phase::unreachable;
    error = err_net_no_host;
    return;
  }
  status_code = -1;
  socket = new PCSBSocket(0, false);
  socket->Connect(address, http.ProxyPort(server, port));

  std::string request = is_post ? "POST " : "GET ";
  if (http.UseProxy(server, port)) {
    auto h = request_headers.find("Host");
    request += "http://" + (h != request_headers.end() ? h->second : std::string(server));
  }
  request += escape_target(remote_path) + " HTTP/1.1\r\n";
  for (const auto& h : request_headers) request += h.first + ": " + h.second + "\r\n";
  if (body) request += "Content-Length: " + std::to_string(body_length) + "\r\n";
  request += "\r\n";
  outgoing.assign(request.begin(), request.end());
  if (body) outgoing.insert(outgoing.end(), body, body + body_length);
}

down_class::~down_class() {
  close_file();
  delete socket;
}

void down_class::close_file() {
  if (file < 0) return;
  // Some file systems report a failed write only here.
  if (close(file) != 0 && error == 0) error = errno;
  file = -1;
}

// Opens the local file for the body, empty. A file that is already empty is not truncated: on
// ext4 truncating marks the file for a flush to disk at close, which would make the main thread
// wait for the disk on every archive (archives are unpacked and deleted moments later).
int down_class::open_local_file() {
  file = open(local_path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (file < 0) return errno;
  struct stat st;
  if (fstat(file, &st) != 0) return errno;
  if (S_ISREG(st.st_mode) && st.st_size != 0 && ftruncate(file, 0) != 0) return errno;
  return 0;
}

void down_class::fail(const std::string& why) {
  if (failure.empty()) failure = why;
  state = phase::failed;
  if (socket && socket->GetStatus() == PCSBSocket::state_connected) socket->Disconnect();
  close_file();
}

// One pass. The transfer moves
//   connecting -> sending -> awaiting_headers -> receiving_body -> complete
// and from any of the first four to failed; unreachable transfers never move. The socket
// transitions are made here, the ones that depend on received bytes in received().
void down_class::DoProcessing() {
  switch (state) {
    case phase::unreachable:
    case phase::complete:
    case phase::failed:
      return;

    case phase::connecting:
      switch (socket->GetStatus()) {
        case PCSBSocket::state_connecting:
          return;
        case PCSBSocket::state_connected:
          state = phase::sending;
          break;
        default:
          fail("could not connect");
          return;
      }
      [[fallthrough]];

    case phase::sending:
    case phase::awaiting_headers:
    case phase::receiving_body: {
      if (!outgoing.empty()) {
        long sent = socket->http_WriteData(outgoing.data(), static_cast<long>(outgoing.size()));
        if (sent < 0) {
          fail("connection lost while sending the request");
          return;
        }
        outgoing.erase(outgoing.begin(), outgoing.begin() + sent);
      }
      if (state == phase::sending && outgoing.empty()) state = phase::awaiting_headers;

      long got = socket->ReadData(readChunk, static_cast<long>(sizeof readChunk));
      if (got < 0) {
        fail("connection lost");
      } else if (got > 0) {
        received(readChunk, static_cast<size_t>(got));
      } else if (socket->ReceivedRelease()) {
        // Without this a server that hangs up early would only be noticed by the idle rule.
        fail(state == phase::receiving_body ? "connection closed before the announced length"
                                            : "connection closed before the response headers");
      }
      return;
    }
  }
}

void down_class::received(const char* data, size_t size) {
  std::vector<char> early;  // body bytes that arrived behind the header block
  if (state == phase::sending || state == phase::awaiting_headers) {
    incoming.insert(incoming.end(), data, data + size);
    std::string problem;
    if (!parse_header_block(&problem)) {
      if (!problem.empty()) fail(problem);
      return;
    }
    headers_done = true;
    problem = body_problem();
    if (!problem.empty()) {
      fail(problem);
      return;
    }
    // Every final response opens the file, so an error page lands there too.
    if (!local_path.empty()) {
      if (int code = open_local_file()) {
        error = code;
        fail("could not create the local file");
        return;
      }
    }
    state = phase::receiving_body;
    early.swap(incoming);
    data = early.data();
    size = early.size();
  }
  if (state != phase::receiving_body) return;

  last_activity = now_seconds();
  rate_window_bytes += static_cast<int64_t>(size);
  if (!store_body(data, size)) {
    fail("could not write the local file");
    return;
  }
  // A longer body than announced is stored in full, so the success rule's length check fails it.
  int64_t have = file >= 0 ? bytes_written : static_cast<int64_t>(incoming.size());
  if (have >= content_length) {
    socket->Disconnect();
    close_file();
    state = phase::complete;
  }
}

// Consumes complete header lines from `incoming`. True once the final block (status 200 or
// more) has ended; interim 1xx blocks are skipped and the bytes behind them parsed at once.
// False while more is needed, or with *problem set when the block is unacceptable.
bool down_class::parse_header_block(std::string* problem) {
  size_t pos = 0;
  bool final_block = false;
  while (!final_block && problem->empty() && incoming.size() - pos >= 2) {
    const char* begin = incoming.data() + pos;
    const char* end = incoming.data() + incoming.size();
    const char* crlf = nullptr;
    for (const char* p = begin; p + 1 < end; ++p)
      if (p[0] == '\r' && p[1] == '\n') {
        crlf = p;
        break;
      }
    if (!crlf) break;
    std::string line(begin, crlf);
    pos += line.size() + 2;
    header_bytes += line.size() + 2;

    if (header_bytes > http_header_limit) {
      *problem = "response header block larger than 64 KB";
    } else if (line.empty()) {
      final_block = status_code >= 200;
    } else if (line.compare(0, 5, "HTTP/") == 0 && line.size() >= 14) {
      const char* d = line.c_str() + 9;
      bool digits = d[0] >= '0' && d[0] <= '9' && d[1] >= '0' && d[1] <= '9' && d[2] >= '0' &&
                    d[2] <= '9';
      status_code = digits ? (d[0] - '0') * 100 + (d[1] - '0') * 10 + (d[2] - '0') : -1;
      status_text = line.substr(13);
      // Headers of an interim block say nothing about the final response.
      headers.clear();
    } else {
      size_t colon = line.find(':');
      if (colon == std::string::npos || colon == 0) continue;
      std::string name = line.substr(0, colon);
      if (name.find_first_of(" \t") != std::string::npos) continue;
      std::string value = trim_blanks(line.substr(colon + 1));
      auto known = headers.find(name);
      if (known == headers.end())
        headers.emplace(name, value);
      else if (known->second != value && headers.find("Content-Length") == known)
        *problem = "conflicting Content-Length headers";  // no way to tell where the body ends
    }
  }
  incoming.erase(incoming.begin(), incoming.begin() + pos);
  if (problem->empty() && !final_block && header_bytes + incoming.size() > http_header_limit)
    *problem = "response header block larger than 64 KB";
  return final_block && problem->empty();
}

// Why the final response's body cannot be taken as the file ("" when it can); sets
// content_length.
std::string down_class::body_problem() {
  auto coding = headers.find("Transfer-Encoding");
  if (coding != headers.end()) return "unsupported Transfer-Encoding: " + coding->second;
  auto length = headers.find("Content-Length");
  if (length == headers.end()) return "response without Content-Length";
  content_length = parse_length(length->second);
  if (content_length < 0) return "unreadable Content-Length: " + length->second;
  return "";
}

// Body bytes go straight to the file, one write per receive; without a file they wait in
// `incoming`, uncounted.
bool down_class::store_body(const char* data, size_t size) {
  if (file < 0) {
    incoming.insert(incoming.end(), data, data + size);
    return true;
  }
  while (size > 0) {
    ssize_t put = write(file, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      error = put < 0 ? errno : EIO;
      return false;
    }
    bytes_written += put;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

bool down_class::finished() const {
  return state == phase::unreachable || state == phase::complete || state == phase::failed;
}

bool down_class::succeeded() const {
  return state == phase::complete && failure.empty() && status_code >= 200 &&
         status_code <= 299 && bytes_written == content_length && error == 0 && socket &&
         const_cast<PCSBSocket*>(socket)->GetStatus() != PCSBSocket::state_error;
}

int down_class::GetStat() const {
  if (!socket) return 0;
  int s = const_cast<PCSBSocket*>(socket)->GetStatus();
  if (s == PCSBSocket::state_connecting) return 1;
  if (s == PCSBSocket::state_error) return 2;
  if (s == PCSBSocket::state_closed) return 3;
  if (!outgoing.empty()) return 4;
  if (headers_done) return 5;
  return 6;
}

bool down_class::IsErr() const {
  return error != 0 || !socket ||
         const_cast<PCSBSocket*>(socket)->GetStatus() == PCSBSocket::state_error;
}

void down_class::watch_socket() const {
  if (!socket) return;
  int fd = socket->descriptor();
  // A connect ends, and request bytes drain, when the socket turns writable; once connected a
  // response may come at any time, even while the request is still going out.
  if (state == phase::connecting || !outgoing.empty()) platform_watch_descriptor(fd, true);
  if (state != phase::connecting) platform_watch_descriptor(fd, false);
}

int down_class::GetOSErr() const {
  if (error) return error;
  if (socket && socket->GetOSError()) return socket->GetOSError();
  return err_net_no_connection;
}

// ---------------------------------------------------------------------------------------------
// The slots

http_class::http_class() {
  for (auto& s : slots) s = nullptr;
}

void http_class::cancel(int slot) {
  if (slot < 0 || slot >= http_slot_count) return;
  delete slots[slot];
  slots[slot] = nullptr;
}

int http_class::net_check(int slot, const std::string& server, const std::string& path,
                          const std::string& local) {
  if (slot < 0 || slot >= http_slot_count) {
    __MACIBM_alert(0, "Too many download objects requested!", "", "", "", t_exit,
                   "RIzirud/OOPS_cpp/http", 232);
    return 0;
  }
  static bool soc_inited = false, ot_inited = false;
  if (!soc_inited) {
    soc_inited = true;
    for (auto& s : slots) s = nullptr;
    if (!ot_inited) ot_inited = PCSBSocket::StartupNetworking(true);
  }

  down_class*& transfer = slots[slot];
  // A caller that moved on to another file must never be handed the old file's result.
  if (transfer && (transfer->server_name != server || transfer->remote_path != path ||
                   transfer->local_file_name != local))
    cancel(slot);

  if (!transfer) {
    if (!server.empty() && server.back() == '/') {
      __MACIBM_alert(0, "net_check error! You have a dirchar at the end of the server name!",
                     "You should not!",
                     "Our convention is that a server name is simply a server name... with no "
                     "slash!",
                     server, t_exit, "RIzirud/OOPS_cpp/http", 247);
      return 0;
    }
    if (path.empty() || path[0] != '/') {
      __MACIBM_alert(0,
                     "net_check error! You do not have a dirchar at the beginning of the "
                     "directory name!",
                     "You should!",
                     "Our convention is that a directory name does start with a slash because "
                     "it must include the hard drive,which is a dir char on unix!",
                     path, t_exit, "RIzirud/OOPS_cpp/http", 248);
      return 0;
    }
    // Servers see the installer by the last four characters of the product version.
    const std::string& version = build_name[0];
    std::map<std::string, std::string> request_headers;
    request_headers["Host"] = server;
    request_headers["User-agent"] =
        "Installer-APL/" + (version.size() >= 4 ? version.substr(version.size() - 4) : "");
    request_headers["Connection"] = "close";
    transfer = new down_class(server.c_str(), direct_port, path.c_str(), false, request_headers, nullptr,
                              0, local.c_str());
  }

  transfer->DoProcessing();

  if (!transfer->finished()) {
    const double now = now_seconds();
    if (now > transfer->last_activity + http_idle_limit) {
      cancel(slot);
      return 2;
    }
    const double window = now - transfer->rate_window_start;
    if (window >= http_rate_window) {
      if (static_cast<double>(transfer->rate_window_bytes) < http_rate_floor * window) {
        xer << "HTTP transfer of " << path << " from " << server << " is too slow: "
            << transfer->rate_window_bytes << " bytes in " << static_cast<int>(window)
            << " seconds\n";
        xer.flush();
        cancel(slot);
        return 2;
      }
      transfer->rate_window_start = now;
      transfer->rate_window_bytes = 0;
    }
    // The next frame then comes as soon as this transfer can move on, not after an idle tick.
    transfer->watch_socket();
    return 0;
  }
  if (transfer->succeeded()) {
    cancel(slot);
    return 1;
  }
  if (!transfer->failure.empty())
    xer << "HTTP transfer of " << path << " from " << server << " failed: " << transfer->failure
        << "\n";
  xer << "HTTP Error for " << local << "\n"
      << "   server     =" << server << "\n"
      << "   file       =" << path << "\n"
      << "   IsDone     =" << (transfer->IsDone() ? 1 : 0) << "\n"
      << "   IsComplete =" << (transfer->IsComplete() ? 1 : 0) << "\n"
      << "   IsErr      =" << (transfer->IsErr() ? 1 : 0) << "\n"
      << "   GetStat    =" << transfer->GetStat() << "\n"
      << "   GetOSErr   =" << transfer->GetOSErr() << "\n"
      << "   response   =" << transfer->status_text << " (#" << transfer->status_code << ")\n\n";
  xer.flush();
  cancel(slot);
  return 2;
}

int http_class::percent_done(int slot) {
  if (slot < 0 || slot >= http_slot_count || !slots[slot]) return 0;
  const down_class* t = slots[slot];
  if (t->content_length < 0) return -1;
  if (t->content_length == 0) return 100;
  return static_cast<int>(static_cast<double>(t->bytes_written) * 100.0 /
                          static_cast<double>(t->content_length));
}

bool http_class::UseProxy(const char* host, unsigned short) {
  if (proxy_port == 0 || proxy_host.empty()) return false;
  size_t n = strlen(host);
  for (const std::string& suffix : gProxyExclude)
    if (suffix.size() <= n && memcmp(host + n - suffix.size(), suffix.data(), suffix.size()) == 0)
      return false;
  return true;
}

const char* http_class::ProxyHost(const char* host, unsigned short port) {
  return UseProxy(host, port) ? proxy_host.c_str() : host;
}

unsigned short http_class::ProxyPort(const char* host, unsigned short port) {
  return UseProxy(host, port) ? static_cast<unsigned short>(proxy_port & 0xffff) : port;
}
