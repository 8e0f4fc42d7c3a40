#pragma once
#include "json/document.h"
#include "json/json_value.h"

namespace vtm {

// True only for an object whose top-level "success" member is the boolean true.
bool response_succeeded(const JsonValue& response);
bool response_succeeded(const JsonDocument& response);

// Prints the response in the chosen form, piece by piece as it is rendered; returns STATUS_OK
// on success, else STATUS_FAILED. A failed write ends the run there with STATUS_OUTPUT_FAILED.
int report_response(const JsonDocument& response, bool compact);

}  // namespace vtm
