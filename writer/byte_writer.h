// Little-endian byte building for the writers: the file grows by zero-filled blocks, and fields
// are stored at absolute positions, so a record can be patched once its arrays are placed.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "writer/common.h"

namespace vexmara::writer::detail {

class ByteWriter {
 public:
  // Appends `n` zero bytes and returns the position of the first.
  size_t Grow(size_t n) {
    const size_t at = bytes_.size();
    bytes_.resize(at + n, 0);
    return at;
  }

  size_t Size() const { return bytes_.size(); }

  void U16(size_t at, uint16_t v) {
    bytes_[at] = static_cast<uint8_t>(v);
    bytes_[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  void I16(size_t at, int16_t v) { U16(at, static_cast<uint16_t>(v)); }
  void U32(size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  void I32(size_t at, int32_t v) { U32(at, static_cast<uint32_t>(v)); }
  void F32(size_t at, float v) { U32(at, std::bit_cast<uint32_t>(v)); }
  void Ref(size_t at, DataRef ref) {
    U32(at, ref.offset);
    U32(at + 4, ref.size);
  }

  // A name in a fixed field: its bytes, cut to the field; the rest of the field stays zero, so
  // a name shorter than the field is NUL-terminated and one of the field's length is not.
  void Text(size_t at, const std::string& text, size_t fieldBytes) {
    std::copy_n(text.begin(), std::min(text.size(), fieldBytes),
                bytes_.begin() + static_cast<std::ptrdiff_t>(at));
  }

  // Places `count` records of `recordBytes` bytes at the end of the file, unless there are none
  // or the override leaves them out, and writes the array's DataRef at `refAt` (the override's
  // when given). Returns the real placement, (0, 0) when nothing was written; the records start
  // at FilePosition() of it and are zero until the caller fills them.
  DataRef PlaceArray(size_t refAt, size_t count, size_t recordBytes, const ArrayOverride& how) {
    DataRef placed;
    if (count > 0 && !how.absent) {
      const size_t at = Grow(count * recordBytes);
      placed = {static_cast<uint32_t>(at - kHeaderBytes),
                static_cast<uint32_t>(count * recordBytes)};
    }
    Ref(refAt, how.ref.value_or(placed));
    return placed;
  }

  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace vexmara::writer::detail
