// The about box without a window: what a fetched server list makes it say or offer, which
// unpacked installer names it refuses to start, and the texts and buttons of its frame.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "net/http_client.h"
#include "runtime/shell_records.h"
#include "shell/about_box.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"
#include "support/nginx_server.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

struct drawn_text {
  int colour;
  float y;
  std::string text;
};
std::vector<drawn_text> texts;

// Widgets draw into the texts list instead of GL.
void record_drawing() {
  texts.clear();
  widget_draw_calls& d = widget_drawing();
  d.quads = [](int, int, float, float, const std::vector<widget_quad>&) {};
  d.quad_2d = [](int, int, float, const float[4][4]) {};
  d.text = [](int colour, float, float y, const std::string& t, float, int) {
    texts.push_back({colour, y, t});
    return y - 10;
  };
  d.text_width = [](const std::string& t) { return 7.0f * static_cast<float>(t.size()); };
  d.number = [](int, float, float, float, int, int) {};
  d.swap = [] {};
  d.set_help = [](const std::string&) {};
  d.screen_title = [] { return std::string(); };
  d.menu_open = [] { return 0; };
}

bool drew_text(const std::string& text) {
  for (const drawn_text& t : texts)
    if (t.text == text) return true;
  return false;
}

class AboutBox : public ::testing::Test {
 protected:
  void SetUp() override {
    shell_double::reset();
    record_drawing();
    mnw = mnw_struct{};
    mnw.open_menu = -1;
    mnw.topwi = 993;
    mnw.screen_w = 600;
    mnw.screen_h = 300;
    mnw.draw_w = 800;
    mnw.draw_h = 600;
    mnw.pix_per_unit = 1;
  }
  void TearDown() override { widget_drawing() = widget_default_drawing(); }

  about_box_state read(const std::string& body) {
    const std::string path = tree.write("serverlist9.txt", body);
    about_box_state s;
    about_read_server_list(path, &s);
    return s;
  }
  bool drew(const std::string& text) const { return drew_text(text); }

  temp_tree tree;
};

const char* const kHeader = "I\n820 server list\nSERVERS\n";
const char* const kInstallers =
    "BETA_INSTALLER_MAC beta.test /beta/installer.zip\n"
    "FINAL_INSTALLER_MAC final.test /final/installer.zip\n";

TEST_F(AboutBox, TheServerListDecidesWhatTheBoxSays) {
  struct row {
    std::string body;
    int ins_state, is_latest, is_beta;
    std::string message;
  } rows[] = {
      {std::string(kHeader) + "FINAL 9.10r1\nFINAL_VERSION 91001\n", 4, 1, 0,
       "Your version of Skyrill is up to date."},
      {std::string(kHeader) + "FINAL 9.11\nFINAL_VERSION +91002\n" + kInstallers, 1, 0, 0, ""},
      {std::string(kHeader) + "FINAL 9.11\nFINAL_VERSION 91002\n", 4, 0, 0,
       "There is a new version of Skyrill available! Visit https://www.skyrill.example/ to download the update."},
      {std::string(kHeader) + "FINAL 9.00\nFINAL_VERSION 90000\nBETA_VERSION 91001\n", 4, 1, 0,
       "You have the latest Skyrill beta."},
      {std::string(kHeader) + "FINAL 9.00\nBETA 9.20b1\nFINAL_VERSION 90000\nBETA_VERSION 92001\n" + kInstallers, 1,
       0, 1, ""},
      {std::string(kHeader) + "FINAL 9.00\nFINAL_VERSION 90000\nBETA_VERSION 92001\n", 4, 0, 1,
       "There is a newer beta of Skyrill available! Visit https://www.skyrill.example/ to download the update."},
      // Another header version, or no version record: nothing is known.
      {"I\n900 server list\nSERVERS\nFINAL 9.11\nFINAL_VERSION 91002\n", 4, 1, 0,
       "Can't connect to the net to find latest version."},
      {std::string(kHeader) + "FINAL 9.11\n", 4, 1, 0, "Can't connect to the net to find latest version."},
      // A word glued to its value is no record.
      {std::string(kHeader) + "FINAL_VERSION91002\n", 4, 1, 0, "Can't connect to the net to find latest version."},
  };
  for (const row& r : rows) {
    const about_box_state s = read(r.body);
    EXPECT_EQ(s.ins_state, r.ins_state) << r.body;
    EXPECT_EQ(s.is_latest, r.is_latest) << r.body;
    EXPECT_EQ(s.is_beta, r.is_beta) << r.body;
    if (r.ins_state == 4) {
      EXPECT_EQ(s.err_msg, r.message) << r.body;
    }
  }
  const about_box_state beta = read(std::string(kHeader) + "  BETA_VERSION 92001\nFINAL_VERSION 1\n" + kInstallers);
  EXPECT_EQ(beta.installer_server, "beta.test");
  EXPECT_EQ(beta.installer_path, "/beta/installer.zip");
  EXPECT_EQ(beta.version_str_found, 0);  // no "FINAL" text: the list is fetched again
  const about_box_state final_release = read(std::string(kHeader) + "FINAL Skyrill 9.11\nFINAL_VERSION 91002\n" +
                                             kInstallers);
  EXPECT_EQ(final_release.installer_server, "final.test");
  EXPECT_EQ(final_release.version_str_net, "Skyrill 9.11");
  EXPECT_EQ(final_release.version_str_found, 1);
}

// The installer comes over plain HTTP; only a name inside the unpack folder is started.
TEST(AboutInstaller, NamesOutsideTheUnpackFolderAreRefused) {
  struct row {
    const char* name;
    bool safe;
  } rows[] = {
      {"Skyrill Installer", true}, {"installer/run.sh", true}, {"", false},       {"/usr/bin/x", false},
      {"../x", false},             {"a/../../x", false},       {"..", false},     {"a/..b", true},
  };
  for (const row& r : rows) EXPECT_EQ(about_installer_name_is_safe(r.name), r.safe) << r.name;
}

TEST_F(AboutBox, TheFrameShowsTheTextsAndTheOffer) {
  about_box_state s = read(std::string(kHeader) + "FINAL Skyrill 9.11\nFINAL_VERSION 91002\n" + kInstallers);
  about_draw(&s);
  EXPECT_TRUE(drew("Skyrill 9.10r1"));
  EXPECT_TRUE(drew("https://www.skyrill.example/"));
  EXPECT_TRUE(drew("The current version of Skyrill is now Skyrill 9.11."));
  EXPECT_TRUE(drew("Update Skyrill!"));
  EXPECT_TRUE(drew("Go to https://www.skyrill.example/ for free updates and tons of other cool stuff!"));
  EXPECT_EQ(texts.front().y, 255);  // the build name 45 units below the top

  // A click on the offer starts the download.
  mnw.mouse_x = 492;
  mnw.mouse_y = 17;
  mnw.mouse_down = mnw.mouse_held = 1;
  texts.clear();
  about_draw(&s);
  EXPECT_EQ(s.ins_state, 2);

  // Before any list was read the release line says so, and nothing is offered.
  about_box_state fresh;
  mnw.mouse_down = mnw.mouse_held = 0;
  texts.clear();
  about_draw(&fresh);
  EXPECT_TRUE(drew("I could not connect to the net to find the current version of Skyrill at "
                   "https://www.skyrill.example/!"));
  EXPECT_FALSE(drew("Update Skyrill!"));
}

}  // namespace

namespace {

// Against the update host on the test nginx: the box fetches the list, finds the newer release
// and offers its installer; a list without a final version text is fetched again.
class AboutBoxServer : public ::testing::Test {
 protected:
  void SetUp() override {
    port = nginx_port();
    ASSERT_NE(port, 0) << "nginx did not start";
    shell_double::reset();
    for (int i = 0; i < 6; ++i) http.cancel(i);
    http.proxy_host = "127.0.0.1";
    http.proxy_port = port;
    gProxyExclude.clear();
    about_update_host = [] { return std::string("update.test"); };
    make_folders(tree.path() + "Resources/preferences/");
    record_drawing();
    mnw = mnw_struct{};
    mnw.open_menu = -1;
    mnw.topwi = 993;
    mnw.screen_w = 600;
    mnw.screen_h = 300;
  }
  void TearDown() override {
    widget_drawing() = widget_default_drawing();
    for (int i = 0; i < 6; ++i) http.cancel(i);
    http.proxy_host.clear();
    http.proxy_port = 0;
    about_update_host = nullptr;
    about_server_list_path = "/serverlist9.txt";
  }
  // Frames of the check until the transfer has an answer (two minutes at most).
  int check(about_box_state* s) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    int got = 0;
    while ((got = about_check_version(s)) == 0 && std::chrono::steady_clock::now() < give_up) {
    }
    return got;
  }
  void serve(const std::string& name, const std::string& body) {
    make_folders(nginx_root("update.test") + "about_box_test/");
    write_whole_file(nginx_root("update.test") + "about_box_test/" + name, body);
    about_server_list_path = "/about_box_test/" + name;
  }
  unsigned short port = 0;
  temp_tree tree;
};

TEST_F(AboutBoxServer, FindsTheUpdateHostsVersion) {
  current_folder_guard here(tree.path());
  serve("newer.txt", std::string(kHeader) + "FINAL Skyrill 9.11\nFINAL_VERSION 91002\n" + kInstallers);
  about_box_state s;
  EXPECT_EQ(check(&s), 1);
  EXPECT_EQ(s.version_str_found, 1);
  EXPECT_EQ(s.version_str_net, "Skyrill 9.11");
  EXPECT_EQ(s.ins_state, 1);
  EXPECT_EQ(s.installer_server, "final.test");
  EXPECT_EQ(about_check_version(&s), -1);  // found: not fetched again

  serve("no_final.txt", std::string(kHeader) + "FINAL_VERSION 91001\n");
  about_box_state again;
  EXPECT_EQ(check(&again), 1);
  EXPECT_EQ(again.err_msg, "Your version of Skyrill is up to date.");
  EXPECT_EQ(again.version_str_found, 0);
  EXPECT_EQ(check(&again), 1);  // no final text: the list is fetched on the next frames too

  about_server_list_path = "/about_box_test/missing.txt";
  about_box_state none;
  EXPECT_EQ(check(&none), 2);
  EXPECT_EQ(none.version_str_found, 0);
}

// A failed download or a damaged archive ends in a message; nothing is started.
TEST_F(AboutBoxServer, FailedInstallerDownloadsEndInAMessage) {
  current_folder_guard here(tree.path());
  make_folders(nginx_root("update.test") + "about_box_test/");
  write_whole_file(nginx_root("update.test") + "about_box_test/corrupt.zip", "PK\x03\x04 this is no archive");
  struct row {
    const char* path;
    std::string message_start;
  } rows[] = {
      {"/about_box_test/missing.zip", "I was unable to download the installer from the net."},
      {"/about_box_test/corrupt.zip", "There was an error unzipping the installer: "},
  };
  for (const row& r : rows) {
    about_box_state s;
    s.ins_state = 2;
    s.installer_server = "update.test";
    s.installer_path = r.path;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (s.ins_state == 2 && std::chrono::steady_clock::now() < give_up) about_draw(&s);
    EXPECT_EQ(s.ins_state, 4) << r.path;
    EXPECT_EQ(s.err_msg.compare(0, r.message_start.size(), r.message_start), 0) << s.err_msg;
    texts.clear();
    about_draw(&s);
    EXPECT_TRUE(drew_text(s.err_msg));
  }
}

}  // namespace
