// The operating system's calls behind OutputFiles, kept to a few so that each platform supplies
// its own small implementation: system_files_posix.cpp (open, write, rename) and
// system_files_win32.cpp (CreateFileW, WriteFile, MoveFileExW). Each call gives 0 or the
// system's own error code (errno on POSIX systems, GetLastError on Windows), which ErrorText
// turns into the system's own words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace vexmara::cli::system_files {

// A file open for writing: a descriptor, or a Windows handle.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// What stands at a target path before it is replaced.
struct Existing {
  bool exists = false;
  bool folder = false;
  std::uint32_t permissions = 0;  // POSIX permission bits, kept by the file that replaces it
};
Existing Look(const std::filesystem::path& target);

// Makes a new file, failing with AlreadyExists when the name is taken.
int CreateNew(const std::filesystem::path& path, Handle* file);
bool AlreadyExists(int error);
// Gives the new file the permissions of the one it replaces (nothing to do on Windows, where a
// file has those of its folder).
int KeepPermissions(Handle file, const Existing& replaced);
// Hands every byte to the system, as many writes as it takes.
int WriteAll(Handle file, const std::uint8_t* bytes, size_t size);
// A file system may report a failed write only when the file is closed.
int Close(Handle file);
// Renames `from` over `to`, which may exist.
int Replace(const std::filesystem::path& from, const std::filesystem::path& to);
void Remove(const std::filesystem::path& path);

// The error codes of a target that is a folder, and of a write without an open file.
extern const int kIsFolder;
extern const int kNotOpen;

// "No space left on device"; on Windows "There is not enough space on the disk".
std::string ErrorText(int error);

// This process's number, which makes temporary names its own.
long ProcessNumber();

}  // namespace vexmara::cli::system_files
