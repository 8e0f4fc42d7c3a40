#include <new>

#include "platform/platform.h"

namespace vtm::platform {

namespace {

class BulkMemory final : public std::pmr::memory_resource {
  void* do_allocate(std::size_t bytes, std::size_t alignment) override {
    // Both the heap and the page allocator align to at least 16 bytes.
    void* block = alignment <= 16 ? allocate_bulk(bytes) : nullptr;
    if (block == nullptr) throw std::bad_alloc();
    return block;
  }
  void do_deallocate(void* block, std::size_t bytes, std::size_t) override {
    release_bulk(block, bytes);
  }
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
    return this == &other;
  }
};

}  // namespace

std::pmr::memory_resource* bulk_memory() {
  static BulkMemory memory;
  return &memory;
}

}  // namespace vtm::platform
