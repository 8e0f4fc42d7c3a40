#include "report/output.h"

#include <string>

#include "report/exit_status.h"

namespace vtm {

void write_output(platform::StdStream stream, std::string_view bytes) {
  write_output(stream, std::span<const std::string_view>(&bytes, 1));
}

void write_output(platform::StdStream stream, std::span<const std::string_view> pieces) {
  const platform::WriteOutcome outcome = platform::write_std(stream, pieces);
  if (outcome.kind != platform::WriteOutcome::Kind::Failed) return;
  std::string diagnostic = "failed printing to ";
  diagnostic += stream == platform::StdStream::Out ? "stdout" : "stderr";
  diagnostic += ": ";
  diagnostic += outcome.error_text;
  diagnostic += '\n';
  // As far as stderr can still be written; its own failure changes nothing now.
  (void)platform::write_std(platform::StdStream::Err, diagnostic);
  platform::exit_process(STATUS_OUTPUT_FAILED);
}

}  // namespace vtm
