// The resolver's identifier search: Compile of `uri":"(\w{32})` over a 4 MiB UTF-8 page (read as
// code page 936 bytes, as the resolver reads it) with the marker near the end, then SubmatchText
// of group 1 of match 1, beside a plain find of the marker in the same bytes. The parts of the
// measured work are timed alone too, to show where the time goes.
#include <random>
#include <string>

#include "bench/ratio_reporter.h"
#include "pattern/pattern_object.h"
#include "platform/code_page.h"
#include "platform/regex_component.h"

namespace morvane {
namespace {

constexpr std::size_t kPageSize = 4 << 20;
constexpr const char* kPattern = "uri\":\"(\\w{32})";
constexpr const char* kMarker = "uri\":\"";

// Markup, Latin text and Chinese in UTF-8, with the marker and an identifier 2 KiB before the end.
const Text& Page() {
  static const Text page = [] {
    std::mt19937 random(11);
    const char* const pieces[] = {"<div class=\"item\">",
                                  "</div>\n",
                                  "\xE8\xA7\x86\xE9\xA2\x91",
                                  "\xE4\xB8\xAD\xE6\x96\x87\xE5\x86\x85\xE5\xAE\xB9",
                                  "user ",
                                  "\"url\":\"https://cdn.example/u/",
                                  "uid=",
                                  " - ",
                                  "0123"};
    std::string s;
    s.reserve(kPageSize + 64);
    while (s.size() < kPageSize - 2048) s += pieces[random() % std::size(pieces)];
    s += "{\"uri\":\"v0200fg10000abcdefghijklmnopqrstu\",";
    while (s.size() < kPageSize) s += pieces[random() % std::size(pieces)];
    return Text(std::move(s));
  }();
  return page;
}

void Baseline(benchmark::State& state) {
  const Text& page = Page();
  for (auto _ : state) benchmark::DoNotOptimize(page.view().find(kMarker));
}

void CompileAndSubmatch(benchmark::State& state) {
  const Text& page = Page();
  for (auto _ : state) {
    PatternObject finder;
    finder.Compile(kPattern, page);
    const Text id = finder.SubmatchText(1, 1);
    if (id.size() != 32) state.SkipWithError("identifier not found");
    benchmark::DoNotOptimize(id.c_str());
  }
}

// The parts: the subject's conversion, and the component's work on the converted subject.
void ConversionOnly(benchmark::State& state) {
  const Text& page = Page();
  for (auto _ : state) benchmark::DoNotOptimize(ToWide(page).data());
}

void ComponentOnly(benchmark::State& state) {
  const auto wide = std::make_shared<const std::u16string>(ToWide(Page()));
  for (auto _ : state) {
    auto regex = CreateRegexComponent();
    regex->SetIgnoreCase(true);
    regex->SetMultiline(true);
    regex->SetGlobal(true);
    regex->SetPattern(ToWide(kPattern));
    benchmark::DoNotOptimize(regex->Execute(wide)->Count());
  }
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) {
  using morvane::bench::Ratio;
  benchmark::RegisterBenchmark("baseline_find/4MiB", morvane::Baseline)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Compile+SubmatchText/4MiB", morvane::CompileAndSubmatch)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("part_ToWide/4MiB", morvane::ConversionOnly)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("part_component/4MiB", morvane::ComponentOnly)
      ->Unit(benchmark::kMillisecond);
  return morvane::bench::RunWithRatios(argc, argv,
                                       {{"Compile+SubmatchText/4MiB", "baseline_find/4MiB", 10.0},
                                        {"part_ToWide/4MiB", "baseline_find/4MiB", 0},
                                        {"part_component/4MiB", "baseline_find/4MiB", 0}});
}
