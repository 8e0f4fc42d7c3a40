// mock-host: the stand-in desktop host for end-to-end tests, benchmarks and scripting.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "json/write.h"
#include "listener.h"
#include "options.h"
#include "output_file.h"
#include "platform/platform.h"
#include "proxy.h"
#include "responder.h"
#include "scenario.h"
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
  auto responder = Responder::from_options(opts);
  if (!responder) {
    complain(responder.error());
    return EXIT_USAGE;
  }
  std::unique_ptr<ScenarioPlayer> scenario;
  if (opts.scenario_file) {
    auto text = read_file(*opts.scenario_file, "--scenario");
    if (!text) {
      complain(text.error());
      return EXIT_USAGE;
    }
    auto stubs = parse_scenario(text.value(), *opts.scenario_file);
    if (!stubs) {
      complain("--scenario: " + stubs.error());
      return EXIT_USAGE;
    }
    scenario = std::make_unique<ScenarioPlayer>(std::move(stubs).value());
  }
  OutputFile record("--record", opts.record_file);
  OutputFile journal("--journal", opts.journal_file);
  OutputFile capture("--capture", opts.capture_file);
  for (OutputFile* file : {&record, &journal, &capture}) {
    if (auto started = file->start(); !started) {
      complain(started.error());
      return EXIT_USAGE;
    }
  }
  const int idle_ms = idle_limit_ms(opts);
  std::unique_ptr<Proxy> proxy;
  if (opts.proxy_target) {
    proxy = std::make_unique<Proxy>(*opts.proxy_target, io_timeout_ms(opts), capture);
    if (auto reached = proxy->check(); !reached) {
      complain(reached.error());
      return EXIT_USAGE;
    }
  }

  bool in_use = false;
  auto listener = listen(opts.listen_path, opts.count, in_use);
  if (!listener) {
    complain("cannot listen on " + opts.listen_path + ": " + listener.error());
    return in_use ? EXIT_USAGE : EXIT_FAILED;
  }
  write_out(stdout, "listening on " + opts.listen_path + "\n");

  Connections connections;
  std::mutex report_mutex;
  std::vector<std::string> unmatched;
  HostContext host{opts, responder.value(), scenario.get(), proxy.get()};
  if (journal.enabled()) {
    host.journal = [&](const vtm::JsonValue& entry) {
      journal.append(vtm::to_compact_text(entry) + "\n");
    };
  }
  host.record = [&](std::string_view bytes) { record.append(bytes); };
  host.sleep_ms = [&](std::uint64_t ms) { connections.sleep(ms); };
  host.hold = [&] { connections.hold(); };

  int status = EXIT_DONE;
  Workers workers;
  std::vector<std::string> target_failures;
  const std::uint64_t capacity = connection_capacity();
  std::uint64_t accepted = 0;
  std::uint64_t uncounted_seen = 0;
  for (;;) {
    if (auto signal = stop_requested()) {
      write_out(stderr, "stopped by " + *signal + "\n");
      break;
    }
    const Connections::Tally tally = connections.tally(idle_ms);
    // A connection that did not count leaves room for another one.
    for (; uncounted_seen < tally.uncounted; ++uncounted_seen) listener.value()->expect_another();
    if (tally.counted >= opts.count) break;
    if (tally.counted + tally.in_flight >= opts.count) {
      connections.wait_for_change(BACK_OFF_MS);
      continue;
    }
    if (tally.in_flight == 0 && tally.idle_left_ms == 0) {
      write_out(stderr, "idle timeout\n");
      break;
    }
    auto connection = listener.value()->accept(tally.in_flight > 0 ? idle_ms : tally.idle_left_ms);
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
          {
            std::lock_guard lock(report_mutex);
            if (!outcome.problem.empty()) {
              complain("connection " + std::to_string(number) + ": " + outcome.problem);
            }
            if (outcome.unmatched) {
              unmatched.push_back("connection " + std::to_string(number) + ": " +
                                  *outcome.unmatched);
            }
            if (outcome.target_failed) {
              target_failures.push_back("connection " + std::to_string(number) + ": " +
                                        outcome.problem);
            }
          }
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
  listener.value().reset();

  for (const OutputFile* file : {&record, &journal, &capture}) {
    if (auto failed = file->failure()) {
      complain(*failed);
      status = EXIT_FAILED;
    }
  }
  if (opts.strict) {
    std::vector<std::string> unused;
    if (scenario) unused = scenario->unused_stubs();
    for (const std::string& line : unmatched) complain("strict: unmatched request on " + line);
    for (const std::string& line : unused) complain("strict: " + line);
    for (const std::string& line : target_failures) complain("strict: proxy failed on " + line);
    if (status == EXIT_DONE &&
        (!unmatched.empty() || !unused.empty() || !target_failures.empty())) {
      status = EXIT_UNMET;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) { return run(argc, argv); }
