#include <windows.h>

#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>

#include "host_files.h"
#include "platform/platform.h"
#include "platform/portable/utf16.h"
#include "windows/handle.h"
#include "windows/overlapped.h"
#include "windows/stop_wait.h"

namespace vtm::mock {
namespace {

Failure os_failure() {
  return Failure{platform::platform_error_text(static_cast<int>(GetLastError()))};
}

std::optional<std::wstring> wide_path(const std::string& path) {
  const std::optional<std::u16string> units = platform::utf8_to_utf16(path);
  if (!units) return std::nullopt;
  return std::wstring(units->begin(), units->end());
}

Failure bad_name() { return Failure{platform::platform_error_text(ERROR_INVALID_NAME)}; }

// Pipe names are told apart by name only, as Windows does: case and slash direction aside.
char fold(char c) {
  if (c == '/') return '\\';
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return fold(x) == fold(y); });
}

// Opening a pipe name would connect to its host.
bool is_pipe_name(const std::string& path) {
  constexpr std::string_view PIPES = R"(\\.\pipe\)";
  return path.size() >= PIPES.size() &&
         same_name(PIPES, std::string_view(path).substr(0, PIPES.size()));
}

std::optional<std::pair<DWORD, std::uint64_t>> identity(const std::string& path) {
  const std::optional<std::wstring> name = wide_path(path);
  if (!name || is_pipe_name(path)) return std::nullopt;
  // Backup semantics lets a directory be opened too; no access right is asked for.
  Handle file(CreateFileW(name->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return std::pair{info.dwVolumeSerialNumber,
                   std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

class FileOutput final : public OutputStream {
 public:
  explicit FileOutput(HANDLE handle) : file_(handle) {}
  Status append(std::string_view bytes) override {
    while (!bytes.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
      DWORD wrote = 0;
      if (!WriteFile(file_.get(), bytes.data(), chunk, &wrote, nullptr)) return os_failure();
      bytes.remove_prefix(wrote);
    }
    return ok_status();
  }

 private:
  Handle file_;
};

// One read at offset (which a pipe or a device passes over): {bytes, error}, the end of a file
// or of a pipe whose writer closed being 0 bytes. Overlapped, so that a stop ends a wait for
// bytes that never come; a console opens synchronously whatever the flags say, and a stop
// cancels its read (StopCancelsReads).
std::pair<DWORD, DWORD> read_at(HANDLE file, char* data, DWORD size, std::uint64_t offset) {
  Overlapped overlapped;
  if (!overlapped.valid()) return {0, GetLastError()};
  overlapped.get()->Offset = static_cast<DWORD>(offset);
  overlapped.get()->OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  DWORD error = ERROR_SUCCESS;
  if (!ReadFile(file, data, size, &got, overlapped.get())) {
    error = GetLastError();
    if (error == ERROR_IO_PENDING)
      std::tie(got, error) = overlapped.finish(file, INFINITE, stop_event());
  }
  if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) return {0, ERROR_SUCCESS};
  return {got, error};
}

// Whether the stop came, or comes within wait_ms: Windows' console aborts its read on Ctrl+C
// by itself, before the handler, in a thread of its own, has raised the stop.
bool stopped(DWORD wait_ms) {
  return stop_event() != nullptr && WaitForSingleObject(stop_event(), wait_ms) == WAIT_OBJECT_0;
}

}  // namespace

Result<std::string> read_whole_file(const std::string& path, std::uint64_t max_bytes) {
  const std::optional<std::wstring> name = wide_path(path);
  if (!name) return bad_name();
  Handle file(CreateFileW(name->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  if (!file.valid()) return os_failure();
  const StopCancelsReads cancellable;
  std::string bytes;
  constexpr DWORD STEP = 1 << 16;
  for (;;) {
    if (stopped(0)) return stopped_failure();
    const std::size_t before = bytes.size();
    bytes.resize(before + STEP);
    const auto [got, error] = read_at(file.get(), bytes.data() + before, STEP, before);
    if (error == ERROR_CANCELLED || (error == ERROR_OPERATION_ABORTED && stopped(1000))) {
      return stopped_failure();
    }
    if (error != ERROR_SUCCESS)
      return Failure{platform::platform_error_text(static_cast<int>(error))};
    bytes.resize(before + got);
    if (got == 0) return bytes;
    if (bytes.size() > max_bytes) {
      return Failure{"larger than " + std::to_string(max_bytes) + " bytes"};
    }
  }
}

Result<std::unique_ptr<OutputStream>> create_output(const std::string& path) {
  const std::optional<std::wstring> name = wide_path(path);
  if (!name) return bad_name();
  HANDLE handle = CreateFileW(name->c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return os_failure();
  return std::unique_ptr<OutputStream>(std::make_unique<FileOutput>(handle));
}

bool same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  if (is_pipe_name(a) || is_pipe_name(b)) return same_name(a, b);
  const auto first = identity(a);
  const auto second = identity(b);
  return first && second && *first == *second;
}

}  // namespace vtm::mock
