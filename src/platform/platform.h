// The operating system's services, behind one small interface. Everything above this layer
// compiles unchanged on Windows and on POSIX systems; posix/ and win32/ hold the two
// implementations, and the build picks one.
//
// Wide texts are UTF-16 code units (char16_t) on every platform, as the host stores them; on
// Windows they are the same units as wchar_t.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexmara::platform {

// The runtime's wide-to-multibyte conversion (wcstombs): `text` is converted into at most
// `capacity` bytes of the current multibyte encoding (UTF-8 on POSIX). Unlike the bare runtime
// call, the output is always NUL-terminated inside `capacity` (a result that would not fit is
// cut at a character boundary), and a text that cannot be converted leaves an empty string.
// Returns the number of bytes written before the terminator, or -1 when the text could not be
// converted. `capacity` must be at least 1.
int32_t WideToNarrow(char* out, size_t capacity, const char16_t* text);

// The reverse (mbstowcs), with the same guarantees: at most `capacity` units, always
// terminated, empty when the bytes are not valid in the current encoding.
int32_t NarrowToWide(char16_t* out, size_t capacity, const char* text);

// _stricmp / _wcsicmp: compare ignoring letter case, as the runtime does in its default
// locale (ASCII letters folded to lower case). Negative, zero or positive.
int CompareNoCase(const char* a, const char* b);
int CompareNoCaseWide(const char16_t* a, const char16_t* b);

// _wsplitpath: splits a path into its drive ("C:"), directory (up to and including the last
// "\" or "/"), file name and extension (from the last "." of the name). Any output may be null;
// each non-null output holds `kPathUnits` units and is always terminated, a part that would not
// fit is cut.
constexpr size_t kPathUnits = 260;
void SplitPath(const char16_t* path, char16_t* drive, char16_t* directory, char16_t* name,
               char16_t* extension);

// Whole-file read (_wfopen "rb", fseek, ftell, fread, fclose): the file is read with one read
// call into one buffer allocated with AllocateBuffer. The length is a 32-bit signed file
// position, so files of 2 GiB or more cannot be read (they give kCannotAllocate).
enum class FileReadResult {
  kOk,
  kCannotOpen,      // the file could not be opened for reading
  kCannotAllocate,  // the buffer for its bytes could not be had
  kShortRead,       // fewer bytes arrived than the file's length
};
FileReadResult ReadWholeFile(const char16_t* path, uint8_t** buffer, uint32_t* length);

// Buffers handed out by ReadWholeFile; null when the allocation fails.
uint8_t* AllocateBuffer(size_t bytes);
void FreeBuffer(uint8_t* buffer);

}  // namespace vexmara::platform
