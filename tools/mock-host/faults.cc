#include "faults.h"

#include <limits>

namespace vtm::mock {
namespace {

constexpr std::uint64_t MAX_SHORT = std::numeric_limits<std::uint32_t>::max();

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

const std::string COUNT_RANGE = "a whole number from 0 to " + std::to_string(MAX_SHORT);

}  // namespace

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

std::optional<std::uint32_t> parse_hex8(std::string_view text) {
  if (text.size() != 8) return std::nullopt;
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
      return std::nullopt;
    }
    value = value << 4 | nibble;
  }
  return value;
}

Status set_fault(const FaultEntry& entry, Faults& faults, std::string_view text) {
  return std::visit(
      Overloaded{[&](bool Faults::*flag) -> Status {
                   faults.*flag = true;
                   return ok_status();
                 },
                 [&](std::optional<std::uint64_t> Faults::*count) -> Status {
                   auto value = parse_decimal(entry.option, text, 0, MAX_SHORT);
                   if (!value) return std::move(value).take_failure();
                   faults.*count = value.value();
                   return ok_status();
                 },
                 [&](std::optional<std::uint32_t> Faults::*prefix) -> Status {
                   const auto value = parse_hex8(text);
                   if (!value) {
                     return Failure{std::string(entry.option) +
                                    " needs exactly 8 hex digits: " + std::string(text)};
                   }
                   faults.*prefix = *value;
                   return ok_status();
                 },
                 [&](std::string Faults::*bytes) -> Status {
                   faults.*bytes = std::string(text);
                   return ok_status();
                 }},
      entry.field);
}

Status set_fault(const FaultEntry& entry, Faults& faults, const JsonValue& value) {
  using Kind = JsonValue::Kind;
  return std::visit(Overloaded{[&](bool Faults::*flag) -> Status {
                                 if (value.kind() != Kind::Bool)
                                   return Failure{"must be true or false"};
                                 faults.*flag = value.as_bool();
                                 return ok_status();
                               },
                               [&](std::optional<std::uint64_t> Faults::*count) -> Status {
                                 if (value.kind() != Kind::Unsigned || value.as_u64() > MAX_SHORT) {
                                   return Failure{"must be " + COUNT_RANGE};
                                 }
                                 faults.*count = value.as_u64();
                                 return ok_status();
                               },
                               [&](std::optional<std::uint32_t> Faults::*prefix) -> Status {
                                 const auto hex = value.kind() == Kind::String
                                                      ? parse_hex8(value.as_string())
                                                      : std::nullopt;
                                 if (!hex) return Failure{"must be exactly 8 hex digits"};
                                 faults.*prefix = *hex;
                                 return ok_status();
                               },
                               [&](std::string Faults::*bytes) -> Status {
                                 if (value.kind() != Kind::String)
                                   return Failure{"must be a string"};
                                 faults.*bytes = value.as_string();
                                 return ok_status();
                               }},
                    entry.field);
}

bool in_force(const FaultEntry& entry, const Faults& faults) {
  return std::visit(
      Overloaded{
          [&](bool Faults::*flag) { return faults.*flag; },
          [&](std::optional<std::uint64_t> Faults::*count) { return (faults.*count).has_value(); },
          [&](std::optional<std::uint32_t> Faults::*prefix) {
            return (faults.*prefix).has_value();
          },
          [&](std::string Faults::*bytes) { return !(faults.*bytes).empty(); }},
      entry.field);
}

}  // namespace vtm::mock
