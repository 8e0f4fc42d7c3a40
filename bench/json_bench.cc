// Parse and compact-render throughput on three generated payloads shaped like the host's
// responses: one large base64 screenshot string, a tree of small UI-element objects, and a
// long array of coordinate floats. Each figure is reported as bytes of JSON text per second;
// RapidJSON runs the same work as a reference.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "json/json_value.h"
#include "json/parse.h"
#include "json/write.h"
#include "rapidjson/document.h"
#include "rapidjson/stringbuffer.h"
#include "rapidjson/writer.h"
#include "support/split_mix.h"

namespace {

constexpr std::size_t MIB = 1024 * 1024;

// A fixed seed: every run measures the same payloads.
struct Rng : vtm::testing::SplitMix {
  Rng() : SplitMix(42) {}
};

std::string screenshot_payload() {
  static constexpr char BASE64_ALPHABET[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Rng rng;
  std::string base64(64 * MIB, 'A');
  for (std::size_t i = 0; i < base64.size(); i += 8) {
    std::uint64_t bits = rng.next();
    for (std::size_t j = 0; j < 8; ++j, bits >>= 6) base64[i + j] = BASE64_ALPHABET[bits & 63];
  }
  base64.replace(base64.size() - 2, 2, "==");
  std::string text = R"({"data":{"format":"png","height":1600,"image":")";
  text += base64;
  text += R"(","scale":2,"width":2560},"requestId":"req-1","success":true})";
  return text;
}

vtm::JsonValue ui_element(Rng& rng, int depth, std::size_t& budget) {
  static const char* const ROLES[] = {"AXButton", "AXStaticText", "AXGroup",    "AXTextField",
                                      "AXImage",  "AXCheckBox",   "AXMenuItem", "AXScrollArea"};
  static const char* const TITLES[] = {"OK",
                                       "Cancel",
                                       "Save changes",
                                       "Open recent file",
                                       "Settings",
                                       "",
                                       "Search the web or type a URL",
                                       "Toolbar \xe2\x80\x94 main window"};
  vtm::JsonObject e;
  e.insert("role", ROLES[rng.below(8)]);
  e.insert("title", TITLES[rng.below(8)]);
  e.insert("identifier", "element-" + std::to_string(rng.below(1000000)));
  e.insert("enabled", rng.below(5) != 0);
  e.insert("focused", rng.below(20) == 0);
  e.insert("index", vtm::JsonValue::from_u64(rng.below(64)));
  vtm::JsonObject frame;
  frame.insert("x", vtm::JsonValue::from_double(static_cast<double>(rng.below(512000)) / 200.0));
  frame.insert("y", vtm::JsonValue::from_double(static_cast<double>(rng.below(320000)) / 200.0));
  frame.insert("width", vtm::JsonValue::from_u64(rng.below(800)));
  frame.insert("height", vtm::JsonValue::from_u64(rng.below(200)));
  e.insert("frame", std::move(frame));
  vtm::JsonArray children;
  if (depth < 8) {
    const std::uint64_t n = depth < 2 ? 8 : rng.below(5);
    for (std::uint64_t i = 0; i < n && budget > 0; ++i) {
      children.push_back(ui_element(rng, depth + 1, budget));
    }
  }
  e.insert("children", std::move(children));
  budget = budget > 260 ? budget - 260 : 0;
  return vtm::JsonValue(std::move(e));
}

std::string ui_tree_payload() {
  Rng rng;
  vtm::JsonArray windows;
  std::size_t budget = 16 * MIB;
  while (budget > 0) {
    std::size_t window_budget = std::min<std::size_t>(budget, MIB);
    budget -= window_budget;
    windows.push_back(ui_element(rng, 0, window_budget));
  }
  vtm::JsonObject data;
  data.insert("windows", std::move(windows));
  vtm::JsonObject response;
  response.insert("data", std::move(data));
  response.insert("success", true);
  return vtm::to_compact_text(vtm::JsonValue(std::move(response)));
}

std::string coordinates_payload() {
  Rng rng;
  std::string text = "[";
  char buf[32];
  while (text.size() < 16 * MIB) {
    const double x = static_cast<double>(rng.below(400000000)) / 100000.0;
    std::snprintf(buf, sizeof buf, "%.5g,", x);
    text += buf;
  }
  text.back() = ']';
  return text;
}

const std::string& payload(int which) {
  static const std::string SCREENSHOT = screenshot_payload();
  static const std::string TREE = ui_tree_payload();
  static const std::string COORDINATES = coordinates_payload();
  return which == 0 ? SCREENSHOT : which == 1 ? TREE : COORDINATES;
}

const char* payload_name(int which) {
  return which == 0 ? "screenshot_64MiB" : which == 1 ? "ui_tree_16MiB" : "coordinates_16MiB";
}

void BM_ParseOurs(benchmark::State& state) {
  const std::string& text = payload(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    vtm::Result<vtm::JsonValue> r = vtm::parse_json(text);
    if (!r.ok()) state.SkipWithError(r.error().c_str());
    benchmark::DoNotOptimize(r);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetLabel(payload_name(static_cast<int>(state.range(0))));
}

// The client's road: a document that borrows its text (copied back before each run, since
// escapes are resolved in place; the copy is not timed).
void BM_ParseDocument(benchmark::State& state) {
  const std::string& text = payload(static_cast<int>(state.range(0)));
  std::string work = text;
  for (auto _ : state) {
    state.PauseTiming();
    work.assign(text);
    state.ResumeTiming();
    vtm::Result<vtm::JsonDocument> r = vtm::parse_document(work);
    if (!r.ok()) state.SkipWithError(r.error().c_str());
    benchmark::DoNotOptimize(r);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetLabel(payload_name(static_cast<int>(state.range(0))));
}

template <bool Compact>
void BM_RenderDocument(benchmark::State& state) {
  std::string work = payload(static_cast<int>(state.range(0)));
  const vtm::JsonDocument document = vtm::parse_document(work).value();
  // Counts what would be written: the rendering, not the writing, is measured.
  struct Count final : vtm::TextOutput {
    std::size_t bytes = 0;
    void write(std::span<const std::string_view> pieces) override {
      for (std::string_view piece : pieces) {
        benchmark::DoNotOptimize(piece.data());
        bytes += piece.size();
      }
    }
  } count;
  std::size_t bytes = 0;
  for (auto _ : state) {
    count.bytes = 0;
    vtm::render_document(document, Compact, true, count);
    bytes = count.bytes;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetLabel(payload_name(static_cast<int>(state.range(0))));
}

void BM_ParseRapidJson(benchmark::State& state) {
  const std::string& text = payload(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    rapidjson::Document d;
    d.Parse(text.data(), text.size());
    if (d.HasParseError()) state.SkipWithError("rapidjson parse error");
    benchmark::DoNotOptimize(d);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetLabel(payload_name(static_cast<int>(state.range(0))));
}

void BM_RenderCompactOurs(benchmark::State& state) {
  const vtm::JsonValue value = vtm::parse_json(payload(static_cast<int>(state.range(0)))).value();
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string out = vtm::to_compact_text(value);
    bytes = out.size();
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetLabel(payload_name(static_cast<int>(state.range(0))));
}

// The same into one buffer kept across iterations (cleared, capacity kept): the rendering work
// alone, without the first touch of fresh output pages that a new buffer pays for.
void BM_RenderCompactOursReusedBuffer(benchmark::State& state) {
  const vtm::JsonValue value = vtm::parse_json(payload(static_cast<int>(state.range(0)))).value();
  std::string out;
  for (auto _ : state) {
    out.clear();
    vtm::append_compact_text(out, value);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * out.size()));
  state.SetLabel(payload_name(static_cast<int>(state.range(0))));
}

void BM_RenderCompactRapidJson(benchmark::State& state) {
  const std::string& text = payload(static_cast<int>(state.range(0)));
  rapidjson::Document d;
  d.Parse(text.data(), text.size());
  std::size_t bytes = 0;
  for (auto _ : state) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    d.Accept(writer);
    bytes = buffer.GetSize();
    benchmark::DoNotOptimize(buffer.GetString());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetLabel(payload_name(static_cast<int>(state.range(0))));
}

void BM_RenderIndentedOurs(benchmark::State& state) {
  const vtm::JsonValue value = vtm::parse_json(payload(static_cast<int>(state.range(0)))).value();
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string out = vtm::to_indented_text(value);
    bytes = out.size();
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetLabel(payload_name(static_cast<int>(state.range(0))));
}

BENCHMARK(BM_ParseOurs)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParseDocument)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderDocument<true>)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderDocument<false>)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParseRapidJson)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderCompactOurs)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderCompactOursReusedBuffer)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RenderCompactRapidJson)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RenderIndentedOurs)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
