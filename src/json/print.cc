#include "json/print.h"

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

}  // namespace vtm
