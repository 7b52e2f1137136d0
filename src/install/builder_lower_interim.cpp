#include "install/builder_lower_interim.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

int make_file_large_address_aware(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno;
  unsigned char dos[64];
  int rc = 0;
  if (read(fd, dos, 64) != 64) rc = EIO;
  else if (dos[0] != 'M' || dos[1] != 'Z') rc = 20013;
  if (rc == 0) {
    const int32_t pe = static_cast<int32_t>(dos[60] | dos[61] << 8 | dos[62] << 16 |
                                            static_cast<uint32_t>(dos[63]) << 24);
    unsigned char h[24];
    if (pe < 0 || pread(fd, h, 24, pe) != 24) rc = EIO;
    else if (std::memcmp(h, "PE\0\0", 4) != 0) rc = 20014;
    else {
      h[22] |= 0x20;
      if (pwrite(fd, h, 24, pe) != 24) rc = EIO;
    }
  }
  if (close(fd) != 0 && rc == 0) rc = errno;
  return rc;
}
