// Opening a web page in the user's browser.
#include <string>

#include "platform/process.h"
#include "runtime/shell_services.h"
#include "shell/startup.h"

void shell_go_to_URL(std::string url) {
  if (url.size() > 499)
    __MACIBM_alert(0, "String too long!", url, "", "", t_exit, "hl_string", 137);
  platform_open_web_page(url);
}
