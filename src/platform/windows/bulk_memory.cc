#include <windows.h>

#include <cstdlib>

#include "platform/platform.h"

namespace vtm::platform {

namespace {

// Below this the heap is cheaper than pages of its own.
constexpr std::size_t MAPPED_MIN_BYTES = std::size_t{1} << 20;

}  // namespace

void* allocate_bulk(std::size_t size) noexcept {
  if (size < MAPPED_MIN_BYTES) return std::malloc(size == 0 ? 1 : size);
  // Committed pages are backed only when first touched.
  return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void release_bulk(void* block, std::size_t size) noexcept {
  if (block == nullptr) return;
  if (size < MAPPED_MIN_BYTES) {
    std::free(block);
    return;
  }
  VirtualFree(block, 0, MEM_RELEASE);
}

}  // namespace vtm::platform
