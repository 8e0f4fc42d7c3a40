// UTF-8 validation throughput, as the JSON parser meets it: long texts that are mostly ASCII
// with some non-ASCII characters, long texts of mixed scripts, and many short non-ASCII strings
// (one call per string value). Reported as bytes validated per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/split_mix.h"
#include "text/utf8.h"

namespace {

constexpr std::size_t MIB = 1024 * 1024;

const char* const ASCII_WORDS[] = {"the ", "window ", "button ", "Save ", "OK ", "title, "};
// Characters of 2, 3 and 4 bytes: accented Latin, Cyrillic, CJK, punctuation, emoji.
const char* const WIDE_WORDS[] = {
    "caf\xc3\xa9 ",  "\xd0\xbf\xd1\x80\xd0\xb8 ", "\xe6\x97\xa5\xe6\x9c\xac ",
    "\xe2\x80\x94 ", "\xf0\x9f\x98\x80 ",         "\xc3\xbc\xc3\x9f "};

// One word in `wide_every` is non-ASCII, the rest ASCII.
std::string text_of(std::size_t size, std::uint64_t wide_every) {
  vtm::testing::SplitMix rng(7);
  std::string text;
  text.reserve(size + 16);
  while (text.size() < size) {
    if (rng.below(wide_every) == 0) {
      text += WIDE_WORDS[rng.below(std::size(WIDE_WORDS))];
    } else {
      text += ASCII_WORDS[rng.below(std::size(ASCII_WORDS))];
    }
  }
  return text;
}

const std::string& long_text(int which) {
  static const std::string MOSTLY_ASCII = text_of(64 * MIB, 40);
  static const std::string MIXED = text_of(64 * MIB, 2);
  return which == 0 ? MOSTLY_ASCII : MIXED;
}

void BM_ValidateLong(benchmark::State& state) {
  const std::string& text = long_text(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    bool valid = vtm::is_valid_utf8(text);
    if (!valid) state.SkipWithError("generated text is not valid");
    benchmark::DoNotOptimize(valid);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetLabel(state.range(0) == 0 ? "mostly_ascii_64MiB" : "mixed_64MiB");
}

// Short values such as element titles: 8 to 40 bytes, each with at least one wide character.
void BM_ValidateShortStrings(benchmark::State& state) {
  vtm::testing::SplitMix rng(11);
  std::vector<std::string> strings;
  std::size_t bytes = 0;
  while (bytes < 16 * MIB) {
    std::string s = WIDE_WORDS[rng.below(std::size(WIDE_WORDS))];
    const std::size_t length = 8 + rng.below(33);
    while (s.size() < length) {
      s += rng.below(4) == 0 ? WIDE_WORDS[rng.below(6)] : ASCII_WORDS[rng.below(6)];
    }
    bytes += s.size();
    strings.push_back(std::move(s));
  }
  for (auto _ : state) {
    std::size_t valid = 0;
    for (const std::string& s : strings) valid += vtm::is_valid_utf8(s) ? 1 : 0;
    if (valid != strings.size()) state.SkipWithError("generated text is not valid");
    benchmark::DoNotOptimize(valid);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetLabel("short_16MiB");
}

BENCHMARK(BM_ValidateLong)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ValidateShortStrings)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
