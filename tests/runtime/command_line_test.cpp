#include "runtime/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

using option_list = std::vector<std::pair<std::string, std::string>>;

option_list entries(const UTL_cmdline& c) { return option_list(c.begin(), c.end()); }

const std::string probe = COMMAND_LINE_PROBE;

}  // namespace

TEST(CommandLine, ParseTable) {
  struct row {
    std::vector<const char*> args;  // without argv[0]
    option_list map;
    std::string log;
  } rows[] = {
      {{}, {}, ""},
      {{"--lang=fr"}, {{"--lang", "fr"}}, "     '--lang'='fr'\n"},
      {{"-path", "/x/y"}, {{"-path", ""}, {"/x/y", ""}}, "     '-path'\n     '/x/y'\n"},
      {{"--pref:key=a=b"}, {{"--pref:key", "a=b"}}, "     '--pref:key'='a=b'\n"},
      {{"=v"}, {{"", "v"}}, "     ''='v'\n"},
      {{"--lang="}, {{"--lang", ""}}, "     '--lang'\n"},
      {{"--lang=fr", "--lang=de"},
       {{"--lang", "de"}},
       "     '--lang'='fr'\nWARNING: command line option --lang=deincluded twice.\n"
       "     '--lang'='de'\n"},
      {{"b", "a", "B"}, {{"B", ""}, {"a", ""}, {"b", ""}}, "     'b'\n     'a'\n     'B'\n"},
  };
  for (const row& r : rows) {
    shell_double::reopen_log();
    UTL_cmdline c;
    std::vector<const char*> argv{"skyrill"};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    c.parse_unix(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(entries(c), r.map) << r.log;
    EXPECT_EQ(shell_double::log_text(), r.log);
  }
}

TEST(CommandLine, WindowsStyleLineTable) {
  struct row {
    const char* line;
    option_list map;
    std::string log;
  } rows[] = {
      {"", {}, ""},
      {nullptr, {}, ""},
      {" \t --lang=fr\t-path  /x ", {{"--lang", "fr"}, {"-path", ""}, {"/x", ""}},
       "     '--lang'='fr'\n     '-path'\n     '/x'\n"},
      {"=skipped --a=1", {{"--a", "1"}}, "     '--a'='1'\n"},
      {"--pref:k=a=b --last", {{"--last", ""}, {"--pref:k", "a=b"}},
       "     '--pref:k'='a=b'\n     '--last'\n"},
      {"--a= --b", {{"--a", ""}, {"--b", ""}}, "     '--a'\n     '--b'\n"},
      {"--a=1 --a=2", {{"--a", "2"}},
       "     '--a'='1'\nWARNING: command line option --a=2included twice.\n     '--a'='2'\n"},
  };
  for (const row& r : rows) {
    shell_double::reopen_log();
    UTL_cmdline c;
    c.parse_win(r.line);
    EXPECT_EQ(entries(c), r.map) << (r.line ? r.line : "(null)");
    EXPECT_EQ(shell_double::log_text(), r.log);
  }
}

TEST(CommandLine, QueriesNeverInsert) {
  UTL_cmdline c;
  const char* argv[] = {"skyrill", "--fps_test=3", "--force_run"};
  c.parse_unix(3, argv);
  EXPECT_EQ(c.get_option("--fps_test"), "3");
  EXPECT_EQ(c.get_option("--force_run"), "");
  EXPECT_EQ(c.has_option("--force_run"), 1);
  EXPECT_EQ(c.get_option("--lang"), "");
  EXPECT_EQ(c.has_option("--lang"), 0);
  EXPECT_EQ(c.size(), 2u);
  EXPECT_EQ(c.init_common(), 0);
}

// The printing options end the process, so they run in a program of their own.
TEST(CommandLine, PrintingOptionsEndTheProgram) {
  const std::string usage = read_whole_file(SKY_SOURCE_DIR "/tests/runtime/golden/usage.txt");
  ASSERT_FALSE(usage.empty());
  char all_line[128];
  std::string all;
  const char* listed[][2] = {{"sim/-none-/-none-", "Do nothing at all!"},
                             {"sim/view/forward", "Look forward."},
                             {"sim/view/back", "Look back."},
                             {"sim/flight/pause", "Pause the flight."}};
  for (auto& c : listed) {
    std::snprintf(all_line, sizeof all_line, "%-50s %s\n", c[0], c[1]);
    all += all_line;
  }
  struct row {
    std::vector<std::string> args;
    int status;
    std::string out;
  } rows[] = {
      {{}, 3, "no printing option\n"},
      {{"--lang=fr", "--force_run"}, 3, "no printing option\n"},
      {{"--version"}, 0, "Skyrill Web Updater 2.04r1\n"},
      {{"-h"}, 0, usage},
      {{"--help"}, 0, usage},
      {{"--version", "-h"}, 0, "Skyrill Web Updater 2.04r1\n"},
      {{"--cmnds=all"}, 0, all},
      {{"-h", "--cmnds=all"}, 0, all},
      // Branches are listed once per command below them, sorted byte by byte.
      {{"--cmnds=sim/"}, 0, "-none-/\nflight/\nview/\nview/\n"},
      {{"--cmnds=sim/view/"}, 0, "back\nforward\n"},
      {{"--cmnds"}, 0, "sim/\nsim/\nsim/\nsim/\n"},
      {{"--cmnds=sim/view/back"}, 0, ""},
  };
  for (const row& r : rows) {
    std::vector<std::string> argv{probe};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    process_result p = run_process(argv);
    std::string shown = r.args.empty() ? "(none)" : r.args[0];
    EXPECT_EQ(p.exit_code, r.status) << shown;
    EXPECT_EQ(p.out, r.out) << shown;
  }
}

// The installer itself: its start-up fills the map right after the log opens, and the printing
// options end it before the thread layer starts. The program runs from a copy in a private
// folder, so its log lands there.
TEST(CommandLine, InstallerPrintsVersionAndHelp) {
  temp_tree tree;
  const std::string program = tree.path() + "skyrill-installer";
  ASSERT_EQ(run_process({"cp", INSTALLER_PROGRAM, program}).exit_code, 0);
  const std::string log = tree.path() + "Skyrill Installer Log.txt";
  const std::string usage = read_whole_file(SKY_SOURCE_DIR "/tests/runtime/golden/usage.txt");

  struct row {
    const char* option;
    std::string out;
  } rows[] = {{"--version", "Skyrill Web Updater 2.04r1\n"}, {"-h", usage}, {"--help", usage}};
  for (const row& r : rows) {
    process_result p = run_process({program, "--lang=en", r.option}, "", {}, tree.path());
    EXPECT_EQ(p.exit_code, 0) << r.option << "\n" << p.err;
    EXPECT_EQ(p.out, r.out) << r.option;
    const std::string text = read_whole_file(log);
    EXPECT_NE(text.find("     '--lang'='en'\n     '" + std::string(r.option) + "'\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("CPU count"), std::string::npos) << r.option;
  }
}
