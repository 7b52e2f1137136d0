// The HTTP client against nginx: real transfers through the proxy setting, one slot and four at
// once, error statuses, and routing by host name and by the proxy's exclusion list.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "net/http_client.h"
#include "support/nginx_server.h"
#include "support/process.h"
#include "support/raw_peer.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {
const std::string folder = "http_server_test/";

// A file of pseudo-random bytes in a server root, shared by every test process. The bytes
// depend only on the name, so a process that writes the file while another fetches it writes the
// same content; it is written aside and renamed, so nginx never serves half a file.
std::string served_file(const std::string& host, const std::string& name, size_t size) {
  std::string path = nginx_root(host) + folder + name;
  std::ifstream existing(path, std::ios::binary | std::ios::ate);
  if (existing && static_cast<size_t>(existing.tellg()) == size) return path;
  make_folders(nginx_root(host) + folder);
  std::string aside = path + ".part" + std::to_string(getpid());
  std::ofstream out(aside, std::ios::binary | std::ios::trunc);
  uint64_t x = std::hash<std::string>()(name) | 1;
  std::vector<uint64_t> block(1 << 17);
  for (size_t left = size; left > 0;) {
    for (uint64_t& v : block) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      v = x;
    }
    size_t n = left < block.size() * 8 ? left : block.size() * 8;
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
    left -= n;
  }
  out.close();
  rename(aside.c_str(), path.c_str());
  return path;
}

struct fetch {
  int slot;
  std::string server, path, local;
  int result = 0;
};

// Polls every unfinished transfer in turn, as the frame loop does, until all have a result or
// two minutes pass.
void run_all(std::vector<fetch>& fetches) {
  auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  for (;;) {
    bool all = true;
    for (fetch& f : fetches) {
      if (!f.result) f.result = http.net_check(f.slot, f.server, f.path, f.local);
      all = all && f.result;
    }
    if (all || std::chrono::steady_clock::now() > give_up) return;
  }
}

class HttpServer : public ::testing::Test {
 protected:
  void SetUp() override {
    port = nginx_port();
    ASSERT_NE(port, 0) << "nginx did not start";
    shell_double::reopen_log();
    for (int i = 0; i < 6; ++i) http.cancel(i);
    http.proxy_host = "127.0.0.1";
    http.proxy_port = port;
    http.direct_port = 80;
    gProxyExclude.clear();
  }
  void TearDown() override {
    for (int i = 0; i < 6; ++i) http.cancel(i);
    http.proxy_host.clear();
    http.proxy_port = 0;
  }
  unsigned short port = 0;
  temp_tree tree;
};

const size_t big = 200u << 20;
}  // namespace

TEST_F(HttpServer, FilesOnOneSlot) {
  struct row {
    const char* name;
    size_t size;
  } rows[] = {{"empty.bin", 0}, {"small.bin", 3000}, {"big.bin", big}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    std::string served = served_file("mirror-a.test", r.name, r.size);
    std::vector<fetch> f = {{0, "mirror-a.test", "/" + folder + r.name, tree.path() + r.name}};
    run_all(f);
    EXPECT_EQ(f[0].result, 1);
    EXPECT_EQ(md5sum_of(f[0].local), md5sum_of(served));
    remove(f[0].local.c_str());
  }
  EXPECT_EQ(shell_double::log_text(), "");
}

TEST_F(HttpServer, FilesOnFourSlotsAtOnce) {
  std::string served[] = {served_file("mirror-a.test", "big.bin", big),
                          served_file("mirror-b.test", "big2.bin", big),
                          served_file("mirror-a.test", "small.bin", 3000),
                          served_file("mirror-a.test", "empty.bin", 0)};
  std::vector<fetch> f = {
      {2, "mirror-a.test", "/" + folder + "big.bin", tree.path() + "2"},
      {3, "mirror-b.test", "/" + folder + "big2.bin", tree.path() + "3"},
      {4, "mirror-a.test", "/" + folder + "small.bin", tree.path() + "4"},
      {5, "mirror-a.test", "/" + folder + "empty.bin", tree.path() + "5"},
  };
  run_all(f);
  for (size_t i = 0; i < f.size(); ++i) {
    EXPECT_EQ(f[i].result, 1) << i;
    EXPECT_EQ(md5sum_of(f[i].local), md5sum_of(served[i])) << i;
  }
}

TEST_F(HttpServer, HostNamePicksTheServer) {
  make_folders(nginx_root("update.test") + folder);
  write_whole_file(nginx_root("update.test") + folder + "serverlist9.txt", "update host\n");
  make_folders(nginx_root("mirror-b.test") + folder);
  write_whole_file(nginx_root("mirror-b.test") + folder + "serverlist9.txt", "mirror b\n");
  std::vector<fetch> f = {
      {0, "update.test", "/" + folder + "serverlist9.txt", tree.path() + "u"},
      {1, "mirror-b.test", "/" + folder + "serverlist9.txt", tree.path() + "b"},
  };
  run_all(f);
  EXPECT_EQ(f[0].result, 1);
  EXPECT_EQ(f[1].result, 1);
  EXPECT_EQ(read_whole_file(tree.path() + "u"), "update host\n");
  EXPECT_EQ(read_whole_file(tree.path() + "b"), "mirror b\n");
}

TEST_F(HttpServer, ErrorStatusesFailWithTheReport) {
  struct row {
    const char* path;
    const char* response;
  } rows[] = {{"/http_server_test/missing.zip", "   response   =Not Found (#404)\n\n"},
              {"/status/500", "   response   =Internal Server Error (#500)\n\n"}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.path);
    shell_double::reopen_log();
    std::string local = tree.path() + "error.html";
    std::vector<fetch> f = {{0, "mirror-a.test", r.path, local}};
    run_all(f);
    EXPECT_EQ(f[0].result, 2);
    std::string log = shell_double::log_text();
    EXPECT_EQ(log.find("HTTP Error for " + local + "\n   server     =mirror-a.test\n   file       =" +
                       std::string(r.path) + "\n   IsDone     =1\n   IsComplete =1\n"),
              0u)
        << log;
    EXPECT_NE(log.find(r.response), std::string::npos) << log;
    // The error page itself lands in the local file, as the report's IsComplete says.
    EXPECT_NE(read_whole_file(local).find("nginx"), std::string::npos);
  }
}

TEST_F(HttpServer, ExcludedHostGoesDirect) {
  // The proxy is a raw peer that would answer 502; the excluded host must reach nginx directly.
  raw_peer proxy({peer::send("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")});
  http.proxy_port = proxy.port();
  http.direct_port = port;
  gProxyExclude = {"host"};
  make_folders(nginx_root("default.test") + folder);
  write_whole_file(nginx_root("default.test") + folder + "direct.txt", "direct\n");

  std::vector<fetch> f = {{0, "localhost", "/" + folder + "direct.txt", tree.path() + "d"}};
  run_all(f);
  EXPECT_EQ(f[0].result, 1);
  EXPECT_EQ(read_whole_file(tree.path() + "d"), "direct\n");
  EXPECT_EQ(proxy.connections(), 0u);

  // A host the list does not name still goes through the proxy.
  std::vector<fetch> g = {{0, "mirror-a.test", "/" + folder + "direct.txt", tree.path() + "p"}};
  run_all(g);
  EXPECT_EQ(g[0].result, 2);
  EXPECT_EQ(proxy.connections(), 1u);
}
