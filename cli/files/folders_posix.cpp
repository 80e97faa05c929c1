#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "cli/files/folders.h"
#include "cli/text/path_text.h"

namespace vexmara::cli {
namespace {

FileIdentity IdentityOf(const struct stat& info) {
  return FileIdentity{std::uint64_t(info.st_dev), std::uint64_t(info.st_ino)};
}

FileResult Failed(int error) { return FileResult::Failure(FileCode::Failed, std::strerror(error)); }

}  // namespace

FileResult ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>* entries) {
  entries->clear();
  DIR* directory = ::opendir(folder.c_str());
  if (directory == nullptr) return Failed(errno);
  const int descriptor = ::dirfd(directory);
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(directory);
    if (entry == nullptr) break;
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    FolderEntry found;
    found.name = name;
    struct stat info {};
    // stat, not lstat: a link counts as what it leads to; the walk's identities stop loops.
    if (::fstatat(descriptor, name, &info, 0) != 0) {
      found.kind = EntryKind::File;
    } else if (S_ISDIR(info.st_mode)) {
      found.kind = EntryKind::Folder;
      found.identity = IdentityOf(info);
    } else if (S_ISREG(info.st_mode)) {
      found.kind = EntryKind::File;
      found.identity = IdentityOf(info);
    }
    entries->push_back(std::move(found));
  }
  const int listError = errno;
  ::closedir(directory);
  if (listError != 0) {
    entries->clear();
    return Failed(listError);
  }
  return {};
}

FileResult IdentifyFolder(const std::filesystem::path& folder, FileIdentity* identity) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return Failed(errno);
  if (!S_ISDIR(info.st_mode)) return Failed(ENOTDIR);
  *identity = IdentityOf(info);
  return {};
}

std::string OneFileKey(const std::filesystem::path& relative) {
  return FoldName(relative.native());
}

}  // namespace vexmara::cli
