// The about box and its check for a newer release.
#include "shell/about_box.h"

#include <cstdint>
#include <sstream>

#include "files/error_codes.h"
#include "files/file_ops.h"
#include "files/mapped_file.h"
#include "files/zip_archive.h"
#include "net/http_client.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/modal_screen.h"
#include "shell/shell_globals.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

const char* const about_build_name = "Skyrill 9.10r1";
const char* const about_maker_web_address = "https://www.skyrill.example/";
std::string (*about_update_host)() = nullptr;
std::string about_server_list_path = "/serverlist9.txt";

namespace {

constexpr int kAboutScreen = 993;
const char* const kServerListLocal = "Resources/preferences/serverlist9.txt";
const char* const kInstallerLocal = "Resources/preferences/installer.zip";
const char* const kCreatorLine = "Written by the Skyrill installer team";
const char* const kCredits[8] = {
    "Installer and updater: the Skyrill tools group",
    "Scenery packaging: the Skyrill scenery group",
    "Aircraft packaging: the Skyrill aircraft group",
    "Network code: the Skyrill network group",
    "Translations: the Skyrill translators",
    "Testing: the Skyrill beta testers",
    "Artwork: the Skyrill art group",
    "Thanks to everyone who flies Skyrill!",
};

// A record word matches only when white space follows it.
bool take_word(const std::string& line, const char* word, std::string* rest) {
  const std::string w(word);
  if (line.compare(0, w.size(), w) != 0 || line.size() <= w.size()) return false;
  if (line[w.size()] != ' ' && line[w.size()] != '\t') return false;
  size_t start = line.find_first_not_of(" \t", w.size());
  *rest = start == std::string::npos ? std::string() : line.substr(start);
  return true;
}

int parse_version(const std::string& rest, bool allow_minus) {
  size_t i = 0;
  bool negative = false;
  if (allow_minus && i < rest.size() && rest[i] == '-') { negative = true; ++i; }
  if (i < rest.size() && rest[i] == '+') ++i;
  int64_t v = 0;
  while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9' && v < 1000000000) v = v * 10 + (rest[i++] - '0');
  return static_cast<int>(negative ? -v : v);
}

void server_and_path(const std::string& rest, std::string* server, std::string* path) {
  std::istringstream in(rest);
  server->clear();
  path->clear();
  in >> *server >> *path;
}

// Fills a translated message's "%s", "%d" and "%%" in order without handing the text to printf:
// a translation is data, and a stray conversion in it must not read arguments that are not there.
std::string fill_message(const std::string& format, const std::string& text, int number) {
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      const char c = format[i + 1];
      if (c == 's') { out += text; ++i; continue; }
      if (c == 'd') { out += std::to_string(number); ++i; continue; }
      if (c == '%') { out += '%'; ++i; continue; }
    }
    out += format[i];
  }
  return out;
}

}  // namespace

about_box_state& about_state() {
  static about_box_state state;
  return state;
}

void about_read_server_list(const std::string& path, about_box_state* s) {
  xmap_class map(path);
  static const int versions[] = {820, 0};
  if (map.mapped() && map.check_file(xmap_text, versions, "SERVERS", nullptr) == 820) {
    std::istringstream in(std::string(map.cursor, map.end));
    std::string line, rest;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const size_t start = line.find_first_not_of(" \t");
      if (start == std::string::npos) continue;
      line.erase(0, start);
      // The longer words first: "BETA" must not take a "BETA_VERSION" line.
      if (take_word(line, "BETA_INSTALLER_MAC", &rest)) server_and_path(rest, &s->beta_server, &s->beta_path);
      else if (take_word(line, "FINAL_INSTALLER_MAC", &rest)) server_and_path(rest, &s->final_server, &s->final_path);
      else if (take_word(line, "BETA_VERSION", &rest)) s->version_beta = parse_version(rest, false);
      else if (take_word(line, "FINAL_VERSION", &rest)) s->version_final = parse_version(rest, true);
      else if (take_word(line, "BETA", &rest)) s->version_str_net_beta = rest;
      else if (take_word(line, "FINAL", &rest)) {
        s->version_str_net = rest;
        s->version_str_found = 1;
      }
    }
  }
  s->is_latest = 1;
  s->is_beta = 0;
  s->ins_state = 4;
  if (s->version_final == -1) {
    s->err_msg = UTL_translate_string("Can't connect to the net to find latest version.");
  } else if (s->version_final == about_build_version) {
    s->err_msg = UTL_translate_string("Your version of Skyrill is up to date.");
  } else if (s->version_final > about_build_version) {
    s->is_latest = 0;
  } else if (s->version_beta <= about_build_version) {
    s->err_msg = UTL_translate_string("You have the latest Skyrill beta.");
  } else {
    s->is_beta = 1;
    s->is_latest = 0;
  }
  if (!s->is_latest) {
    s->installer_server = s->is_beta ? s->beta_server : s->final_server;
    s->installer_path = s->is_beta ? s->beta_path : s->final_path;
    if (!s->installer_server.empty() && !s->installer_path.empty()) {
      s->ins_state = 1;
    } else {
      s->err_msg = (s->is_beta ? UTL_translate_string("There is a newer beta of Skyrill available! Visit")
                               : UTL_translate_string("There is a new version of Skyrill available! Visit")) +
                   " " + about_maker_web_address + UTL_translate_string(" to download the update.");
    }
  }
}

bool about_installer_name_is_safe(const std::string& name) {
  if (name.empty() || name[0] == '/') return false;
  std::istringstream parts(name);
  std::string part;
  while (std::getline(parts, part, '/'))
    if (part == "..") return false;
  return true;
}

void about_draw(about_box_state* s) {
  if (shell_screen().plot_back_col) shell_screen().plot_back_col();
  BTN_fillwin(1, 21);
  float next_x = 0, next_y = 0;
  BTN_subwin(0, 15, -1, 35, -1, -1, "", &next_x, &next_y);
  widget_draw_calls& draw = widget_drawing();
  const float width = mnw.screen_w - 40;
  float y = mnw.screen_h - 45;
  auto line = [&](int colour, const std::string& text) {
    draw.text(colour, 20, y, text, width, 0);
    y -= 10;
  };
  line(49, about_build_name);
  line(49, kCreatorLine);
  line(49, about_maker_web_address);
  y -= 10;
  if (s->version_str_found) {
    const std::string lead = s->is_beta ? UTL_translate_string("The current beta version of Skyrill is now ")
                                        : UTL_translate_string("The current version of Skyrill is now ");
    line(47, lead + (s->is_beta ? s->version_str_net_beta : s->version_str_net) + ".");
  } else {
    line(47, UTL_translate_string("I could not connect to the net to find the current version of Skyrill at") + " " +
                 about_maker_web_address + "!");
  }
  for (const char* credit : kCredits) line(47, credit);
  const float message_y = y + 10 - 40;

  const std::string go_to_label = UTL_translate_string("Go to") + " " + about_maker_web_address +
                                  UTL_translate_string(" for free updates and tons of other cool stuff!");
  if (BTN_action(191, 17, 0, 0, 1, go_to_label, "-"))
    go_to_URL(about_maker_web_address);

  switch (s->ins_state) {
    case 1: {
      const std::string offer =
          s->is_beta ? UTL_translate_string(" Get New Beta! ") : UTL_translate_string("Update Skyrill!");
      if (BTN_action(492, 17, 0, 0, 1, offer, "-")) s->ins_state = 2;
      break;
    }
    case 2: {
      const int got = http.net_check(1, s->installer_server, s->installer_path, kInstallerLocal);
      if (got == 1) {
        std::string name;
        const int err = zip_to_file(kInstallerLocal, "./", &name, 0);
        if (err != 0) {
          s->err_msg = fill_message(UTL_translate_string("There was an error unzipping the installer: %s (%d)"),
                                    error_str(err), err);
          s->ins_state = 4;
        } else {
          if (!name.empty() && name.back() == '/') name.pop_back();
          s->installer_app_name = name;
          s->ins_state = 3;
        }
      } else if (got == 2) {
        s->err_msg = UTL_translate_string("I was unable to download the installer from the net.");
        s->ins_state = 4;
      } else {
        // percent_done works in 64 bits, so a large installer never shows a negative share.
        const int percent = http.percent_done(1);
        const std::string text =
            percent < 0 ? UTL_translate_string("Downloading the installer...")
                        : fill_message(UTL_translate_string("Downloading the installer...%d%% complete"), "", percent);
        draw.text(58, 20, message_y, text, width, 0);
      }
      break;
    }
    case 3: {
      // The archive came over plain HTTP: only a first entry inside the unpack folder is run.
      int err = 2;  // ENOENT
      if (about_installer_name_is_safe(s->installer_app_name))
        err = launch_app("./" + s->installer_app_name, app_path, 1);
      s->err_msg = fill_message(UTL_translate_string("There was an error launching the installer: %s (%d)"),
                                error_str(err), err);
      s->ins_state = 4;
      break;
    }
    case 4:
      draw.text(58, 20, message_y, s->err_msg, width, 0);
      break;
    default:
      break;
  }
}

int about_check_version(about_box_state* s) {
  if (s->version_str_found || !about_update_host) return -1;
  const int got = http.net_check(0, about_update_host(), about_server_list_path, kServerListLocal);
  if (got == 1) about_read_server_list(kServerListLocal, s);
  return got;
}

void MACIBM_about() {
  shell_screen_calls& frame = shell_screen();
  if (!frame.startwind || !frame.event_proc) return;
  frame.startwind(kAboutScreen);
  about_box_state& s = about_state();
  while (mnw.topwi == kAboutScreen && !app_done) {
    about_check_version(&s);
    about_draw(&s);
    frame.event_proc();
  }
}
