// Starting other programs. Replaces the original's fork + execv (the simulator, the disc
// relaunch) and the subprocesses behind the native dialogs and the disc eject. Every child is
// started by posix_spawn with an argument vector, never through a shell, so no text of ours is
// ever parsed as a command line. glibc reports a failed exec as the spawn's own result, so a
// caller knows whether the program really started. Not done on Linux: resolving application
// bundles (the caller names an executable).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Starts argv[0] (looked up on PATH when search_path is set) with the process's environment.
// The child gets the default SIGPIPE action and an empty signal mask. When out_fd is not null
// the child's standard output goes to a pipe whose read end is returned there (close-on-exec).
// Returns 0 and the child's id, or the errno of the failed start (exec failure included).
int platform_spawn(const std::vector<std::string>& argv, bool search_path, pid_t* pid,
                   int* out_fd = nullptr);

// Marks every descriptor above standard error close-on-exec, so a program we start inherits
// none of ours (log, sockets, mapped files) even where a library opened them without the flag.
void platform_close_on_exec_all();

// Whether url may be handed to the browser: an http or https address without control
// characters (anything else could open a local file or start a program).
bool platform_is_web_address(const std::string& url);

// Opens a web address in the user's browser with xdg-open, without waiting for it; children of
// earlier calls that have ended are reaped. False (nothing started) for anything that is not
// a web address or when xdg-open cannot be started.
bool platform_open_web_page(const std::string& url);

// Runs a program to its end, collecting its standard output. Returns 0 with the exit status
// (128 + signal for a killed child) in *status, or the errno of the failed start.
// While the child runs, idle (when given) is called about every 15 ms so that the caller can
// keep drawing frames.
int platform_run(const std::vector<std::string>& argv, std::string* out, int* status,
                 void (*idle)() = nullptr);
