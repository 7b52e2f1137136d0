#include "install/newer_program_alerts.h"

#include "install/installer_state.h"
#include "platform/process.h"
#include "runtime/shell_services.h"

const char* const maker_download_page = "https://www.skyrill.example/download/";

namespace {
const char* const download_section_line =
    "Please visit the download section of our web site to get the newest installer.";
}

void new_installer(std::string page) {
  __MACIBM_alert(0, UTL_translate_string("There is a newer version of the Skyrill web updater available."),
                 UTL_translate_string("I will take you to the web page where you can downoad it."),
                 "", "", t_alert, "Zuzazuziv-e/utils", __LINE__);
  if (platform_is_web_address(page)) {
    go_to_URL(page);
  } else {
    xer << "WARNING: the server list names a web page that is not an http address: \"" << page
        << "\"\n";
  }
  app_done = 1;
}

void new_format(std::string path) {
  __MACIBM_alert(0,
                 UTL_translate_string("OK I am checking the Corvane servers and I am finding file "
                                      "formats that are newer than I can understand!"),
                 UTL_translate_string("In other words, you need to get a new installer!"),
                 UTL_translate_string(download_section_line), path, t_alert, "Zuzazuziv-e/utils",
                 __LINE__);
  go_to_URL(maker_download_page);
  stg.format_error = 2;
  app_done = 1;
}
