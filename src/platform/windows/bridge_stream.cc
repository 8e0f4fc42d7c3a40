#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <optional>

#include "platform/platform.h"
#include "platform/windows/wide_text.h"

namespace vtm::platform {

namespace {

// Not in <ntstatus.h> without clashing with <windows.h>.
constexpr NTSTATUS NT_STATUS_PENDING = 0x00000103;
constexpr auto NT_STATUS_END_OF_FILE = static_cast<NTSTATUS>(0xC0000011);

// Keeps each transfer length well inside a ULONG.
constexpr std::size_t MAX_TRANSFER = 1U << 30;

using NtTransferFn = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK,
                                      PVOID, ULONG, PLARGE_INTEGER, PULONG);
using StatusToErrorFn = ULONG(NTAPI*)(NTSTATUS);

// ntdll is mapped into every process, so its entry points are looked up there rather than
// taking a link dependency on an import library.
struct NtFunctions {
  NtTransferFn read_file = nullptr;
  NtTransferFn write_file = nullptr;
  StatusToErrorFn status_to_error = nullptr;
};

template <class Fn>
Fn ntdll_entry(HMODULE ntdll, const char* name) {
  if (ntdll == nullptr) return nullptr;
  // Through the generic function pointer type, which the compiler accepts as a cast pivot.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, name)));
}

const NtFunctions& nt_functions() {
  static const NtFunctions FUNCTIONS = [] {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return NtFunctions{ntdll_entry<NtTransferFn>(ntdll, "NtReadFile"),
                       ntdll_entry<NtTransferFn>(ntdll, "NtWriteFile"),
                       ntdll_entry<StatusToErrorFn>(ntdll, "RtlNtStatusToDosError")};
  }();
  return FUNCTIONS;
}

IoResult failed(DWORD error) {
  return {IoResult::Kind::Failed, 0, platform_error_text(static_cast<int>(error))};
}

class WindowsBridgeStream final : public ByteStream {
 public:
  explicit WindowsBridgeStream(HANDLE handle) : handle_(handle) {}
  WindowsBridgeStream(const WindowsBridgeStream&) = delete;
  WindowsBridgeStream& operator=(const WindowsBridgeStream&) = delete;
  ~WindowsBridgeStream() override { CloseHandle(handle_); }

  IoResult write_some(std::span<const char> bytes) override {
    const NtFunctions& nt = nt_functions();
    if (nt.write_file == nullptr || nt.status_to_error == nullptr) {
      return failed(ERROR_PROC_NOT_FOUND);
    }
    IO_STATUS_BLOCK io{};
    const std::optional<NTSTATUS> waited =
        transfer(nt.write_file, const_cast<char*>(bytes.data()), bytes.size(), io);
    if (!waited) return failed(GetLastError());
    const NTSTATUS status = *waited;
    if (NT_SUCCESS(status)) return {IoResult::Kind::Done, io.Information, {}};
    return failed(nt.status_to_error(status));
  }

  IoResult read_some(std::span<char> buffer) override {
    const NtFunctions& nt = nt_functions();
    if (nt.read_file == nullptr || nt.status_to_error == nullptr) {
      return failed(ERROR_PROC_NOT_FOUND);
    }
    IO_STATUS_BLOCK io{};
    const std::optional<NTSTATUS> waited = transfer(nt.read_file, buffer.data(), buffer.size(), io);
    if (!waited) return failed(GetLastError());
    const NTSTATUS status = *waited;
    if (status == NT_STATUS_END_OF_FILE) return {IoResult::Kind::Done, 0, {}};
    if (NT_SUCCESS(status)) return {IoResult::Kind::Done, io.Information, {}};
    const ULONG error = nt.status_to_error(status);
    // The host closed its end: that is the end of the stream, not a failure.
    if (error == ERROR_BROKEN_PIPE) return {IoResult::Kind::Done, 0, {}};
    return failed(error);
  }

 private:
  // The final status, or nothing when waiting for a pending operation itself failed.
  std::optional<NTSTATUS> transfer(NtTransferFn call, char* data, std::size_t size,
                                   IO_STATUS_BLOCK& io) {
    const auto length = static_cast<ULONG>(std::min(size, MAX_TRANSFER));
    io.Status = NT_STATUS_PENDING;
    NTSTATUS status = call(handle_, nullptr, nullptr, nullptr, &io, data, length, nullptr, nullptr);
    if (status == NT_STATUS_PENDING) {
      // The handle itself is signalled when the operation completes.
      if (WaitForSingleObject(handle_, INFINITE) != WAIT_OBJECT_0) return std::nullopt;
      status = io.Status;
    }
    return status;
  }

  HANDLE handle_;
};

}  // namespace

Result<std::unique_ptr<ByteStream>> open_bridge_socket(std::string_view path) {
  // A NUL would end the path early and open a different endpoint than the one named.
  if (path.find('\0') != std::string_view::npos) {
    return Failure{platform_error_text(ERROR_INVALID_NAME)};
  }
  const std::optional<std::wstring> wide_path = utf8_to_wide(path);
  if (!wide_path) return Failure{platform_error_text(ERROR_NO_UNICODE_TRANSLATION)};
  const HANDLE handle = CreateFileW(wide_path->c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return Failure{platform_error_text(static_cast<int>(GetLastError()))};
  }
  // A path that names an ordinary file would open too, and the request would overwrite the
  // start of that file. Only a stream endpoint (a pipe, a device) is a bridge.
  if (GetFileType(handle) == FILE_TYPE_DISK) {
    CloseHandle(handle);
    return Failure{platform_error_text(ERROR_BAD_PIPE)};
  }
  return std::unique_ptr<ByteStream>(std::make_unique<WindowsBridgeStream>(handle));
}

}  // namespace vtm::platform
