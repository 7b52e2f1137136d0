// The HTTP client against a scripted raw peer: request bytes on the wire, and the responses and
// faults a real server will not produce.
#include "net/http_client.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/event_wait.h"
#include "platform/threads.h"
#include "support/raw_peer.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {
std::atomic<int64_t> fake_now{1000000000};
int64_t fake_clock() { return fake_now.load(); }
void advance_seconds(double s) { fake_now += static_cast<int64_t>(s * 1e6); }

const std::string ok_response = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

class HttpClient : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_set_time_source(fake_clock);
    shell_double::reset();
    shell_double::reopen_log();
    for (int i = 0; i < http_slot_count; ++i) http.cancel(i);
    http.proxy_host.clear();
    http.proxy_port_text.clear();
    http.proxy_port = 0;
    http.direct_port = 80;
    gProxyExclude.clear();
  }
  void TearDown() override {
    for (int i = 0; i < http_slot_count; ++i) http.cancel(i);
    platform_set_time_source(nullptr);
  }
  void use_proxy(const raw_peer& peer) {
    http.proxy_host = "127.0.0.1";
    http.proxy_port = peer.port();
  }
  // Polls until the slot reports a result, sleeping a little between passes (about 5 s at most,
  // measured on the real clock; the transfer's own clock stands still).
  int run(int slot, const std::string& server, const std::string& path, const std::string& local) {
    for (int i = 0; i < 5000; ++i) {
      int r = http.net_check(slot, server, path, local);
      if (r) return r;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
  }
  // Polls a while after the peer has played its script and expects the transfer still running.
  void expect_running(int slot, const std::string& path, const std::string& local) {
    for (int i = 0; i < 50; ++i) {
      ASSERT_EQ(http.net_check(slot, "s.test", path, local), 0) << "poll " << i;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  temp_tree tree;
};
}  // namespace

// --- The request on the wire -------------------------------------------------------------

TEST_F(HttpClient, RequestBytesDirectAndThroughProxy) {
  const std::string origin_form =
      "GET /x%20y/f.zip HTTP/1.1\r\nConnection: close\r\nHost: localhost\r\n"
      "User-agent: Installer-APL/10r1\r\n\r\n";
  const std::string absolute_form =
      "GET http://localhost/x%20y/f.zip HTTP/1.1\r\nConnection: close\r\nHost: localhost\r\n"
      "User-agent: Installer-APL/10r1\r\n\r\n";
  struct row {
    const char* name;
    bool proxy_host, proxy_port;
    const char* exclude;
    bool via_proxy;
  } rows[] = {
      {"no proxy", false, false, nullptr, false},
      {"proxy", true, true, nullptr, true},
      {"proxy host without port", true, false, nullptr, false},
      {"proxy port without host", false, true, nullptr, false},
      {"excluded suffix", true, true, "host", false},
      {"suffix of another host", true, true, "xlocalhost", true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    raw_peer direct({peer::send(ok_response)});
    raw_peer proxy({peer::send(ok_response)});
    http.direct_port = direct.port();
    http.proxy_host = r.proxy_host ? "127.0.0.1" : "";
    http.proxy_port = r.proxy_port ? proxy.port() : 0;
    gProxyExclude.clear();
    if (r.exclude) gProxyExclude.push_back(r.exclude);

    std::string local = tree.path() + "f.zip";
    EXPECT_EQ(run(2, "localhost", "/x y/f.zip", local), 1);
    EXPECT_EQ(read_whole_file(local), "ok");
    raw_peer& used = r.via_proxy ? proxy : direct;
    raw_peer& unused = r.via_proxy ? direct : proxy;
    EXPECT_EQ(used.request(), r.via_proxy ? absolute_form : origin_form);
    EXPECT_EQ(unused.connections(), 0u);
  }
}

TEST_F(HttpClient, RequestTargetIsPercentEncoded) {
  raw_peer peer({peer::send(ok_response)});
  use_proxy(peer);
  EXPECT_EQ(run(0, "s.test", "/a b/#?%+\xc3\xa9/~x-y_z.0.zip", tree.path() + "f"), 1);
  std::string req = peer.request();
  EXPECT_EQ(req.substr(0, req.find("\r\n")),
            "GET http://s.test/a%20b/%23%3F%25%2B%C3%A9/~x-y_z.0.zip HTTP/1.1");
}

TEST_F(HttpClient, ControlCharactersAreNeverSent) {
  raw_peer peer({peer::send(ok_response)});
  use_proxy(peer);
  const char* paths[] = {"/a\r\nX-Injected: 1\r\n\r\n", "/tab\there", "/nul\x7f"};
  for (const char* p : paths) {
    EXPECT_EQ(run(0, "s.test", p, tree.path() + "f"), 2) << p;
  }
  EXPECT_EQ(run(0, "s.test\r\nX: y", "/f", tree.path() + "f"), 2);
  EXPECT_EQ(peer.connections(), 0u);
  EXPECT_NE(shell_double::log_text().find("   GetOSErr   =" + std::to_string(EINVAL)),
            std::string::npos);
  EXPECT_FALSE(path_exists(tree.path() + "f"));
}

// --- Responses -------------------------------------------------------------------------------

TEST_F(HttpClient, ResponseTable) {
  const std::string big_header(70000, 'a');
  std::string many_lines;
  for (int i = 0; i < 3000; ++i) many_lines += "X-Line-" + std::to_string(i) + ": 0123456789abcdef\r\n";
  struct row {
    const char* name;
    std::vector<peer_action> script;
    int result;
    const char* file;        // content afterwards; null: the file must not exist
    const char* log;         // a text the log must hold; "" when no report is expected
  } rows[] = {
      {"200 with length", {peer::send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello")},
       1, "hello", ""},
      {"length 0", {peer::send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), peer::hold()},
       1, "", ""},
      {"404 with body",
       {peer::send("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnope")}, 2, "nope",
       "   IsComplete =1\n   IsErr      =0\n   GetStat    =3\n   GetOSErr   =20009\n"
       "   response   =Not Found (#404)\n\n"},
      {"1xx then 200 in one segment",
       {peer::send("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi"),
        peer::hold()},
       1, "hi", ""},
      {"1xx then 200 later",
       {peer::send("HTTP/1.1 100 Continue\r\nContent-Length: 99\r\n\r\n"), peer::pause(30),
        peer::send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi"), peer::hold()},
       1, "hi", ""},
      {"body in small pieces",
       {peer::send("HTTP/1.1 200 OK\r\nContent-Le"), peer::pause(20),
        peer::send("ngth: 6\r\n\r\nab"), peer::pause(20), peer::send("cd"), peer::pause(20),
        peer::send("ef")},
       1, "abcdef", ""},
      {"lower-case header names",
       {peer::send("HTTP/1.1 200 OK\r\ncontent-length: 3\r\n\r\nabc"), peer::hold()}, 1, "abc",
       ""},
      {"duplicate header keeps its first value",
       {peer::send("HTTP/1.1 200 OK\r\nX-A: 1\r\nContent-Length: 3\r\nx-a: 2\r\n"
                   "CONTENT-LENGTH: 3\r\n\r\nabc")},
       1, "abc", ""},
      {"conflicting lengths",
       {peer::send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd")}, 2,
       nullptr, "conflicting Content-Length"},
      {"chunked body",
       {peer::send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"),
        peer::hold()},
       2, nullptr, "unsupported Transfer-Encoding: chunked"},
      {"no length", {peer::send("HTTP/1.1 200 OK\r\n\r\nabc")}, 2, nullptr,
       "response without Content-Length"},
      {"unreadable length",
       {peer::send("HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\nabc")}, 2, nullptr,
       "unreadable Content-Length"},
      {"negative length", {peer::send("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n")}, 2,
       nullptr, "unreadable Content-Length"},
      {"overflowing length",
       {peer::send("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nx")}, 2,
       nullptr, "unreadable Content-Length"},
      {"close before the length",
       {peer::send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello"), peer::close(),
        peer::hold()},
       2, "hello", "closed before the announced length"},
      {"reset during the body",
       {peer::send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello"), peer::pause(30),
        peer::reset()},
       2, "hello", "   IsComplete =0\n"},
      {"longer body than announced",
       {peer::send("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef")}, 2, "abcdef",
       "   IsComplete =0\n"},
      {"LF-only lines, then close",
       {peer::send("HTTP/1.1 200 OK\nContent-Length: 2\n\nok"), peer::close(), peer::hold()}, 2,
       nullptr, "closed before the response headers"},
      {"close before any response", {peer::close(), peer::hold()}, 2, nullptr,
       "closed before the response headers"},
      {"header block over 64 KB",
       {peer::send("HTTP/1.1 200 OK\r\nX-Big: " + big_header + "\r\n\r\n"), peer::hold()}, 2,
       nullptr, "larger than 64 KB"},
      {"many header lines over 64 KB",
       {peer::send("HTTP/1.1 200 OK\r\n" + many_lines + "Content-Length: 2\r\n\r\nok"),
        peer::hold()},
       2, nullptr, "larger than 64 KB"},
      {"500", {peer::send("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 1\r\n\r\nx")}, 2,
       "x", "   response   =Internal Server Error (#500)\n\n"},
      {"redirect is not followed",
       {peer::send("HTTP/1.1 301 Moved Permanently\r\nLocation: /y\r\nContent-Length: 0\r\n\r\n")},
       2, "", "(#301)"},
  };
  for (row& r : rows) {
    SCOPED_TRACE(r.name);
    shell_double::reopen_log();
    raw_peer peer(r.script);
    use_proxy(peer);
    std::string local = tree.path() + "out.bin";
    remove(local.c_str());
    EXPECT_EQ(run(3, "s.test", "/f.bin", local), r.result);
    if (r.file) {
      EXPECT_EQ(read_whole_file(local), r.file);
    } else {
      EXPECT_FALSE(path_exists(local));
    }
    std::string log = shell_double::log_text();
    if (*r.log) {
      EXPECT_NE(log.find(r.log), std::string::npos) << log;
      EXPECT_NE(log.find("HTTP Error for " + local + "\n   server     =s.test\n"
                         "   file       =/f.bin\n"),
                std::string::npos)
          << log;
    } else {
      EXPECT_EQ(log, "");
    }
  }
}

// The body replaces whatever the local file held (a longer old file leaves no tail, an empty one
// is taken as it is), and one poll never takes more than its byte budget, however much the
// server has sent: a frame's pass over the transfers stays short.
TEST_F(HttpClient, TheLocalFileIsReplacedWholeInBoundedPolls) {
  std::string body(3 * http_receive_size + 17, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + i / 4096);
  struct row {
    const char* name;
    bool exists;      // a local file is there before
    size_t old_size;  // of that many bytes
  } rows[] = {{"no file before", false, 0},
              {"an empty file", true, 0},
              {"a longer file", true, body.size() + 5000}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    raw_peer peer({peer::send(head + body), peer::hold()});
    use_proxy(peer);
    const std::string local = tree.path() + "replaced.bin";
    remove(local.c_str());
    if (r.exists) write_whole_file(local, std::string(r.old_size, 'z'));
    int result = 0;
    int64_t seen = 0, largest_poll = 0;
    for (int i = 0; i < 5000 && result == 0; ++i) {
      result = http.net_check(2, "s.test", "/f", local);
      const int64_t now = result == 0 && http.slots[2] ? http.slots[2]->bytes_written
                                                       : static_cast<int64_t>(body.size());
      largest_poll = std::max(largest_poll, now - seen);
      seen = now;
      if (result == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(result, 1);
    EXPECT_LE(largest_poll, static_cast<int64_t>(http_receive_size));
    EXPECT_TRUE(read_whole_file(local) == body) << read_whole_file(local).size() << " bytes";
  }
}

// The idle rule runs on the injected clock: a stalled transfer is given up after 30 s without
// progress, with no report, and a transfer that keeps receiving never times out.
TEST_F(HttpClient, IdleRule) {
  struct row {
    const char* name;
    std::vector<peer_action> script;
  } rows[] = {
      {"stalled in the body",
       {peer::send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello"), peer::hold()}},
      {"LF-only lines", {peer::send("HTTP/1.1 200 OK\nContent-Length: 2\n\nok"), peer::hold()}},
      {"short status line",
       {peer::send("HTTP/1.1 200\r\nContent-Length: 2\r\n\r\nok"), peer::hold()}},
      {"no response", {peer::hold()}},
  };
  for (row& r : rows) {
    SCOPED_TRACE(r.name);
    shell_double::reopen_log();
    raw_peer peer(r.script);
    use_proxy(peer);
    std::string local = tree.path() + "idle.bin";
    ASSERT_EQ(http.net_check(1, "s.test", "/f", local), 0);
    ASSERT_TRUE(peer.wait_script_done());
    expect_running(1, "/f", local);
    advance_seconds(29.5);
    EXPECT_EQ(http.net_check(1, "s.test", "/f", local), 0);
    advance_seconds(1.0);
    EXPECT_EQ(http.net_check(1, "s.test", "/f", local), 2);
    EXPECT_EQ(shell_double::log_text(), "");
    EXPECT_EQ(http.percent_done(1), 0);
  }
}

// Each piece arrives up to 20 s after the one before (well inside the idle limit), and each is
// large enough to keep the transfer above the rate floor.
TEST_F(HttpClient, ProgressRestartsTheIdleClock) {
  const std::string piece(32768, 'p');
  raw_peer peer({peer::send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(4 * piece.size()) +
                            "\r\n\r\n" + piece),
                 peer::pause(100), peer::send(piece), peer::pause(100), peer::send(piece),
                 peer::pause(100), peer::send(piece)});
  use_proxy(peer);
  std::string local = tree.path() + "slow.bin";
  int r = 0;
  for (int i = 0; i < 5000 && r == 0; ++i) {
    r = http.net_check(0, "s.test", "/f", local);
    if (r == 0 && http.percent_done(0) >= 25) advance_seconds(0.2);  // up to 20 s per 100 ms gap
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(r, 1);
  EXPECT_EQ(read_whole_file(local), piece + piece + piece + piece);
}

// A mirror that sends half a file and then drips keeps resetting the idle clock; the rate
// floor (1 KB/s over 30 s) gives up on it, while a slow but steady mirror finishes.
TEST_F(HttpClient, RateFloor) {
  struct row {
    const char* name;
    size_t drip_bytes;
    double seconds_per_drip;
    int drips;
    int want;
  } rows[] = {
      {"a byte every five seconds fails", 1, 5.0, 30, 2},
      {"two kilobytes a second finishes", 2048, 1.0, 45, 1},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    shell_double::reopen_log();
    const std::string half(50000, 'h'), drip(r.drip_bytes, 'd');
    std::vector<peer_action> script{peer::send("HTTP/1.1 200 OK\r\nContent-Length: " +
                                               std::to_string(half.size() + r.drips * drip.size()) +
                                               "\r\n\r\n" + half)};
    for (int i = 0; i < r.drips; ++i) {
      script.push_back(peer::pause(15));
      script.push_back(peer::send(drip));
    }
    script.push_back(peer::hold());
    raw_peer peer(script);
    use_proxy(peer);
    std::string local = tree.path() + "drip.bin";
    int result = 0;
    int64_t seen = 0;
    for (int i = 0; i < 20000 && result == 0; ++i) {
      result = http.net_check(2, "s.test", "/f", local);
      // Every arrival after the first half moves the clock on by the drip interval.
      if (result == 0 && http.slots[2] && http.slots[2]->bytes_written > seen) {
        if (seen >= static_cast<int64_t>(half.size())) advance_seconds(r.seconds_per_drip);
        seen = http.slots[2]->bytes_written;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    EXPECT_EQ(result, r.want);
    if (r.want == 2) {
      EXPECT_NE(shell_double::log_text().find("is too slow"), std::string::npos) << shell_double::log_text();
      EXPECT_LT(seen, static_cast<int64_t>(half.size() + r.drips * drip.size()));
    }
  }
}

TEST_F(HttpClient, PercentDone) {
  raw_peer peer({peer::pause(100), peer::send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello"),
                 peer::hold()});
  use_proxy(peer);
  std::string local = tree.path() + "half.bin";
  EXPECT_EQ(http.percent_done(4), 0);
  ASSERT_EQ(http.net_check(4, "s.test", "/f", local), 0);
  EXPECT_EQ(http.percent_done(4), -1);
  for (int i = 0; i < 5000 && http.percent_done(4) != 50; ++i) {
    ASSERT_EQ(http.net_check(4, "s.test", "/f", local), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(http.percent_done(4), 50);

  // Lengths beyond 32 bits are read whole.
  raw_peer huge({peer::send("HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n\r\nhello"),
                 peer::hold()});
  use_proxy(huge);
  http.cancel(4);
  for (int i = 0; i < 5000 && (!http.slots[4] || http.slots[4]->bytes_written < 5); ++i) {
    ASSERT_EQ(http.net_check(4, "s.test", "/huge", local), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_NE(http.slots[4], nullptr);
  EXPECT_EQ(http.slots[4]->content_length, 5000000000LL);
  EXPECT_EQ(http.percent_done(4), 0);
}

// --- Failures before any response ------------------------------------------------------------

TEST_F(HttpClient, RefusedConnection) {
  unsigned short closed_port;
  {
    raw_peer gone({});
    closed_port = gone.port();
  }
  http.proxy_host = "127.0.0.1";
  http.proxy_port = closed_port;
  EXPECT_EQ(run(0, "s.test", "/f", tree.path() + "f"), 2);
  std::string log = shell_double::log_text();
  EXPECT_NE(log.find("   GetOSErr   =" + std::to_string(ECONNREFUSED) + "\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("   response   = (#-1)\n"), std::string::npos) << log;
}

TEST_F(HttpClient, UnknownHost) {
  EXPECT_EQ(http.net_check(0, "no-such-host.invalid", "/f", tree.path() + "f"), 2);
  std::string log = shell_double::log_text();
  EXPECT_NE(log.find("Translated server no-such-host.invalid to IP addy: 0.0.0.0 and port = 80\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("   IsErr      =1\n   GetStat    =0\n   GetOSErr   =20011\n"),
            std::string::npos)
      << log;
}

TEST_F(HttpClient, UncreatableLocalFile) {
  raw_peer peer({peer::send(ok_response)});
  use_proxy(peer);
  EXPECT_EQ(run(0, "s.test", "/f", tree.path() + "missing-folder/f"), 2);
  EXPECT_NE(shell_double::log_text().find("   GetOSErr   =" + std::to_string(ENOENT) + "\n"),
            std::string::npos);
}

TEST_F(HttpClient, EmptyLocalPathSucceedsOnlyForAnEmptyBody) {
  raw_peer empty({peer::send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")});
  use_proxy(empty);
  EXPECT_EQ(run(0, "s.test", "/f", ""), 1);
  raw_peer full({peer::send(ok_response)});
  use_proxy(full);
  EXPECT_EQ(run(0, "s.test", "/f", ""), 2);
}

// --- Slots -----------------------------------------------------------------------------------

TEST_F(HttpClient, CancelAndRestartOfASlot) {
  raw_peer peer({peer::send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello"), peer::pause(200),
                 peer::send("world")});
  use_proxy(peer);
  std::string a = tree.path() + "a.bin", b = tree.path() + "b.bin";

  // Moving a busy slot to another file restarts it: b gets b's bytes, a keeps its part.
  for (int i = 0; i < 5000 && http.percent_done(5) != 50; ++i) {
    ASSERT_EQ(http.net_check(5, "s.test", "/a", a), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(http.percent_done(5), 50);
  EXPECT_EQ(run(5, "s.test", "/b", b), 1);
  EXPECT_EQ(read_whole_file(b), "helloworld");
  EXPECT_EQ(read_whole_file(a), "hello");
  ASSERT_EQ(peer.connections(), 2u);
  EXPECT_EQ(peer.request(1).substr(0, 24), "GET http://s.test/b HTTP");

  // Each argument counts: the same path to another local file, and another server, restart too.
  EXPECT_EQ(http.net_check(5, "s.test", "/b", a), 0);
  EXPECT_EQ(http.net_check(5, "t.test", "/b", a), 0);
  EXPECT_EQ(run(5, "t.test", "/b", a), 1);
  EXPECT_EQ(read_whole_file(a), "helloworld");

  // An explicit cancel frees the slot at once and closes the connection.
  ASSERT_EQ(http.net_check(5, "s.test", "/c", b), 0);
  http.cancel(5);
  EXPECT_EQ(http.percent_done(5), 0);
  EXPECT_EQ(http.slots[5], nullptr);
}

TEST_F(HttpClient, SlotsRunSideBySide) {
  raw_peer peer({peer::send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n"), peer::pause(50),
                 peer::send("ok")});
  use_proxy(peer);
  int result[6] = {0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 5000; ++i) {
    bool all = true;
    for (int s = 0; s < http_slot_count; ++s) {
      if (!result[s])
        result[s] = http.net_check(s, "s.test", "/" + std::to_string(s),
                                   tree.path() + std::to_string(s));
      all = all && result[s];
    }
    if (all) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (int s = 0; s < http_slot_count; ++s) {
    EXPECT_EQ(result[s], 1) << s;
    EXPECT_EQ(read_whole_file(tree.path() + std::to_string(s)), "ok");
  }
}

// --- Waking the frame loop ------------------------------------------------------------------

namespace {
// One frame's wait, with the bounds that tell "woken" from "ran its time-out" on a loaded host.
bool frame_wait_woken(int timeout_ms) {
  auto start = std::chrono::steady_clock::now();
  bool woken = platform_wait_for_events(timeout_ms);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(5));
  if (!woken) {
    EXPECT_GE(took, std::chrono::milliseconds(timeout_ms * 3 / 4));
  }
  return woken;
}
}  // namespace

// A polled transfer marks its socket for the frame's wait: each frame starts as soon as the
// connection is up or the server answers, and a finished transfer marks nothing.
TEST_F(HttpClient, RunningTransferWakesTheFrameWait) {
  platform_wait_for_events(0);  // marks left by earlier polls without a wait
  raw_peer peer({peer::pause(300), peer::send(ok_response)});
  use_proxy(peer);
  std::string local = tree.path() + "f";
  int result = 0, frames = 0;
  for (; frames < 20; ++frames) {
    result = http.net_check(0, "s.test", "/f", local);
    if (result) break;
    EXPECT_TRUE(frame_wait_woken(10000)) << "frame " << frames;
  }
  EXPECT_EQ(result, 1);
  EXPECT_LT(frames, 20);
  EXPECT_EQ(read_whole_file(local), "ok");
  EXPECT_FALSE(frame_wait_woken(200));
}

// While the request is out and the server is silent there is nothing to do: the socket must be
// watched for reading only, or every frame would wake at once and spin.
TEST_F(HttpClient, SilentServerLetsTheFrameWaitRunOut) {
  platform_wait_for_events(0);
  raw_peer peer({peer::hold()});
  use_proxy(peer);
  std::string local = tree.path() + "f";
  auto request_sent = [] {
    return http.slots[0] && http.slots[0]->state == down_class::phase::awaiting_headers;
  };
  for (int i = 0; i < 5000 && !request_sent(); ++i) {
    ASSERT_EQ(http.net_check(0, "s.test", "/f", local), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(request_sent());
  ASSERT_FALSE(peer.request(0).empty());
  ASSERT_EQ(http.net_check(0, "s.test", "/f", local), 0);
  EXPECT_FALSE(frame_wait_woken(200));
  // A slot nobody polls any more marks nothing either.
  EXPECT_FALSE(frame_wait_woken(200));
}

TEST_F(HttpClient, MisuseRaisesFatalAlerts) {
  EXPECT_EQ(http.net_check(6, "s.test", "/f", "f"), 0);
  EXPECT_EQ(http.net_check(-1, "s.test", "/f", "f"), 0);
  EXPECT_EQ(http.net_check(0, "s.test/", "/f", "f"), 0);
  EXPECT_EQ(http.net_check(0, "s.test", "f", "f"), 0);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 4u);
  EXPECT_EQ(alerts[0].lines[0], "Too many download objects requested!");
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(alerts[0].line, 232);
  EXPECT_EQ(alerts[2].lines[0], "net_check error! You have a dirchar at the end of the server name!");
  EXPECT_EQ(alerts[2].lines[3], "s.test/");
  EXPECT_EQ(alerts[2].line, 247);
  EXPECT_EQ(alerts[3].lines[1], "You should!");
  EXPECT_EQ(alerts[3].lines[3], "f");
  EXPECT_EQ(alerts[3].line, 248);
  for (int s = 0; s < http_slot_count; ++s) EXPECT_EQ(http.slots[s], nullptr);
}

TEST(HttpProxy, SuffixRules) {
  http.proxy_host = "proxy.local";
  http.proxy_port = 0x10000 + 3128;  // only the low 16 bits are a port
  gProxyExclude = {".lan", "exact.org"};
  EXPECT_TRUE(http.UseProxy("mirror.test", 80));
  EXPECT_STREQ(http.ProxyHost("mirror.test", 80), "proxy.local");
  EXPECT_EQ(http.ProxyPort("mirror.test", 80), 3128);
  EXPECT_FALSE(http.UseProxy("box.lan", 80));
  EXPECT_FALSE(http.UseProxy("exact.org", 80));
  EXPECT_TRUE(http.UseProxy("xact.org", 80));  // an entry longer than the host never matches
  EXPECT_TRUE(http.UseProxy("box.LAN", 80));   // compared byte for byte
  EXPECT_STREQ(http.ProxyHost("box.lan", 80), "box.lan");
  EXPECT_EQ(http.ProxyPort("box.lan", 81), 81);
  http.proxy_host.clear();
  EXPECT_FALSE(http.UseProxy("mirror.test", 80));
  http.proxy_port = 0;
  gProxyExclude.clear();
}
