#pragma once
// Base64 (the standard alphabet, with padding): how scenarios and journals carry answer bytes
// that are not UTF-8, which JSON text cannot hold.
#include <optional>
#include <string>
#include <string_view>

namespace vtm::mock {

std::string to_base64(std::string_view bytes);
// nullopt for anything but canonical padded base64.
std::optional<std::string> from_base64(std::string_view text);

}  // namespace vtm::mock
