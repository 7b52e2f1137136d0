#include "support/temp_tree.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

temp_tree::temp_tree() {
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/sky_test_XXXXXX";
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  root_ = templ + "/";
}

temp_tree::~temp_tree() { remove_tree(root_); }

std::string temp_tree::write(const std::string& relative, const std::string& content) const {
  std::string full = root_ + relative;
  auto slash = full.rfind('/');
  make_folders(full.substr(0, slash + 1));
  write_whole_file(full, content);
  return full;
}

void write_whole_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool path_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

void make_folders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
  }
}

static int remove_entry(const char* p, const struct stat*, int, struct FTW*) {
  std::remove(p);
  return 0;
}

void remove_tree(const std::string& path) {
  // Folders made read-only by a test must still go.
  nftw(path.c_str(), [](const char* p, const struct stat* st, int type, struct FTW*) {
    if (type == FTW_D) chmod(p, st->st_mode | S_IRWXU);
    return 0;
  }, 64, FTW_PHYS);
  nftw(path.c_str(), remove_entry, 64, FTW_DEPTH | FTW_PHYS);
}

current_folder_guard::current_folder_guard(const std::string& folder) {
  char* cwd = getcwd(nullptr, 0);
  previous_ = cwd ? cwd : "/";
  free(cwd);
  if (chdir(folder.c_str()) != 0) throw std::runtime_error("cannot enter " + folder);
}

current_folder_guard::~current_folder_guard() {
  if (chdir(previous_.c_str()) != 0) {
    // Nothing sensible is left to do in a destructor; the next test starts from wherever this is.
  }
}
