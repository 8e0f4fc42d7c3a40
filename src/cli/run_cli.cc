#include "cli/run_cli.h"

#include <algorithm>

#include "bridge/exchange.h"
#include "bridge/request.h"
#include "cli/vocabulary.h"
#include "json/print.h"
#include "platform/platform.h"
#include "report/exit_status.h"
#include "report/failure.h"
#include "report/response.h"

namespace vtm {

bool remove_flag(std::vector<std::string>& arguments, std::string_view option) {
  const auto removed = std::erase(arguments, option);
  return removed != 0;
}

Normalised normalise_arguments(std::vector<std::string>& arguments) {
  Normalised result;
  // A --json-output next to --json stays an ordinary argument.
  result.compact = remove_flag(arguments, "--json") || remove_flag(arguments, "--json-output");
  remove_flag(arguments, "--no-remote");
  if (remove_flag(arguments, "--version")) {
    result.road = Road::Version;
  } else if (arguments.empty() || remove_flag(arguments, "--help") ||
             remove_flag(arguments, "-h")) {
    result.road = Road::Usage;
  }
  return result;
}

void print_version_report(bool compact) {
  JsonObject data;
  data.insert("name", std::string(PROGRAM_NAME));
  data.insert("version", std::string(PROGRAM_VERSION));
  data.insert("protocolVersion", JsonValue::from_u64(PROTOCOL_VERSION));
  JsonObject report;
  report.insert("success", true);
  report.insert("data", std::move(data));
  print_json(report, compact);
}

int run_cli() {
  Result<std::vector<std::string>> collected = platform::arguments();
  if (!collected) return report_failure(collected.error());
  std::vector<std::string>& arguments = collected.value();

  const Normalised normalised = normalise_arguments(arguments);
  switch (normalised.road) {
    case Road::Version:
      print_version_report(normalised.compact);
      return STATUS_OK;
    case Road::Usage:
      print_usage();
      return STATUS_OK;
    case Road::Command:
      break;
  }

  Result<ResolvedCommand> resolved = resolve_command(std::move(arguments));
  if (!resolved) return report_failure(resolved.error());
  const JsonValue request =
      build_control_request(resolved.value().command, resolved.value().arguments);
  Result<ControlResponse> response = exchange_control_request(request);
  if (!response) return report_failure(response.error());
  return report_response(response.value().document, normalised.compact);
}

}  // namespace vtm
