// The foundation working together: a generated tree hashed by MD5 tasks of at most ten files
// on a worker pool of one thread per processor with four slots per thread, every digest equal
// to md5sum's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/threads.h"
#include "runtime/md5.h"
#include "runtime/thread_layer.h"
#include "runtime/worker_pool.h"
#include "support/process.h"
#include "support/temp_tree.h"

namespace {

class md5_task : public UTL_work_task {
 public:
  explicit md5_task(std::vector<std::string> files) : paths(std::move(files)) {}

  void do_it() override {
    std::vector<unsigned char> buffer(1 << 16);
    for (const std::string& path : paths) {
      int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) {
        failed = path;
        return;
      }
      MD5Context ctx;
      MD5Init(&ctx);
      ssize_t got;
      while ((got = read(fd, buffer.data(), buffer.size())) > 0)
        MD5UpdateWide(&ctx, buffer.data(), static_cast<size_t>(got));
      close(fd);
      MD5Final(&ctx);
      static const char hex[] = "0123456789abcdef";
      std::string digest;
      for (unsigned char b : ctx.digest) digest += {hex[b >> 4], hex[b & 15]};
      digests.push_back(digest);
    }
  }
  int check_error(std::string& message) override {
    if (!escaped.empty()) message = escaped;
    if (!failed.empty()) message = "cannot read " + failed;
    return message.empty() ? 0 : 1;
  }

  std::vector<std::string> paths, digests;
  std::string failed;
};

}  // namespace

TEST(Md5Pool, GeneratedTreeAgreesWithMd5sum) {
  THREAD_init();
  temp_tree tree;
  std::mt19937 rng(2024);
  const char* names[] = {"plain", "with blank", "caf\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC",
                         "two  blanks ", "-dash"};
  std::vector<std::string> files;
  for (int i = 0; i < 300; ++i) {
    size_t size;
    switch (rng() % 10) {
      case 0: size = 0; break;
      case 1: case 2: size = rng() % (2 << 20); break;
      default: size = rng() % 70000; break;
    }
    std::string content(size, '\0');
    for (char& c : content) c = static_cast<char>(rng());
    std::string rel = "d" + std::to_string(i % 7) + "/" + names[i % 6] + " " + std::to_string(i);
    files.push_back(tree.write(rel, content));
  }

  std::map<std::string, std::string> expected;
  {
    std::vector<std::string> argv{"md5sum", "--"};
    argv.insert(argv.end(), files.begin(), files.end());
    process_result p = run_process(argv);
    ASSERT_EQ(p.exit_code, 0) << p.err;
    size_t at = 0;
    while (at < p.out.size()) {
      size_t end = p.out.find('\n', at);
      expected[p.out.substr(at + 34, end - at - 34)] = p.out.substr(at, 32);
      at = end + 1;
    }
  }
  ASSERT_EQ(expected.size(), files.size());

  const int threads = platform_processor_count();
  std::map<std::string, std::string> got;
  int max_in_flight = 0;
  {
    UTL_worker_threads pool(threads, 4 * threads);
    size_t next = 0;
    auto collect = [&](UTL_work_task* t) {
      md5_task* task = static_cast<md5_task*>(t);
      std::string message;
      EXPECT_EQ(task->check_error(message), 0) << message;
      for (size_t i = 0; i < task->digests.size(); ++i) got[task->paths[i]] = task->digests[i];
      delete task;
    };
    while (next < files.size()) {
      while (next < files.size() && pool.has_free_slot()) {
        size_t count = std::min<size_t>(1 + rng() % 10, files.size() - next);
        pool.enqueue_task(new md5_task({files.begin() + next, files.begin() + next + count}));
        next += count;
        max_in_flight = std::max(max_in_flight, pool.count_total_tasks());
      }
      while (UTL_work_task* t = pool.check_retired_tasks()) collect(t);
      if (!pool.has_free_slot()) collect(pool.wait_retired_tasks());
    }
    while (UTL_work_task* t = pool.wait_retired_tasks()) collect(t);
  }
  EXPECT_LE(max_in_flight, 4 * threads);
  EXPECT_EQ(got, expected);
}
