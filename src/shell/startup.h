// Start-up and shut-down of the shell, and the shell's answers to the calls the lower layers
// make up to it (declared in runtime/shell_services.h and install/release_builder_display.h).
#pragma once

#include <string>

// Installs the shell as the lower layers' hooks: alerts, the finish call, translation, web
// pages, the frame clock's per-frame window work and the release builder's display. The first
// step of MACIBM_init; tests of the real shell call it themselves.
void shell_install_hooks();

// The hooks themselves.
void shell_finishup(int save);
void shell_go_to_URL(std::string url);
void shell_builder_draw_progress(const std::string& status, const std::string& path);
int shell_builder_poll_key_q();

// Brings the program up: broken pipes ignored, the current folder moved to the application's,
// the log opened with its header, the command line read, the thread layer and its idle
// workers started. Main thread, once.
void MACIBM_init(int argc, char** argv);

// Whether "--fps_test" was given: alerts are then only logged.
bool MACIBM_fps_test();

// The folder that holds the running executable, ending with "/"; "" when unknown.
std::string MACIBM_app_folder();
