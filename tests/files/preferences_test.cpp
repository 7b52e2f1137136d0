#include "files/preferences.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "files/house_writer.h"
#include "runtime/command_line.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

// The settings the install engine and the HTTP client would own.
struct engine_fields {
  int stream_count = 0, log_actions = 0, proxy_port = 0, get_beta = 0;
  std::string proxy_host, proxy_port_text;
};

// Each test gets a fresh preferences folder, a fresh install root as current folder, bound
// settings and an empty command line.
class Preferences : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* xdg = getenv("XDG_CONFIG_HOME");
    had_xdg_ = xdg != nullptr;
    if (xdg) old_xdg_ = xdg;
    setenv("XDG_CONFIG_HOME", (root_.path() + "config home").c_str(), 1);
    pref_installer_fields f;
    f.stream_count = &e_.stream_count;
    f.log_actions = &e_.log_actions;
    f.proxy_host = &e_.proxy_host;
    f.proxy_port_text = &e_.proxy_port_text;
    f.proxy_port = &e_.proxy_port;
    f.get_beta = &e_.get_beta;
    pref_bind_installer_fields(f);
    cmdline.clear();
  }
  void TearDown() override {
    cmdline.clear();
    pref_bind_installer_fields(pref_installer_fields());
    if (had_xdg_) setenv("XDG_CONFIG_HOME", old_xdg_.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
  }
  std::string installer_file() const { return root_.path() + "config home/Skyrill Installer.prf"; }
  void write_installer_file(const std::string& body) {
    make_folders(root_.path() + "config home/");
    write_whole_file(installer_file(), "I\n9002 version\n" + body);
  }

  temp_tree root_;
  current_folder_guard in_root_{root_.path()};
  engine_fields e_;
  std::string old_xdg_;
  bool had_xdg_ = false;
};

TEST_F(Preferences, ReadingRules) {
  struct row {
    const char* name;
    std::string file;
    std::map<std::string, std::string> values;
  } rows[] = {
      {"plain", "I\n9002 version\na 1\nb two words\n", {{"a", "1"}, {"b", "two words"}}},
      {"key without value", "I\n9002 version\n_stream_count\n_proxy_host\n",
       {{"_stream_count", ""}, {"_proxy_host", ""}}},
      {"last line wins", "I\n9002 version\n_get_beta 0\n_get_beta 1\n", {{"_get_beta", "1"}}},
      {"inner and trailing blanks", "I\n9002 version\n_proxy_host  proxy host.lan \n",
       {{"_proxy_host", "proxy host.lan "}}},
      {"CR LF, tabs, blank lines", "I\r\n9002 version\r\n\r\n\ta\t1\r\n\r\n  b 2\r\n",
       {{"a", "1"}, {"b", "2"}}},
      {"NUL ends a line", std::string("I\n9002 version\na 1\0b 2", 22), {{"a", "1"}, {"b", "2"}}},
      {"no final line end", "I\n9002 version\nk v", {{"k", "v"}}},
      {"header only", "I\n9002 version\n", {}},
      {"wrong version", "I\n9001 version\na 1\n", {}},
      {"wrong letter", "X\n9002 version\na 1\n", {}},
      {"empty file", "", {}},
  };
  for (const row& r : rows) {
    const std::string path = root_.write("r.prf", r.file);
    scan_class s(path, 0);
    EXPECT_EQ(s.values, r.values) << r.name;
  }
  scan_class missing(root_.path() + "missing.prf", 0);
  EXPECT_TRUE(missing.values.empty());
}

TEST_F(Preferences, IntegerReadings) {
  struct row {
    const char* text;
    int value;
  } rows[] = {
      {"4 word", 4},          {"word", 0},  {"", 0},
      {"-3", -3},             {"+7", 7},    {"\t 12", 12},
      {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}, {"0x10", 0},
  };
  for (const row& r : rows) {
    scan_class s(root_.write("i.prf", std::string("I\n9002 version\nk ") + r.text + "\n"), 0);
    int v = 77;
    EXPECT_EQ(s.int_io(&v, "k"), 1) << r.text;
    EXPECT_EQ(v, r.value) << r.text;
    v = 77;
    EXPECT_EQ(s.int_io(&v, "absent"), 0);
    EXPECT_EQ(v, 77) << "a key not found leaves the setting alone";
  }
}

TEST_F(Preferences, DefaultInstallerFileBytes) {
  pref.IO_set(11, 1);
  EXPECT_EQ(read_whole_file(installer_file()),
            "I\n9002 version\n_stream_count 0\n_log_actions 0\n_proxy_port_int 0\n_get_beta 0\n");
}

TEST_F(Preferences, InstallerRoundTripWithOverrides) {
  e_.stream_count = 2;
  e_.log_actions = 1;
  e_.proxy_host = "proxy.example.lan";
  e_.proxy_port_text = "3128";
  e_.proxy_port = 3128;
  e_.get_beta = 1;
  pref.IO_set(11, 1);
  const std::string saved = read_whole_file(installer_file());
  EXPECT_EQ(saved,
            "I\n9002 version\n_stream_count 2\n_log_actions 1\n_proxy_host proxy.example.lan\n"
            "_proxy_port 3128\n_proxy_port_int 3128\n_get_beta 1\n");

  e_ = engine_fields();
  pref.IO_set(11, 0);
  EXPECT_EQ(e_.stream_count, 2);
  EXPECT_EQ(e_.log_actions, 1);
  EXPECT_EQ(e_.proxy_host, "proxy.example.lan");
  EXPECT_EQ(e_.proxy_port_text, "3128");
  EXPECT_EQ(e_.proxy_port, 3128);
  EXPECT_EQ(e_.get_beta, 1);

  // Every key overridden: the command line wins, and the next write stores it.
  const char* args[] = {"skyrill",
                        "--pref:_stream_count=3",
                        "--pref:_log_actions=0",
                        "--pref:_proxy_host=cache.lan",
                        "--pref:_proxy_port=8080",
                        "--pref:_proxy_port_int=8080",
                        "--pref:_get_beta=0"};
  shell_double::reopen_log();
  cmdline.parse_unix(7, args);
  e_ = engine_fields();
  pref.IO_set(11, 0);
  EXPECT_EQ(e_.stream_count, 3);
  EXPECT_EQ(e_.log_actions, 0);
  EXPECT_EQ(e_.proxy_host, "cache.lan");
  EXPECT_EQ(e_.proxy_port_text, "8080");
  EXPECT_EQ(e_.proxy_port, 8080);
  EXPECT_EQ(e_.get_beta, 0);
  cmdline.clear();
  pref.IO_set(11, 1);
  EXPECT_EQ(read_whole_file(installer_file()),
            "I\n9002 version\n_stream_count 3\n_log_actions 0\n_proxy_host cache.lan\n"
            "_proxy_port 8080\n_proxy_port_int 8080\n_get_beta 0\n");
}

TEST_F(Preferences, OverrideTable) {
  struct row {
    const char* file;  // null: no file
    const char* arg;
    int expect;
  } rows[] = {
      {"_stream_count 1\n", "--pref:_stream_count=3", 3},
      {nullptr, "--pref:_stream_count=3", 3},
      {"_stream_count 1\n", "--pref:_stream_count", 0},
      {"_stream_count 1\n", "--pref:_other=3", 1},
      {nullptr, "--pref:_stream_count=2=x", 2},
  };
  for (const row& r : rows) {
    unlink(installer_file().c_str());
    if (r.file) write_installer_file(r.file);
    cmdline.clear();
    const char* args[] = {"skyrill", r.arg};
    cmdline.parse_unix(2, args);
    e_.stream_count = 9;
    pref.IO_set(11, 0);
    EXPECT_EQ(e_.stream_count, r.expect) << r.arg << (r.file ? " with file" : " without file");
  }

  // A bad header gives no lines, but the override still applies.
  write_whole_file(installer_file(), "X\n9002 version\n_get_beta 1\n_stream_count 1\n");
  cmdline.clear();
  const char* args[] = {"skyrill", "--pref:_stream_count=4"};
  cmdline.parse_unix(2, args);
  e_ = engine_fields();
  pref.IO_set(11, 0);
  EXPECT_EQ(e_.stream_count, 4);
  EXPECT_EQ(e_.get_beta, 0);
}

TEST_F(Preferences, ValuesThatWouldBreakTheProgram) {
  struct row {
    const char* body;
    int stream_count;
    int proxy_port;
  } rows[] = {
      {"_stream_count -1\n_proxy_port_int 70000\n", 0, 0},
      {"_stream_count 99999999999\n_proxy_port_int -5\n", INT_MAX, 0},
      {"_stream_count 4\n_proxy_port_int 65535\n", 4, 65535},
      {"_stream_count 1\n_proxy_port_int 1\n", 1, 1},
      {"_stream_count 0\n_proxy_port_int 65536\n", 0, 0},
  };
  for (const row& r : rows) {
    write_installer_file(r.body);
    e_ = engine_fields();
    pref.IO_set(11, 0);
    EXPECT_EQ(e_.stream_count, r.stream_count) << r.body;
    EXPECT_EQ(e_.proxy_port, r.proxy_port) << r.body;
  }
  // The same through the command line.
  const char* args[] = {"skyrill", "--pref:_stream_count=-1"};
  cmdline.parse_unix(2, args);
  e_.stream_count = 2;
  pref.IO_set(11, 0);
  EXPECT_EQ(e_.stream_count, 0) << "negative means automatic, never 'no slots'";

  // A pasted proxy host with line breaks cannot add key lines to the file.
  cmdline.clear();
  e_ = engine_fields();
  e_.proxy_host = "evil\n_stream_count -7\r\n";
  e_.proxy_port_text = std::string("\n\0", 2);
  pref.IO_set(11, 1);
  EXPECT_EQ(read_whole_file(installer_file()),
            "I\n9002 version\n_stream_count 0\n_log_actions 0\n_proxy_host evil_stream_count -7\n"
            "_proxy_port_int 0\n_get_beta 0\n");
}

TEST_F(Preferences, FreshConfigFolderIsCreated) {
  setenv("XDG_CONFIG_HOME", (root_.path() + "new/deeper/config").c_str(), 1);
  e_.get_beta = 1;
  pref.IO_set(11, 1);
  EXPECT_FALSE(ouf.fail());
  EXPECT_NE(read_whole_file(root_.path() + "new/deeper/config/Skyrill Installer.prf")
                .find("_get_beta 1\n"),
            std::string::npos);
}

TEST_F(Preferences, NoPreferencesFolderFallsBackBesideTheProgram) {
  setenv("XDG_CONFIG_HOME", "/dev/null/config", 1);
  shell_double::reopen_log();
  EXPECT_EQ(installer_pref_path(), "Resources/preferences/Skyrill Installer.prf");
  EXPECT_NE(shell_double::log_text().find("No preferences folder"), std::string::npos);
  make_folders(root_.path() + "Resources/");
  e_.log_actions = 1;
  pref.IO_set(11, 1);
  EXPECT_NE(read_whole_file(root_.path() + "Resources/preferences/Skyrill Installer.prf")
                .find("_log_actions 1\n"),
            std::string::npos);
}

TEST_F(Preferences, UnboundSettingsStillRoundTrip) {
  pref_bind_installer_fields(pref_installer_fields());
  write_installer_file("_stream_count 2\n_proxy_host h\n_proxy_port_int 81\n");
  pref.IO_set(11, 0);
  unlink(installer_file().c_str());
  pref.IO_set(11, 1);
  EXPECT_EQ(read_whole_file(installer_file()),
            "I\n9002 version\n_stream_count 2\n_log_actions 0\n_proxy_host h\n_proxy_port_int 81\n"
            "_get_beta 0\n");
}

// The display file's keys belong to the shell, which binds them at start-up; without that the
// file still reads, and writes its header alone.
TEST_F(Preferences, DisplayFileWithoutItsKeysAndTheEmptyFile) {
  make_folders(root_.path() + "Resources/preferences/");
  const std::string path = root_.path() + "Resources/preferences/Res Nimbrel.prf";
  write_whole_file(path, "I\n9002 version\n_lang 2\n");
  pref.IO_set(10, 0);
  pref.IO_set(10, 1);
  EXPECT_EQ(read_whole_file(path), "I\n9002 version\n");

  pref.IO_set(12, 1);
  EXPECT_EQ(read_whole_file(root_.path() + "Resources/preferences/Cal Skyrill.prf"),
            "I\n9002 version\n");
  pref.IO_set(12, 0);
  EXPECT_EQ(pref.IO_sta(1, 2, "x"), 0);
}

}  // namespace
