#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>

#include "cli/system_files.h"
#include "cli/win32_text.h"

namespace vexmara::cli::system_files {
namespace {

HANDLE AsHandle(Handle file) { return reinterpret_cast<HANDLE>(file); }

// WriteFile takes at most 4 GiB less one byte at a time; pieces of 1 GiB keep well below.
constexpr size_t kLargestWrite = size_t(1) << 30;

}  // namespace

const int kIsFolder = 336;  // ERROR_DIRECTORY_NOT_SUPPORTED, which mingw-w64's headers lack
const int kNotOpen = ERROR_INVALID_HANDLE;

Existing Look(const std::filesystem::path& target) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  return Existing{true, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, 0};
}

int CreateNew(const std::filesystem::path& path, Handle* file) {
  const HANDLE made = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (made == INVALID_HANDLE_VALUE) return int(GetLastError());
  *file = reinterpret_cast<Handle>(made);
  return 0;
}

bool AlreadyExists(int error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

int KeepPermissions(Handle, const Existing&) { return 0; }

int WriteAll(Handle file, const std::uint8_t* bytes, size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(AsHandle(file), bytes, DWORD(std::min(size, kLargestWrite)), &written,
                   nullptr)) {
      return int(GetLastError());
    }
    if (written == 0) return ERROR_WRITE_FAULT;
    bytes += written;
    size -= written;
  }
  return 0;
}

int Close(Handle file) { return CloseHandle(AsHandle(file)) ? 0 : int(GetLastError()); }

int Replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : int(GetLastError());
}

void Remove(const std::filesystem::path& path) { DeleteFileW(path.c_str()); }

std::string ErrorText(int error) {
  // Windows' own words for this one, which Wine's message table lacks.
  if (error == kIsFolder) return "An operation is not supported on a directory";
  return win32::SystemMessage(unsigned(error));
}

long ProcessNumber() { return long(GetCurrentProcessId()); }

}  // namespace vexmara::cli::system_files
