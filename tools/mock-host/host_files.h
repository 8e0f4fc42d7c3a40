#pragma once
// The host's files through the OS: whole input files read under a size bound, output files
// written straight to the OS (nothing held in a buffer a kill would lose), and whether two
// names are one file. A file may be a pipe: reading waits for its writer and its bytes,
// creating an output for its reader, and a stop (see stop_requested) ends any such wait as a
// failure "stopped by ...". The build picks the POSIX or the Windows implementation.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "result.h"

namespace vtm::mock {

// The whole file; a failure is the OS's text, or "larger than N bytes" when it holds more than
// max_bytes (a device that never ends, such as /dev/zero, stops there too).
Result<std::string> read_whole_file(const std::string& path, std::uint64_t max_bytes);

class OutputStream {
 public:
  virtual ~OutputStream() = default;
  // Hands all bytes to the OS at the end of the file, in as few calls as it takes.
  virtual Status append(std::string_view bytes) = 0;
};

// Creates the file, or empties an existing one; a failure is the OS's text.
Result<std::unique_ptr<OutputStream>> create_output(const std::string& path);

// True when both names reach one file or endpoint: the same spelling, or both exist and are
// the same file (hard links, "./a" and "a"). Names that do not exist compare by spelling.
bool same_file(const std::string& a, const std::string& b);

}  // namespace vtm::mock
