// The translation file loader over arbitrary bytes: a damaged or hand-edited translation file
// must load as some table, never crash or read past the file, and every text it enters must
// come back from a lookup. The placeholder engine runs over every translation it holds.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scratch_file.h"
#include "shell/placeholders.h"
#include "shell/translation.h"
#include "support/shell_double.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Half the inputs get a valid header, so the fuzzer reaches the record reader at once.
  const std::string& path =
      fuzz_scratch::write(data, size, size && (data[0] & 1) ? "I\n900 fuzz\nTRANSLATION\n" : "");
  translate_load_file(1 + (size & 1), path, "fuzz");
  // A record that made it in is found by its English text.
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find("====");
  if (split != std::string::npos) {
    std::string english = input.substr(0, split);
    std::vector<int> numbers;
    UTL_string_check(english, numbers);
    for (int n : numbers)
      if (n <= 0) std::abort();
    const std::string filled = UTL_string_sub(translate_lookup(english), "a%1:b%", "c", "d");
    (void)filled;
    std::string coded = english;
    char_string_to_int_string(coded);
    if (coded.size() % 2 && coded != english) std::abort();
  }
  UTL_translate_clear();
  shell_double::reset();
  return 0;
}
