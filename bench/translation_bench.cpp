// Translation lookups as the screens make them (every visible text, every frame) and the load
// of a translation file, with Google Benchmark: 400 texts of 20 to 200 bytes, looked up found
// and not found, and a generated file of about 1 MB loaded. Prints last the share of a 60 Hz
// frame that 50 lookups take (a screen shows about 50 texts).
//   translation_bench [benchmark options]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "shell/translation.h"

namespace {

std::string scratch_folder() {
  static std::string folder = [] {
    char templ[] = "/tmp/sky_translation_bench_XXXXXX";
    return std::string(mkdtemp(templ)) + "/";
  }();
  return folder;
}

std::vector<std::string> make_texts(size_t count, size_t min_len, size_t max_len, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<size_t> len(min_len, max_len);
  std::uniform_int_distribution<int> letter(0, 52);
  std::vector<std::string> texts;
  for (size_t i = 0; i < count; ++i) {
    std::string t = "Text " + std::to_string(i) + ":";
    const size_t n = len(rng);
    while (t.size() < n) {
      const int c = letter(rng);
      t += c == 52 ? ' ' : static_cast<char>(c < 26 ? 'a' + c : 'A' + c - 26);
    }
    texts.push_back(t);
  }
  return texts;
}

// Writes a translation file of the texts and returns its path.
std::string write_file(const std::string& name, const std::vector<std::string>& texts) {
  const std::string path = scratch_folder() + name;
  std::ofstream out(path, std::ios::binary);
  out << "I\n900 bench\nTRANSLATION\n";
  for (const std::string& t : texts) out << "STRING " << t << "====" << t << " (traduit)\n";
  return path;
}

const std::vector<std::string>& keys() {
  static const std::vector<std::string> texts = make_texts(400, 20, 200, 1);
  return texts;
}

void load_keys() { translate_load_file(lang_french, write_file("keys.txt", keys()), "keys"); }

void BM_LookupFound(benchmark::State& state) {
  load_keys();
  // Copies, so the look-up hashes and compares bytes as it would for a text built by a screen.
  std::vector<std::string> probes = keys();
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(translate_lookup(probes[i]));
    if (++i == probes.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupFound);

void BM_LookupMissing(benchmark::State& state) {
  load_keys();
  const std::vector<std::string> probes = make_texts(400, 20, 200, 2);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(translate_lookup(probes[i]));
    if (++i == probes.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupMissing);

void BM_LoadOneMegabyte(benchmark::State& state) {
  const std::vector<std::string> texts = make_texts(4000, 40, 200, 3);
  const std::string path = write_file("big.txt", texts);
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const double bytes = static_cast<double>(in.tellg());
  for (auto _ : state) translate_load_file(lang_french, path, "big");
  state.SetBytesProcessed(static_cast<int64_t>(bytes * static_cast<double>(state.iterations())));
}
BENCHMARK(BM_LoadOneMegabyte)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  // One screen's worth of texts, looked up the way a frame does, many frames over.
  load_keys();
  const std::vector<std::string> probes = keys();
  const int frames = 20000;
  size_t sink = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int f = 0; f < frames; ++f)
    for (int t = 0; t < 50; ++t) sink += translate_lookup(probes[(f * 7 + t) % probes.size()]).size();
  const double per_frame =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / frames;
  std::printf("50 lookups per frame: %.2f us (checksum %zu)\n", per_frame * 1e6, sink % 10);
  std::printf("share of a 16.7 ms frame: %.5f\n", per_frame / (1.0 / 60));
  std::remove((scratch_folder() + "keys.txt").c_str());
  std::remove((scratch_folder() + "big.txt").c_str());
  rmdir(scratch_folder().c_str());
  return 0;
}
