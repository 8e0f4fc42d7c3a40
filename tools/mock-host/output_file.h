#pragma once
// A file the host writes as it serves: the record, the journal, the capture. Emptied once at
// start, where a failure stops the host before it serves anything; later failures are kept, so
// that the host can still answer every caller and report them when it stops.
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "result.h"

namespace vtm::mock {

class OutputFile {
 public:
  // option names the file in messages; a file without a path takes nothing and never fails.
  OutputFile(std::string_view option, std::optional<std::string> path)
      : option_(option), path_(std::move(path)) {}

  bool enabled() const { return path_.has_value(); }
  Status start();
  // Adds bytes at the end, or replaces the whole content; false (once reported) on failure.
  bool append(std::string_view bytes);
  bool replace(std::string_view bytes);
  // The first failure's message, if any write failed.
  std::optional<std::string> failure() const;

 private:
  bool write(std::string_view bytes, bool append);

  std::string option_;
  std::optional<std::string> path_;
  mutable std::mutex mutex_;
  std::optional<std::string> failure_;
};

}  // namespace vtm::mock
