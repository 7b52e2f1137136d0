// Linked into every program as an object of its own (see src/runtime/CMakeLists.txt): a
// replacement operator in a static library would be used only if something happened to pull
// its object file in.
#include "runtime/memory/allocation_operators.h"

#include <cstdlib>

#include "runtime/memory/pooled_allocator.h"

#ifndef SKY_SYSTEM_MALLOC

namespace {

// The standard loop: retry while a new-handler is installed and returns.
void* allocate(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* p = nedmalloc(size)) return p;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* allocate_nothrow(std::size_t size) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

inline void release(void* p) noexcept {
  if (p) nedfree(p);
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate_nothrow(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate_nothrow(size); }
void* operator new(std::size_t size, const char*, int) { return allocate(size); }
void* operator new[](std::size_t size, const char*, int) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&, const char*, int) noexcept {
  return allocate_nothrow(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&, const char*, int) noexcept {
  return allocate_nothrow(size);
}

void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const char*, int) noexcept { release(p); }
void operator delete[](void* p, const char*, int) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&, const char*, int) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&, const char*, int) noexcept { release(p); }

bool allocation_operators_use_pool() { return true; }

#else  // the standard library's operators (and the sanitizers' interceptors) stay in place

void* operator new(std::size_t size, const char*, int) { return ::operator new(size); }
void* operator new[](std::size_t size, const char*, int) { return ::operator new[](size); }
void* operator new(std::size_t size, const std::nothrow_t& nt, const char*, int) noexcept {
  return ::operator new(size, nt);
}
void* operator new[](std::size_t size, const std::nothrow_t& nt, const char*, int) noexcept {
  return ::operator new[](size, nt);
}
void operator delete(void* p, const char*, int) noexcept { ::operator delete(p); }
void operator delete[](void* p, const char*, int) noexcept { ::operator delete[](p); }
void operator delete(void* p, const std::nothrow_t&, const char*, int) noexcept { ::operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&, const char*, int) noexcept { ::operator delete[](p); }

bool allocation_operators_use_pool() { return false; }

#endif
