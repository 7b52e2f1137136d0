// Scratch folders and files for tests: a private folder removed with everything in it when the
// object goes, and small helpers to write and read whole files.
#pragma once

#include <string>

class temp_tree {
 public:
  temp_tree();
  ~temp_tree();
  temp_tree(const temp_tree&) = delete;
  temp_tree& operator=(const temp_tree&) = delete;

  // The folder, ending with "/".
  const std::string& path() const { return root_; }
  // Writes a file below the folder (making its parent folders) and returns its full path.
  std::string write(const std::string& relative, const std::string& content) const;

 private:
  std::string root_;
};

// Makes folder the current folder (the program's relative paths resolve against it) for the
// guard's lifetime, then goes back.
class current_folder_guard {
 public:
  explicit current_folder_guard(const std::string& folder);
  ~current_folder_guard();
  current_folder_guard(const current_folder_guard&) = delete;
  current_folder_guard& operator=(const current_folder_guard&) = delete;

 private:
  std::string previous_;
};

// Whole-file helpers; read_whole_file returns "" for a missing file.
void write_whole_file(const std::string& path, const std::string& content);
std::string read_whole_file(const std::string& path);
bool path_exists(const std::string& path);
// Makes every missing folder of path (which names a folder).
void make_folders(const std::string& path);
// Removes a tree without following links.
void remove_tree(const std::string& path);
