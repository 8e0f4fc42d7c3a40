// mock-host: the stand-in desktop host for end-to-end tests, benchmarks and scripting.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host_files.h"
#include "json/write.h"
#include "listener.h"
#include "options.h"
#include "output_file.h"
#include "platform/platform.h"
#include "proxy.h"
#include "responder.h"
#include "scenario.h"
#include "script_file.h"
#include "session.h"

namespace {

using namespace vtm::mock;

constexpr int EXIT_DONE = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_UNMET = 3;

void write_out(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void complain(std::string_view message) {
  write_out(stderr, "mock-host: " + std::string(message) + "\n");
}

// The connections in flight. One counts as finished when it ends or is held (a hang): a held
// connection must not keep the host from stopping, since stopping is what releases it.
class Connections {
 public:
  void finished() {
    std::lock_guard lock(mutex_);
    ++finished_;
    changed_.notify_all();
  }
  // For a held connection: counts it, then waits for the stop.
  void hold() {
    std::unique_lock lock(mutex_);
    ++finished_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return stopping_; });
  }
  void wait_until_finished(std::uint64_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return finished_ >= count; });
  }
  void stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t finished_ = 0;
  bool stopping_ = false;
};

// Threads whose connection ended are joined as new ones start, so a long run does not gather
// them.
class Workers {
 public:
  template <class Work>
  void start(Work work) {
    std::lock_guard lock(mutex_);
    for (auto it = threads_.begin(); it != threads_.end();) {
      if (*it->done) {
        it->thread.join();
        it = threads_.erase(it);
      } else {
        ++it;
      }
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    threads_.push_back({std::thread([work = std::move(work), done] {
                          work();
                          *done = true;
                        }),
                        done});
  }
  void join_all() {
    std::lock_guard lock(mutex_);
    for (auto& worker : threads_) worker.thread.join();
    threads_.clear();
  }

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::mutex mutex_;
  std::list<Worker> threads_;
};

// A start-up refusal: the message, and the status to end with.
struct Refusal {
  std::string message;
  int status = EXIT_USAGE;
};

// Everything the host reads and writes, ready before it listens.
struct Setup {
  explicit Setup(const HostOptions& opts)
      : record("--record", opts.record_file),
        journal("--journal", opts.journal_file),
        capture("--capture", opts.capture_file) {}
  std::optional<Responder> responder;
  std::unique_ptr<ScenarioPlayer> scenario;
  OutputFile record;
  OutputFile journal;
  OutputFile capture;
  std::unique_ptr<Proxy> proxy;
  std::array<OutputFile*, 3> outputs() { return {&record, &journal, &capture}; }
};

// Files the host reads, by option, for the clobber check.
std::vector<std::pair<std::string_view, std::string>> input_files(const HostOptions& opts) {
  std::vector<std::pair<std::string_view, std::string>> inputs;
  if (opts.scenario_file) inputs.emplace_back("--scenario", *opts.scenario_file);
  if (opts.responses_file) inputs.emplace_back("--responses", *opts.responses_file);
  if (opts.raw_file) inputs.emplace_back("--raw-file", *opts.raw_file);
  return inputs;
}

// An output on an input would destroy the script before it is read again: checked before any
// output is emptied.
std::optional<Refusal> clobbers_input(const HostOptions& opts, Setup& setup) {
  for (const OutputFile* out : setup.outputs()) {
    if (!out->enabled()) continue;
    for (const auto& [option, path] : input_files(opts)) {
      if (same_file(*out->path(), path)) {
        return Refusal{out->option() + " " + *out->path() + " is the " + std::string(option) +
                       " file: it would be overwritten"};
      }
    }
  }
  if (opts.proxy_target && same_file(opts.listen_path, *opts.proxy_target)) {
    return Refusal{"--proxy " + *opts.proxy_target + " is the host's own --listen endpoint"};
  }
  return std::nullopt;
}

// Two outputs on one file would write over each other: checked once they exist, so that two
// spellings of one new file are seen to be one.
std::optional<Refusal> outputs_collide(Setup& setup) {
  const auto outputs = setup.outputs();
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const OutputFile& out = *outputs[i];
    if (!out.enabled()) continue;
    for (std::size_t j = 0; j < i; ++j) {
      if (outputs[j]->enabled() && same_file(*out.path(), *outputs[j]->path())) {
        return Refusal{out.option() + " and " + outputs[j]->option() +
                       " name one file: " + *out.path()};
      }
    }
  }
  return std::nullopt;
}

std::optional<Refusal> read_scenario(const HostOptions& opts, Setup& setup) {
  if (!opts.scenario_file) return std::nullopt;
  auto text = read_script_file(*opts.scenario_file, "--scenario", MAX_SCRIPT_FILE_BYTES);
  if (!text) return Refusal{text.error()};
  auto stubs = parse_scenario(text.value(), *opts.scenario_file);
  if (!stubs) return Refusal{"--scenario: " + stubs.error()};
  if (auto note = cut_last_line(text.value(), *opts.scenario_file)) {
    complain("--scenario: " + *note);
  }
  setup.scenario = std::make_unique<ScenarioPlayer>(std::move(stubs).value());
  return std::nullopt;
}

std::optional<Refusal> prepare(const HostOptions& opts, Setup& setup) {
  auto responder = Responder::from_options(opts);
  if (!responder) return Refusal{responder.error()};
  setup.responder = std::move(responder).value();
  if (auto refused = read_scenario(opts, setup)) return refused;
  if (auto refused = clobbers_input(opts, setup)) return refused;
  for (OutputFile* file : setup.outputs()) {
    if (auto started = file->start(); !started) return Refusal{started.error()};
  }
  if (auto refused = outputs_collide(setup)) return refused;
  if (opts.proxy_target) {
    setup.proxy = std::make_unique<Proxy>(*opts.proxy_target, io_timeout_ms(opts), setup.capture);
    if (auto reached = setup.proxy->check(); !reached) return Refusal{reached.error()};
    if (setup.capture.enabled()) setup.proxy->begin_capture();
  }
  return std::nullopt;
}

std::uint64_t steady_milliseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

// What every connection shares: the answers, the files, the clocks.
HostContext host_context(const HostOptions& opts, Setup& setup, Connections& connections) {
  HostContext host{opts, *setup.responder, setup.scenario.get(), setup.proxy.get()};
  if (setup.journal.enabled()) {
    host.journal = [&setup](const vtm::JsonValue& entry) {
      setup.journal.append(vtm::to_compact_text(entry) + "\n");
    };
  }
  host.record = [&setup](std::string_view bytes) { setup.record.append(bytes); };
  host.sleep_ms = [](std::uint64_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  };
  host.wall_clock_ms = [] {
    return static_cast<std::uint64_t>(vtm::platform::unix_time_nanoseconds() / 1'000'000);
  };
  host.steady_clock_ms = steady_milliseconds;
  host.hold = [&connections] { connections.hold(); };
  return host;
}

// What the connections report, for the end.
struct Reports {
  std::mutex mutex;
  std::vector<std::string> unmatched;
};

// Accepts and serves until the count is reached, the host is idle, or accepting fails.
int serve(Listener& listener, const HostContext& host, Connections& connections, Reports& reports) {
  int status = EXIT_DONE;
  Workers workers;
  std::uint64_t accepted = 0;
  const int idle_ms = io_timeout_ms(host.options);
  while (accepted < host.options.count) {
    auto connection = listener.accept(idle_ms);
    if (!connection) {
      complain("accept failed: " + connection.error());
      status = EXIT_FAILED;
      break;
    }
    if (!connection.value()) {
      write_out(stderr, "idle timeout\n");
      break;
    }
    const std::uint64_t number = ++accepted;
    workers.start([&, number, served = std::shared_ptr<Connection>(std::move(connection).value())] {
      SessionOutcome outcome = serve_connection(*served, number, host);
      {
        std::lock_guard lock(reports.mutex);
        if (!outcome.problem.empty()) {
          complain("connection " + std::to_string(number) + ": " + outcome.problem);
        }
        if (outcome.unmatched) {
          reports.unmatched.push_back("connection " + std::to_string(number) + ": " +
                                      *outcome.unmatched);
        }
      }
      // A held connection was counted when it was held.
      if (!outcome.held) connections.finished();
    });
  }
  connections.wait_until_finished(accepted);
  connections.stop();
  workers.join_all();
  return status;
}

// The end: failed writes, then what --strict finds unmet.
int conclude(int status, const HostOptions& opts, Setup& setup, const Reports& reports) {
  for (const OutputFile* file : setup.outputs()) {
    if (auto failed = file->failure()) {
      complain(*failed);
      status = EXIT_FAILED;
    }
  }
  if (!opts.strict) return status;
  std::vector<std::string> unmet;
  for (const std::string& line : reports.unmatched) unmet.push_back("unmatched request on " + line);
  for (std::string& line : setup.scenario->unused_stubs()) unmet.push_back(std::move(line));
  for (std::string& line : setup.scenario->unmet_expectations()) unmet.push_back(std::move(line));
  for (const std::string& line : unmet) complain("strict: " + line);
  if (status == EXIT_DONE && !unmet.empty()) status = EXIT_UNMET;
  return status;
}

int run(int argc, char** argv) {
  prepare_process();
  // The same argument collection as the client: UTF-8 everywhere, UTF-16 command line on Windows.
  vtm::platform::set_main_arguments(argc, argv);
  vtm::Result<std::vector<std::string>> arguments = vtm::platform::arguments();
  if (!arguments) {
    complain(arguments.error());
    return EXIT_USAGE;
  }
  auto options = parse_host_options(std::move(arguments).value());
  if (!options) {
    complain(options.error());
    write_out(stderr, "Try 'mock-host --help'.\n");
    return EXIT_USAGE;
  }
  const HostOptions& opts = options.value();
  if (opts.help) {
    write_out(stdout, usage_text());
    return EXIT_DONE;
  }
  Setup setup(opts);
  if (auto refused = prepare(opts, setup)) {
    complain(refused->message);
    return refused->status;
  }
  auto listener = listen(opts.listen_path, opts.count);
  if (!listener) {
    complain("cannot listen on " + opts.listen_path + ": " + listener.error());
    return EXIT_FAILED;
  }
  write_out(stdout, "listening on " + opts.listen_path + "\n");

  Connections connections;
  Reports reports;
  const HostContext host = host_context(opts, setup, connections);
  const int status = serve(*listener.value(), host, connections, reports);
  listener.value().reset();
  return conclude(status, opts, setup, reports);
}

}  // namespace

int main(int argc, char** argv) { return run(argc, argv); }
