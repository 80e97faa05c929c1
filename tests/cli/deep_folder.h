// A folder that cannot be listed whatever the user's rights, root's included: one whose path is
// longer than the system takes, made one level at a time relative to the last.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace vexmara::testing {

// Makes it below `root` and gives its path; empty when it could not be made.
inline std::filesystem::path MakeFolderTooDeepToList(const std::filesystem::path& root) {
  const std::string name(200, 'd');
  int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
  std::filesystem::path deep = root;
  for (int level = 0; level < 24 && folder >= 0; ++level) {
    const int next = ::mkdirat(folder, name.c_str(), 0755) == 0
                         ? ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY)
                         : -1;
    ::close(folder);
    folder = next;
    deep /= name;
  }
  if (folder < 0) return {};
  ::close(folder);
  return deep;
}

}  // namespace vexmara::testing
