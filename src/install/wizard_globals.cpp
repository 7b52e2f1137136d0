// The wizard's globals that name the installation, the temporary folder and the mirrors.
#include "install/wizard_globals.h"

std::string dest_dir_path;
std::string temp_path;
std::string server_name[max_servers];
std::string server_path[max_servers];
std::string dvd_path;
std::string install_name;
std::string crnt_file_name;
std::string crnt_file_path;
int want_file_disk = 0;
int current_disk = 0;
