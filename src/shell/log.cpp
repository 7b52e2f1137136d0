#include "shell/log.h"

#include <sstream>

#include "platform/diagnostics.h"
#include "runtime/shell_services.h"


std::string MACIBM_log_header() {
  const platform_system_facts facts = platform_system_facts_now();
  auto known = [](const std::string& s) { return s.empty() ? std::string("?") : s; };
  auto number = [](long v) { return v < 0 ? std::string("?") : std::to_string(v); };
  std::ostringstream h;
  h << "Installer log.txt for " << "Skyrill Web Updater 2.04r1" << " compiled on " << __DATE__ << " "
    << __TIME__ << "\n\n";
  h << "This log file is generated automatically by Corvane applications and contains "
       "diagnostics about your graphics hardware, installation, and any error conditions.\n";
  h << "If you need to contact tech support or file a bug, please send us this file. NOTE: this "
       "file is rewritten every time you start ANY of your Nimbrel applications.\n\n";
  h << known(facts.os_name) << "\n";
  // The machine and the processor's model stand in for the Mac's processor type and name.
  h << "CPU type: " << known(facts.cpu_type) << " (" << known(facts.cpu_model) << ") ";
  h << "CPU speed (mhz): " << number(facts.cpu_mhz) << " ";
  h << "Bus speed (mhz): " << "?" << " ";
  h << "RAM (MB): " << number(facts.ram_mb) << "\n";
  h << "\nNimbrel folder:'" << app_path << "', case sensitive=" << g_case_sensitive << "\n\n";
  return h.str();
}

void MACIBM_open_log(const std::string& folder) {
  if (xer.is_open()) xer.close();
  xer.clear();
  xer.open(folder + "Skyrill Installer Log.txt", std::ios::out | std::ios::trunc);
  xer.setf(std::ios::fixed, std::ios::floatfield);
  xer << MACIBM_log_header();
  xer.flush();
}
