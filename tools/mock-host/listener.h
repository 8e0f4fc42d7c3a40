#pragma once
// The stand-in host's only seam to the operating system: a listening endpoint that hands out
// blocking byte-stream connections, each usable from its own thread, a connection to another
// host for the proxy, plus the process setup the host needs. The build picks the POSIX (Unix
// socket) or the Windows (named pipe) implementation.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "result.h"

namespace vtm::mock {

class Connection {
 public:
  virtual ~Connection() = default;
  // Bytes read (> 0), 0 at end of stream, or a failure. No progress within timeout_ms is a
  // failure too, so a stalled peer can never hold the host forever.
  virtual Result<std::size_t> read_some(char* data, std::size_t size, int timeout_ms) = 0;
  // Bytes accepted (> 0) or a failure, under the same time limit.
  virtual Result<std::size_t> write_some(const char* data, std::size_t size, int timeout_ms) = 0;
  // Lets the peer read what was written, then ends the connection. Idempotent.
  virtual void finish(int timeout_ms) = 0;
};

class Listener {
 public:
  virtual ~Listener() = default;
  // The next connection; nullptr when none arrived within timeout_ms.
  virtual Result<std::unique_ptr<Connection>> accept(int timeout_ms) = 0;
};

// Starts listening at path. connections is how many the host will accept in total, so a
// transport that must prepare each endpoint ahead knows when to stop preparing.
Result<std::unique_ptr<Listener>> listen(const std::string& path, std::uint64_t connections);

// Connects to a host listening at path, as the client does; a failure is the platform's text.
Result<std::unique_ptr<Connection>> connect_to(const std::string& path);

// Process-wide setup before anything else: a vanished peer must be an error value, never a
// signal that kills the host.
void prepare_process();

}  // namespace vtm::mock
