#include "files/pe_header_patch.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "files/error_codes.h"
#include "files/paths.h"

namespace {

const uint16_t kDosMagic = 0x5A4D;          // "MZ"
const uint32_t kPeSignature = 0x00004550;   // "PE\0\0"
const uint16_t kLargeAddressAware = 0x0020;
const long kPeOffsetAt = 60;
const int kCharacteristicsAt = 22;          // from the signature: 4 + 18 bytes of COFF header

uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int finish(FILE* f, int code) {
  if (fclose(f) != 0 && code == 0) return errno;
  return code;
}

}  // namespace

int make_file_large_address_aware(const std::string& path) {
  std::string p = path;
  set_path_to_full(p);
  FILE* f = fopen(p.c_str(), "r+be");
  if (!f) return errno;

  unsigned char dos[64];
  if (fread(dos, 1, sizeof dos, f) != sizeof dos) return finish(f, EIO);
  if ((dos[0] | dos[1] << 8) != kDosMagic) return finish(f, err_not_dos_exe);

  const int32_t pe_at = static_cast<int32_t>(le32(dos + kPeOffsetAt));
  if (fseek(f, pe_at, SEEK_SET) != 0) return finish(f, errno);
  unsigned char pe[24];
  if (fread(pe, 1, sizeof pe, f) != sizeof pe) return finish(f, EIO);
  if (le32(pe) != kPeSignature) return finish(f, err_no_pe_signature);

  pe[kCharacteristicsAt] |= kLargeAddressAware;
  if (fseek(f, pe_at, SEEK_SET) != 0) return finish(f, errno);
  if (fwrite(pe, 1, sizeof pe, f) != sizeof pe) return finish(f, EIO);
  return fclose(f) == 0 ? 0 : errno;
}
