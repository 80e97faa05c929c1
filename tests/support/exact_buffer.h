// A cursor over a copy of the first `length` bytes, in a buffer of exactly that size, so that a
// sanitizer sees any access past the end of the data.
#pragma once

#include <cstring>
#include <vector>

#include "model/read_cursor.h"
#include "platform/platform.h"

namespace vexmara::testing {

inline void AdoptExactCopy(ReadCursor& cursor, const std::vector<uint8_t>& bytes, size_t length) {
  uint8_t* buffer = platform::AllocateBuffer(length);
  if (length > 0) std::memcpy(buffer, bytes.data(), length);
  cursor.Adopt(buffer, uint32_t(length));
}

}  // namespace vexmara::testing
