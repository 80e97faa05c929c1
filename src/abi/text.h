// Bounded text helpers for the fixed text fields that the plug-in exchanges with the host and
// reads from files. Every copy is limited by its destination and always terminates it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace vexmara {

// Narrow names in 256-byte fields; wide paths in 260-unit fields (259 characters and a NUL),
// the length the platform's path services work in.
constexpr size_t kNameBytes = 256;
using platform::kPathUnits;

// Units before the terminator, looking at no more than `capacity` units.
size_t WideLength(const char16_t* text, size_t capacity = kPathUnits);

// Copies `text` into `out` (capacity units), cut to capacity - 1 units and terminated.
// A null text gives an empty result.
void WideCopy(char16_t* out, size_t capacity, const char16_t* text);

// Appends `text` to the terminated wide text in `out`, within the same limits.
void WideAppend(char16_t* out, size_t capacity, const char16_t* text);

// `directory` followed by `name` as one path in `out` (kPathUnits units). A path of more than
// 259 units has no place in a path field, and a shortened one would name another file: then
// false, with an empty `out`. A null part counts as empty.
bool JoinPath(char16_t* out, const char16_t* directory, const char16_t* name);

// Copies a name field of `fieldBytes` bytes read from a file into a 256-byte name: up to the
// field's first NUL, or the whole field when it holds none.
void CopyNameField(char* out, const uint8_t* field, size_t fieldBytes);

// The drive and directory parts of a wide path, as the runtime's path splitting gives them,
// joined, with "\" appended when the result is non-empty and ends in neither "\" nor "/".
// `out` holds kPathUnits units. False (and no output) when `path` or `out` is null.
bool DirectoryOf(const char16_t* path, char16_t* out);

// Fixed narrow copy, cut to capacity - 1 bytes and terminated.
void NarrowCopy(char* out, size_t capacity, const char* text);

}  // namespace vexmara
