#include "report/failure.h"

#include <string>

#include "json/write.h"
#include "report/exit_status.h"
#include "report/output.h"

namespace vtm {
namespace {

constexpr std::string_view FIX_NOT_CONFIGURED =
    "Run the bundled CLI through Vantelmire's authorized SSH shell, or set "
    "VANTELMIRE_BRIDGE_SOCKET to the socket exported by the running desktop app.";
constexpr std::string_view FIX_HOST_UNAVAILABLE =
    "Open Vantelmire, then rerun `vantelmirectl bridge status --json` before retrying the "
    "requested action.";
constexpr std::string_view FIX_TIMEOUT =
    "Check `vantelmirectl bridge status --json`; inspect current UI state before retrying "
    "because a mutation may have been dispatched.";
constexpr std::string_view FIX_CLIENT =
    "Run `vantelmirectl bridge status --json`, preserve this error message, and do not retry a "
    "mutation without inspecting current state.";

bool contains(std::string_view text, std::string_view needle) {
  return text.find(needle) != std::string_view::npos;
}

// ASCII capitals only: multi-byte characters stay as they are.
std::string ascii_lowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return lowered;
}

}  // namespace

FailureClass classify_failure(std::string_view message) {
  if (contains(message, "VANTELMIRE_BRIDGE_SOCKET")) {
    return {"BRIDGE_SOCKET_NOT_CONFIGURED", false, FIX_NOT_CONFIGURED};
  }
  if (contains(message, "No such file") || contains(message, "Connection refused")) {
    return {"CONTROL_HOST_UNAVAILABLE", true, FIX_HOST_UNAVAILABLE};
  }
  if (contains(ascii_lowered(message), "timed out")) {
    return {"CONTROL_TRANSPORT_TIMEOUT", true, FIX_TIMEOUT};
  }
  return {"CLIENT_FAILURE", false, FIX_CLIENT};
}

JsonValue build_error_envelope(std::string_view message) {
  const FailureClass failure = classify_failure(message);
  JsonObject error;
  error.insert("code", std::string(failure.code));
  error.insert("message", std::string(message));
  error.insert("retryable", failure.retryable);
  error.insert("recommendedFix", std::string(failure.recommended_fix));
  error.insert("details", nullptr);
  JsonObject envelope;
  envelope.insert("success", false);
  envelope.insert("requestId", "client");
  envelope.insert("data", nullptr);
  envelope.insert("error", std::move(error));
  envelope.insert("debugLog", JsonArray{});
  return envelope;
}

int report_failure(std::string_view message) {
  std::string text = to_compact_text(build_error_envelope(message));
  text += '\n';
  write_output(platform::StdStream::Err, text);
  return STATUS_FAILED;
}

}  // namespace vtm
