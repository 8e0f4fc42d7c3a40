#pragma once
#include <string>

namespace vtm::platform {

// GCC's -Wpedantic rejects a bare unsigned __int128; __extension__ on the alias keeps every
// use of it quiet.
__extension__ typedef unsigned __int128 UInt128;

// Decimal digits, no sign, no leading zeros ("0" for zero).
std::string u128_to_decimal(UInt128 value);

}  // namespace vtm::platform
