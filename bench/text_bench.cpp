// The character-aware text operations on 16 MiB texts, ASCII and half double-byte, beside a plain
// search or copy of the same bytes, and at 32 MiB beside 16 MiB to show the cost stays linear. Both
// sizes lie beyond the last-level cache, so the comparison measures the algorithm, not the cache.
#include <malloc.h>

#include <cstring>
#include <random>
#include <string>

#include "bench/ratio_reporter.h"
#include "text/text.h"
#include "text/text_list.h"

namespace morvane {
namespace {

constexpr std::size_t kMiB = 1 << 20;

// Lines of words with spaces, semicolons, a full-width space now and then; "mixed" makes half the
// characters double-byte. The sought marker stands once, at the very end.
const Text& Sample(bool mixed, std::size_t size) {
  static std::map<std::pair<bool, std::size_t>, Text> cache;
  auto& text = cache[{mixed, size}];
  if (!text.empty()) return text;
  std::mt19937 random(7);
  std::string s;
  s.reserve(size + 64);
  while (s.size() < size) {
    const unsigned r = random() % 16;
    if (mixed && r < 8) {
      s += static_cast<char>(0xB0 + random() % 0x40);  // lead bytes
      s += static_cast<char>(0xA1 + random() % 0x5E);
    } else if (r == 8) {
      s += ' ';
    } else if (r == 9) {
      s += ';';
    } else if (r == 10 && random() % 8 == 0) {
      s += "\xA1\xA1";
    } else {
      s += static_cast<char>('a' + random() % 26);
    }
  }
  s += " uri\":\"END  ";
  text = Text(std::move(s));
  return text;
}

const char* Kind(bool mixed) { return mixed ? "mixed" : "ascii"; }

void Register(bool mixed, std::size_t mib) {
  const std::string suffix = std::string("/") + Kind(mixed) + "/" + std::to_string(mib) + "MiB";
  const std::size_t size = mib * kMiB;
  auto add = [&](const std::string& name, auto body) {
    benchmark::RegisterBenchmark((name + suffix).c_str(), [=](benchmark::State& state) {
      const Text& text = Sample(mixed, size);
      for (auto _ : state) body(text);
      state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    })->Unit(benchmark::kMillisecond);
  };
  add("baseline_find", [](const Text& t) { benchmark::DoNotOptimize(t.view().find("uri\":\"END")); });
  add("baseline_copy", [](const Text& t) {
    std::string copy(t.view());
    benchmark::DoNotOptimize(copy.data());
  });
  add("FindText", [](const Text& t) { benchmark::DoNotOptimize(FindText(t, "uri\":\"END")); });
  add("FindText_ignoreCase",
      [](const Text& t) { benchmark::DoNotOptimize(FindText(t, "URI\":\"end", 1, true)); });
  add("ReplaceText", [](const Text& t) { benchmark::DoNotOptimize(ReplaceText(t, ";", ", ")); });
  add("SplitText", [](const Text& t) { benchmark::DoNotOptimize(SplitText(t, ";")); });
  add("TrimBothEnds", [](const Text& t) { benchmark::DoNotOptimize(TrimBothEnds(t)); });
  add("RemoveAllSpaces", [](const Text& t) { benchmark::DoNotOptimize(RemoveAllSpaces(t)); });
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
  // Keep large blocks in the heap between iterations: otherwise glibc maps blocks above 32 MiB
  // afresh on every call and the comparison across sizes measures page faults, not the operations.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  using morvane::bench::Ratio;
  std::vector<Ratio> ratios;
  for (bool mixed : {false, true}) {
    for (std::size_t mib : {16, 32}) morvane::Register(mixed, mib);
    const std::string k = std::string("/") + morvane::Kind(mixed);
    ratios.push_back({"FindText" + k + "/16MiB", "baseline_find" + k + "/16MiB", mixed ? 4.0 : 1.5});
    ratios.push_back({"FindText_ignoreCase" + k + "/16MiB", "baseline_find" + k + "/16MiB", 0});
    for (const char* op : {"ReplaceText", "SplitText", "TrimBothEnds", "RemoveAllSpaces"}) {
      ratios.push_back({op + k + "/16MiB", "baseline_copy" + k + "/16MiB", 0});
    }
    for (const char* op : {"baseline_copy", "FindText", "FindText_ignoreCase", "ReplaceText", "SplitText",
                           "TrimBothEnds", "RemoveAllSpaces"}) {
      // Linear cost: twice the input, at most about twice the time.
      ratios.push_back({op + k + "/32MiB", op + k + "/16MiB", 2.2});
    }
  }
  return morvane::bench::RunWithRatios(argc, argv, ratios);
}
