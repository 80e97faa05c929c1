// DualString: the fixed text record of every string exchanged with the host. It holds the same
// text twice, back to back: 260 UTF-16 units, then the narrow form in 260 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexmara {

struct DualString {
  char16_t wide[260];
  char narrow[260];
};
static_assert(sizeof(DualString) == 780, "the host's text record is 780 bytes");
static_assert(offsetof(DualString, narrow) == 520, "narrow text follows 260 wide units");

// Construct from a wide text: the wide part is a copy (cut to 259 units), the narrow part its
// conversion by the runtime's wcstombs limited to 260 bytes, always terminated.
void DualStringSet(DualString& out, const char16_t* text);

// Assign from another record: nothing when both are the same record; otherwise the narrow part,
// then the wide part, each copied up to and including its terminator (and never beyond the field,
// so a source without terminator still leaves a terminated destination).
void DualStringAssign(DualString& out, const DualString& from);

// Clear (what destruction does too): the first wide unit and the first narrow byte become zero.
void DualStringClear(DualString& text);

// A DualString temporary that clears itself when it goes out of scope, also when a host call
// unwinds through it.
class ScopedDualString {
 public:
  explicit ScopedDualString(const char16_t* text) { DualStringSet(value_, text); }
  ~ScopedDualString() { DualStringClear(value_); }
  ScopedDualString(const ScopedDualString&) = delete;
  ScopedDualString& operator=(const ScopedDualString&) = delete;
  DualString* get() { return &value_; }
  const DualString& value() const { return value_; }

 private:
  DualString value_;
};

}  // namespace vexmara
