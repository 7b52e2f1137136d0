// Diagnostics of the running process. Replaces the dynamic loader's symbol lookup plus the
// Mach-O symbol-table walk (here dladdr, then the image's ELF symbol table and DWARF line
// table through elfutils libdw), Mach vm_region (here /proc/self/maps) and the Gestalt facts of
// the log header (uname, /proc/cpuinfo, sysinfo). Nothing here knows the bus speed; memory
// regions report read and write access only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What is known about one code address; empty texts, zero addresses and line -1 when unknown.
struct platform_symbol {
  std::string image;  // path of the loaded image
  uintptr_t image_base = 0;
  std::string name;  // demangled where possible
  uintptr_t address = 0;
  std::string source_file;
  int line = -1;
};
// Looks up address; the source line is taken at line_address, which a caller naming a return
// address sets one byte back so that the line is the call's, not the next statement's.
void platform_lookup_symbol(uintptr_t address, uintptr_t line_address, platform_symbol& out);


// Machine facts for the log header; an empty text or a negative number when unknown.
struct platform_system_facts {
  std::string os_name;     // "Linux 6.1.0-18-amd64"
  std::string cpu_type;    // machine, "x86_64"
  std::string cpu_model;   // "Intel(R) Xeon(R) ..."
  long cpu_mhz = -1;
  long ram_mb = -1;
};
platform_system_facts platform_system_facts_now();
