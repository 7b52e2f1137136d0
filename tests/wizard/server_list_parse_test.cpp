// The server list as the update host serves it, read from the fixture files: the release name
// by the beta preference, the mirrors (at most ten, fields trimmed, hosts the HTTP client can
// take), the newer-updater record, and the replies that are not a list at all. Every field ends
// at the end of the file, even on a list whose size is a whole page.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "files/preferences.h"
#include "install/download_scheduler.h"
#include "runtime/constants.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"
#include "wizard/server_list.h"

namespace {

std::string fixture(const std::string& name) { return SKY_SOURCE_DIR "/tests/wizard/server_lists/" + name; }

struct expected_list {
  const char* file;
  int beta;
  server_list_result result;
  std::string name;                       // the release name afterwards
  std::vector<server_record> servers;
  bool newer_installer;
  std::string page;
  bool ended;
};

TEST(ServerListFile, RecordsAreReadAsTheUpdateHostWritesThem) {
  shell_double::reopen_log();
  const std::string start = no_install_name;
  std::vector<server_record> twelve;
  for (int i = 0; i < 10; ++i) {
    const std::string n = std::to_string(i);
    twelve.push_back({"m" + n + ".test", "/p" + n + "/Twelve/", "d" + n + "|Mirror " + n});
  }
  const expected_list rows[] = {
      {"plain.txt", 0, server_list_read, "Skyrill 9 Final",
       {{"mirror-a.test", "/pub/Skyrill 9 Final/", "A mirror|Mirror A, Europe"},
        {"mirror-b.test", "/other/files/Skyrill 9 Final/", "B mirror|Mirror B, America"}},
       false, "", true},
      {"plain.txt", 1, server_list_read, "Skyrill 9 Beta",
       {{"mirror-a.test", "/pub/Skyrill 9 Beta/", "A mirror|Mirror A, Europe"},
        {"mirror-b.test", "/other/files/Skyrill 9 Beta/", "B mirror|Mirror B, America"}},
       false, "", true},
      // Twelve records: ten kept, and the reading goes on to ENDOFLIST past the other two.
      {"twelve.txt", 0, server_list_read, "Twelve", twelve, false, "", true},
      // 20403 stops the reading before the record after it.
      {"newer_installer.txt", 0, server_list_read, "Old", {{"before.test", "/b/Old/", "Before|Before"}},
       true, "https://www.skyrill.example/newer/", false},
      // Indented keywords, "SERVERS" and "SERVERX" in the body, blank lines inside a record,
      // CR LF ends and blanks around every field.
      {"crlf_indented.txt", 0, server_list_read, "Spaced Name",
       {{"spaced.test", "/spaced/path/Spaced Name/", "Spaced|Spaced mirror"}}, false, "", true},
      // Neither BETA nor FINAL applies: the name stays; no ENDOFLIST: the list still counts.
      {"beta_only_no_end.txt", 0, server_list_read, start, {{"one.test", "/one/" + start + "/", "One|One"}},
       false, "", false},
      {"beta_only_no_end.txt", 1, server_list_read, "Beta Only", {{"one.test", "/one/Beta Only/", "One|One"}},
       false, "", false},
      {"no_mirrors.txt", 0, server_list_read, "Empty", {}, false, "", true},
      // A number that is not one is passed over, not read as a huge version.
      {"bad_version_numbers.txt", 0, server_list_read, "Odd", {{"ok.test", "/ok/Odd/", "Ok|Ok"}}, false, "", true},
      // A record cut off by the end of the file offers no mirror.
      {"cut_record.txt", 0, server_list_read, "Cut", {{"first.test", "/first/Cut/", "First|First"}}, false, "",
       false},
      // A trailing "/" on the host is taken off and a path gets its leading "/"; a host with a
      // blank or a scheme is no host.
      {"odd_hosts.txt", 0, server_list_read, "Odd", {{"slash.test", "/no-lead-slash/Odd/", "Slash|Slash"}},
       false, "", true},
      // A release name that is not one folder name is passed over.
      {"bad_release_names.txt", 0, server_list_read, "Good Name", {{"n.test", "/n/Good Name/", "N|N"}}, false,
       "", true},
      {"version_821.txt", 0, server_list_newer, start, {}, false, "", false},
      {"wrong_keyword.txt", 0, server_list_newer, start, {}, false, "", false},
      // An error page served with status 200 is no list, and says nothing about the format.
      {"html_page.txt", 0, server_list_not_a_list, start, {}, false, "", false},
      {"missing.txt", 0, server_list_not_a_list, start, {}, false, "", false},
  };
  for (const expected_list& e : rows) {
    SCOPED_TRACE(std::string(e.file) + (e.beta ? " (beta)" : ""));
    std::string name = start;
    server_list_contents list;
    ASSERT_EQ(read_server_list_file(fixture(e.file), e.beta, &name, &list), e.result);
    EXPECT_EQ(name, e.name);
    ASSERT_EQ(list.servers.size(), e.servers.size());
    for (size_t k = 0; k < e.servers.size(); ++k) {
      EXPECT_EQ(list.servers[k].host, e.servers[k].host) << k;
      EXPECT_EQ(list.servers[k].path, e.servers[k].path) << k;
      EXPECT_EQ(list.servers[k].desc, e.servers[k].desc) << k;
    }
    EXPECT_EQ(list.newer_installer, e.newer_installer);
    EXPECT_EQ(list.installer_page, e.page);
    EXPECT_EQ(list.ended, e.ended);
  }
}

// A list of exactly one page whose last record runs into the end of the file: the reader stops
// at the end of the mapping (under AddressSanitizer a read past it is a crash).
TEST(ServerListFile, APageSizedListEndingInsideARecordIsReadToItsEndOnly) {
  temp_tree work;
  const std::string head = "I\n820 one page\nSERVERS\nFINAL Page\n";
  const char* endings[] = {"SERVER last.test", "SERVER", "FINAL Last Name", "INS_VERSION 20403",
                           "INS_VERSION", "SERVER host.test\n/path/\nDescription without end", "ENDOFLIST"};
  for (const char* ending : endings) {
    SCOPED_TRACE(ending);
    std::string text = head;
    while (text.size() + std::strlen(ending) + 40 < 4096) text += "# a line without a keyword, passed over\n";
    text += std::string(4096 - text.size() - std::strlen(ending) - 1, 'x') + "\n" + ending;
    ASSERT_EQ(text.size(), 4096u);
    const std::string path = work.write("list.txt", text);
    std::string name;
    server_list_contents list;
    EXPECT_EQ(read_server_list_file(path, 0, &name, &list), server_list_read);
  }
}

// The first pick favours the head of the list: over an even spread of u, entry k comes up with
// probability ((k + 1) / n)^(2/3) - (k / n)^(2/3).
TEST(MirrorPick, FirstEntriesArePickedMoreOften) {
  for (int n : {2, 4, 10}) {
    const int draws = 100000;
    std::vector<int> hits(n, 0);
    for (int i = 0; i < draws; ++i) {
      int k = biased_mirror_pick(n, (i + 0.5) / draws);
      ASSERT_GE(k, 0);
      ASSERT_LT(k, n);
      ++hits[k];
    }
    for (int k = 0; k < n; ++k) {
      const double p = std::pow((k + 1.0) / n, 2.0 / 3.0) - std::pow(static_cast<double>(k) / n, 2.0 / 3.0);
      EXPECT_NEAR(hits[k] / static_cast<double>(draws), p, 1e-3) << "n " << n << " k " << k;
    }
  }
  EXPECT_EQ(biased_mirror_pick(1, 0.99), 0);
  EXPECT_EQ(biased_mirror_pick(0, 0.5), 0);
  EXPECT_EQ(biased_mirror_pick(3, 0.9999999999), 2);
  EXPECT_EQ(biased_mirror_pick(3, std::nan("")), 0);
}

TEST(UpdateHost, TheSettingNamesTheHostWhenItIsUsable) {
  struct row {
    const char* setting;
    std::string host;
  } rows[] = {
      {"", default_update_host},
      {"  updates.example.org  ", "updates.example.org"},
      {"updates.example.org/", "updates.example.org"},
      {"two words", default_update_host},
      {"http://x/y", default_update_host},
  };
  for (const row& r : rows) {
    update_host_setting = r.setting;
    EXPECT_EQ(update_host(), r.host) << r.setting;
  }

  // The setting is the installer preference "_update_host".
  temp_tree prefs;
  const char* old = getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", prefs.path().c_str(), 1);
  bind_update_host_preference();
  update_host_setting = "updates.example.org";
  pref.IO_set(11, 1);
  EXPECT_NE(read_whole_file(prefs.path() + "Skyrill Installer.prf").find("_update_host updates.example.org\n"),
            std::string::npos);
  update_host_setting.clear();
  pref.IO_set(11, 0);
  EXPECT_EQ(update_host(), "updates.example.org");
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
  update_host_setting.clear();
}

}  // namespace
