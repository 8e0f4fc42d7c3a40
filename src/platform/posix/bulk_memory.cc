#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"

namespace vtm::platform {

namespace {

// Below this the heap is cheaper than a mapping of its own.
constexpr std::size_t MAPPED_MIN_BYTES = std::size_t{1} << 20;
constexpr std::size_t LARGE_PAGE_BYTES = std::size_t{2} << 20;

std::size_t mapped_size(std::size_t size) {
  return (size + LARGE_PAGE_BYTES - 1) & ~(LARGE_PAGE_BYTES - 1);
}

}  // namespace

void* allocate_bulk(std::size_t size) noexcept {
  if (size < MAPPED_MIN_BYTES) return std::malloc(size == 0 ? 1 : size);
  const std::size_t length = mapped_size(size);
  if (length < size) return nullptr;
  // Over-map by one large page, then trim, so the block starts on a large-page boundary: the
  // first touch of each 2 MiB then costs one fault instead of 512.
  void* raw = ::mmap(nullptr, length + LARGE_PAGE_BYTES, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + LARGE_PAGE_BYTES - 1) & ~(LARGE_PAGE_BYTES - 1);
  if (aligned != start) ::munmap(raw, aligned - start);
  const std::size_t tail = LARGE_PAGE_BYTES - (aligned - start);
  if (tail != 0) ::munmap(reinterpret_cast<void*>(aligned + length), tail);
#ifdef MADV_HUGEPAGE
  // A hint only: where large pages are off, ordinary pages serve.
  (void)::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(aligned);
}

void release_bulk(void* block, std::size_t size) noexcept {
  if (block == nullptr) return;
  if (size < MAPPED_MIN_BYTES) {
    std::free(block);
    return;
  }
  ::munmap(block, mapped_size(size));
}

}  // namespace vtm::platform
