// Start-up and shut-down of the shell. MACIBM_finishup is declared with the other calls up
// from the lower layers in runtime/shell_services.h.
#pragma once

#include <string>

// Brings the program up: broken pipes ignored, the current folder moved to the application's,
// the log opened with its header, the command line read, the thread layer and its idle
// workers started. Main thread, once.
void MACIBM_init(int argc, char** argv);

// Whether "--fps_test" was given: alerts are then only logged.
bool MACIBM_fps_test();

// The folder that holds the running executable, ending with "/"; "" when unknown.
std::string MACIBM_app_folder();
