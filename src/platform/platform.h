#pragma once
// The one seam between the program and the operating system. Logic calls only these; the build
// picks the POSIX or the Windows implementation.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/portable/u128.h"
#include "result.h"

namespace vtm::platform {

// The entry point hands over main's parameters; POSIX reads the arguments from them, Windows
// ignores them and reads its own UTF-16 command line.
void set_main_arguments(int argc, char** argv);

// The process arguments without the program path, as UTF-8. An argument that cannot be UTF-8
// fails with "argument N is not valid UTF-8" (N from 1).
Result<std::vector<std::string>> arguments();

enum class StdStream { Out, Err };

struct WriteOutcome {
  enum class Kind { Written, NoStream, Failed } kind = Kind::Written;
  std::string error_text;  // platform error text when Failed
};

// Writes all bytes to the stream. NoStream: the process has no such stream (text dropped).
WriteOutcome write_std(StdStream stream, std::string_view bytes);
// The same for a text held in pieces, written in order as one text.
WriteOutcome write_std(StdStream stream, std::span<const std::string_view> pieces);

// Ends the process at once with this status.
[[noreturn]] void exit_process(int status);

// nullopt when absent, unreadable or not valid Unicode; an empty value is a value.
std::optional<std::string> environment_variable(const char* name);

std::uint32_t process_id();

// Wall-clock nanoseconds since 1970-01-01T00:00:00 UTC; 0 for a clock before that.
UInt128 unix_time_nanoseconds();

struct IoResult {
  enum class Kind { Done, Interrupted, Failed } kind = Kind::Done;
  std::size_t count = 0;   // bytes moved when Done; 0 on read means end of stream
  std::string error_text;  // platform error text when Failed
};

// A two-way blocking byte stream; closed exactly once when destroyed.
class ByteStream {
 public:
  virtual ~ByteStream() = default;
  virtual IoResult write_some(std::span<const char> bytes) = 0;
  virtual IoResult read_some(std::span<char> buffer) = 0;
};

// Opens an existing bridge endpoint; never creates one. Fails with the platform error text.
Result<std::unique_ptr<ByteStream>> open_bridge_socket(std::string_view path);

// Memory for large buffers (a response frame, its document and its text): taken from the OS in
// pages that cost nothing until touched, in large pages where the OS allows it; small sizes
// come from the ordinary heap. nullptr when there is not enough.
void* allocate_bulk(std::size_t size) noexcept;
void release_bulk(void* block, std::size_t size) noexcept;
// The same as a memory resource (std::bad_alloc when there is not enough).
std::pmr::memory_resource* bulk_memory();

// "<description> (os error N)" for a platform error code.
std::string platform_error_text(int code);

}  // namespace vtm::platform
