#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "json/json_value.h"
#include "platform/portable/u128.h"

namespace vtm {

inline constexpr std::uint64_t PROTOCOL_VERSION = 1;

// "<pid>-<nanoseconds since 1970>", "-0" for a clock before 1970.
std::string make_request_id();
std::string format_request_id(std::uint32_t process_id, platform::UInt128 unix_nanoseconds);

JsonValue build_control_request(const std::string& command,
                                const std::vector<std::string>& arguments);

// The compact UTF-8 text: the payload of the request frame.
std::string encode_control_request(const JsonValue& request);

}  // namespace vtm
