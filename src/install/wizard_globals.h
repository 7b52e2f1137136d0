// The wizard's globals that the install engine reads and writes. The wizard keeps them
// (src/wizard/wizard_globals.cpp); they are declared here so that the engine, which sits below
// the wizard, can reach them.
#pragma once

#include <string>

enum { max_servers = 10 };

// The installation folder being updated or installed: absolute, ending "/".
extern std::string dest_dir_path;
// The private temporary folder of this run, ending "/".
extern std::string temp_path;
// Host and path prefix (ending "/", the release name included) of each mirror.
extern std::string server_name[max_servers];
extern std::string server_path[max_servers];
// The folder of the mounted install disc, ending "/".
extern std::string dvd_path;
// The release folder's name on the mirrors and on the disc.
extern std::string install_name;
// Leaf and request path of the file the scheduler handled last; the install step shows them.
extern std::string crnt_file_name;
extern std::string crnt_file_path;
// The disc flows: the history whose archive the install needs from another disc, and the disc
// (numbered from 0, as the release directory numbers them) accepted last.
extern int want_file_disk;
extern int current_disk;
