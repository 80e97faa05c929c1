// Listing one folder, behind a small interface: folders_posix.cpp implements it with opendir and
// stat, folders_win32.cpp with FindFirstFileExW and GetFileInformationByHandle. The walk over
// whole trees (folder_walk.h) is built on it and is the same everywhere.
#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/files/file_result.h"

namespace vexmara::cli {

// What tells two names of one file or folder apart from two files: on POSIX systems the device
// and inode numbers, on Windows the volume's serial number and the file's index on it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

enum class EntryKind {
  File,  // a regular file, or a name whose target cannot be reached (reading it will say why)
  Folder,
  Other,  // a device, pipe or socket: never opened, since reading a pipe can wait forever
};

struct FolderEntry {
  std::filesystem::path name;  // the entry's own name
  EntryKind kind = EntryKind::Other;
  FileIdentity identity;  // of a File or Folder that could be reached
};

// The entries of `folder`, "." and ".." left out, a symbolic link taken as what it leads to;
// the operating system's reason when the folder cannot be listed.
FileResult ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>* entries);

// The identity of an existing folder, or the reason it cannot be had.
FileResult IdentifyFolder(const std::filesystem::path& folder, FileIdentity* identity);

// What two relative paths have in common exactly when Windows takes them for one file: the path
// with its letters in one case (and on Windows with one separator). POSIX systems fold ASCII
// letters; Windows folds every letter, as its file systems compare names.
std::string OneFileKey(const std::filesystem::path& relative);

}  // namespace vexmara::cli
