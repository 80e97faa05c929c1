// Calling the host the way the plug-in does: by slot in an object's table, and reading records
// at numeric byte offsets rather than through the host's own declarations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "host/records.h"

namespace vexmara::host::testing {

template <class Result, class... Args>
Result CallSlot(void* object, int slot, Args... args) {
  const RawOperation* table = nullptr;
  std::memcpy(&table, object, sizeof table);
  auto function = reinterpret_cast<Result (*)(void*, Args...)>(table[slot]);
  return function(object, args...);
}

template <class Value>
Value ReadAt(const void* base, std::size_t offset) {
  Value value{};
  std::memcpy(&value, static_cast<const unsigned char*>(base) + offset, sizeof value);
  return value;
}

template <class Value>
void WriteAt(void* base, std::size_t offset, Value value) {
  std::memcpy(static_cast<unsigned char*>(base) + offset, &value, sizeof value);
}

// Wide text at `offset` (UTF-16 units up to the first NUL, at most 260).
inline std::u16string WideAt(const void* base, std::size_t offset) {
  std::u16string text;
  for (std::size_t i = 0; i < 260; ++i) {
    const auto unit = ReadAt<char16_t>(base, offset + 2 * i);
    if (unit == 0) {
      break;
    }
    text.push_back(unit);
  }
  return text;
}

inline std::string NarrowAt(const void* base, std::size_t offset) {
  const char* start = static_cast<const char*>(base) + offset;
  return std::string(start, strnlen(start, 260));
}

// A DualString built the way the plug-in builds its arguments (ASCII text only).
inline DualString Dual(std::string_view ascii) {
  DualString record{};
  for (std::size_t i = 0; i < ascii.size() && i < 259; ++i) {
    record.wide[i] = static_cast<char16_t>(ascii[i]);
    record.narrow[i] = ascii[i];
  }
  return record;
}

}  // namespace vexmara::host::testing
