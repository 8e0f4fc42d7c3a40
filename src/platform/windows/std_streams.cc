#include <windows.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/portable/console_pieces.h"

namespace vtm::platform {

namespace {

// Keeps each WriteFile length well inside a DWORD.
constexpr std::size_t MAX_FILE_WRITE = 1U << 30;

WriteOutcome failed_write(DWORD error) {
  // An invalid handle means the process has no such stream: the text is dropped.
  if (error == ERROR_INVALID_HANDLE) return {WriteOutcome::Kind::NoStream, {}};
  return {WriteOutcome::Kind::Failed, platform_error_text(static_cast<int>(error))};
}

WriteOutcome zero_progress() {
  return {WriteOutcome::Kind::Failed, "failed to write whole buffer"};
}

WriteOutcome write_file(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto length = static_cast<DWORD>(std::min(bytes.size(), MAX_FILE_WRITE));
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), length, &written, nullptr)) {
      return failed_write(GetLastError());
    }
    if (written == 0) return zero_progress();
    bytes.remove_prefix(written);
  }
  return {};
}

WriteOutcome write_console(HANDLE handle, ConsolePieces& pieces, std::string_view bytes) {
  // One piece of at most 4096 bytes never needs more than 4096 UTF-16 units.
  wchar_t wide[ConsolePieces::MAX_PIECE_BYTES];
  pieces.start(bytes);
  for (std::string_view piece = pieces.next(); !piece.empty(); piece = pieces.next()) {
    // Flags 0: ill-formed bytes become U+FFFD instead of failing the conversion.
    const int units = MultiByteToWideChar(CP_UTF8, 0, piece.data(), static_cast<int>(piece.size()),
                                          wide, static_cast<int>(std::size(wide)));
    if (units == 0) return failed_write(GetLastError());
    const wchar_t* rest = wide;
    DWORD remaining = static_cast<DWORD>(units);
    while (remaining > 0) {
      DWORD written = 0;
      if (!WriteConsoleW(handle, rest, remaining, &written, nullptr)) {
        return failed_write(GetLastError());
      }
      if (written == 0) return zero_progress();
      rest += written;
      remaining -= written;
    }
  }
  return {};
}

}  // namespace

WriteOutcome write_std(StdStream stream, std::string_view bytes) {
  // Per stream, so a character split across two writes is completed on the same console.
  static ConsolePieces out_pieces;
  static ConsolePieces err_pieces;

  const HANDLE handle =
      GetStdHandle(stream == StdStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return {WriteOutcome::Kind::NoStream, {}};
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode) && GetConsoleOutputCP() != CP_UTF8) {
    return write_console(handle, stream == StdStream::Out ? out_pieces : err_pieces, bytes);
  }
  return write_file(handle, bytes);
}

WriteOutcome write_std(StdStream stream, std::span<const std::string_view> pieces) {
  for (std::string_view piece : pieces) {
    if (piece.empty()) continue;
    WriteOutcome outcome = write_std(stream, piece);
    if (outcome.kind != WriteOutcome::Kind::Written) return outcome;
  }
  return {};
}

}  // namespace vtm::platform
