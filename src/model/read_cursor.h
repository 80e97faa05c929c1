// ReadCursor: a bounds-testing reader over a whole file held in memory. Every read is tested
// against the length first, so nothing outside the buffer is ever read, whatever positions and
// counts the file claims. Safe to use for untrusted input.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace vexmara {

static_assert(std::endian::native == std::endian::little,
              "file fields are read as raw little-endian copies");

struct ReadCursor {
  uint8_t* buffer = nullptr;  // owned; null when nothing is loaded
  uint32_t position = 0;      // offset of the next read
  uint32_t length = 0;        // number of valid bytes in buffer

  ReadCursor() = default;
  ~ReadCursor() { Release(); }
  ReadCursor(const ReadCursor&) = delete;
  ReadCursor& operator=(const ReadCursor&) = delete;

  // True when `bytes` bytes from file position `start` lie inside the data (64-bit, so no
  // position or count can wrap around).
  bool Holds(uint64_t start, uint64_t bytes) const {
    return buffer != nullptr && start <= length && bytes <= length - start;
  }

  // Copies n bytes to `out` and advances; fails with the position unchanged when the buffer or
  // `out` is null or fewer than n bytes remain.
  bool Read(void* out, uint32_t n) {
    if (out == nullptr || !Holds(position, n)) return false;
    std::memcpy(out, buffer + position, n);
    position += n;
    return true;
  }

  template <typename T>
  bool ReadValue(T& out) {
    return Read(&out, sizeof(T));
  }

  // The same test and advance as Read, without copying.
  bool Skip(uint32_t n) {
    if (!Holds(position, n)) return false;
    position += n;
    return true;
  }

  // Moves the position without a test; the next read tests.
  void Seek(uint32_t p) { position = p; }

  // Frees the buffer and empties the cursor.
  void Release();

  // Takes ownership of a buffer allocated by the platform layer.
  void Adopt(uint8_t* bytes, uint32_t size) {
    Release();
    buffer = bytes;
    length = size;
  }
};

// The (offset, size) pair by which a file record locates an array at file position offset + 16.
struct DataRef {
  uint32_t offset = 0;
  uint32_t size = 0;

  // An array is absent when its offset or size is zero.
  bool present() const { return offset != 0 && size != 0; }
  uint64_t start() const { return uint64_t(offset) + 16; }
};
static_assert(sizeof(DataRef) == 8);

// Little-endian field access inside a span already tested to lie in the buffer.
template <typename T>
inline T LoadAt(const uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof(T));
  return value;
}

inline DataRef LoadDataRef(const uint8_t* p) {
  return {LoadAt<uint32_t>(p), LoadAt<uint32_t>(p + 4)};
}

}  // namespace vexmara
