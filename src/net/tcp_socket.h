// Non-blocking IPv4 TCP socket for a caller that polls from the frame loop and must never wait.
// Stands in for the original's BSD socket layer on Mac OS X: the same calls, with poll() instead
// of select() (no limit on descriptor numbers), getaddrinfo() instead of gethostbyname(), the
// connect outcome read from SO_ERROR, and Linux errno values taken by name. Host look-up is the
// one call that may block. IPv6 is not handled.
#pragma once

#include <cstdint>

class PCSBSocket {
 public:
  // Connection states returned by GetStatus.
  enum {
    state_idle = 1,        // created, not connecting; a listener with nothing waiting
    state_connecting = 2,  // connecting; a listener with a connection waiting
    state_connected = 3,
    state_closed = 4,  // ended by this side, by a closing error, or by EOF after Release
    state_error = 5,   // os_error holds the errno
  };

  // Both ends of a connection. Peer address in network byte order (as Connect takes it), the
  // local address and every port in host byte order.
  struct ConnectionData {
    uint32_t local_address;
    uint16_t local_port;
    uint32_t peer_address;
    uint16_t peer_port;
  };

  // A new socket bound to every local address on port (0: any free port); a listener when
  // listen is set.
  PCSBSocket(unsigned short port, bool listen);
  // Adopts an accepted, connected descriptor.
  explicit PCSBSocket(int fd);
  virtual ~PCSBSocket();
  PCSBSocket(const PCSBSocket&) = delete;
  PCSBSocket& operator=(const PCSBSocket&) = delete;

  // Starts connecting to address (network byte order) and port (host byte order).
  void Connect(unsigned long address, unsigned short port);
  // The state after probing the socket with a zero time-out.
  int GetStatus();
  int GetOSError() const { return os_error; }
  bool ReceivedRelease() const { return received_release; }

  // Received byte count; 0 when nothing is waiting (or the peer closed while this side still
  // sends); -1 once the connection is over.
  long ReadData(void* buffer, long size);
  // Bytes the system took (0 when it would block); -1 once the connection is over.
  long http_WriteData(const void* data, long length);

  void Disconnect();
  // Closes the sending direction only.
  void Release();
  // One waiting connection as a new socket owned by the caller, or null.
  PCSBSocket* Accept();
  void GetAddresses(ConnectionData* out);

  // Dotted IPv4 text or the resolver's first IPv4 address, network byte order; 0 when unknown.
  static unsigned long LookupAddress(const char* name);
  static bool StartupNetworking(bool);
  static void ShutdownNetworking(bool);

  int descriptor() const { return fd; }

 private:
  void fail(int err);
  long transfer_failed(const char* message);

  int fd = -1;
  int status = state_idle;
  int os_error = 0;
  bool received_release = false;
  bool released = false;
  bool listening = false;
};

// A printf-shaped sink that prints nothing, for silencing diagnostics.
int printf_null(const char* format, ...);
