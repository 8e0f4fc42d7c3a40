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
#include <system_error>
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

// Writes the stop line when a stop signal came.
bool reported_stop() {
  const std::optional<std::string> signal = stop_requested();
  if (signal) write_out(stderr, "stopped by " + *signal + "\n");
  return signal.has_value();
}

// The connections in flight and the ones done. A held connection (a hang) counts as done once
// it is held: it must not keep the host from stopping, since stopping is what releases it. The
// host is idle only while no connection is in flight.
class Connections {
 public:
  struct Tally {
    std::uint64_t counted = 0;  // finished or held, with a request
    std::uint64_t in_flight = 0;
    std::uint64_t uncounted = 0;  // ended without sending anything, or refused
    std::uint64_t held = 0;       // each keeps its connection open until the host stops
    int idle_left_ms = 0;         // of the idle limit, while nothing is in flight
  };

  Tally tally(int idle_ms) {
    std::lock_guard lock(mutex_);
    Tally tally{counted_, in_flight_, uncounted_, held_, idle_ms};
    if (in_flight_ == 0) {
      const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - quiet_since_);
      tally.idle_left_ms =
          static_cast<int>(std::max<std::int64_t>(0, idle_ms - std::int64_t{quiet.count()}));
    }
    return tally;
  }
  void started() {
    std::lock_guard lock(mutex_);
    ++in_flight_;
  }
  void uncounted() {
    std::lock_guard lock(mutex_);
    ++uncounted_;
  }
  void finished(bool counted) {
    std::lock_guard lock(mutex_);
    end(counted);
  }
  // For a held connection: counts it, then waits for the stop.
  void hold() {
    std::unique_lock lock(mutex_);
    ++held_;
    end(true);
    changed_.wait(lock, [&] { return stopping_; });
  }
  // Waits until a connection ends, at most timeout_ms.
  void wait_for_change(int timeout_ms) {
    std::unique_lock lock(mutex_);
    const std::uint64_t ended = ended_;
    changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return ended_ != ended; });
  }
  // A wait that the stop cuts short.
  void sleep(std::uint64_t ms) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping_; });
  }
  // Releases held connections and cuts waits short, then waits for the ones in flight, which
  // their time limits bound.
  void stop_and_drain() {
    std::unique_lock lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return in_flight_ == 0; });
  }

 private:
  void end(bool counted) {
    --in_flight_;
    ++ended_;
    if (counted) {
      ++counted_;
    } else {
      ++uncounted_;
    }
    if (in_flight_ == 0) quiet_since_ = std::chrono::steady_clock::now();
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t counted_ = 0;
  std::uint64_t in_flight_ = 0;
  std::uint64_t uncounted_ = 0;
  std::uint64_t held_ = 0;
  std::uint64_t ended_ = 0;
  std::chrono::steady_clock::time_point quiet_since_ = std::chrono::steady_clock::now();
  bool stopping_ = false;
};

// Threads whose connection ended are joined as new ones start, so a long run does not gather
// them.
class Workers {
 public:
  template <class Work>
  vtm::Status start(Work work) {
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
    // std::thread reports a thread the system will not start only by throwing; the host turns
    // that into a refused connection rather than an abort.
    try {
      threads_.push_back({std::thread([work = std::move(work), done] {
                            work();
                            *done = true;
                          }),
                          done});
    } catch (const std::system_error& error) {
      return vtm::Failure{error.what()};
    }
    return vtm::ok_status();
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

// After a failure to take a connection: a pause, so that a shortage can ease.
constexpr int BACK_OFF_MS = 100;
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
  // A stop while the inputs were read leaves the outputs as they were.
  if (stop_requested()) return Refusal{"stopped"};
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
  host.sleep_ms = [&connections](std::uint64_t ms) { connections.sleep(ms); };
  host.wall_clock_ms = [] {
    return static_cast<std::uint64_t>(vtm::platform::unix_time_nanoseconds() / 1'000'000);
  };
  host.steady_clock_ms = steady_milliseconds;
  host.hold = [&connections] { connections.hold(); };
  return host;
}

// What the connections report, for the end.
struct Reports {
  void add(std::uint64_t number, const SessionOutcome& outcome) {
    const std::string where = "connection " + std::to_string(number) + ": ";
    std::lock_guard lock(mutex);
    if (!outcome.problem.empty()) complain(where + outcome.problem);
    if (outcome.unmatched) unmatched.push_back(where + *outcome.unmatched);
    if (outcome.target_failed) target_failures.push_back(where + outcome.problem);
  }
  std::mutex mutex;
  std::vector<std::string> unmatched;
  std::vector<std::string> target_failures;
};

// Accepts and serves until the count is reached, the host is idle or a signal stops it. A
// connection the host cannot take (no descriptor, no thread) is closed and reported, and the host
// goes on after a pause.
int serve(Listener& listener, const HostContext& host, Connections& connections, Reports& reports) {
  Workers workers;
  const int idle_ms = idle_limit_ms(host.options);
  const std::uint64_t capacity = connection_capacity();
  std::uint64_t accepted = 0;
  std::uint64_t uncounted_seen = 0;
  for (;;) {
    if (reported_stop()) break;
    const Connections::Tally tally = connections.tally(idle_ms);
    // A connection that did not count leaves room for another one.
    for (; uncounted_seen < tally.uncounted; ++uncounted_seen) listener.expect_another();
    if (tally.counted >= host.options.count) break;
    if (tally.counted + tally.in_flight >= host.options.count) {
      connections.wait_for_change(BACK_OFF_MS);
      continue;
    }
    if (tally.in_flight == 0 && tally.idle_left_ms == 0) {
      write_out(stderr, "idle timeout\n");
      break;
    }
    auto connection = listener.accept(tally.in_flight > 0 ? idle_ms : tally.idle_left_ms);
    if (!connection) {
      complain(connection.error());
      connections.uncounted();
      connections.sleep(BACK_OFF_MS);
      continue;
    }
    if (!connection.value()) continue;
    const std::uint64_t number = ++accepted;
    if (tally.in_flight + tally.held >= capacity) {
      complain("connection " + std::to_string(number) + " closed at once: " +
               std::to_string(capacity) + " open connections is all the open-file limit allows");
      connections.uncounted();
      continue;
    }
    connections.started();
    vtm::Status started = workers.start(
        [&, number, served = std::shared_ptr<Connection>(std::move(connection).value())] {
          SessionOutcome outcome = serve_connection(*served, number, host);
          reports.add(number, outcome);
          // A held connection was counted when it was held.
          if (!outcome.held) connections.finished(!outcome.silent);
        });
    if (!started) {
      // The connection closes as it goes out of scope here.
      complain("connection " + std::to_string(number) +
               " closed at once: cannot start a thread: " + started.error());
      connections.finished(false);
      connections.sleep(BACK_OFF_MS);
    }
  }
  connections.stop_and_drain();
  workers.join_all();
  return EXIT_DONE;
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
  if (setup.scenario) {
    for (std::string& line : setup.scenario->unused_stubs()) unmet.push_back(std::move(line));
    for (std::string& line : setup.scenario->unmet_expectations()) unmet.push_back(std::move(line));
  }
  for (const std::string& line : reports.target_failures) {
    unmet.push_back("proxy failed on " + line);
  }
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
  if (opts.version) {
    write_out(stdout, version_text());
    return EXIT_DONE;
  }
  Setup setup(opts);
  if (auto refused = prepare(opts, setup)) {
    // A stop ends any wait for a file (a pipe without a writer): the host stopped, nothing failed.
    if (reported_stop()) return EXIT_DONE;
    complain(refused->message);
    return refused->status;
  }
  bool in_use = false;
  auto listener = listen(opts.listen_path, opts.count, in_use);
  if (!listener) {
    complain("cannot listen on " + opts.listen_path + ": " + listener.error());
    return in_use ? EXIT_USAGE : EXIT_FAILED;
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
