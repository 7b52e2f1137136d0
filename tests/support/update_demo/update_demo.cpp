// The update the run command shows: a local update host and two mirrors on loopback, serving a
// release made by our release builder from a generated sample tree, and an installation of the
// release before it, one file changed by hand and one file the new release removes. The server
// sends at 1 MB/s a connection, as a modest internet connection would, and the release changes
// a few sounds of some megabytes, so the install page is seen at work for a couple of seconds.
//   sky_update_demo prepare FOLDER   builds both releases, starts nginx, prints shell settings
//   sky_update_demo check FOLDER     compares the installation with the new release by MD5
//   sky_update_demo stop FOLDER      stops nginx
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "install/install_model.h"
#include "install/release_directory.h"
#include "support/nginx_server.h"
#include "support/process.h"
#include "support/release_fixture.h"
#include "support/temp_tree.h"

namespace {

const char* const edited_file = "Weapons/missile.wpn";
const int demo_kb_per_second = 1000;

// The sample release plus the simulator program the finish page starts: a stand-in that says
// it ran.
std::vector<release_source_file> demo_files(int release) {
  std::vector<release_source_file> files;
  // The sample's own program is replaced by the stand-in (names differing only in case clash).
  for (release_source_file& f : sample_release_files(release))
    if (f.path != "Linux/skyrill") files.push_back(f);
  // Sounds the new release changes: three of 1 MB, done early, and one of 3 MB, which keeps
  // the install page at work with its time left and rate shown.
  files.push_back({"All/Resources/sounds/engine loop.wav", noise(3000000, 100 + release)});
  for (int i = 0; i < 3; ++i)
    files.push_back({"All/Resources/sounds/wind " + std::to_string(i + 1) + ".wav", noise(1000000, 110 + 3 * release + i)});
  files.push_back({"Linux/Skyrill",
                   "#!/bin/sh\necho \"The simulator stand-in of release " + std::to_string(release) +
                       " started.\"\ndate > \"$(dirname \"$0\")/simulator-started.txt\"\n",
                   0755});
  return files;
}

// The installation of a release: the files of All/ and Linux/ without their platform folder.
void install_release(const std::vector<release_source_file>& files, const std::string& dest) {
  for (const char* folder : {"Airfoils", "Instructions", "Output", "Resources"}) make_folders(dest + folder + "/");
  for (const release_source_file& f : files) {
    const size_t slash = f.path.find('/');
    const std::string platform = f.path.substr(0, slash);
    if (platform != "All" && platform != "Linux") continue;
    const std::string local = dest + f.path.substr(slash + 1);
    make_folders(local.substr(0, local.rfind('/') + 1));
    write_whole_file(local, f.content);
    chmod(local.c_str(), f.mode);
  }
}

int prepare(const std::string& folder) {
  remove_tree(folder + "work/");
  remove_tree(folder + "Skyrill 9/");
  make_folders(folder + "work/");
  const std::string work = folder + "work/";
  write_release_source(work + "src1/", demo_files(1));
  release_build r1 = run_release_builder(work + "src1/", work + "masters1/", "", release_older);
  if (r1.exit_code != 0) {
    std::cerr << "release 1 could not be built:\n" << r1.output;
    return 1;
  }
  write_release_source(work + "src2/", demo_files(2));
  release_build r2 = run_release_builder(work + "src2/", work + "masters2/", r1.directory_file, release_current);
  if (r2.exit_code != 0) {
    std::cerr << "release 2 could not be built:\n" << r2.output;
    return 1;
  }
  write_whole_file(work + "directory.txt", r2.directory_text);

  nginx_stop(folder + "nginx/");
  std::string problem;
  const unsigned short port = nginx_start(folder + "nginx/", &problem, demo_kb_per_second);
  if (!port) {
    std::cerr << "nginx: " << problem << "\n";
    return 1;
  }
  const std::string roots = folder + "nginx/roots/";
  for (int m = 1; m <= 2; ++m) publish_web_mirror(r2.masters, roots + nginx_hosts[m] + "/" + release_name + "/");
  std::ostringstream list;
  list << "I\n820 the demo's server list\nSERVERS\nFINAL " << release_name << "\nBETA " << release_name
       << "\nINS_VERSION 20402 https://www.example.com/ installer\n";
  const char* desc[] = {"", "A|Local mirror A", "B|Local mirror B"};
  for (int m = 1; m <= 2; ++m) list << "SERVER " << nginx_hosts[m] << "\n/\n" << desc[m] << "\n";
  list << "ENDOFLIST\n";
  write_whole_file(roots + nginx_hosts[0] + "/serverlist9.txt", list.str());

  const std::string install = folder + "Skyrill 9/";
  install_release(demo_files(1), install);
  write_whole_file(install + edited_file, "changed by hand\n");
  std::cout << "SKY_DEMO_PORT=" << port << "\nSKY_DEMO_HOST=" << nginx_hosts[0] << "\nSKY_DEMO_INSTALL='" << install
            << "'\n";
  return 0;
}

// Every newest entry of the new release's directory (read by the engine's own reader) against
// the installation: present with its MD5, or absent when the release marks it gone.
int check(const std::string& folder) {
  const std::string install = folder + "Skyrill 9/";
  if (read_directory(folder + "work/directory.txt", "") != directory_read_ok) {
    std::cerr << "the release directory cannot be read\n";
    return 1;
  }
  int good = 0, bad = 0;
  for (size_t h = 0; h < sim_info.size(); ++h) {
    const file_version_struct& v = newest_version(static_cast<int>(h));
    const std::string platform = v.path.substr(0, v.path.find('/'));
    if (platform != "All" && platform != "Linux") continue;
    const std::string inside = local_path_of(v);
    const std::string local = install + inside;
    const bool present = path_exists(local);
    std::string why;
    if (v.sig_want == "GONE") {
      if (present) why = "should have been deleted";
    } else if (!present) {
      why = "missing";
    } else if (md5sum_of(local) != v.sig_want) {
      why = inside == edited_file ? "kept as the user changed it" : "differs from the release";
    }
    const bool kept = inside == edited_file && !why.empty() && present;
    if (why.empty()) ++good;
    else if (!kept) ++bad;
    std::cout << (why.empty() ? "ok     " : kept ? "kept   " : "WRONG  ") << inside << (why.empty() ? "" : "  (" + why + ")")
              << "\n";
  }
  std::cout << good << " files as the release has them, " << bad << " wrong\n";
  return bad == 0 && good > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s prepare|check|stop FOLDER\n", argv[0]);
    return 2;
  }
  std::string folder = argv[2];
  if (folder.back() != '/') folder += '/';
  if (std::strcmp(argv[1], "prepare") == 0) return prepare(folder);
  if (std::strcmp(argv[1], "check") == 0) return check(folder);
  if (std::strcmp(argv[1], "stop") == 0) {
    nginx_stop(folder + "nginx/");
    return 0;
  }
  return 2;
}
