// mock-host: the stand-in desktop host for end-to-end tests, benchmarks and scripting.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <thread>

#include "listener.h"
#include "options.h"
#include "platform/platform.h"
#include "responder.h"
#include "session.h"

namespace {

using namespace vtm::mock;

constexpr int EXIT_DONE = 0;
constexpr int EXIT_ENDPOINT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

void write_out(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void complain(std::string_view message) {
  write_out(stderr, "mock-host: " + std::string(message) + "\n");
}

std::filesystem::path utf8_path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// Truncated once at start, appended per connection: one connection overwrites, several add up.
class Recorder {
 public:
  explicit Recorder(std::optional<std::string> path) : path_(std::move(path)) {}

  vtm::Status start() {
    if (!path_) return vtm::ok_status();
    std::ofstream out(utf8_path(*path_), std::ios::binary | std::ios::trunc);
    if (!out) return vtm::Failure{"--record: cannot write " + *path_};
    return vtm::ok_status();
  }

  void add(std::string_view bytes) const {
    if (!path_) return;
    std::ofstream out(utf8_path(*path_), std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) complain("--record: cannot write " + *path_);
  }

 private:
  std::optional<std::string> path_;
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
  Recorder recorder(opts.record_file);
  if (auto started = recorder.start(); !started) {
    complain(started.error());
    return EXIT_USAGE;
  }

  auto listener = listen(opts.listen_path, opts.count);
  if (!listener) {
    complain("cannot listen on " + opts.listen_path + ": " + listener.error());
    return EXIT_ENDPOINT_FAILED;
  }
  write_out(stdout, "listening on " + opts.listen_path + "\n");

  const int idle_ms =
      static_cast<int>(std::min<std::uint64_t>(opts.idle_ms, std::numeric_limits<int>::max()));
  for (std::uint64_t served = 0; served < opts.count; ++served) {
    auto connection = listener.value()->accept(idle_ms);
    if (!connection) {
      complain("accept failed: " + connection.error());
      return EXIT_ENDPOINT_FAILED;
    }
    if (!connection.value()) {
      write_out(stderr, "idle timeout\n");
      return EXIT_DONE;
    }
    const SessionOutcome outcome = serve_connection(
        *connection.value(), opts, responder.value(),
        [&](std::string_view bytes) { recorder.add(bytes); },
        [](std::uint64_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
    if (!outcome.problem.empty()) {
      complain("connection " + std::to_string(served + 1) + ": " + outcome.problem);
    }
  }
  return EXIT_DONE;
}

}  // namespace

int main(int argc, char** argv) { return run(argc, argv); }
