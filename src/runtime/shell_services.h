// What the lower layers need of the application shell: the log, the quit flag, the one alert
// call, the finish call and the translation lookup. Declared here so that code below the shell
// can call up without including the shell's headers; the shell defines them, and unit tests of
// the lower layers link a small double instead (tests/support/shell_double.cpp).
#pragma once

#include <fstream>
#include <string>

// The program's log, "Skyrill Installer Log.txt" beside the application, rewritten at each start.
extern std::ofstream xer;

// The main loop's quit flag: the loop ends after the frame in which it becomes 1.
extern int app_done;

// Root prefix for relative paths; "" while the program runs.
extern std::string app_path;

// Read by the case-insensitive path lookup; never set by the shell.
extern int g_case_sensitive;

// Alert types of __MACIBM_alert.
enum { t_lang = 0, t_alert = 1, t_exit = 2 };

// The one alert call. Off the main thread (once the thread layer runs) the report is posted to
// the main thread: type 1 returns at once, type 2 ends the calling thread, type 0 is dropped.
// On the main thread it shows the lines unchanged; type 2 never returns.
void __MACIBM_alert(int screen, std::string line1, std::string line2, std::string line3,
                    std::string line4, int type, const char* file, int line);

// Shut-down: with save 1 writes the preference files and stops the thread layer. The caller
// ends the process.
void MACIBM_finishup(int save);

// The text in the current interface language, or the English text itself.
std::string UTL_translate_string(const std::string& english);

// Opens a web page in the user's browser; nothing is reported.
void go_to_URL(std::string url);
