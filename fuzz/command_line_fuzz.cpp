// The command-line parsers on arbitrary input: the one-string tokeniser on the bytes up to the
// first NUL, and the argv parser on the bytes split at NULs. Names never hold white space or
// "=" from the tokeniser, and every argument yields exactly one entry's worth of work.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/command_line.h"
#include "runtime/shell_services.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  xer.close();  // the echo lines would only fill the disk
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  UTL_cmdline line;
  line.parse_win(bytes.c_str());
  for (const auto& entry : line) {
    if (entry.first.empty()) std::abort();
    for (char c : entry.first)
      if (c == '=' || std::isspace(static_cast<unsigned char>(c))) std::abort();
    for (char c : entry.second)
      if (std::isspace(static_cast<unsigned char>(c))) std::abort();
  }

  std::vector<std::string> args{"skyrill"};
  size_t start = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || bytes[i] == 0) {
      args.push_back(bytes.substr(start, i - start));
      start = i + 1;
    }
  }
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  UTL_cmdline unix_style;
  unix_style.parse_unix(static_cast<int>(argv.size()), argv.data());
  if (unix_style.size() > args.size() - 1) std::abort();
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string name = args[i].substr(0, args[i].find('='));
    if (!unix_style.count(name)) std::abort();
  }
  return 0;
}
