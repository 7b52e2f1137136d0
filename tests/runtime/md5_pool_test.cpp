// The way the installation scan uses the pool, end to end: a generated tree is hashed by MD5
// tasks of at most ten files on one thread per processor with four slots per thread, and every
// digest must equal md5sum's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "runtime/md5.h"
#include "runtime/worker_pool.h"
#include "support/process.h"
#include "support/temp_tree.h"

namespace {

std::string hex(const unsigned char digest[16]) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (int i = 0; i < 16; ++i) {
    out += digits[digest[i] >> 4];
    out += digits[digest[i] & 15];
  }
  return out;
}

struct md5_task : UTL_work_task {
  std::vector<std::string> paths;
  std::vector<std::string> digests;
  std::string failure;

  void do_it() override {
    std::vector<unsigned char> buffer(1 << 20);
    for (const std::string& path : paths) {
      int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) {
        failure = "cannot open " + path;
        digests.push_back("");
        continue;
      }
      MD5Context ctx;
      MD5Init(&ctx);
      ssize_t got;
      while ((got = read(fd, buffer.data(), buffer.size())) > 0)
        MD5UpdateWide(&ctx, buffer.data(), static_cast<size_t>(got));
      if (got < 0) failure = "cannot read " + path;
      close(fd);
      MD5Final(&ctx);
      digests.push_back(hex(ctx.digest));
    }
  }
  int check_error(std::string& message) override {
    message = !escaped.empty() ? escaped : failure;
    return !message.empty();
  }
};

TEST(Md5Pool, GeneratedTreeMatchesMd5sum) {
  temp_tree dir;
  std::mt19937 rng(20080430);
  const char* names[] = {"plain", "with blank", "Überflug", "日本語 テスト", "café au lait"};
  std::vector<std::string> files;
  for (int i = 0; i < 300; ++i) {
    size_t size;
    if (i % 25 == 0)
      size = 0;  // empty files
    else if (i % 30 == 1)
      size = 1 + rng() % (5 << 20);  // a few large ones
    else if (i % 7 == 0)
      size = 64 * (1 + rng() % 3) + (rng() % 3) - 1;  // around block boundaries
    else
      size = rng() % 70000;
    std::string content(size, '\0');
    for (char& c : content) c = static_cast<char>(rng());
    std::string rel = std::string(names[i % 5]) + " " + std::to_string(i / 50) + "/" +
                      names[(i / 5) % 5] + " " + std::to_string(i) + ".bin";
    files.push_back(dir.write(rel, content));
  }

  const int n = UTL_count_processors();
  UTL_worker_threads pool(n, 4 * n);
  std::map<std::string, std::string> ours;
  size_t next = 0;
  int in_flight_max = 0;
  auto collect = [&](UTL_work_task* t) {
    std::unique_ptr<md5_task> task(static_cast<md5_task*>(t));
    std::string message;
    EXPECT_EQ(task->check_error(message), 0) << message;
    ASSERT_EQ(task->digests.size(), task->paths.size());
    for (size_t k = 0; k < task->paths.size(); ++k) ours[task->paths[k]] = task->digests[k];
  };
  while (next < files.size()) {
    while (next < files.size() && pool.has_free_slot()) {
      md5_task* task = new md5_task;
      for (int k = 0; k < 10 && next < files.size(); ++k) task->paths.push_back(files[next++]);
      pool.enqueue_task(task);
    }
    in_flight_max = std::max(in_flight_max, pool.count_total_tasks());
    while (UTL_work_task* t = pool.check_retired_tasks()) collect(t);
    if (!pool.has_free_slot()) collect(pool.wait_retired_tasks());
  }
  while (UTL_work_task* t = pool.wait_retired_tasks()) collect(t);
  EXPECT_LE(in_flight_max, 4 * n);

  std::vector<std::string> argv = {"md5sum", "--"};
  argv.insert(argv.end(), files.begin(), files.end());
  process_result r = run_process(argv);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::map<std::string, std::string> theirs;
  size_t at = 0;
  while (at < r.out.size()) {
    size_t end = r.out.find('\n', at);
    std::string line = r.out.substr(at, end - at);
    at = end == std::string::npos ? r.out.size() : end + 1;
    ASSERT_GT(line.size(), 34u);
    theirs[line.substr(34)] = line.substr(0, 32);
  }
  ASSERT_EQ(theirs.size(), files.size());
  EXPECT_EQ(ours, theirs);
}

}  // namespace
