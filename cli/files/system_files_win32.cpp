#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>

#include "cli/files/system_files.h"
#include "cli/text/win32_text.h"

namespace vexmara::cli::system_files {
namespace {

HANDLE AsHandle(Handle file) { return reinterpret_cast<HANDLE>(file); }

// WriteFile takes at most 4 GiB less one byte at a time; pieces of 1 GiB keep well below.
constexpr size_t kLargestWrite = size_t(1) << 30;

constexpr DWORD kIsFolder = 336;  // ERROR_DIRECTORY_NOT_SUPPORTED, which mingw-w64's headers lack

// Ok for 0, otherwise the system's words for the error code.
FileResult FromError(DWORD error) {
  if (error == 0) return {};
  const bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
  // Windows' own words for a folder, which Wine's message table lacks.
  return FileResult::Failure(exists ? FileCode::AlreadyExists : FileCode::Failed,
                             error == kIsFolder ? "An operation is not supported on a directory"
                                                : win32::SystemMessage(error));
}

}  // namespace

FileResult IsFolderFailure() { return FromError(kIsFolder); }
FileResult NotOpenFailure() { return FromError(ERROR_INVALID_HANDLE); }

Existing Look(const std::filesystem::path& target) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  return Existing{true, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, 0};
}

FileResult CreateNew(const std::filesystem::path& path, Handle* file) {
  const HANDLE made = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (made == INVALID_HANDLE_VALUE) return FromError(GetLastError());
  *file = reinterpret_cast<Handle>(made);
  return {};
}

FileResult KeepPermissions(Handle, const Existing&) { return {}; }

FileResult WriteAll(Handle file, const std::uint8_t* bytes, size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(AsHandle(file), bytes, DWORD(std::min(size, kLargestWrite)), &written,
                   nullptr)) {
      return FromError(GetLastError());
    }
    if (written == 0) return FromError(ERROR_WRITE_FAULT);
    bytes += written;
    size -= written;
  }
  return {};
}

FileResult Close(Handle file) {
  return FromError(CloseHandle(AsHandle(file)) ? 0 : GetLastError());
}

FileResult Replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return FromError(
      MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : GetLastError());
}

void Remove(const std::filesystem::path& path) { DeleteFileW(path.c_str()); }

long ProcessNumber() { return long(GetCurrentProcessId()); }

std::filesystem::path ThisProgram() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return std::filesystem::path(path);
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

}  // namespace vexmara::cli::system_files
