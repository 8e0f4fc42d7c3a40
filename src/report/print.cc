#include "report/print.h"

#include <string>

#include "json/write.h"
#include "report/output.h"

namespace vtm {

void print_json(const JsonValue& value, bool compact) {
  std::string text;
  if (compact) {
    append_compact_text(text, value);
  } else {
    append_indented_text(text, value);
  }
  text += '\n';
  write_output(platform::StdStream::Out, text);
}

void print_version_report(const ProgramIdentity& identity, bool compact) {
  JsonObject data;
  data.insert("name", std::string(identity.name));
  data.insert("version", std::string(identity.version));
  data.insert("protocolVersion", JsonValue::from_u64(identity.protocol_version));
  JsonObject report;
  report.insert("success", true);
  report.insert("data", std::move(data));
  print_json(report, compact);
}

void print_usage(std::span<const std::string_view> command_words) {
  using platform::StdStream;
  write_output(StdStream::Out, "Vantelmire native computer use\n");
  write_output(StdStream::Out, "Usage: vantelmirectl <command> [options]\n");
  write_output(StdStream::Out, "\n");
  write_output(StdStream::Out, "Commands:\n");
  for (std::string_view word : command_words) {
    std::string line = "  ";
    line += word;
    line += '\n';
    write_output(StdStream::Out, line);
  }
  write_output(StdStream::Out, "\n");
  write_output(StdStream::Out, "Use --json or --json-output for compact structured output.\n");
}

}  // namespace vtm
