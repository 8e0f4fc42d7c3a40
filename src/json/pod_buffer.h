#pragma once
// An uninitialised array of trivially copyable elements taken from a memory resource: no
// zero-filling (a large buffer's untouched pages cost nothing), growth by doubling, one release.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory_resource>
#include <type_traits>
#include <utility>

namespace vtm::json_detail {

template <class T>
class PodBuffer {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  PodBuffer() = default;
  PodBuffer(std::pmr::memory_resource* memory, std::size_t capacity) : memory_(memory) {
    reserve(capacity);
  }
  PodBuffer(PodBuffer&& other) noexcept
      : memory_(other.memory_),
        data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  PodBuffer& operator=(PodBuffer&& other) noexcept {
    if (this != &other) {
      release();
      memory_ = other.memory_;
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  PodBuffer(const PodBuffer&) = delete;
  PodBuffer& operator=(const PodBuffer&) = delete;
  ~PodBuffer() { release(); }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }

  // Room for n more elements, growing (by at least doubling) when there is not.
  T* extend(std::size_t n) {
    if (capacity_ - size_ < n) [[unlikely]]
      reserve(std::max(capacity_ * 2, size_ + n));
    T* at = data_ + size_;
    size_ += n;
    return at;
  }
  void push_back(const T& value) { *extend(1) = value; }
  void resize_down(std::size_t n) { size_ = n; }

  void reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    T* fresh = static_cast<T*>(memory_->allocate(capacity * sizeof(T), alignof(T)));
    if (size_ != 0) std::memcpy(fresh, data_, size_ * sizeof(T));
    release_storage();
    data_ = fresh;
    capacity_ = capacity;
  }

 private:
  void release_storage() {
    if (data_ != nullptr) memory_->deallocate(data_, capacity_ * sizeof(T), alignof(T));
  }
  void release() {
    release_storage();
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

  std::pmr::memory_resource* memory_ = std::pmr::get_default_resource();
  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace vtm::json_detail
