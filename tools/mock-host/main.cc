// mock-host: the stand-in desktop host for end-to-end tests, benchmarks and scripting.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <list>
#include <memory>
#include <mutex>
#include <string>
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
  const int idle_ms = io_timeout_ms(opts);
  std::unique_ptr<Proxy> proxy;
  if (opts.proxy_target) {
    proxy = std::make_unique<Proxy>(*opts.proxy_target, idle_ms, capture);
    if (auto reached = proxy->check(); !reached) {
      complain(reached.error());
      return EXIT_USAGE;
    }
  }

  auto listener = listen(opts.listen_path, opts.count);
  if (!listener) {
    complain("cannot listen on " + opts.listen_path + ": " + listener.error());
    return EXIT_FAILED;
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
  host.sleep_ms = [](std::uint64_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  };
  host.hold = [&] { connections.hold(); };

  int status = EXIT_DONE;
  Workers workers;
  std::uint64_t accepted = 0;
  while (accepted < opts.count) {
    auto connection = listener.value()->accept(idle_ms);
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
        std::lock_guard lock(report_mutex);
        if (!outcome.problem.empty()) {
          complain("connection " + std::to_string(number) + ": " + outcome.problem);
        }
        if (outcome.unmatched) {
          unmatched.push_back("connection " + std::to_string(number) + ": " + *outcome.unmatched);
        }
      }
      // A held connection was counted when it was held.
      if (!outcome.held) connections.finished();
    });
  }
  connections.wait_until_finished(accepted);
  connections.stop();
  workers.join_all();
  listener.value().reset();

  for (const OutputFile* file : {&record, &journal, &capture}) {
    if (auto failed = file->failure()) {
      complain(*failed);
      status = EXIT_FAILED;
    }
  }
  if (opts.strict) {
    std::vector<std::string> unused = scenario->unused_stubs();
    for (const std::string& line : unmatched) complain("strict: unmatched request on " + line);
    for (const std::string& line : unused) complain("strict: " + line);
    if (status == EXIT_DONE && (!unmatched.empty() || !unused.empty())) status = EXIT_UNMET;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) { return run(argc, argv); }
