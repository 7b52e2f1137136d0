#include "files/house_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/mapped_file.h"
#include "runtime/shell_services.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

std::string written(const std::string& path, int type, int version, const std::string& notice,
                    const std::string& body = "") {
  EXPECT_EQ(ouf_open(path, type, version, notice), 1);
  ouf << body;
  ouf.close();
  EXPECT_FALSE(ouf.fail());
  return read_whole_file(path);
}

TEST(HouseWriter, ExactHeaderBytes) {
  temp_tree t;
  const std::string p = t.path() + "h.txt";
  EXPECT_EQ(written(p, xmap_text, 9002, "no-copyright-string"), "I\n9002 version\n");
  EXPECT_EQ(written(p, xmap_text, 900, " (c) Skyrill"), "I\n900 version (c) Skyrill\n");
  EXPECT_EQ(written(p, xmap_text, 900, ""), "I\n900 version\n");
  EXPECT_EQ(written(p, xmap_text, -5, "no-copyright-string", "INSTALLER\n"),
            "I\n-5 version\nINSTALLER\n");
  EXPECT_EQ(written(p, xmap_binary, 900, "ignored"), std::string("i\x84\x03\0\0", 5));
  EXPECT_EQ(written(p, xmap_binary, -2, ""), std::string("i\xfe\xff\xff\xff", 5));
  EXPECT_FALSE(path_exists(p + ".partial"));
}

TEST(HouseWriter, WrittenHeadersReadBack) {
  temp_tree t;
  const std::string p = t.path() + "r.dat";
  const int v900[] = {900, 0};
  written(p, xmap_text, 900, "no-copyright-string", "SERVERS\nSERVER a b\n");
  xmap_class m(p);
  EXPECT_EQ(m.check_file(xmap_text, v900, "SERVERS", nullptr), 900);
  std::string line;
  m.TXT_str_scan_eoln(&line);
  EXPECT_EQ(line, "SERVER a b");

  written(p, xmap_binary, 900, "", std::string("\x01\x02\x03\x04", 4));
  m.retry(p);
  EXPECT_EQ(m.check_file(xmap_binary, v900, nullptr, nullptr), 900);
  EXPECT_EQ(m.swap_flag, 0);
  int word = 0;
  m.read_n_rev(&word, 4);
  EXPECT_EQ(word, 0x04030201);

  // The same pair through the reader object's symmetric open and close.
  xmap_class w;
  ASSERT_EQ(w.io_file_open(1, t.path() + "io.txt", v900, xmap_text), 1);
  ouf << "DVD\n";
  w.io_file_close();
  EXPECT_FALSE(ouf.fail());
  EXPECT_EQ(read_whole_file(t.path() + "io.txt"), "I\n900 version\nDVD\n");
  xmap_class r;
  EXPECT_EQ(r.io_file_open(0, t.path() + "io.txt", v900, xmap_text), 1);
  EXPECT_EQ(r.io_file_open(0, t.path() + "missing", v900, xmap_text), 0);
  EXPECT_EQ(r.io_file_open(2, t.path() + "io.txt", v900, xmap_text), 0);
}

TEST(HouseWriter, NameIsKeptExactly) {
  temp_tree t;
  written(t.path() + "X.TXT", xmap_text, 1, "");
  written(t.path() + "README", xmap_text, 1, "");
  EXPECT_TRUE(path_exists(t.path() + "X.TXT"));
  EXPECT_FALSE(path_exists(t.path() + "X.txt"));
  EXPECT_TRUE(path_exists(t.path() + "README"));
  EXPECT_FALSE(path_exists(t.path() + "REAdme"));
}

TEST(HouseWriter, MissingFolders) {
  temp_tree t;
  shell_double::reset();
  EXPECT_EQ(written(t.path() + "new/p.prf", xmap_text, 9002, "no-copyright-string"),
            "I\n9002 version\n");
  EXPECT_TRUE(shell_double::alerts().empty());

  const std::string deep = t.path() + "a/b/p.prf";
  EXPECT_EQ(ouf_open(deep, xmap_text, 9002, ""), 0);
  EXPECT_TRUE(ouf.fail());
  ouf << "lost\n";
  auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, t_alert);
  EXPECT_EQ(alerts[0].lines[0],
            "I could not save the file! Could the directory that the file sits in be missing? Or "
            "flagged as READ-ONLY by the operating system? (Windows machines typically do this).");
  EXPECT_EQ(alerts[0].lines[1], deep);
  EXPECT_EQ(alerts[0].lines[2],
            "Could the file be flagged as read-only? This happens in Windows if you copy it from a "
            "CD!");
  EXPECT_EQ(alerts[0].lines[3],
            "Try putting this app in the background and then flag the file as NOT read-only, or "
            "creating the folder listed in the path above.");
  EXPECT_EQ(alerts[0].file, "RIzirud/Files/io_utils");
  EXPECT_FALSE(path_exists(t.path() + "a/")) << "only the parent itself is tried, one level";
  EXPECT_FALSE(path_exists(deep));

  shell_double::reset();
  EXPECT_EQ(ouf_open(t.path() + "x", 10002, 1, ""), 0);
  alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].lines[0], "Bad ouf_open type!");
  EXPECT_EQ(alerts[0].lines[1], t.path() + "x");
  EXPECT_EQ(alerts[0].type, t_exit);
}

TEST(HouseWriter, FullDeviceFailureIsVisible) {
  struct stat st;
  ASSERT_EQ(stat("/dev/full", &st), 0);
  ASSERT_TRUE(S_ISCHR(st.st_mode));
  ASSERT_EQ(ouf_open("/dev/full", xmap_text, 9002, ""), 1) << "the header sits in the buffer";
  ouf << std::string(100, 'x');
  ouf.close();
  EXPECT_TRUE(ouf.fail());
  ASSERT_EQ(stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode)) << "a device is written in place, never replaced";
}

TEST(HouseWriter, FailedWriteKeepsTheOldFile) {
  temp_tree t;
  const std::string p = t.write("Skyrill Installer.prf", "I\n9002 version\n_stream_count 2\n");
  const std::string old = read_whole_file(p);

  // Until ouf is closed the old file is untouched: a crash mid-write loses nothing.
  ASSERT_EQ(ouf_open(p, xmap_text, 9002, "no-copyright-string"), 1);
  ouf << "_stream_count 3\n";
  ouf.flush();
  EXPECT_EQ(read_whole_file(p), old);

  // A disk that fills up: the file-size limit makes the writes fail for real.
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  struct rlimit small = saved;
  small.rlim_cur = 65536;
  signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  ouf << std::string(200000, 'x');
  ouf.close();
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_TRUE(ouf.fail());
  EXPECT_TRUE(read_whole_file(p) == old) << "the old preferences survive";
  EXPECT_FALSE(path_exists(p + ".partial"));
  EXPECT_NE(shell_double::log_text().find("Could not save " + p), std::string::npos);

  // The stream is usable again for the next file.
  ASSERT_EQ(ouf_open(p, xmap_text, 9002, "no-copyright-string"), 1);
  ouf << "_stream_count 4\n";
  ouf.close();
  EXPECT_EQ(read_whole_file(p), "I\n9002 version\n_stream_count 4\n");
}

TEST(HouseWriter, ReplacementKeepsLinkAndPermissions) {
  temp_tree t;
  const std::string priv = t.write("private.prf", "old");
  chmod(priv.c_str(), 0600);
  written(priv, xmap_text, 9002, "no-copyright-string", "k v\n");
  struct stat pst;
  ASSERT_EQ(stat(priv.c_str(), &pst), 0);
  EXPECT_EQ(pst.st_mode & 0777, 0600u);

  const std::string target = t.write("dotfiles/p.prf", "old");
  const std::string link = t.path() + "p.prf";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  written(link, xmap_text, 9002, "no-copyright-string", "k v\n");
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(read_whole_file(target), "I\n9002 version\nk v\n");
}

}  // namespace
