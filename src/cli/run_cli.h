#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace vtm {

inline constexpr std::string_view PROGRAM_NAME = "vantelmirectl";
// The version is written once, in the project() line of CMakeLists.txt, which defines VTM_VERSION.
inline constexpr std::string_view PROGRAM_VERSION = VTM_VERSION;

// Removes every element equal to the option; true when the list became shorter.
bool remove_flag(std::vector<std::string>& arguments, std::string_view option);

enum class Road { Version, Usage, Command };

struct Normalised {
  Road road = Road::Command;
  bool compact = false;
};

// Strips the global options in their fixed order and chooses the road.
Normalised normalise_arguments(std::vector<std::string>& arguments);

// The whole run: returns the exit status.
int run_cli();

}  // namespace vtm
