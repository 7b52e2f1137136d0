// The wizard's globals for tests of the layers below the wizard, which do not link it.
#include "install/wizard_globals.h"

std::string dest_dir_path;
std::string temp_path;
std::string server_name[max_servers];
std::string server_path[max_servers];
std::string dvd_path;
std::string install_name;
std::string crnt_file_name;
std::string crnt_file_path;
