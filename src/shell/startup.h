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

// Brings the program from its entry to a window with a working GL context: the log and its
// header, the command line, the thread layer, the language, the window, the capabilities, the
// workers, the base textures, the interface palette, the menus, the first screen, the language
// chooser when no language is known, and the translation. Main thread, once.
void MACIBM_init(int argc, char** argv);
// The steps before the window: the log and its header, the command line, the thread layer and
// the detected language. The release builder, a command-line tool, starts with these alone and
// then starts the workers itself.
void MACIBM_init_without_window(int argc, char** argv);

// Shut-down. With save: the installer preference file (not under "--fps_test") and the thread
// layer stopped; always: the display's depth restored, the window disposed of, the log closed,
// pending events dropped.
void MACIBM_finishup_shell(int save);

// 1 switches to the program's display mode, 0 restores the depth of the first call; returns
// the colour depth chosen. The display's resolution is never changed, and on X11 neither is its
// depth: the depth a switch would ask for is returned and logged.
int MACIBM_setres(int set);
// Creates window index (0 only: there is one window) with its context; 1 on success.
int MACIBM_make_context(int index);
// Disposes of window index.
void MACIBM_nuke_context(int index);
// A context sharing the main one for a worker thread, or null (logged).
void* MACIBM_make_context_loader();
// Makes it current on the calling thread; 1 on success.
int MACIBM_set_context_loader(void* context);

// The folder that holds the application (flag 0), ending in '/', or the application's own
// path (flag 1); at most 2047 bytes.
void MACIBM_set_app_path(std::string& out, int flag);
// The path with its last component dropped (a trailing '/' ignored), keeping the '/' before it.
std::string MACIBM_drop_last_component(const std::string& path);

// One frame of the start-up progress screen: the text, and a bar at fraction (clamped to 0.02
// to 1); with none, the number of earlier such calls / 100. Draws only once a screen started.
void MACIBM_show_init(const std::string& text, const float* fraction);
// The fraction MACIBM_show_init draws for the given one, counting the calls without one.
float MACIBM_show_init_fraction(const float* fraction);

// Loads the translation of mnw's language (English clears it).
void MACIBM_setupforlang();
// The translation file's path that MACIBM_setupforlang builds for a language.
std::string MACIBM_lang_text_path(int language);

// Palette entries 34 to 47 from the interface atlas's swatch pixels (the decoded image kept by
// its load); entry 39 the mean of 35 and 38.
void MACIBM_take_interface_palette();

// The language of start-up: mnw's when offered, the only one offered, else -1 and the
// chooser (which leaves 0 or the user's pick).
void MACIBM_pick_language();

// Does nothing.
void IBM_turnoff();

// Whether "--fps_test" was given: alerts are then only logged.
bool MACIBM_fps_test();

// The folder that holds the running executable, ending with "/"; "" when unknown.
std::string MACIBM_app_folder();

// The main display's size at the last MACIBM_setres.
extern int g_mon_x_res_now, g_mon_y_res_now;
// Forgets what MACIBM_setres and MACIBM_show_init keep from their first calls (for tests).
void shell_startup_reset();

// The maker's web address on the progress screen.
extern const char* const maker_web_address;
