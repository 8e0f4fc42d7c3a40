#pragma once
#include <string_view>

#include "json/json_value.h"

namespace vtm {

struct FailureClass {
  std::string_view code;
  bool retryable;
  std::string_view recommended_fix;
};

// Decided by the text alone: four substring rules, first match wins.
FailureClass classify_failure(std::string_view message);

JsonValue build_error_envelope(std::string_view message);

// The compact envelope on stderr; returns STATUS_FAILED.
int report_failure(std::string_view message);

}  // namespace vtm
