// The operating system's calls behind OutputFiles, kept to a few so that each platform supplies
// its own small implementation: system_files_posix.cpp (open, write, rename) and
// system_files_win32.cpp (CreateFileW, WriteFile, MoveFileExW). Each call gives Ok or the
// system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "cli/files/file_result.h"

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
FileResult CreateNew(const std::filesystem::path& path, Handle* file);
// Gives the new file the permissions of the one it replaces (nothing to do on Windows, where a
// file has those of its folder).
FileResult KeepPermissions(Handle file, const Existing& replaced);
// Hands every byte to the system, as many writes as it takes.
FileResult WriteAll(Handle file, const std::uint8_t* bytes, size_t size);
// A file system may report a failed write only when the file is closed.
FileResult Close(Handle file);
// Renames `from` over `to`, which may exist.
FileResult Replace(const std::filesystem::path& from, const std::filesystem::path& to);
void Remove(const std::filesystem::path& path);

// Why a target that is a folder cannot be written, and why a write without an open file fails.
FileResult IsFolderFailure();
FileResult NotOpenFailure();

// This process's number, which makes temporary names its own.
long ProcessNumber();

// The running program's own file (to start it again as a worker, or to find the plug-in library
// beside it); empty when the system cannot tell.
std::filesystem::path ThisProgram();

}  // namespace vexmara::cli::system_files
