// The disc identity file over arbitrary bytes: it comes from whatever disc the user puts in,
// so no input may read outside its bytes, and a name that is accepted is one line without line
// ends or blanks around it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "install/disc_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so that a read past the end is caught.
  std::vector<char> bytes(data, data + size);
  const char* begin = bytes.empty() ? nullptr : bytes.data();
  std::string name;
  if (parse_disc_identity(begin, begin ? begin + size : nullptr, &name)) {
    if (name.empty() || name.find_first_of("\r\n") != std::string::npos || name.back() == ' ' ||
        name.back() == '\t' || name.front() == ' ' || name.front() == '\t')
      std::abort();
    is_safe_release_name(name);
  }
  return 0;
}
