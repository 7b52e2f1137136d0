#include "web_mirror_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include <set>
#include <sstream>

#include "support/process.h"
#include "support/temp_tree.h"

std::string md5_of_text(const std::string& text) {
  return run_process({"md5sum"}, text).out.substr(0, 32);
}

namespace {
std::string folder_of(const std::string& p) { return p.substr(0, p.rfind('/') + 1); }
std::string leaf_of(const std::string& p) { return p.substr(p.rfind('/') + 1); }
std::string inside(const std::string& p) { return p.substr(p.find('/') + 1); }
}  // namespace

void write_archives(const release_tree& tree, const std::string& folder) {
  temp_tree work;
  for (const auto& [path, file] : tree) {
    std::string stage = work.path() + std::to_string(std::hash<std::string>()(path)) + "/";
    make_folders(stage);
    write_whole_file(stage + leaf_of(path), file.content);
    chmod((stage + leaf_of(path)).c_str(), file.mode);
    std::string archive = folder + path + ".zip";
    make_folders(folder_of(archive));
    unlink(archive.c_str());
    auto r = run_process({"zip", "-q", "-X", archive, leaf_of(path)}, "", {}, stage);
    if (r.exit_code != 0) throw std::runtime_error("zip failed: " + r.err);
  }
}

std::string directory_text(const release_tree& older, const release_tree& newer,
                           std::vector<release_entry>* newest) {
  std::set<std::string> paths;
  for (const auto& f : older) paths.insert(f.first);
  for (const auto& f : newer) paths.insert(f.first);
  std::ostringstream o;
  o << "I\n900 version\nINSTALLER\n\n";
  std::string folder = "\x01";
  for (const std::string& path : paths) {
    if (folder_of(path) != folder) {
      folder = folder_of(path);
      o << "\nDIR " << folder << "\n";
    }
    auto record = [&](int version, const release_file* f) {
      release_entry e;
      e.path = path;
      if (f) {
        e.sig = md5_of_text(f->content);
        e.unz_kb = static_cast<int>(f->content.size() / 1000);
        e.zip_kb = e.unz_kb;
      } else {
        e.sig = "GONE";
      }
      o << "FILE 0 0 " << version << " " << e.zip_kb << " " << e.unz_kb << " " << e.sig << " "
        << leaf_of(path) << "\n";
      return e;
    };
    auto o_it = older.find(path);
    auto n_it = newer.find(path);
    release_entry last;
    if (o_it != older.end()) last = record(90901, &o_it->second);
    if (n_it != newer.end()) last = record(91001, &n_it->second);
    else last = record(91001, nullptr);
    if (newest) newest->push_back(last);
  }
  return o.str();
}

void write_directory_archive(const std::string& text, const std::string& folder) {
  temp_tree work;
  write_whole_file(work.path() + "directory.txt", text);
  make_folders(folder);
  unlink((folder + "directory.txt.zip").c_str());
  auto r = run_process({"zip", "-q", "-X", folder + "directory.txt.zip", "directory.txt"}, "", {},
                       work.path());
  if (r.exit_code != 0) throw std::runtime_error("zip failed: " + r.err);
}

void install_tree(const release_tree& tree, const std::string& dest) {
  for (const auto& [path, file] : tree) {
    std::string local = dest + inside(path);
    make_folders(folder_of(local));
    write_whole_file(local, file.content);
    chmod(local.c_str(), file.mode);
  }
}
