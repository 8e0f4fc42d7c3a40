#pragma once
#include <span>
#include <string>
#include <vector>

#include "result.h"

namespace vtm::platform {

// The UTF-16 arguments (program path already dropped) as UTF-8. The first one that holds an
// unpaired surrogate fails the whole list with "argument N is not valid UTF-8", N from 1.
Result<std::vector<std::string>> utf8_arguments(std::span<const std::u16string> arguments);

}  // namespace vtm::platform
