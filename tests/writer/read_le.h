// Reads little-endian fields back out of written files. Positions are checked (vector::at), so
// a wrong expectation fails the test instead of reading outside the bytes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vexmara::writer::testing {

using Bytes = std::vector<uint8_t>;

inline uint32_t U32(const Bytes& b, size_t at) {
  return uint32_t{b.at(at)} | uint32_t{b.at(at + 1)} << 8 | uint32_t{b.at(at + 2)} << 16 |
         uint32_t{b.at(at + 3)} << 24;
}
inline int32_t I32(const Bytes& b, size_t at) { return static_cast<int32_t>(U32(b, at)); }
inline float F32(const Bytes& b, size_t at) { return std::bit_cast<float>(U32(b, at)); }
inline uint16_t U16(const Bytes& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
inline int16_t I16(const Bytes& b, size_t at) { return static_cast<int16_t>(U16(b, at)); }

// Writes expected fields into a file image built by hand.
inline void PutU32(Bytes& b, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutF32(Bytes& b, size_t at, float v) { PutU32(b, at, std::bit_cast<uint32_t>(v)); }

// (offset, size) of a DataRef stored at `at`.
inline std::pair<uint32_t, uint32_t> Ref(const Bytes& b, size_t at) {
  return {U32(b, at), U32(b, at + 4)};
}

// The bytes of a field of `n` bytes up to its first NUL (all n when it has none).
inline std::string Text(const Bytes& b, size_t at, size_t n) {
  std::string s;
  for (size_t i = 0; i < n && b.at(at + i) != 0; ++i) s.push_back(static_cast<char>(b.at(at + i)));
  return s;
}

// Positions at which two files of the same size differ.
inline std::vector<size_t> DifferingPositions(const Bytes& a, const Bytes& b) {
  std::vector<size_t> out;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) out.push_back(i);
  }
  return out;
}

}  // namespace vexmara::writer::testing
