#pragma once
// The stand-in host's only seam to the operating system: a listening endpoint that hands out
// blocking byte-stream connections, each usable from its own thread, a connection to another
// host for the proxy, plus the process setup the host needs. The build picks the POSIX (Unix
// socket) or the Windows (named pipe) implementation.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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
  // Bytes accepted (> 0) or a failure, under the same time limit; never blocks past it, however
  // large the buffer.
  virtual Result<std::size_t> write_some(const char* data, std::size_t size, int timeout_ms) = 0;
  // Tells the peer that nothing more comes, while what it still sends can be read.
  virtual void end_writing() = 0;
  // Lets the peer read what was written, then ends the connection. Idempotent.
  virtual void finish(int timeout_ms) = 0;
};

class Listener {
 public:
  virtual ~Listener() = default;
  // The next connection; nullptr when none arrived within timeout_ms or a stop was requested
  // (see stop_requested). A failure leaves the listener usable: a connection that could not be
  // taken was closed, and the failure says why.
  virtual Result<std::unique_ptr<Connection>> accept(int timeout_ms) = 0;
  // One connection more than announced to listen(): one that sent nothing does not count.
  virtual void expect_another() {}
};

// Starts listening at path, owning the endpoint it creates and removing only that one when it
// goes. connections is how many the host will accept in total, so a transport that must
// prepare each endpoint ahead knows when to stop preparing. A live host already serving path
// is a refusal with in_use set; a dead one's leftover endpoint is replaced.
Result<std::unique_ptr<Listener>> listen(const std::string& path, std::uint64_t connections,
                                         bool& in_use);

// Connects to a host listening at path, as the client does; a failure is the platform's text.
Result<std::unique_ptr<Connection>> connect_to(const std::string& path);

// Process-wide setup before anything else: a vanished peer must be an error value, never a
// signal that kills the host, and the stop signals only ask the host to stop.
void prepare_process();

// The name of the stop signal (or console event) received, once one came.
std::optional<std::string> stop_requested();

// How many connections the host can hold at once and still open its files and the proxy's
// connections; the ones above are closed at once and reported.
std::uint64_t connection_capacity();

}  // namespace vtm::mock
