#pragma once
// A file the host writes as it serves: the record, the journal, the capture. Created empty at
// start, where a failure stops the host before it serves anything; every append goes straight
// to the OS, so a host that is killed leaves what it wrote. Later failures are kept, so that
// the host can still answer every caller and report them when it stops.
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "host_files.h"
#include "result.h"

namespace vtm::mock {

class OutputFile {
 public:
  // option names the file in messages; a file without a path takes nothing and never fails.
  OutputFile(std::string_view option, std::optional<std::string> path)
      : option_(option), path_(std::move(path)) {}

  bool enabled() const { return path_.has_value(); }
  const std::optional<std::string>& path() const { return path_; }
  const std::string& option() const { return option_; }
  Status start();
  // Adds bytes at the end, whole: appends from several connections never interleave. False
  // (once reported) on failure.
  bool append(std::string_view bytes);
  // The first failure's message, if any write failed.
  std::optional<std::string> failure() const;

 private:
  std::string option_;
  std::optional<std::string> path_;
  mutable std::mutex mutex_;
  std::unique_ptr<OutputStream> stream_;
  std::optional<std::string> failure_;
};

}  // namespace vtm::mock
