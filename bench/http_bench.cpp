// Download throughput of the HTTP client against curl, from the same nginx in the same run.
//   http_bench PORT OUTDIR [WAITS] [ROUNDS]
// nginx on 127.0.0.1:PORT serves mirror-a.test with /bench/a.bin .. d.bin (four files) and
// /bench/big.bin. Our client fetches the four files on slots 2..5 and the big one on slot 2,
// polled as the frame loop polls the download scheduler: passes over the slots until 0.02 s of
// the frame are used, then the frame's wait before the next one. WAITS lists the waits to try
// ("0,17,wait" by default): a number is a plain sleep of that many milliseconds (0: back-to-back
// frames, 17: an idle tick that nothing cuts short), "wait" the frame loop's own event wait of
// one tick with SDL's event subsystem up, which the transfers' sockets wake. curl fetches the
// same files through the same proxy setting. Each case runs ROUNDS times (3 by default),
// alternating, and the best wall time of each side counts. MB = 2^20 bytes. The last line gives
// the ratios of the "wait" case (of the last case when "wait" is not listed).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net/http_client.h"
#include "platform/event_wait.h"

extern char** environ;

namespace {
struct measure {
  double wall = 0;  // seconds
  double cpu = 0;   // user + system seconds
  bool ok = false;
};

double seconds(const timeval& t) { return t.tv_sec + t.tv_usec * 1e-6; }

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// How a frame ends before the next one starts.
struct frame_wait {
  bool event_wait = false;  // the frame loop's event wait of one tick
  int sleep_ms = 0;         // otherwise a plain sleep (0: none)
  std::string name() const {
    return event_wait ? "the frame loop's event wait (17 ms, woken by the sockets)"
                      : "a plain " + std::to_string(sleep_ms) + " ms sleep";
  }
  std::string short_name() const {
    return event_wait ? "frame wait" : std::to_string(sleep_ms) + " ms sleep";
  }
};

long long file_size(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

measure run_ours(const std::vector<std::string>& paths, const std::vector<std::string>& locals,
                 const frame_wait& wait) {
  for (auto& l : locals) unlink(l.c_str());
  rusage before, after;
  getrusage(RUSAGE_SELF, &before);
  double start = now();
  std::vector<int> result(paths.size(), 0);
  for (bool done = false; !done;) {
    double frame_start = now();
    do {
      done = true;
      for (size_t i = 0; i < paths.size(); ++i) {
        if (!result[i])
          result[i] = http.net_check(static_cast<int>(2 + i), "mirror-a.test", paths[i], locals[i]);
        done = done && result[i];
      }
    } while (!done && now() - frame_start < 0.02);
    if (done) break;
    if (wait.event_wait)
      platform_wait_for_events(17);
    else if (wait.sleep_ms > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(wait.sleep_ms));
  }
  measure m;
  m.wall = now() - start;
  getrusage(RUSAGE_SELF, &after);
  m.cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
          seconds(before.ru_stime);
  m.ok = true;
  for (int r : result) m.ok = m.ok && r == 1;
  return m;
}

// Several curl processes at once, each with its own argument vector; wall time until the last
// ends, CPU of all of them.
measure run_curls(const std::vector<std::vector<std::string>>& commands,
                  const std::vector<std::string>& locals) {
  for (auto& l : locals) unlink(l.c_str());
  measure m;
  m.ok = true;
  double start = now();
  std::vector<pid_t> pids;
  for (const auto& args : commands) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int rc = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (rc != 0) {
      m.ok = false;
      continue;
    }
    pids.push_back(pid);
  }
  for (pid_t pid : pids) {
    int status = 0;
    rusage use;
    wait4(pid, &status, 0, &use);
    m.cpu += seconds(use.ru_utime) + seconds(use.ru_stime);
    m.ok = m.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  m.wall = now() - start;
  return m;
}

measure run_curl(const std::vector<std::string>& args, const std::vector<std::string>& locals) {
  return run_curls({args}, locals);
}

// Whether file a holds exactly the bytes of the files in parts, one after another.
bool same_bytes(const std::string& a, const std::vector<std::string>& parts) {
  FILE* fa = fopen(a.c_str(), "rb");
  if (!fa) return false;
  std::vector<char> x(1 << 20), y(1 << 20);
  bool same = true;
  for (const std::string& part : parts) {
    FILE* fb = fopen(part.c_str(), "rb");
    if (!fb) {
      same = false;
      break;
    }
    size_t n;
    while (same && (n = fread(y.data(), 1, y.size(), fb)) > 0)
      same = fread(x.data(), 1, n, fa) == n && memcmp(x.data(), y.data(), n) == 0;
    fclose(fb);
    if (!same) break;
  }
  same = same && fgetc(fa) == EOF;
  fclose(fa);
  return same;
}

void keep_best(measure& best, const measure& m) {
  if (!m.ok) best.ok = false;
  if (best.wall == 0 || m.wall < best.wall) {
    best.wall = m.wall;
    best.cpu = m.cpu;
  }
}

void print(const char* who, const measure& m, double mb) {
  printf("  %-6s %7.1f MB/s  %6.3f s  CPU %6.2f ms/MB%s\n", who, mb / m.wall, m.wall,
         m.cpu * 1000.0 / mb, m.ok ? "" : "  (FAILED)");
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s PORT OUTDIR [WAITS] [ROUNDS]\n", argv[0]);
    return 2;
  }
  std::string port = argv[1];
  std::string out = std::string(argv[2]) + "/";
  std::vector<frame_wait> waits;
  for (const char* p = argc > 3 ? argv[3] : "0,17,wait"; *p;) {
    frame_wait w;
    if (strncmp(p, "wait", 4) == 0)
      w.event_wait = true;
    else
      w.sleep_ms = atoi(p);
    waits.push_back(w);
    while (*p && *p != ',') ++p;
    if (*p == ',') ++p;
  }
  int rounds = argc > 4 ? atoi(argv[4]) : 3;
  http.proxy_host = "127.0.0.1";
  http.proxy_port = atoi(port.c_str());
  std::string proxy = "http://127.0.0.1:" + port;

  std::vector<std::string> four = {"/bench/a.bin", "/bench/b.bin", "/bench/c.bin", "/bench/d.bin"};
  std::vector<std::string> four_local, curl_four_local;
  const std::vector<std::string> curl_base = {"curl", "-s", "--fail", "--proxy", proxy, "--noproxy", ""};
  // Four streams: four curl processes, one connection and one file each.
  std::vector<std::vector<std::string>> curl_four;
  for (size_t i = 0; i < four.size(); ++i) {
    four_local.push_back(out + "ours" + std::to_string(i));
    curl_four_local.push_back(out + "curl" + std::to_string(i));
    curl_four.push_back(curl_base);
    curl_four.back().insert(curl_four.back().end(), {"-o", curl_four_local.back(), "http://mirror-a.test" + four[i]});
  }
  std::vector<std::string> one = {"/bench/big.bin"};
  std::vector<std::string> one_local = {out + "ours_big"}, curl_one_local = {out + "curl_big"};
  std::vector<std::string> curl_one = curl_base;
  curl_one.insert(curl_one.end(), {"-o", curl_one_local[0], "http://mirror-a.test/bench/big.bin"});

  // Sizes come from the files themselves, fetched once by curl.
  run_curls(curl_four, curl_four_local);
  run_curl(curl_one, curl_one_local);
  double mb_four = 0;
  for (auto& l : curl_four_local) mb_four += static_cast<double>(file_size(l)) / 1048576.0;
  const long long big_bytes = file_size(curl_one_local[0]);
  double mb_one = static_cast<double>(big_bytes) / 1048576.0;
  // One file on four connections: four curl processes, each fetching a quarter by range.
  std::vector<std::vector<std::string>> curl_ranges;
  std::vector<std::string> range_local;
  for (int k = 0; k < 4; ++k) {
    long long from = big_bytes * k / 4, to = big_bytes * (k + 1) / 4 - 1;
    range_local.push_back(out + "range" + std::to_string(k));
    curl_ranges.push_back(curl_base);
    curl_ranges.back().insert(curl_ranges.back().end(), {"-r", std::to_string(from) + "-" + std::to_string(to), "-o",
                                                         range_local.back(), "http://mirror-a.test/bench/big.bin"});
  }

  printf("HTTP download from nginx on loopback, best of %d; MB = 2^20 bytes\n", rounds);
  bool all_ok = true;
  bool any_event_wait = false;
  for (const frame_wait& w : waits) any_event_wait = any_event_wait || w.event_wait;
  std::string ratios;
  for (const frame_wait& wait : waits) {
    // The program's frames wait with SDL's events up, so the wait looks at the sockets in slices.
    if (wait.event_wait && SDL_Init(SDL_INIT_EVENTS) != 0) {
      fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
      return 1;
    }
    measure ours4{0, 0, true}, curl4{0, 0, true}, ours1{0, 0, true}, curl1{0, 0, true},
        ranged{0, 0, true};
    for (int r = 0; r < rounds; ++r) {
      // Which side goes first alternates from round to round.
      if (r % 2 == 0) {
        keep_best(ours4, run_ours(four, four_local, wait));
        keep_best(curl4, run_curls(curl_four, curl_four_local));
        keep_best(ours1, run_ours(one, one_local, wait));
        keep_best(curl1, run_curl(curl_one, curl_one_local));
        keep_best(ranged, run_curls(curl_ranges, range_local));
      } else {
        keep_best(ranged, run_curls(curl_ranges, range_local));
        keep_best(curl1, run_curl(curl_one, curl_one_local));
        keep_best(ours1, run_ours(one, one_local, wait));
        keep_best(curl4, run_curls(curl_four, curl_four_local));
        keep_best(ours4, run_ours(four, four_local, wait));
      }
    }
    if (wait.event_wait) SDL_Quit();
    // Contents, not only sizes: every file ours fetched equals curl's.
    for (size_t i = 0; i < four.size(); ++i)
      if (!same_bytes(four_local[i], {curl_four_local[i]})) ours4.ok = false;
    if (!same_bytes(one_local[0], {curl_one_local[0]})) ours1.ok = false;
    if (!same_bytes(one_local[0], range_local)) ranged.ok = false;
    all_ok = all_ok && ours4.ok && ours1.ok && curl4.ok && curl1.ok && ranged.ok;

    printf("frames of 0.02 s of polling, then %s:\n", wait.name().c_str());
    printf(" four files on four streams (%.0f MB), four curl processes:\n", mb_four);
    print("ours", ours4, mb_four);
    print("curl", curl4, mb_four);
    printf(" one file (%.0f MB): ours on one stream, curl -o, four ranged curl processes:\n", mb_one);
    print("ours", ours1, mb_one);
    print("curl", curl1, mb_one);
    print("ranged", ranged, mb_one);
    char line[300];
    snprintf(line, sizeof line,
             "%s: four streams %.2f (reference: four curl processes), one file %.2f (reference: "
             "four ranged curl processes; %.2f against curl -o); CPU per MB ours %.2f ms, curl %.2f ms",
             wait.short_name().c_str(), curl4.wall / ours4.wall, ranged.wall / ours1.wall,
             curl1.wall / ours1.wall, ours4.cpu * 1000.0 / mb_four, curl4.cpu * 1000.0 / mb_four);
    printf(" ours/reference speed, %s\n", line);
    if (wait.event_wait || !any_event_wait) ratios = line;
  }
  for (auto& l : four_local) unlink(l.c_str());
  for (auto& l : curl_four_local) unlink(l.c_str());
  for (auto& l : range_local) unlink(l.c_str());
  unlink(one_local[0].c_str());
  unlink(curl_one_local[0].c_str());
  printf("ours/reference speed, %s\n", ratios.c_str());
  return all_ok ? 0 : 1;
}
