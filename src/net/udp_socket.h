// IPv4 datagram socket bound to a local port, optionally non-blocking. Stands in for the
// original's BSD UDP socket class on Mac OS X; the same calls on Linux, which doubles buffer
// sizes on read-back and caps them at rmem_max/wmem_max instead of refusing. Nothing in the
// installer sends datagrams; the class is kept with the socket layer.
#pragma once

#include <netinet/in.h>

class PCSBSocketUDP {
 public:
  enum { udp_buffer_size_snd = 16384, udp_buffer_size_rcv = 65536 };

  PCSBSocketUDP() = default;
  virtual ~PCSBSocketUDP();
  PCSBSocketUDP(const PCSBSocketUDP&) = delete;
  PCSBSocketUDP& operator=(const PCSBSocketUDP&) = delete;

  // Creates the socket and binds it to port on every local address; mode 2 makes it
  // non-blocking. 1 on success, 0 on failure (no descriptor is kept).
  int udp_init(unsigned short port, int mode);
  // Address and port in host byte order. Returns what sendto returns.
  long udp_WriteData(void* data, long length, unsigned long address, unsigned short port);
  // Returns what recvfrom returns; always writes the sender (0 and 0 when nothing came).
  long ReadData(void* buffer, long size, unsigned long* address, unsigned short* port);
  void Cleanup();
  void size_buffer();

  int fd = -1;
  sockaddr_in local_address{};
};
