#pragma once
// A value or a failure message: every fallible step returns one, nothing throws across steps.
#include <string>
#include <utility>
#include <variant>

namespace vtm {

struct Failure {
  std::string message;
};

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }

  const std::string& error() const { return std::get<1>(state_).message; }
  Failure take_failure() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, Failure> state_;
};

// A step that yields nothing but may fail.
using Status = Result<std::monostate>;
inline Status ok_status() { return Status(std::monostate{}); }

}  // namespace vtm
