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

// A path in UTF-16 units, terminator included: 259 characters and a NUL, as Windows' MAX_PATH
// and every path field of the host hold it.
constexpr size_t kPathUnits = 260;

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

// --- Directory search, existence test and positioned reads --------------------------------

// Receives the entries of a directory listing one at a time. `name` is the entry's own name (no
// directory), terminated, at most 259 units. Returning false ends the listing early.
class DirectoryVisitor {
 public:
  virtual bool Visit(const char16_t* name, bool isDirectory) = 0;

 protected:
  ~DirectoryVisitor() = default;
};

// Lists every entry of `directory` (FindFirstFileW / FindNextFileW on "<directory>\*.*"; an
// empty directory means the process's current directory), "." and ".." included as
// directories. The order is the one NTFS gives: ascending by the names' upper-case forms, ties
// broken by their bytes, so a folder lists the same on every platform. False, with nothing
// visited, when the search cannot start (no such directory, no access, a path over 259 units,
// no memory for the listing); true otherwise, also when the visitor ended it early.
bool ListDirectory(const char16_t* directory, DirectoryVisitor& visitor);

// True when `path` names an existing file that is not a directory. The file is not opened for
// reading, so one without read access still exists. A null, empty or overlong path gives false.
bool FileExists(const char16_t* path);

// A regular file opened read-only for positioned reads of a few bytes: nothing is mapped and
// nothing is read beyond what is asked for. Closing is idempotent and happens on destruction.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile() { Close(); }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // False, with nothing held, when the file cannot be opened for reading, is not a regular
  // file, is empty, or its size cannot be had.
  bool Open(const char16_t* path);
  void Close();
  bool IsOpen() const { return handle_ != kNoHandle; }
  uint64_t size() const { return size_; }

  // Reads exactly `bytes` bytes at `offset` into `out`. False (and `out` untouched in
  // meaning) unless the file is open, offset + bytes <= size and every byte arrived.
  bool ReadAt(uint64_t offset, void* out, uint32_t bytes);

 private:
  static constexpr intptr_t kNoHandle = -1;  // a closed descriptor, and INVALID_HANDLE_VALUE
  intptr_t handle_ = kNoHandle;
  uint64_t size_ = 0;
};

}  // namespace vexmara::platform
