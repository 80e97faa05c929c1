// ParseBudget: the work one parse of a file may do, shared by the model and the animation
// reader. Arrays in both formats are located by offset, so a hostile file can point many
// records, or the keys of many tracks, at the same bytes; the budget bounds the bytes one parse
// reads and stores over all its arrays by a fixed multiple of the file's size. Real files use a
// small fraction of it.
#pragma once

#include <cstdint>

namespace vexmara {

class ParseBudget {
 public:
  explicit ParseBudget(uint32_t fileBytes) : left_(uint64_t(fileBytes) * kPerFileByte + kFloor) {}

  // Takes `bytes` from the budget; false, with nothing taken, when fewer are left.
  bool Spend(uint64_t bytes) {
    if (bytes > left_) return false;
    left_ -= bytes;
    return true;
  }

 private:
  static constexpr uint64_t kPerFileByte = 64;
  static constexpr uint64_t kFloor = 64 * 1024;

  uint64_t left_;
};

}  // namespace vexmara
