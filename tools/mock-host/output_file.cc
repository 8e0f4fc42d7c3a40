#include "output_file.h"

namespace vtm::mock {

Status OutputFile::start() {
  if (!path_) return ok_status();
  auto created = create_output(*path_);
  if (!created) return Failure{option_ + ": cannot write " + *path_ + ": " + created.error()};
  stream_ = std::move(created).value();
  return ok_status();
}

bool OutputFile::append(std::string_view bytes) {
  if (!path_) return true;
  std::lock_guard lock(mutex_);
  if (failure_) return false;
  if (Status written = stream_->append(bytes); !written) {
    failure_ = option_ + ": cannot write " + *path_ + ": " + written.error();
    return false;
  }
  return true;
}

std::optional<std::string> OutputFile::failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

}  // namespace vtm::mock
