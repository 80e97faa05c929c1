// Pieces shared by the .app and .ani writers: the array locator, the per-array overrides that
// let a fixture describe broken or unusual files, and saving the bytes to disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexmara::writer {

// Both formats have a 16-byte header; array locators count from its end.
constexpr uint32_t kHeaderBytes = 16;

// The (offset, size) pair by which a record locates an array; the array starts at file
// position offset + 16. (0, 0) is what an absent array is written as.
struct DataRef {
  uint32_t offset = 0;
  uint32_t size = 0;
  friend bool operator==(const DataRef&, const DataRef&) = default;
};

// Absolute file position of the array a DataRef points to.
constexpr uint32_t FilePosition(DataRef ref) { return ref.offset + kHeaderBytes; }

// How one array of a description is written. By default an array with elements is placed in
// the file and its DataRef points at it; an array without elements is written as (0, 0).
struct ArrayOverride {
  // Leave the elements out of the file and write the DataRef as (0, 0) (unless `ref` is set).
  bool absent = false;
  // Write this DataRef instead of the real placement, e.g. to point past the end of the file
  // or at another array. The elements are still written (unless `absent`), so the rest of
  // the layout does not move.
  std::optional<DataRef> ref;
};

// Writes the bytes to `path`, replacing the file. False when it cannot be written whole.
bool SaveBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vexmara::writer
