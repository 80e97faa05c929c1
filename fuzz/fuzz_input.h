// Draws values from a fuzz input front to back; past its end every value is zero, so a harness
// never reads outside the input whatever its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vexmara::fuzzing {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  template <typename T>
  T Take() {
    T value{};
    const size_t n = std::min(sizeof(T), size_ - position_);
    std::memcpy(&value, data_ + position_, n);
    position_ += n;
    return value;
  }

  // Up to `limit` bytes, fewer when the input runs out.
  std::vector<uint8_t> TakeBytes(size_t limit) {
    const size_t n = std::min(limit, size_ - position_);
    std::vector<uint8_t> bytes(data_ + position_, data_ + position_ + n);
    position_ += n;
    return bytes;
  }

  std::vector<uint8_t> TakeRest() { return TakeBytes(size_ - position_); }
  size_t remaining() const { return size_ - position_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

}  // namespace vexmara::fuzzing
