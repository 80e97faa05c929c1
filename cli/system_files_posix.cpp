#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "cli/system_files.h"

namespace vexmara::cli::system_files {

const int kIsFolder = EISDIR;
const int kNotOpen = EBADF;

Existing Look(const std::filesystem::path& target) {
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) return {};
  return Existing{true, S_ISDIR(info.st_mode), std::uint32_t(info.st_mode & 07777)};
}

int CreateNew(const std::filesystem::path& path, Handle* file) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) return errno;
  *file = descriptor;
  return 0;
}

bool AlreadyExists(int error) { return error == EEXIST; }

int KeepPermissions(Handle file, const Existing& replaced) {
  if (!replaced.exists) return 0;
  return ::fchmod(int(file), mode_t(replaced.permissions)) == 0 ? 0 : errno;
}

int WriteAll(Handle file, const std::uint8_t* bytes, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(int(file), bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    bytes += written;
    size -= size_t(written);
  }
  return 0;
}

int Close(Handle file) { return ::close(int(file)) == 0 ? 0 : errno; }

int Replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void Remove(const std::filesystem::path& path) { ::unlink(path.c_str()); }

std::string ErrorText(int error) { return std::generic_category().message(error); }

long ProcessNumber() { return long(::getpid()); }

}  // namespace vexmara::cli::system_files
