#include "net/udp_socket.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/shell_double.h"

namespace {
unsigned short bound_port(const PCSBSocketUDP& s) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  getsockname(s.fd, reinterpret_cast<sockaddr*>(&addr), &len);
  return ntohs(addr.sin_port);
}

int open_descriptors() {
  int n = 0;
  DIR* d = opendir("/proc/self/fd");
  while (readdir(d)) ++n;
  closedir(d);
  return n;
}
}  // namespace

TEST(UdpSocket, DatagramsCarryTheSender) {
  PCSBSocketUDP a, b;
  ASSERT_EQ(a.udp_init(0, 2), 1);
  ASSERT_EQ(b.udp_init(0, 2), 1);
  char msg[] = "ping";
  EXPECT_EQ(a.udp_WriteData(msg, 4, INADDR_LOOPBACK, bound_port(b)), 4);

  char buf[64];
  unsigned long address = 1;
  unsigned short port = 1;
  long n = -1;
  for (int i = 0; i < 5000 && n < 0; ++i) {
    n = b.ReadData(buf, sizeof buf, &address, &port);
    if (n < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(n, 4);
  EXPECT_EQ(std::string(buf, 4), "ping");
  EXPECT_EQ(address, static_cast<unsigned long>(INADDR_LOOPBACK));
  EXPECT_EQ(port, bound_port(a));

  // Non-blocking with nothing waiting: -1, and the sender reads as 0 and 0.
  EXPECT_EQ(b.ReadData(buf, sizeof buf, &address, &port), -1);
  EXPECT_EQ(address, 0u);
  EXPECT_EQ(port, 0);
}

TEST(UdpSocket, PortInUseAndRepeatedSetUp) {
  PCSBSocketUDP a, b;
  ASSERT_EQ(a.udp_init(0, 2), 1);
  EXPECT_EQ(b.udp_init(bound_port(a), 2), 0);
  EXPECT_EQ(b.fd, -1);
  b.Cleanup();
  EXPECT_EQ(b.fd, -1);

  // Setting up again must not leave the first descriptor open.
  int before = open_descriptors();
  ASSERT_EQ(a.udp_init(0, 2), 1);
  EXPECT_EQ(open_descriptors(), before);
}

TEST(UdpSocket, ReadWithoutSocketRaisesTheFatalAlert) {
  shell_double::reset();
  PCSBSocketUDP s;
  char buf[8];
  unsigned long address = 7;
  unsigned short port = 7;
  EXPECT_EQ(s.ReadData(buf, sizeof buf, &address, &port), -1);
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[0], "Bad mWinSocket!");
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(alerts[0].line, 102);
  EXPECT_EQ(address, 0u);
  EXPECT_EQ(port, 0);
}
