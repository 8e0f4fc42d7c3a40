#include "options.h"

#include <limits>

namespace vtm::mock {
namespace {

constexpr std::uint64_t MAX_MILLISECONDS = std::numeric_limits<std::int32_t>::max();

Result<std::uint64_t> parse_decimal(std::string_view option, std::string_view text,
                                    std::uint64_t min, std::uint64_t max) {
  if (text.empty()) return Failure{std::string(option) + " needs a number"};
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return Failure{std::string(option) + ": not a decimal number: " + std::string(text)};
    }
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (value > (max - digit) / 10) {
      return Failure{std::string(option) + ": " + std::string(text) + " is above " +
                     std::to_string(max)};
    }
    value = value * 10 + digit;
  }
  if (value < min) {
    return Failure{std::string(option) + ": " + std::string(text) + " is below " +
                   std::to_string(min)};
  }
  return value;
}

Result<std::uint32_t> parse_prefix(std::string_view text) {
  if (text.size() != 8) return Failure{"--prefix needs exactly 8 hex digits: " + std::string(text)};
  std::uint32_t value = 0;
  for (char c : text) {
    std::uint32_t nibble = 0;
    if (c >= '0' && c <= '9') {
      nibble = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      nibble = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      nibble = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return Failure{"--prefix needs exactly 8 hex digits: " + std::string(text)};
    }
    value = value << 4 | nibble;
  }
  return value;
}

// Sets an optional once; a repeated option is a mistake in the caller's script, not a choice.
template <class T>
Status set_once(std::optional<T>& slot, std::string_view option, T value) {
  if (slot) return Failure{std::string(option) + " given twice"};
  slot = std::move(value);
  return ok_status();
}

Status set_flag_once(bool& slot, std::string_view option) {
  if (slot) return Failure{std::string(option) + " given twice"};
  slot = true;
  return ok_status();
}

}  // namespace

Result<HostOptions> parse_host_options(const std::vector<std::string>& args) {
  HostOptions options;
  std::optional<std::string> listen;
  std::optional<std::string> extra;
  std::optional<std::uint64_t> delay_ms;
  std::optional<std::uint64_t> count;
  std::optional<std::uint64_t> idle_ms;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--help") {
      HostOptions help;
      help.help = true;
      return help;
    }
    const bool takes_value = option == "--listen" || option == "--responses" || option == "--raw" ||
                             option == "--raw-file" || option == "--payload-bytes" ||
                             option == "--prefix" || option == "--short" || option == "--extra" ||
                             option == "--delay-ms" || option == "--record" ||
                             option == "--count" || option == "--idle-ms";
    Status status = ok_status();
    if (takes_value) {
      if (i + 1 >= args.size()) return Failure{option + " needs a value"};
      const std::string& value = args[++i];
      if (option == "--listen") {
        if (value.empty()) return Failure{"--listen needs a non-empty path"};
        status = set_once(listen, option, value);
      } else if (option == "--responses") {
        status = set_once(options.responses_file, option, value);
      } else if (option == "--raw") {
        status = set_once(options.raw_text, option, value);
      } else if (option == "--raw-file") {
        status = set_once(options.raw_file, option, value);
      } else if (option == "--extra") {
        status = set_once(extra, option, value);
      } else if (option == "--record") {
        status = set_once(options.record_file, option, value);
      } else if (option == "--prefix") {
        auto prefix = parse_prefix(value);
        if (!prefix) return std::move(prefix).take_failure();
        status = set_once(options.prefix, option, prefix.value());
      } else {
        std::uint64_t min = 0;
        std::uint64_t max = MAX_MILLISECONDS;
        std::optional<std::uint64_t>* slot = nullptr;
        if (option == "--payload-bytes") {
          min = 1;
          max = MAX_PAYLOAD_BYTES_OPTION;
          slot = &options.payload_bytes;
        } else if (option == "--short") {
          max = std::numeric_limits<std::uint32_t>::max();
          slot = &options.short_bytes;
        } else if (option == "--delay-ms") {
          slot = &delay_ms;
        } else if (option == "--count") {
          min = 1;
          max = std::numeric_limits<std::uint32_t>::max();
          slot = &count;
        } else {
          min = 1;
          slot = &idle_ms;
        }
        auto number = parse_decimal(option, value, min, max);
        if (!number) return std::move(number).take_failure();
        status = set_once(*slot, option, number.value());
      }
    } else if (option == "--echo") {
      status = set_flag_once(options.echo, option);
    } else if (option == "--close") {
      status = set_flag_once(options.close_without_answer, option);
    } else if (option == "--no-read") {
      status = set_flag_once(options.no_read, option);
    } else {
      return Failure{"unknown option: " + option};
    }
    if (!status) return std::move(status).take_failure();
  }

  if (!listen) return Failure{"--listen PATH is required"};
  options.listen_path = std::move(*listen);
  const int sources = (options.responses_file ? 1 : 0) + (options.echo ? 1 : 0) +
                      (options.raw_text ? 1 : 0) + (options.raw_file ? 1 : 0) +
                      (options.payload_bytes ? 1 : 0);
  if (sources > 1) {
    return Failure{"choose at most one of --responses, --echo, --raw, --raw-file, --payload-bytes"};
  }
  options.extra = extra.value_or("");
  options.delay_ms = delay_ms.value_or(0);
  options.count = count.value_or(1);
  options.idle_ms = idle_ms.value_or(30000);
  return options;
}

std::string_view usage_text() {
  return R"(Usage: mock-host --listen PATH [options]
Stand-in desktop host: answers one length-prefixed JSON request per connection.

  --listen PATH         Unix socket path, or \\.\pipe\NAME on Windows
  --responses FILE      JSON object mapping command word -> response value
  --echo                answer with the request itself under data.request
  --raw TEXT            answer every request with exactly these payload bytes
  --raw-file FILE       same, payload bytes from a file
  --payload-bytes N     answer with a valid JSON payload of exactly N bytes
  --prefix HEX          send this 8-hex-digit length prefix instead of the real one
  --short N             send only the first N payload bytes, then close
  --close               read the request, then close without answering
  --no-read             don't read the request: answer (or close) at once
  --extra TEXT          after the frame, send these extra bytes too
  --delay-ms N          wait N ms before answering
  --record FILE         write the raw bytes received to FILE (appended per connection)
  --count N             stop after N connections (default 1)
  --idle-ms N           stop after N ms without a connection (default 30000)
  --help                this text

Without --responses, --echo, --raw, --raw-file or --payload-bytes every command word gets a
built-in answer. Prints "listening on PATH" once ready. Exit status: 0 when done or idle,
1 when the endpoint fails, 2 on bad usage.
)";
}

}  // namespace vtm::mock
