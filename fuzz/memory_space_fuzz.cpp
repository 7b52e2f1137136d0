// Operation sequences from the fuzzer over a fresh memory space: the invariant checker runs
// after every step and the live-block model checks overlap and content.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "support/memory_space_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mspace sp = create_mspace(0, 1);
  if (!sp) return 0;
  std::string err;
  {
    memory_checker::space_model model(sp);
    memory_checker::choice_source src(data, size);
    err = model.run(src, 400);
  }
  if (err.empty()) err = memory_checker::check_space(sp);
  destroy_mspace(sp);
  if (!err.empty()) {
    std::fprintf(stderr, "memory space fault: %s\n", err.c_str());
    std::abort();
  }
  return 0;
}
