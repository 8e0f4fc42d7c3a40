#include "output_file.h"

#include <filesystem>
#include <fstream>

namespace vtm::mock {
namespace {

std::filesystem::path utf8_path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

}  // namespace

Status OutputFile::start() {
  if (!path_) return ok_status();
  std::ofstream out(utf8_path(*path_), std::ios::binary | std::ios::trunc);
  if (!out) return Failure{option_ + ": cannot write " + *path_};
  return ok_status();
}

bool OutputFile::append(std::string_view bytes) { return write(bytes, true); }

bool OutputFile::replace(std::string_view bytes) { return write(bytes, false); }

bool OutputFile::write(std::string_view bytes, bool append) {
  if (!path_) return true;
  std::lock_guard lock(mutex_);
  std::ofstream out(utf8_path(*path_),
                    std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (out) return true;
  if (!failure_) failure_ = option_ + ": cannot write " + *path_;
  return false;
}

std::optional<std::string> OutputFile::failure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

}  // namespace vtm::mock
