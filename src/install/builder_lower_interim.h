// Stand-ins for the file-layer calls the release builder makes (listing, file operations, zip
// creation, the executable patch, the house header writer, the mapped reader).
// Their own units are being written at the same time; these declarations match theirs, and this
// pair goes away once they are merged.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

int opensave_getitems(const std::string& folder, int type, std::vector<std::string>& names,
                      std::vector<int>& flags);
int delete_file(const std::string& path);
int make_folder(const std::string& path);
int dir_exists(const std::string& path);
int file_exists(const std::string& path);
int64_t APL_file_size(const std::string& path);
int is_sim_link(const std::string& path, std::string* target = nullptr);
int calc_file_md5(const std::string& path, std::string& digest);
int file_to_zip(const std::string& source, const std::string& archive);
int make_file_large_address_aware(const std::string& path);

extern std::ofstream ouf;
int ouf_open(std::string path, int type, int version, std::string notice);

class xmap_class {
 public:
  explicit xmap_class(const std::string& path);
  ~xmap_class();
  xmap_class(const xmap_class&) = delete;
  xmap_class& operator=(const xmap_class&) = delete;
  const char* retry(const std::string& path);
  const char* begin = nullptr;
  const char* end = nullptr;

 private:
  void release();
  int fd_ = 0;
};

// The install model and directory reader, as far as the builder reads them.
struct file_version_struct {
  int32_t platform = 0;
  int32_t version = 0;
  float zip_size = 0;
  float unz_size = 0;
  std::string sig_want;
  std::string path;
  int32_t do_install = 0;
};
using file_history_struct = std::vector<file_version_struct>;
extern std::vector<file_history_struct> sim_info;
enum { directory_read_ok = 3, directory_read_failed = 2 };
int read_directory(const std::string& path, const std::string& status);
