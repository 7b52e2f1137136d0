// The server list reader on arbitrary replies: no read past the file, at most ten mirrors, and
// every mirror kept is one the HTTP client can be asked for (a host without "/" or blanks, a
// path from the root ending "/").
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scratch_file.h"
#include "wizard/server_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int beta = size > 0 && (data[0] & 1);
  const std::string& path = fuzz_scratch::write(data, size);
  std::string name = "start";
  server_list_contents list;
  server_list_result r = read_server_list_file(path, beta, &name, &list);
  if (r != server_list_read && r != server_list_not_a_list && r != server_list_newer) std::abort();
  if (r != server_list_read && (!list.servers.empty() || list.newer_installer)) std::abort();
  if (list.servers.size() > max_servers) std::abort();
  for (const server_record& s : list.servers) {
    if (s.host.empty() || s.host.back() == '/') std::abort();
    for (char c : s.host)
      if (static_cast<unsigned char>(c) <= ' ' || c == '/') std::abort();
    if (s.path.size() < 2 || s.path.front() != '/' || s.path.back() != '/') std::abort();
  }
  return 0;
}
