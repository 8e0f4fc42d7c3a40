#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace vtm {

// Table order is both the search order and the order of the usage text.
inline constexpr std::array<std::string_view, 29> COMMAND_WORDS = {
    "bridge",    "permissions", "screen",  "image", "capture",    "see",    "verify",  "click",
    "type",      "set-value",   "action",  "press", "scroll",     "paste",  "drag",    "move",
    "window",    "menu",        "menubar", "app",   "dock",       "dialog", "browser", "space",
    "clipboard", "clean",       "tools",   "learn", "completions"};

// `list <target> [args]` is shorthand for `<command> list [args]`.
inline constexpr std::string_view LIST_SHORTHAND = "list";

struct ListTarget {
  std::string_view target;
  std::string_view command;
};

inline constexpr std::array<ListTarget, 5> LIST_TARGETS = {{{"apps", "app"},
                                                            {"applications", "app"},
                                                            {"windows", "window"},
                                                            {"screens", "screen"},
                                                            {"displays", "screen"}}};

struct ResolvedCommand {
  std::string command;
  std::vector<std::string> arguments;
};

// Takes the first word off the list (never empty) and settles the command word, rewriting the
// `list` shorthand; or says why the words name no command.
Result<ResolvedCommand> resolve_command(std::vector<std::string> words);

}  // namespace vtm
