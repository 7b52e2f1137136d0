#include "files/file_ops.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "files/archive_fixtures.h"
#include "support/shell_double.h"

namespace {

TEST(CopyFile, SizesAroundTheBufferModesAndFailures) {
  temp_tree t;
  for (size_t size : {size_t(0), size_t(1), size_t(65535), size_t(65536), size_t(65537),
                      size_t(131072), size_t(5 << 20)}) {
    SCOPED_TRACE(size);
    std::string src = t.write("src.bin", random_bytes(size, static_cast<unsigned>(size)));
    chmod(src.c_str(), 0751);
    std::string dst = t.path() + "dst.bin";
    ASSERT_EQ(copy_file(src, dst), 0);
    EXPECT_EQ(run_process({"cmp", src, dst}).exit_code, 0);
    EXPECT_EQ(mode_of(dst), 0751u);
  }
  std::string dst = t.write("keep.bin", "old bytes");
  EXPECT_EQ(copy_file(t.path() + "missing", dst), 2);
  EXPECT_EQ(read_whole_file(dst), "old bytes");
  EXPECT_EQ(copy_file(dst, t.path() + "no/such/folder/x"), 2);
  // A full disk must never read as a finished copy.
  std::string big = t.write("big.bin", random_bytes(200000, 1));
  EXPECT_EQ(copy_file(big, "/dev/full"), ENOSPC);
  std::string small = t.write("small.bin", "x");
  EXPECT_EQ(copy_file(small, "/dev/full"), ENOSPC);
}

// A tree as users have them: blanks, UTF-8, dot-files, links to a file and to a folder outside.
struct user_tree {
  temp_tree t;
  std::string root = t.path() + "tree/";
  std::string outside = t.path() + "outside/";
  user_tree() {
    t.write("tree/a file.txt", "one");
    t.write("tree/.hidden", "dot");
    t.write("tree/sub/\xC3\xA9t\xC3\xA9/deep.bin", random_bytes(70000, 2));
    t.write("tree/sub/.config/settings", "s");
    t.write("outside/precious.txt", "keep me");
    symlink("a file.txt", (root + "to file").c_str());
    symlink(outside.c_str(), (root + "sub/to folder").c_str());
  }
};

TEST(TreeOperations, CopyKeepsDotFilesAndLinksAsLinks) {
  user_tree u;
  std::string copy = u.t.path() + "copy/";
  ASSERT_EQ(copy_file_recursive(u.root, copy), 0);
  EXPECT_EQ(list_tree(copy), list_tree(u.root));
  EXPECT_EQ(read_whole_file(copy + ".hidden"), "dot");
  EXPECT_EQ(md5sum_of(copy + "sub/\xC3\xA9t\xC3\xA9/deep.bin"), md5sum_of(u.root + "sub/\xC3\xA9t\xC3\xA9/deep.bin"));
  std::string text;
  ASSERT_EQ(is_sim_link(copy + "sub/to folder", &text), 1);
  EXPECT_EQ(text, u.outside);
  ASSERT_EQ(is_sim_link(copy + "to file", &text), 1);
  EXPECT_EQ(text, "a file.txt");
  // An unreadable source folder is a failure, not an empty copy.
  EXPECT_EQ(copy_file_recursive(u.t.path() + "missing/", u.t.path() + "copy2/"), ENOENT);
}

TEST(TreeOperations, DeleteRemovesLinksButNeverWhatTheyPointAt) {
  user_tree u;
  // Asked to delete a link to a folder as if it were the folder: refused, nothing goes.
  EXPECT_EQ(recursive_delete_folder(u.root + "sub/to folder/"), ENOTDIR);
  EXPECT_EQ(read_whole_file(u.outside + "precious.txt"), "keep me");
  ASSERT_EQ(recursive_delete_folder(u.root), 0);
  EXPECT_FALSE(path_exists(u.root));
  EXPECT_EQ(read_whole_file(u.outside + "precious.txt"), "keep me");
  EXPECT_EQ(recursive_delete_folder(u.t.path() + "missing/"), ENOENT);
  // A path without the folder mark is the listing's fatal misuse alert.
  shell_double::reset();
  recursive_delete_folder(u.outside.substr(0, u.outside.size() - 1));
  ASSERT_EQ(shell_double::alerts().size(), 1u);
  EXPECT_EQ(shell_double::alerts()[0].lines[0], "Working path does not appear to be a directory!");
  EXPECT_EQ(shell_double::alerts()[0].type, 2);
  EXPECT_TRUE(path_exists(u.outside + "precious.txt"));
}

TEST(FileOperations, CreateDeleteRenameAndQueries) {
  temp_tree t;
  std::string d = t.path() + "made";
  EXPECT_EQ(make_folder(d + "/"), 0);
  EXPECT_EQ(make_folder(d), EEXIST);
  EXPECT_EQ(make_folder(t.path() + "a/b/c"), ENOENT);
  EXPECT_EQ(dir_exists(d + "/"), 1);
  EXPECT_EQ(file_exists(d), 0);
  t.write("made/x", "x");
  EXPECT_EQ(delete_file(""), 2);
  EXPECT_EQ(delete_file(d + "/"), ENOTEMPTY);
  EXPECT_STREQ(sErrFile, "files/file_ops.cpp");
  EXPECT_EQ(rename_file(d + "/", "x", "y"), 0);
  EXPECT_EQ(file_exists(d + "/y"), 1);
  EXPECT_EQ(rename_file(d + "/", "x", "z"), ENOENT);
  EXPECT_EQ(delete_file(d + "/y"), 0);
  EXPECT_EQ(delete_file(d + "/"), 0);
  EXPECT_EQ(dir_exists(d), 0);

  EXPECT_EQ(APL_file_size(t.path()), -1);
  EXPECT_EQ(APL_file_size(t.path() + "missing"), -1);
  EXPECT_EQ(APL_file_size(t.write("empty", "")), 0);
  std::string sparse = t.path() + "sparse";
  ASSERT_EQ(run_process({"truncate", "-s", "3G", sparse}).exit_code, 0);
  EXPECT_EQ(APL_file_size(sparse), int64_t(3) << 30);

  std::string f = t.write("exe", "#!/bin/sh\n");
  chmod(f.c_str(), 0600);
  EXPECT_EQ(make_file_executable(f), 0);
  EXPECT_EQ(mode_of(f), 0755u);
  EXPECT_EQ(make_file_executable(t.path() + "missing"), ENOENT);

  std::string long_text(3000, 'L');  // far beyond the old 499-byte buffer
  symlink(long_text.c_str(), (t.path() + "long link").c_str());
  std::string text;
  EXPECT_EQ(is_sim_link(t.path() + "long link", &text), 1);
  EXPECT_EQ(text, long_text);
  EXPECT_EQ(is_sim_link(f, &text), 0);
  EXPECT_EQ(file_exists(t.path() + "long link"), 1);
}

TEST(FileMd5, MatchesMd5sumOnEveryShape) {
  temp_tree t;
  for (size_t size : {size_t(0), size_t(1), size_t(55), size_t(56), size_t(64), size_t(1 << 20),
                      size_t(100 << 20) + 13}) {
    SCOPED_TRACE(size);
    std::string f = t.write("f" + std::to_string(size), random_bytes(size, 9));
    std::string digest;
    ASSERT_EQ(calc_file_md5(f, digest), 0);
    EXPECT_EQ(digest, md5sum_of(f));
    unlink(f.c_str());
  }
  std::string digest;
  ASSERT_EQ(calc_file_md5(t.write("empty", ""), digest), 0);
  EXPECT_EQ(digest, "d41d8cd98f00b204e9800998ecf8427e");

  symlink("some/target text", (t.path() + "link").c_str());
  ASSERT_EQ(calc_file_md5(t.path() + "link", digest), 0);
  EXPECT_EQ(digest, run_process({"md5sum"}, "some/target text").out.substr(0, 32));

  digest = "unchanged";
  EXPECT_EQ(calc_file_md5(t.path() + "missing", digest), 20006);
  EXPECT_EQ(calc_file_md5("RESOURCE:no such resource", digest), 20006);
  EXPECT_EQ(digest, "unchanged");
  shell_double::reset();
  EXPECT_EQ(calc_file_md5(t.path() + "a\\b", digest), 20006);
  ASSERT_EQ(shell_double::alerts().size(), 1u);
  EXPECT_EQ(shell_double::alerts()[0].lines[1], "I got a bad dirchar! I only want '/'!");
  EXPECT_EQ(digest, "unchanged");
  // ':' is an ordinary character in Linux names.
  std::string colon = t.write("a:b", "abc");
  ASSERT_EQ(calc_file_md5(colon, digest), 0);
  EXPECT_EQ(digest, "900150983cd24fb0d6963f7d28e17f72");
}

TEST(FileMd5, ThreadsDigestAtOnce) {
  temp_tree t;
  std::vector<std::string> files, want(8), got(8);
  for (int i = 0; i < 8; ++i) files.push_back(t.write("f" + std::to_string(i), random_bytes(3 << 20, i)));
  for (int i = 0; i < 8; ++i) want[i] = md5sum_of(files[i]);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([&, i] { calc_file_md5(files[i], got[i]); });
  for (auto& th : threads) th.join();
  EXPECT_EQ(got, want);
}

uint64_t df_field(const std::string& path, const char* field) {
  auto r = run_process({"df", "-B1", std::string("--output=") + field, path});
  auto nl = r.out.find('\n');
  return std::stoull(r.out.substr(nl + 1));
}

TEST(FreeSpace, OfTheVolumeThatHoldsThePath) {
  temp_tree t;
  for (const std::string& path :
       std::vector<std::string>{t.path(), t.path() + "not made yet/deeper/", "/dev/shm/"}) {
    SCOPED_TRACE(path);
    uint64_t total = 0, free_bytes = 0;
    ASSERT_EQ(get_free_space(path, &total, &free_bytes), 0);
    std::string probe = path_exists(path) ? path : t.path();
    EXPECT_EQ(total, df_field(probe, "size"));
    // Free space moves while other programs (and other tests, which fetch and unpack files of
    // hundreds of MB) write; the exact total above already tells the volumes apart.
    EXPECT_NEAR(double(free_bytes), double(df_field(probe, "avail")), 2048.0 * (1 << 20));
  }
  uint64_t untouched = 7;
  EXPECT_EQ(get_free_space("/", nullptr, &untouched), 0);
  EXPECT_NE(untouched, 7u);
}

// launch_app ends its process, so each case runs in a forked child.
struct launch_result {
  int status;
  std::string record;
};

launch_result launch_in_child(const std::string& app, const std::string& folder, int finish,
                              const std::string& record) {
  pid_t pid = fork();
  if (pid == 0) {
    // Descriptors a careless library might open without close-on-exec.
    int log = open(record.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    int sock = socket(AF_INET, SOCK_STREAM, 0);
    (void)log;
    (void)sock;
    int rc = launch_app(app, folder, finish);
    _exit(100 + rc);  // only reached when the start failed
  }
  int status = 0;
  waitpid(pid, &status, 0);
  // The launched helper may still be writing its record.
  for (int i = 0; i < 200 && read_whole_file(record + ".done").empty(); ++i) usleep(10000);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_whole_file(record + ".args")};
}

TEST(Launch, StartsWithArgumentsAndReportsAFailedStart) {
  temp_tree t;
  std::string record = t.path() + "record";
  std::string helper = t.write("helper", "#!/bin/sh\n"
                                         "for a in \"$0\" \"$@\"; do echo \"$a\"; done > " + record + ".args\n"
                                         "ls -l /proc/self/fd/ >> " + record + ".args\n"
                                         "echo done > " + record + ".done\n");
  chmod(helper.c_str(), 0755);
  auto r = launch_in_child(helper, "/some folder/", 0, record);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.record.substr(0, r.record.find("total")), helper + "\n-path\n/some folder/\n");
  // Neither the log-like file nor the socket reached the new program.
  EXPECT_EQ(r.record.find(record + "\n"), std::string::npos) << r.record;
  EXPECT_EQ(r.record.find("socket:"), std::string::npos) << r.record;

  unlink((record + ".done").c_str());
  r = launch_in_child(helper, "", 1, record);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.record.substr(0, r.record.find("total")), helper + "\n");

  // A bundle folder resolves to its executable.
  unlink((record + ".done").c_str());
  make_folders(t.path() + "Bundle.app/");
  copy_file(helper, t.path() + "Bundle.app/" + launch_bundle_executable);
  r = launch_in_child(t.path() + "Bundle.app/", "", 0, record);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.record.substr(0, r.record.find("total")),
            t.path() + "Bundle.app/" + launch_bundle_executable + "\n");

  // Failed starts come back to the caller, which goes on running.
  std::string plain = t.write("not executable", "#!/bin/sh\n");
  chmod(plain.c_str(), 0644);
  EXPECT_EQ(launch_in_child(plain, "", 1, record).status, 100 + EACCES);
  EXPECT_EQ(launch_in_child(t.path() + "missing", "", 1, record).status, 100 + ENOENT);
  std::string junk = t.write("junk", std::string("\x7f" "ELF garbage", 12));
  chmod(junk.c_str(), 0755);
  EXPECT_EQ(launch_in_child(junk, "", 1, record).status, 100 + ENOEXEC);
}

}  // namespace
