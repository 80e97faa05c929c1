#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "cli/files/system_files.h"

namespace vexmara::cli::system_files {

namespace {

// Ok for 0, otherwise the reason of the error number.
FileResult FromErrno(int error) {
  if (error == 0) return {};
  return FileResult::Failure(error == EEXIST ? FileCode::AlreadyExists : FileCode::Failed,
                             std::generic_category().message(error));
}

}  // namespace

FileResult IsFolderFailure() { return FromErrno(EISDIR); }
FileResult NotOpenFailure() { return FromErrno(EBADF); }

Existing Look(const std::filesystem::path& target) {
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) return {};
  return Existing{true, S_ISDIR(info.st_mode), std::uint32_t(info.st_mode & 07777)};
}

FileResult CreateNew(const std::filesystem::path& path, Handle* file) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) return FromErrno(errno);
  *file = descriptor;
  return {};
}

FileResult KeepPermissions(Handle file, const Existing& replaced) {
  if (!replaced.exists) return {};
  return FromErrno(::fchmod(int(file), mode_t(replaced.permissions)) == 0 ? 0 : errno);
}

FileResult WriteAll(Handle file, const std::uint8_t* bytes, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(int(file), bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return FromErrno(written < 0 ? errno : EIO);
    bytes += written;
    size -= size_t(written);
  }
  return {};
}

FileResult Close(Handle file) { return FromErrno(::close(int(file)) == 0 ? 0 : errno); }

FileResult Replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return FromErrno(::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno);
}

void Remove(const std::filesystem::path& path) { ::unlink(path.c_str()); }

long ProcessNumber() { return long(::getpid()); }

std::filesystem::path ThisProgram() {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : program;
}

}  // namespace vexmara::cli::system_files
