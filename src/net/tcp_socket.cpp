#include "net/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
// Errors that end a connection in the ordinary way rather than signalling a fault of ours.
bool is_closing_error(int err) {
  switch (err) {
    case ECONNABORTED:
    case ECONNREFUSED:
    case ECONNRESET:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETRESET:
    case ENETUNREACH:
    case ETIMEDOUT:
      return true;
    default:
      return false;
  }
}

bool would_block(int err) { return err == EAGAIN || err == EWOULDBLOCK || err == EINTR; }

bool set_non_blocking(int fd) {
  int flags = fcntl(fd, F_GETFL, 0);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}
}  // namespace

PCSBSocket::PCSBSocket(unsigned short port, bool listen) {
  fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    fprintf(stderr, "LINUX: NET: I could not even create the socket! Uh-oh!\n");
    fail(errno);
    return;
  }
  int one = 1;
  if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0)
    printf("-----------------------Could not set TCP_NODELAY on port %d-------------\n", port);

  // A client's port is then picked by connect, for its one destination: binding port 0 would
  // search for a port free for every destination, which takes milliseconds once thousands of
  // earlier connections wait out their TIME_WAIT (a web update makes one per file).
  if (!listen && port == 0) setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &one, sizeof one);

  sockaddr_in addr;
  memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    fprintf(stderr, "LINUX: NET: I could not even bind the socket! Uh-oh!\n");
    fail(errno);
    return;
  }
  set_non_blocking(fd);
  if (listen) {
    listening = true;
    if (::listen(fd, 128) != 0) {
      fprintf(stderr, "LINUX: NET: I could not start listening! Uh-oh!\n");
      fail(errno);
    }
  }
}

PCSBSocket::PCSBSocket(int accepted) : fd(accepted), status(state_connected) {
  set_non_blocking(fd);
}

PCSBSocket::~PCSBSocket() {
  if (fd >= 0) {
    shutdown(fd, SHUT_RDWR);
    close(fd);
  }
}

void PCSBSocket::fail(int err) {
  status = state_error;
  os_error = err;
}

void PCSBSocket::Connect(unsigned long address, unsigned short port) {
  status = state_connecting;
  sockaddr_in addr;
  memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = static_cast<in_addr_t>(address);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    status = state_connected;
    return;
  }
  int err = errno;
  if (err == EINPROGRESS || would_block(err)) return;
  fprintf(stderr, "LINUX: NET: Some sort of connect error! %d\n", err);
  fail(err);
}

int PCSBSocket::GetStatus() {
  if (status == state_idle && listening) {
    pollfd p = {fd, POLLIN, 0};
    int ready = poll(&p, 1, 0);
    if (ready > 0) {
      status = (p.revents & POLLIN) ? state_connecting : state_closed;
    } else if (ready < 0 && errno != EINTR) {
      int err = errno;
      fprintf(stderr, "LINUX: NET: Some sort of socket error! %d\n", ready);
      fail(err);
    }
  } else if (status == state_connecting && !listening) {
    pollfd p = {fd, POLLOUT, 0};
    int ready = poll(&p, 1, 0);
    if (ready > 0) {
      // A failed non-blocking connect also turns writable: only SO_ERROR tells the outcome.
      int err = 0;
      socklen_t len = sizeof err;
      if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
      if (err == 0 && (p.revents & POLLOUT) && !(p.revents & (POLLERR | POLLHUP))) {
        status = state_connected;
      } else {
        if (err == 0) err = ECONNREFUSED;
        os_error = err;
        status = is_closing_error(err) ? state_closed : state_error;
      }
    } else if (ready < 0 && errno != EINTR) {
      int err = errno;
      fprintf(stderr,
              "LINUX: NET: Some sort of socket error while connecting! %d (errno=%d sock=%d)\n",
              ready, err, fd);
      fail(err);
    }
  }
  return status;
}

long PCSBSocket::transfer_failed(const char* message) {
  int err = errno;
  if (would_block(err)) return 0;
  if (is_closing_error(err)) {
    status = state_closed;
    return -1;
  }
  fprintf(stderr, message, err);
  fail(err);
  return -1;
}

long PCSBSocket::ReadData(void* buffer, long size) {
  ssize_t n = recv(fd, buffer, static_cast<size_t>(size), 0);
  if (n > 0) return n;
  if (n == 0) {
    received_release = true;
    if (released) {
      status = state_closed;
      return -1;
    }
    return 0;
  }
  return transfer_failed("LINUX: NET: Some sort of error while recving! %d\n");
}

long PCSBSocket::http_WriteData(const void* data, long length) {
  // MSG_NOSIGNAL guards against SIGPIPE even where the process has not ignored it.
  ssize_t n = send(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
  if (n >= 0) return n;
  return transfer_failed("LINUX: NET: Some sort of error while sending! %d\n");
}

void PCSBSocket::Disconnect() {
  shutdown(fd, SHUT_RDWR);
  status = state_closed;
}

void PCSBSocket::Release() {
  released = true;
  if (shutdown(fd, SHUT_WR) != 0) fail(errno);
}

PCSBSocket* PCSBSocket::Accept() {
  status = state_idle;
  int conn = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
  if (conn < 0) return nullptr;
  return new PCSBSocket(conn);
}

void PCSBSocket::GetAddresses(ConnectionData* out) {
  sockaddr_in addr;
  socklen_t len = sizeof addr;
  memset(&addr, 0, sizeof addr);
  getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  out->peer_address = addr.sin_addr.s_addr;
  out->peer_port = ntohs(addr.sin_port);
  len = sizeof addr;
  memset(&addr, 0, sizeof addr);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  out->local_address = ntohl(addr.sin_addr.s_addr);
  out->local_port = ntohs(addr.sin_port);
}

unsigned long PCSBSocket::LookupAddress(const char* name) {
  in_addr dotted;
  if (inet_pton(AF_INET, name, &dotted) == 1) return dotted.s_addr;
  addrinfo hints;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return 0;
  unsigned long address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return address;
}

bool PCSBSocket::StartupNetworking(bool) { return true; }

void PCSBSocket::ShutdownNetworking(bool) {}

int printf_null(const char*, ...) { return 0; }
