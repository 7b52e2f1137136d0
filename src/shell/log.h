// The program's log "Skyrill Installer Log.txt", rewritten at each start with a header of
// system facts. The stream itself is xer (runtime/shell_services.h).
#pragma once

#include <string>

// Opens (truncating) folder + "Skyrill Installer Log.txt", writes the header and flushes. A log
// that cannot be opened leaves xer failed, so every later write is dropped.
void MACIBM_open_log(const std::string& folder);
// The header alone, as written at the top of the log.
std::string MACIBM_log_header();

// The folder of the log, "MemoryLog.txt" and "stack_crawl.txt": the application's folder when
// it is writable, else $XDG_STATE_HOME/skyrill-installer/ (~/.local/state by default), made on
// first use; never the current working folder.
std::string MACIBM_diagnostics_folder(const std::string& app_folder);
