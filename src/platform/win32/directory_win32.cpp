// Directory search, existence test and positioned reads on Windows: FindFirstFileW and its kin,
// CreateFileW, and a read-only file mapping for the few bytes a scan reads of each file.
#include <windows.h>

#include <cstring>

#include "platform/platform.h"

namespace vexmara::platform {
namespace {

const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// Units before the terminator, looking at no more than one path field.
size_t BoundedLength(const char16_t* text) {
  size_t n = 0;
  while (n < kPathUnits && text[n] != 0) ++n;
  return n;
}

// A path the file calls may be given: present, non-empty and terminated inside a path field.
bool UsablePath(const char16_t* path) {
  if (path == nullptr) return false;
  const size_t units = BoundedLength(path);
  return units > 0 && units < kPathUnits;
}

// Only disk files count: a device name ("CON", "NUL", "COM1" and their look-alikes with an
// extension) or a pipe opens under CreateFileW too, and would block or lie about its size.
bool IsDiskFile(HANDLE file) { return GetFileType(file) == FILE_TYPE_DISK; }

// Closes the search handle however the listing ends.
class SearchHandle {
 public:
  explicit SearchHandle(HANDLE handle) : handle_(handle) {}
  ~SearchHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  SearchHandle(const SearchHandle&) = delete;
  SearchHandle& operator=(const SearchHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

bool ListDirectory(const char16_t* directory, DirectoryVisitor& visitor) {
  if (directory == nullptr) return false;
  const size_t units = BoundedLength(directory);
  if (units >= kPathUnits) return false;

  // "<directory>\*.*": only "\" counts as the separator already there, so a directory ending
  // in "/" gets one as well. An empty directory gives "*.*", the current directory.
  wchar_t pattern[kPathUnits + 8];
  for (size_t i = 0; i < units; ++i) pattern[i] = wchar_t(directory[i]);
  size_t at = units;
  if (at > 0 && pattern[at - 1] != L'\\') pattern[at++] = L'\\';
  std::memcpy(pattern + at, L"*.*", 4 * sizeof(wchar_t));

  WIN32_FIND_DATAW found;
  SearchHandle search(FindFirstFileW(pattern, &found));
  if (search.get() == INVALID_HANDLE_VALUE) return false;
  do {
    // The system terminates the name inside its 260-unit field; make sure of it all the same.
    found.cFileName[MAX_PATH - 1] = L'\0';
    const bool isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!visitor.Visit(reinterpret_cast<const char16_t*>(found.cFileName), isDirectory)) break;
  } while (FindNextFileW(search.get(), &found));
  return true;
}

bool FileExists(const char16_t* path) {
  if (!UsablePath(path)) return false;
  // No access is asked for, and reading and writing are shared, so a file held open (or
  // locked) by another program still counts as there. A directory does not open this way.
  HANDLE file = CreateFileW(AsWide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool exists = IsDiskFile(file);
  CloseHandle(file);
  return exists;
}

bool ReadOnlyFile::Open(const char16_t* path) {
  Close();
  if (!UsablePath(path)) return false;
  // Reading is shared and writing is not: while the file is open nobody can shorten it under
  // the mapped view, and a file someone is writing to right now fails to open and is skipped.
  HANDLE file = CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  if (!IsDiskFile(file) || !GetFileSizeEx(file, &size) || size.QuadPart <= 0) {
    CloseHandle(file);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  size_ = uint64_t(size.QuadPart);
  return true;
}

void ReadOnlyFile::Close() {
  if (handle_ != kNoHandle) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNoHandle;
  size_ = 0;
}

bool ReadOnlyFile::ReadAt(uint64_t offset, void* out, uint32_t bytes) {
  if (handle_ == kNoHandle || out == nullptr) return false;
  if (offset > size_ || bytes > size_ - offset) return false;
  if (bytes == 0) return true;

  // A read-only mapping of the whole file, and a view of only the pages that hold the bytes:
  // views start on the allocation granularity.
  HANDLE mapping =
      CreateFileMappingW(reinterpret_cast<HANDLE>(handle_), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return false;
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const uint64_t granularity =
      system.dwAllocationGranularity != 0 ? system.dwAllocationGranularity : 65536;
  const uint64_t start = offset - offset % granularity;
  const uint64_t length = offset - start + bytes;
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, DWORD(start >> 32),
                                   DWORD(start & 0xFFFFFFFFu), SIZE_T(length));
  bool read = false;
  if (view != nullptr) {
    std::memcpy(out, static_cast<const unsigned char*>(view) + (offset - start), bytes);
    UnmapViewOfFile(view);
    read = true;
  }
  CloseHandle(mapping);
  return read;
}

}  // namespace vexmara::platform
