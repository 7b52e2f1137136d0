// The global allocation operators: every `new` and `delete` of the program goes to the pooled
// allocator (nedmalloc and nedfree), unless the build routes them to the system malloc
// (SKY_SYSTEM_MALLOC, on in the sanitizer builds so that the sanitizers see every block).
// The forms that take the requesting source file and line accept them and record nothing.
#pragma once

#include <cstddef>
#include <new>

void* operator new(std::size_t size, const char* file, int line);
void* operator new[](std::size_t size, const char* file, int line);
void* operator new(std::size_t size, const std::nothrow_t&, const char* file, int line) noexcept;
void* operator new[](std::size_t size, const std::nothrow_t&, const char* file, int line) noexcept;

// Called only when a constructor throws inside a new-expression of the forms above.
void operator delete(void* p, const char* file, int line) noexcept;
void operator delete[](void* p, const char* file, int line) noexcept;
void operator delete(void* p, const std::nothrow_t&, const char* file, int line) noexcept;
void operator delete[](void* p, const std::nothrow_t&, const char* file, int line) noexcept;

// Whether this build's operators use the pooled allocator.
bool allocation_operators_use_pool();
