// Named pipe transport. Every operation is overlapped so it can be bounded in time: the host
// must never wait forever for a client that went quiet.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "listener.h"
#include "platform/platform.h"
#include "platform/portable/utf16.h"
#include "windows/handle.h"
#include "windows/overlapped.h"
#include "windows/stop_wait.h"

namespace vtm::mock {
namespace {

constexpr DWORD PIPE_BUFFER_BYTES = 65536;
// Instances kept listening at once: callers arriving together each find a free one, since a
// client never waits for a busy pipe. Served instances come on top of these.
constexpr std::size_t LISTENING_INSTANCES = 8;
// The largest single read or write handed to the pipe; larger buffers go in several calls.
constexpr std::size_t MAX_IO_BYTES = 1 << 20;
constexpr const char* IN_USE = "another host is listening there";

// A console stop (Ctrl+C, Ctrl+Break, closing the window) raises this event and names itself;
// the accepting thread, or the start-up reading a pipe, wakes on the event, and the host stops
// as its count would.
HANDLE g_stop_event = nullptr;
std::atomic<const char*> g_stop_name{nullptr};
// The thread whose synchronous reads a stop cancels (see StopCancelsReads), under its lock.
std::mutex g_reader_mutex;
HANDLE g_reader = nullptr;

// A cancel reaches only a read under way: one the reader is about to begin would wait on. So
// it is tried again until it lands or the reader is done, which the raised stop makes soon.
void cancel_reads() {
  for (;;) {
    {
      std::lock_guard lock(g_reader_mutex);
      if (g_reader == nullptr || CancelSynchronousIo(g_reader) ||
          GetLastError() != ERROR_NOT_FOUND) {
        return;
      }
    }
    Sleep(1);
  }
}

BOOL WINAPI request_stop(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      g_stop_name = "Ctrl+C";
      break;
    case CTRL_BREAK_EVENT:
      g_stop_name = "Ctrl+Break";
      break;
    case CTRL_CLOSE_EVENT:
      g_stop_name = "console close";
      break;
    default:
      return FALSE;
  }
  if (g_stop_event != nullptr) SetEvent(g_stop_event);
  cancel_reads();
  return TRUE;
}

// Windows hands out its error codes as DWORD.
std::string platform_error_text(DWORD code) {
  return platform::platform_error_text(static_cast<int>(code));
}

// Reads or writes once; {bytes, error}.
std::pair<DWORD, DWORD> transfer(HANDLE pipe, bool write, void* data, std::size_t size,
                                 int timeout_ms) {
  Overlapped overlapped;
  if (!overlapped.valid()) return {0, GetLastError()};
  const DWORD count = static_cast<DWORD>(std::min(size, MAX_IO_BYTES));
  DWORD bytes = 0;
  const BOOL done = write ? WriteFile(pipe, data, count, &bytes, overlapped.get())
                          : ReadFile(pipe, data, count, &bytes, overlapped.get());
  if (!done) {
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) return {0, error};
  }
  return overlapped.finish(pipe, static_cast<DWORD>(timeout_ms));
}

// Runs in a helper thread: the flush has no time-out of its own.
DWORD WINAPI flush_pipe(void* pipe) {
  FlushFileBuffers(static_cast<HANDLE>(pipe));
  return 0;
}

class PipeConnection final : public Connection {
 public:
  explicit PipeConnection(Handle pipe) : pipe_(std::move(pipe)) {}
  ~PipeConnection() override { finish(0); }

  Result<std::size_t> read_some(char* data, std::size_t size, int timeout_ms) override {
    for (;;) {
      const auto [bytes, error] = transfer(pipe_.get(), false, data, size, timeout_ms);
      // The client closing its end is the end of the stream.
      if (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED ||
          error == ERROR_NO_DATA) {
        return std::size_t{0};
      }
      if (error == WAIT_TIMEOUT)
        return Failure{"no data within " + std::to_string(timeout_ms) + " ms"};
      if (error != ERROR_SUCCESS) return Failure{platform_error_text(error)};
      // A zero-byte write by the client completes a read with nothing; it is not the end.
      if (bytes > 0) return std::size_t{bytes};
    }
  }

  Result<std::size_t> write_some(const char* data, std::size_t size, int timeout_ms) override {
    const auto [bytes, error] =
        transfer(pipe_.get(), true, const_cast<char*>(data), size, timeout_ms);
    if (error == WAIT_TIMEOUT) {
      return Failure{"peer read nothing within " + std::to_string(timeout_ms) + " ms"};
    }
    if (error != ERROR_SUCCESS) return Failure{platform_error_text(error)};
    return std::size_t{bytes};
  }

  // A pipe has no half close; the peer sees the end when the handle closes.
  void end_writing() override {}

  // The flush waits until the client has read everything, which a stuck client never does,
  // hence the bounded wait. The handle is then closed, not disconnected: a disconnect makes the
  // client's next read fail as "not connected", while a closed end reads as a broken pipe, the
  // end of the stream the client expects from a host that hung up.
  void finish(int timeout_ms) override {
    if (!pipe_.valid()) return;
    if (timeout_ms > 0) {
      Handle flusher(CreateThread(nullptr, 0, flush_pipe, pipe_.get(), 0, nullptr));
      if (flusher.valid() &&
          WaitForSingleObject(flusher.get(), static_cast<DWORD>(timeout_ms)) == WAIT_TIMEOUT) {
        CancelSynchronousIo(flusher.get());
        WaitForSingleObject(flusher.get(), 1000);
      }
    }
    pipe_.reset();
  }

 private:
  Handle pipe_;
};

class PipeListener final : public Listener {
 public:
  PipeListener(std::wstring name, std::uint64_t connections)
      : name_(std::move(name)), to_create_(connections) {}
  PipeListener(const PipeListener&) = delete;
  PipeListener& operator=(const PipeListener&) = delete;
  // A pending connect writes into its OVERLAPPED until cancelled, so it is cancelled and waited
  // for before the memory goes.
  ~PipeListener() override {
    for (Instance& instance : listening_) {
      CancelIoEx(instance.pipe.get(), instance.overlapped->get());
      DWORD bytes = 0;
      GetOverlappedResult(instance.pipe.get(), instance.overlapped->get(), &bytes, TRUE);
    }
  }

  // Tops the listening instances up. The first one claims the name, so a second host on the
  // same name fails at once.
  Status fill() {
    while (listening_.size() < LISTENING_INSTANCES && to_create_ > 0) {
      const bool first = !created_any_;
      const DWORD open_mode =
          PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
      Instance instance{
          Handle(CreateNamedPipeW(
              name_.c_str(), open_mode, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
              PIPE_UNLIMITED_INSTANCES, PIPE_BUFFER_BYTES, PIPE_BUFFER_BYTES, 0, nullptr)),
          std::make_unique<Overlapped>()};
      if (!instance.pipe.valid()) {
        const DWORD error = GetLastError();
        // The first instance claims the name alone: refused, another host has it.
        if (first && error == ERROR_ACCESS_DENIED) return Failure{IN_USE};
        return Failure{platform_error_text(error)};
      }
      if (!instance.overlapped->valid()) return Failure{platform_error_text(GetLastError())};
      created_any_ = true;
      --to_create_;
      if (!ConnectNamedPipe(instance.pipe.get(), instance.overlapped->get())) {
        const DWORD error = GetLastError();
        // Connected before we asked, or connected and already gone: both are a connection, the
        // second one simply reads as an empty request. Either way nothing is pending, so the
        // event is raised by hand for accept to find.
        if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA) {
          SetEvent(instance.overlapped->get()->hEvent);
          instance.connected = true;
        } else if (error != ERROR_IO_PENDING) {
          return Failure{platform_error_text(error)};
        }
      }
      listening_.push_back(std::move(instance));
    }
    return ok_status();
  }

  Result<std::unique_ptr<Connection>> accept(int timeout_ms) override {
    if (Status filled = fill(); !filled) return std::move(filled).take_failure();
    if (listening_.empty()) return Failure{"no pipe instance is listening"};
    std::vector<HANDLE> events;
    for (Instance& instance : listening_) events.push_back(instance.overlapped->get()->hEvent);
    // The stop event comes last, so a ready connection is taken first.
    if (g_stop_event != nullptr) events.push_back(g_stop_event);
    const DWORD waited = WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(),
                                                FALSE, static_cast<DWORD>(timeout_ms));
    if (waited == WAIT_TIMEOUT || waited == WAIT_OBJECT_0 + listening_.size()) {
      return std::unique_ptr<Connection>();
    }
    if (waited >= WAIT_OBJECT_0 + listening_.size()) {
      return Failure{platform_error_text(GetLastError())};
    }
    Instance ready = std::move(listening_[waited - WAIT_OBJECT_0]);
    listening_.erase(listening_.begin() + (waited - WAIT_OBJECT_0));
    if (!ready.connected) {
      DWORD bytes = 0;
      if (!GetOverlappedResult(ready.pipe.get(), ready.overlapped->get(), &bytes, FALSE)) {
        const DWORD error = GetLastError();
        if (error != ERROR_PIPE_CONNECTED && error != ERROR_NO_DATA) {
          return Failure{platform_error_text(error)};
        }
      }
    }
    Status filled = fill();
    if (!filled) return std::move(filled).take_failure();
    return std::unique_ptr<Connection>(std::make_unique<PipeConnection>(std::move(ready.pipe)));
  }

  void expect_another() override { ++to_create_; }

 private:
  struct Instance {
    Handle pipe;
    std::unique_ptr<Overlapped> overlapped;
    bool connected = false;
  };

  std::wstring name_;
  std::uint64_t to_create_;
  bool created_any_ = false;
  std::vector<Instance> listening_;
};

}  // namespace

HANDLE stop_event() { return g_stop_event; }

StopCancelsReads::StopCancelsReads() {
  // A real handle: GetCurrentThread's stands for whichever thread uses it.
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread_,
                  THREAD_TERMINATE, FALSE, 0);
  std::lock_guard lock(g_reader_mutex);
  g_reader = thread_;
}

StopCancelsReads::~StopCancelsReads() {
  {
    std::lock_guard lock(g_reader_mutex);
    g_reader = nullptr;
  }
  if (thread_ != nullptr) CloseHandle(thread_);
}

Failure stopped_failure() { return Failure{"stopped by " + stop_requested().value_or("a stop")}; }

Result<std::unique_ptr<Listener>> listen(const std::string& path, std::uint64_t connections,
                                         bool& in_use) {
  in_use = false;
  const std::optional<std::u16string> name = platform::utf8_to_utf16(path);
  if (!name) return Failure{platform::platform_error_text(ERROR_NO_UNICODE_TRANSLATION)};
  const std::wstring wide(name->begin(), name->end());
  // A name some host serves is refused; the check takes no instance of the other host's, and
  // covers systems that let a second first instance through.
  if (WaitNamedPipeW(wide.c_str(), 1) || GetLastError() == ERROR_SEM_TIMEOUT) {
    in_use = true;
    return Failure{IN_USE};
  }
  auto listener = std::make_unique<PipeListener>(wide, connections);
  Status created = listener->fill();
  if (!created) {
    in_use = created.error() == IN_USE;
    return std::move(created).take_failure();
  }
  return std::unique_ptr<Listener>(std::move(listener));
}

Result<std::unique_ptr<Connection>> connect_to(const std::string& path) {
  const std::optional<std::u16string> name = platform::utf8_to_utf16(path);
  if (!name) return Failure{platform::platform_error_text(ERROR_NO_UNICODE_TRANSLATION)};
  const std::wstring wide(name->begin(), name->end());
  // Overlapped, so the connection's reads and writes are bounded in time like the served ones.
  // All instances busy is worth one short wait: the host is there, merely occupied.
  for (int attempt = 0;; ++attempt) {
    HANDLE pipe = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (pipe != INVALID_HANDLE_VALUE) {
      return std::unique_ptr<Connection>(std::make_unique<PipeConnection>(Handle(pipe)));
    }
    const DWORD error = GetLastError();
    if (error != ERROR_PIPE_BUSY || attempt > 0 || !WaitNamedPipeW(wide.c_str(), 2000)) {
      return Failure{platform_error_text(error)};
    }
  }
}

void prepare_process() {
  // Scripts read "listening on PATH" line by line; a carriage return would end up in PATH.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // A test host must fail with a status, never with a dialog box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  g_stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(request_stop, TRUE);
}

std::optional<std::string> stop_requested() {
  const char* name = g_stop_name;
  if (name == nullptr) return std::nullopt;
  return std::string(name);
}

// Handles have no small per-process limit: threads run out first, and a thread that cannot be
// started refuses its connection.
std::uint64_t connection_capacity() { return std::uint64_t{1} << 20; }

}  // namespace vtm::mock
