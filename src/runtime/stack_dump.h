// Diagnostics for when something has gone badly wrong: a stack dump that names each return
// address by symbol, source line and image offset, the symbol lookup behind it, a test whether
// a memory range is mapped with given access, a hex dump, and the start-up step that keeps a
// closed network connection from killing the process.
#pragma once

#include <cstddef>
#include <cstdio>

struct symbol_info {
  char image[1024];  // "" when not found
  void* image_base;
  char symbol[1024];
  void* symbol_address;
  char source_file[1024];
  int line;  // -1 when not found
};

// A frame-pointer record as the compiler lays it out: the caller's saved frame pointer, then
// the return address.
struct stack_frame {
  stack_frame* next;
  void* return_address;
};

// Ignores SIGPIPE, so that a write to a socket the peer has closed returns EPIPE.
void UTL_debug_init();
void UTL_get_debug_symbol(void* address, symbol_info* info);
// "name + off (file:line) (image + off)" and a newline.
void print_symbol(FILE* file, void* address);
// One numbered line per frame, at most 100, starting at start (or at the caller of this
// function) and preceded by pc when given. Stops at a frame that is not mapped readable and
// writable, a saved frame pointer that does not move towards older frames, or null.
void UTL_dump_stack(FILE* file, stack_frame* start, void* pc);
// 1 when the whole range is mapped with the wanted access; an empty range is valid.
int UTL_valid_memory(const void* start, size_t length, int want_read, int want_write);
// count bytes in rows of 16: hex in groups of four, then the printable characters.
void dump_hex(FILE* file, const void* data, int count);
