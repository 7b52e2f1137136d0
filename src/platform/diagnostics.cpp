#include "platform/diagnostics.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <elfutils/libdwfl.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::string demangle(const char* name) {
  if (!name || !*name) return "";
  int status = 0;
  char* d = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  if (status != 0 || !d) return name;
  std::string s = d;
  std::free(d);
  return s;
}

// One libdw session for the process, rebuilt when an address falls outside every module it
// knows (a library loaded since). libdw is not thread-safe, hence the lock.
std::mutex dwfl_lock;
Dwfl* session = nullptr;
char* debuginfo_path = nullptr;

Dwfl* open_session() {
  static const Dwfl_Callbacks callbacks = {dwfl_linux_proc_find_elf, dwfl_standard_find_debuginfo,
                                           nullptr, &debuginfo_path};
  Dwfl* d = dwfl_begin(&callbacks);
  if (!d) return nullptr;
  if (dwfl_linux_proc_report(d, getpid()) != 0 || dwfl_report_end(d, nullptr, nullptr) != 0) {
    dwfl_end(d);
    return nullptr;
  }
  return d;
}

Dwfl_Module* module_for(uintptr_t address) {
  if (!session) session = open_session();
  Dwfl_Module* m = session ? dwfl_addrmodule(session, address) : nullptr;
  if (!m) {
    if (session) dwfl_end(session);
    session = open_session();
    m = session ? dwfl_addrmodule(session, address) : nullptr;
  }
  return m;
}

}  // namespace

void platform_lookup_symbol(uintptr_t address, uintptr_t line_address, platform_symbol& out) {
  out = platform_symbol();
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(address), &info) == 0) return;
  if (info.dli_fname) out.image = info.dli_fname;
  out.image_base = reinterpret_cast<uintptr_t>(info.dli_fbase);
  out.name = demangle(info.dli_sname);
  out.address = reinterpret_cast<uintptr_t>(info.dli_saddr);

  // The dynamic loader knows only exported symbols; the image's full symbol table also names
  // local functions, and its line table gives the source position.
  std::lock_guard<std::mutex> g(dwfl_lock);
  Dwfl_Module* m = module_for(address);
  if (!m) return;
  GElf_Off offset = 0;
  GElf_Sym sym;
  const char* name = dwfl_module_addrinfo(m, address, &offset, &sym, nullptr, nullptr, nullptr);
  if (name && *name) {
    out.name = demangle(name);
    out.address = address - offset;
  }
  if (Dwfl_Line* line = dwfl_module_getsrc(m, line_address)) {
    int number = 0;
    const char* file = dwfl_lineinfo(line, nullptr, &number, nullptr, nullptr, nullptr);
    if (file) {
      out.source_file = file;
      out.line = number;
    }
  }
}

platform_system_facts platform_system_facts_now() {
  platform_system_facts facts;
  utsname u;
  if (uname(&u) == 0) {
    facts.os_name = std::string(u.sysname) + " " + u.release;
    facts.cpu_type = u.machine;
  }
  if (FILE* f = std::fopen("/proc/cpuinfo", "re")) {
    char line[1024];
    while (std::fgets(line, sizeof line, f)) {
      const char* colon = std::strchr(line, ':');
      if (!colon) continue;
      std::string key(line, colon - line);
      while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
      std::string value = colon + 1;
      while (!value.empty() && (value.front() == ' ')) value.erase(0, 1);
      while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.pop_back();
      if (key == "model name" && facts.cpu_model.empty()) facts.cpu_model = value;
      if (key == "cpu MHz" && facts.cpu_mhz < 0) facts.cpu_mhz = std::lround(std::atof(value.c_str()));
    }
    std::fclose(f);
  }
  struct sysinfo si;
  if (sysinfo(&si) == 0)
    facts.ram_mb = static_cast<long>(static_cast<uint64_t>(si.totalram) * si.mem_unit / (1024 * 1024));
  return facts;
}
