#include "net/udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/shell_services.h"

PCSBSocketUDP::~PCSBSocketUDP() { Cleanup(); }

int PCSBSocketUDP::udp_init(unsigned short port, int mode) {
  // A second set-up must not leak the first descriptor.
  Cleanup();
  memset(&local_address, 0, sizeof local_address);
  local_address.sin_family = AF_INET;
  local_address.sin_port = htons(port);
  local_address.sin_addr.s_addr = htonl(INADDR_ANY);

  fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd < 0) {
    fd = -1;
    return 0;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&local_address), sizeof local_address) != 0) {
    Cleanup();
    return 0;
  }
  if (mode == 2) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
      __MACIBM_alert(0, "Could not set net to non-blocking!", "", "", "", t_alert,
                     "RIzirud/Sockets/PCSBSocketUDP.lin", 62);
      Cleanup();
      return 0;
    }
  }
  size_buffer();
  return 1;
}

void PCSBSocketUDP::size_buffer() {
  // Buffer sizes only tune throughput, so a refusal is worth a log line, not the end of the run.
  int snd = udp_buffer_size_snd, rcv = udp_buffer_size_rcv;
  socklen_t len = sizeof snd;
  bool ok = setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &snd, sizeof snd) == 0;
  ok = getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &snd, &len) == 0 && ok;
  ok = setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcv, sizeof rcv) == 0 && ok;
  len = sizeof rcv;
  ok = getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcv, &len) == 0 && ok;
  if (!ok) xer << "Could not set socket size! (errno " << errno << ")\n";
}

long PCSBSocketUDP::udp_WriteData(void* data, long length, unsigned long address,
                                  unsigned short port) {
  sockaddr_in to;
  memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(static_cast<uint32_t>(address));
  return sendto(fd, data, static_cast<size_t>(length), 0, reinterpret_cast<sockaddr*>(&to),
                sizeof to);
}

long PCSBSocketUDP::ReadData(void* buffer, long size, unsigned long* address,
                             unsigned short* port) {
  if (fd < 0)
    __MACIBM_alert(0, "Bad mWinSocket!", "", "", "", t_exit, "RIzirud/Sockets/PCSBSocketUDP.lin",
                   102);
  // recvfrom leaves the record untouched when it fails, so it starts zeroed.
  sockaddr_in from;
  memset(&from, 0, sizeof from);
  socklen_t len = sizeof from;
  long n = recvfrom(fd, buffer, static_cast<size_t>(size), 0, reinterpret_cast<sockaddr*>(&from),
                    &len);
  *address = ntohl(from.sin_addr.s_addr);
  *port = ntohs(from.sin_port);
  return n;
}

void PCSBSocketUDP::Cleanup() {
  if (fd != -1) close(fd);
  fd = -1;
}
