// Helpers for the archive tests: random file trees, crafted zips made with Python's zipfile
// (exact names, attributes and host bytes), and comparison of extracted trees by MD5.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_tree.h"

struct crafted_entry {
  std::string name;
  std::string data;
  uint32_t external_attr = 0x81A40000u;  // -rw-r--r--
  int create_system = 3;                 // 3 Unix, 0 MS-DOS
  bool deflate = true;
};

inline std::string to_hex(const std::string& bytes) {
  static const char hex[] = "0123456789abcdef";
  std::string s;
  for (unsigned char c : bytes) {
    s += hex[c >> 4];
    s += hex[c & 15];
  }
  return s;
}

inline std::string py_quote_hex(const std::string& bytes) { return "'" + to_hex(bytes) + "'"; }

// Writes a zip holding the entries in order, dated 2020-01-02 03:04:06.
inline bool make_crafted_zip(const std::string& path, const std::vector<crafted_entry>& entries) {
  std::string script =
      "import zipfile,sys,binascii\n"
      "z=zipfile.ZipFile(sys.argv[1],'w')\n"
      "attrs=[]\n"
      "for name,data,attr,system,deflate in [\n";
  for (const auto& e : entries)
    script += "  (binascii.unhexlify(" + py_quote_hex(e.name) + ").decode('utf-8','surrogateescape')," +
              "binascii.unhexlify(" + py_quote_hex(e.data) + ")," + std::to_string(e.external_attr) +
              "," + std::to_string(e.create_system) + "," + (e.deflate ? "True" : "False") + "),\n";
  script +=
      "]:\n"
      "  attrs.append(attr)\n"
      "  zi=zipfile.ZipInfo(name,(2020,1,2,3,4,6))\n"
      "  zi.external_attr=attr\n"
      "  zi.compress_type=zipfile.ZIP_DEFLATED if deflate else zipfile.ZIP_STORED\n"
      "  zi.create_system=system\n"
      "  z.writestr(zi,data)\n"
      "z.close()\n"
      // zipfile turns external attributes 0 into 0600; put the 0 back in the central records.
      "b=bytearray(open(sys.argv[1],'rb').read())\n"
      "pos=b.find(b'PK\\x01\\x02')\n"
      "for a in attrs:\n"
      "  if a==0: b[pos+38:pos+42]=bytes(4)\n"
      "  n,m,k=int.from_bytes(b[pos+28:pos+30],'little'),int.from_bytes(b[pos+30:pos+32],'little'),int.from_bytes(b[pos+32:pos+34],'little')\n"
      "  pos+=46+n+m+k\n"
      "open(sys.argv[1],'wb').write(b)\n";
  // The system's own interpreter: version-manager shims on PATH cost a second per start.
  const char* python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
  return run_process({python, "-", path}, script).exit_code == 0;
}

inline std::string random_bytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

inline mode_t mode_of(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// Every path below root (relative, sorted), folders ending in '/'.
inline std::vector<std::string> list_tree(const std::string& root) {
  auto r = run_process({"find", ".", "-mindepth", "1", "-printf", "%P%y\\n"}, "", {}, root);
  std::vector<std::string> out;
  size_t start = 0;
  while (start < r.out.size()) {
    size_t nl = r.out.find('\n', start);
    std::string line = r.out.substr(start, nl - start);
    start = nl + 1;
    if (line.empty()) continue;
    char kind = line.back();
    line.pop_back();
    out.push_back(kind == 'd' ? line + "/" : line);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The 7z tool, whichever name this system gives it ("" when missing).
inline std::string seven_zip_tool() {
  for (const char* name : {"7z", "7zz", "7za"})
    if (run_process({"sh", "-c", std::string("command -v ") + name}).exit_code == 0) return name;
  return "";
}
