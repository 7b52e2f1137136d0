// What the lower layers need of the application shell: the log, the quit flag, the one alert
// call, the finish call, the translation lookup and opening a web page. The data lives here;
// the calls go through hooks that the shell installs at start-up (unit tests of the lower
// layers install a double, tests/support/shell_double.cpp), so nothing below the shell links
// against it.
#pragma once

#include <fstream>
#include <string>

// The program's log, "Skyrill Installer Log.txt" beside the application, rewritten at each start.
extern std::ofstream xer;

// The log as the calling thread may write it: xer, or on a worker running a task that captures
// its log lines (the log stream is not safe to share between threads), that task's buffer,
// which the owner writes to xer when it collects the task.
std::ostream& thread_log();
class thread_log_capture {
 public:
  explicit thread_log_capture(std::ostream* buffer);
  ~thread_log_capture();
  thread_log_capture(const thread_log_capture&) = delete;
  thread_log_capture& operator=(const thread_log_capture&) = delete;

 private:
  std::ostream* previous_;
};

// The main loop's quit flag: the loop ends after the frame in which it becomes 1.
extern int app_done;

// Root prefix for relative paths; "" while the program runs.
extern std::string app_path;

// The one folder of the log, "MemoryLog.txt" and "stack_crawl.txt", ending in '/'; set by
// start-up. "" until then: the current folder.
extern std::string diagnostics_folder;

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

// The shell's side of the calls above. Until a hook is installed: an alert is written to the
// log and to standard error (a fatal one ends the process with status 1), the finish call
// closes the log, the translation is the English text, and no page is opened.
struct shell_hooks {
  void (*alert)(int screen, std::string line1, std::string line2, std::string line3,
                std::string line4, int type, const char* file, int line) = nullptr;
  void (*finishup)(int save) = nullptr;
  std::string (*translate)(const std::string& english) = nullptr;
  void (*open_url)(std::string url) = nullptr;
};
void install_shell_hooks(const shell_hooks& hooks);
