#include "default_responses.h"

#include <array>
#include <initializer_list>
#include <utility>
#include <vector>

#include "cli/vocabulary.h"
#include "json/parse.h"

namespace vtm::mock {
namespace {

// The host's view of an argument list: "--key value", "--key=value", bare "--flag" and plain
// words, which is how the client's users write them.
class Arguments {
 public:
  explicit Arguments(std::span<const std::string> args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (arg.size() > 2 && arg.starts_with("--")) {
        const auto equals = arg.find('=');
        if (equals != std::string::npos) {
          options_.emplace_back(arg.substr(2, equals - 2), arg.substr(equals + 1));
        } else if (i + 1 < args.size() && !args[i + 1].starts_with("--")) {
          options_.emplace_back(arg.substr(2), args[i + 1]);
          ++i;
        } else {
          options_.emplace_back(arg.substr(2), std::nullopt);
        }
      } else {
        positional_.push_back(arg);
      }
    }
  }

  // The last value given for key; a bare flag has none.
  std::optional<std::string> option(std::string_view key) const {
    std::optional<std::string> found;
    for (const auto& [name, value] : options_) {
      if (name == key && value) found = value;
    }
    return found;
  }

  bool has_flag(std::string_view key) const {
    for (const auto& option : options_) {
      if (option.first == key) return true;
    }
    return false;
  }

  std::string word(std::size_t index, std::string_view fallback) const {
    return index < positional_.size() ? positional_[index] : std::string(fallback);
  }

  // The positional words from index on, joined by single spaces.
  std::string text_from(std::size_t index) const {
    std::string text;
    for (std::size_t i = index; i < positional_.size(); ++i) {
      if (!text.empty()) text += ' ';
      text += positional_[i];
    }
    return text;
  }

  std::string option_or_text(std::string_view key, std::size_t index) const {
    auto value = option(key);
    return value ? *value : text_from(index);
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> options_;
  std::vector<std::string> positional_;
};

JsonValue object(std::initializer_list<std::pair<const char*, JsonValue>> members) {
  JsonObject result;
  for (const auto& [key, value] : members) result.insert(key, value);
  return result;
}

JsonValue array(std::initializer_list<JsonValue> items) { return JsonArray(items); }

JsonValue number(std::uint64_t value) { return JsonValue::from_u64(value); }

// Coordinates and amounts come back as numbers when they are numbers, so callers can compute
// with them; anything else is echoed as typed.
JsonValue number_or_text(const std::optional<std::string>& text) {
  if (!text) return nullptr;
  auto parsed = parse_json(*text);
  if (parsed) {
    const auto kind = parsed.value().kind();
    if (kind == JsonValue::Kind::Unsigned || kind == JsonValue::Kind::Negative ||
        kind == JsonValue::Kind::Float) {
      return std::move(parsed).value();
    }
  }
  return *text;
}

JsonValue optional_text(const std::optional<std::string>& text) {
  if (!text) return nullptr;
  return *text;
}

JsonValue frame(std::uint64_t x, std::uint64_t y, std::uint64_t width, std::uint64_t height) {
  return object(
      {{"x", number(x)}, {"y", number(y)}, {"width", number(width)}, {"height", number(height)}});
}

JsonValue png_image() {
  return object({{"format", "png"},
                 {"width", number(1)},
                 {"height", number(1)},
                 {"base64", std::string(TINY_PNG_BASE64)}});
}

JsonValue with_member(JsonValue value, const char* key, JsonValue member) {
  value.as_object().insert(key, std::move(member));
  return value;
}

JsonValue screen_list() {
  return array({object({{"id", number(1)},
                        {"name", "Built-in Display"},
                        {"primary", true},
                        {"frame", frame(0, 0, 1920, 1080)},
                        {"scale", number(2)}}),
                object({{"id", number(2)},
                        {"name", "External Display"},
                        {"primary", false},
                        {"frame", frame(1920, 0, 2560, 1440)},
                        {"scale", number(1)}})});
}

JsonValue window_list() {
  return array({object({{"id", number(101)},
                        {"app", "Editor"},
                        {"title", "notes.txt"},
                        {"pid", number(4100)},
                        {"focused", true},
                        {"minimized", false},
                        {"frame", frame(80, 60, 1200, 800)}}),
                object({{"id", number(102)},
                        {"app", "Terminal"},
                        {"title", "shell"},
                        {"pid", number(4200)},
                        {"focused", false},
                        {"minimized", false},
                        {"frame", frame(300, 200, 900, 600)}})});
}

JsonValue app_list() {
  return array({object({{"name", "Editor"}, {"pid", number(4100)}, {"active", true}}),
                object({{"name", "Terminal"}, {"pid", number(4200)}, {"active", false}}),
                object({{"name", "Browser"}, {"pid", number(4300)}, {"active", false}})});
}

JsonValue text_array(std::initializer_list<const char*> words) {
  JsonArray items;
  for (const char* word : words) items.emplace_back(word);
  return items;
}

std::size_t code_points(std::string_view text) {
  std::size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

using DataBuilder = JsonValue (*)(const Arguments& args);

struct DefaultAnswer {
  std::string_view word;
  DataBuilder data;
};

// In the client's word order, so that the check below holds it to the client's vocabulary.
constexpr std::array<DefaultAnswer, COMMAND_WORDS.size()> DEFAULT_ANSWERS = {{
    {"bridge",
     [](const Arguments& args) -> JsonValue {
       return object({{"connected", true},
                      {"host", "mock-host"},
                      {"protocolVersion", number(1)},
                      {"subcommand", args.word(0, "status")}});
     }},
    {"permissions",
     [](const Arguments&) -> JsonValue {
       return object(
           {{"allGranted", true},
            {"permissions", array({object({{"name", "accessibility"}, {"granted", true}}),
                                   object({{"name", "screen-recording"}, {"granted", true}}),
                                   object({{"name", "automation"}, {"granted", true}})})}});
     }},
    {"screen",
     [](const Arguments& args) -> JsonValue {
       if (args.word(0, "") == "list") return object({{"screens", screen_list()}});
       return with_member(png_image(), "screen", number_or_text(args.option("screen")));
     }},
    {"image",
     [](const Arguments& args) -> JsonValue {
       return with_member(png_image(), "path", optional_text(args.option("path")));
     }},
    {"capture",
     [](const Arguments& args) -> JsonValue {
       return with_member(png_image(), "window", number_or_text(args.option("window")));
     }},
    {"see",
     [](const Arguments&) -> JsonValue {
       return object({{"snapshotId", "snapshot-1"},
                      {"elements", array({object({{"id", "B1"},
                                                  {"role", "button"},
                                                  {"label", "OK"},
                                                  {"frame", frame(100, 200, 80, 24)}}),
                                          object({{"id", "T1"},
                                                  {"role", "text-field"},
                                                  {"label", "Name"},
                                                  {"value", ""},
                                                  {"frame", frame(100, 160, 240, 24)}})})},
                      {"screenshot", png_image()}});
     }},
    {"verify",
     [](const Arguments& args) -> JsonValue {
       return object({{"verified", true}, {"expected", args.option_or_text("text", 0)}});
     }},
    {"click",
     [](const Arguments& args) -> JsonValue {
       return object({{"clicked", true},
                      {"x", number_or_text(args.option("x"))},
                      {"y", number_or_text(args.option("y"))},
                      {"button", args.option("button").value_or("left")},
                      {"element", optional_text(args.option("on"))}});
     }},
    {"type",
     [](const Arguments& args) -> JsonValue {
       const std::string text = args.option_or_text("text", 0);
       return object({{"typed", text}, {"characters", number(code_points(text))}});
     }},
    {"set-value",
     [](const Arguments& args) -> JsonValue {
       return object({{"element", args.option("on").value_or(args.word(0, ""))},
                      {"value", args.option("value").value_or(args.text_from(1))},
                      {"set", true}});
     }},
    {"action",
     [](const Arguments& args) -> JsonValue {
       return object({{"action", args.option("action").value_or(args.word(0, "press"))},
                      {"element", optional_text(args.option("on"))},
                      {"performed", true}});
     }},
    {"press",
     [](const Arguments& args) -> JsonValue {
       return object({{"keys", args.option_or_text("keys", 0)},
                      {"count", number_or_text(args.option("count").value_or("1"))}});
     }},
    {"scroll",
     [](const Arguments& args) -> JsonValue {
       return object({{"direction", args.option("direction").value_or(args.word(0, "down"))},
                      {"amount", number_or_text(args.option("amount").value_or("3"))}});
     }},
    {"paste",
     [](const Arguments& args) -> JsonValue {
       return object({{"pasted", true}, {"text", args.option_or_text("text", 0)}});
     }},
    {"drag",
     [](const Arguments& args) -> JsonValue {
       return object({{"from", object({{"x", number_or_text(args.option("from-x"))},
                                       {"y", number_or_text(args.option("from-y"))}})},
                      {"to", object({{"x", number_or_text(args.option("to-x"))},
                                     {"y", number_or_text(args.option("to-y"))}})},
                      {"dragged", true}});
     }},
    {"move",
     [](const Arguments& args) -> JsonValue {
       return object({{"moved", true},
                      {"x", number_or_text(args.option("x"))},
                      {"y", number_or_text(args.option("y"))}});
     }},
    {"window",
     [](const Arguments& args) -> JsonValue {
       const std::string sub = args.word(0, "list");
       if (sub == "list") return object({{"windows", window_list()}});
       return object({{"action", sub}, {"window", window_list().as_array().front()}});
     }},
    {"menu",
     [](const Arguments& args) -> JsonValue {
       const std::string sub = args.word(0, "list");
       if (sub == "list") {
         return object(
             {{"menus", array({object({{"title", "File"},
                                       {"items", text_array({"New", "Open...", "Save"})}}),
                               object({{"title", "Edit"},
                                       {"items", text_array({"Undo", "Copy", "Paste"})}})})}});
       }
       return object({{"action", sub}, {"path", args.text_from(1)}, {"clicked", true}});
     }},
    {"menubar",
     [](const Arguments&) -> JsonValue {
       return object({{"items", text_array({"Editor", "File", "Edit", "View", "Window", "Help"})},
                      {"app", "Editor"}});
     }},
    {"app",
     [](const Arguments& args) -> JsonValue {
       const std::string sub = args.word(0, "list");
       if (sub == "list") return object({{"apps", app_list()}});
       return object(
           {{"action", sub}, {"app", args.option("name").value_or(args.word(1, "Editor"))}});
     }},
    {"dock",
     [](const Arguments&) -> JsonValue {
       return object({{"items", text_array({"Editor", "Terminal", "Browser"})}});
     }},
    {"dialog",
     [](const Arguments& args) -> JsonValue {
       const std::string sub = args.word(0, "list");
       if (sub == "list") return object({{"dialogs", JsonArray{}}});
       return object({{"action", sub}, {"handled", true}});
     }},
    {"browser",
     [](const Arguments& args) -> JsonValue {
       const std::string sub = args.word(0, "tabs");
       if (sub == "tabs" || sub == "list") {
         return object({{"tabs", array({object({{"id", number(1)},
                                                {"title", "Example Domain"},
                                                {"url", "https://example.com/"},
                                                {"active", true}})})}});
       }
       return object(
           {{"action", sub}, {"url", args.option("url").value_or("https://example.com/")}});
     }},
    {"space",
     [](const Arguments& args) -> JsonValue {
       const std::string sub = args.word(0, "list");
       if (sub == "list") {
         return object({{"spaces", array({object({{"id", number(1)}, {"current", true}}),
                                          object({{"id", number(2)}, {"current", false}})})}});
       }
       return object({{"action", sub}, {"space", number_or_text(args.word(1, "1"))}});
     }},
    {"clipboard",
     [](const Arguments& args) -> JsonValue {
       const std::string sub = args.word(0, "get");
       if (sub == "set") return object({{"set", true}, {"text", args.option_or_text("text", 1)}});
       return object({{"text", "mock clipboard text"}});
     }},
    {"clean",
     [](const Arguments& args) -> JsonValue {
       return object({{"removed", number(0)}, {"dryRun", args.has_flag("dry-run")}});
     }},
    {"tools",
     [](const Arguments&) -> JsonValue {
       JsonArray tools;
       for (std::string_view word : COMMAND_WORDS) tools.emplace_back(std::string(word));
       return object({{"tools", std::move(tools)}});
     }},
    {"learn",
     [](const Arguments& args) -> JsonValue {
       return object({{"topic", args.word(0, "overview")},
                      {"text", "Use see to find elements, then click, type or action on them."}});
     }},
    {"completions",
     [](const Arguments& args) -> JsonValue {
       const std::string shell = args.word(0, "bash");
       return object(
           {{"shell", shell}, {"script", "# " + shell + " completions for vantelmirectl\n"}});
     }},
}};

constexpr bool answers_every_command_word() {
  for (std::size_t i = 0; i < COMMAND_WORDS.size(); ++i) {
    if (DEFAULT_ANSWERS[i].word != COMMAND_WORDS[i]) return false;
  }
  return true;
}
static_assert(answers_every_command_word(), "one answer per command word, in the client's order");

}  // namespace

std::optional<JsonValue> default_data(std::string_view command,
                                      std::span<const std::string> arguments) {
  for (const DefaultAnswer& answer : DEFAULT_ANSWERS) {
    if (answer.word == command) return answer.data(Arguments(arguments));
  }
  return std::nullopt;
}

}  // namespace vtm::mock
