#include "cli/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace vexmara::cli {
namespace {

// Writes go to the system in pieces of this size; smaller ones are gathered first.
constexpr size_t kChunk = size_t(1) << 18;

// A name in the target's folder that no other file has: ".NAME.tmp-PID-N".
std::filesystem::path TemporaryFor(const std::filesystem::path& target, unsigned attempt) {
  return target.parent_path() / ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(attempt));
}

// Hands `size` bytes to the system, as many writes as it takes; 0, or the error of the write
// that failed.
int WriteAll(int descriptor, const std::uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(descriptor, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    data += written;
    size -= size_t(written);
  }
  return 0;
}

}  // namespace

OutputFiles::~OutputFiles() { Discard(); }

bool OutputFiles::Fail(const std::filesystem::path& file, int error) {
  if (reason_.empty()) {
    failedFile_ = file;
    reason_ = std::generic_category().message(error);
  }
  return false;
}

std::string OutputFiles::Failure() const {
  return reason_.empty() ? std::string() : failedFile_.string() + ": " + reason_;
}

bool OutputFiles::Begin(const std::filesystem::path& target) {
  if (!reason_.empty() || !CloseCurrent()) return false;
  struct stat existing {};
  const bool replaces = ::stat(target.c_str(), &existing) == 0;
  if (replaces && S_ISDIR(existing.st_mode)) return Fail(target, EISDIR);
  for (unsigned attempt = 0;; ++attempt) {
    const std::filesystem::path temporary = TemporaryFor(target, attempt);
    descriptor_ = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor_ >= 0) {
      files_.push_back(File{target, temporary});
      break;
    }
    if (errno != EEXIST || attempt >= 100) return Fail(target, errno);
  }
  // A file that replaces another keeps its permissions.
  if (replaces && ::fchmod(descriptor_, existing.st_mode & 07777) != 0) return Fail(target, errno);
  return true;
}

bool OutputFiles::Write(const void* bytes, size_t size) {
  if (!reason_.empty()) return false;
  if (descriptor_ < 0) return Fail(files_.empty() ? std::filesystem::path() : files_.back().target, EBADF);
  const auto* data = static_cast<const std::uint8_t*>(bytes);
  if (pending_.size() + size < kChunk) {
    pending_.insert(pending_.end(), data, data + size);
    return true;
  }
  if (!Flush()) return false;
  const int error = WriteAll(descriptor_, data, size);
  return error == 0 || Fail(files_.back().target, error);
}

bool OutputFiles::Flush() {
  const int error = WriteAll(descriptor_, pending_.data(), pending_.size());
  pending_.clear();
  return error == 0 || Fail(files_.back().target, error);
}

bool OutputFiles::CloseCurrent() {
  if (descriptor_ < 0) return true;
  const bool flushed = reason_.empty() && Flush();
  // A file system may report a failed write only when the file is closed.
  const int closed = ::close(descriptor_);
  const int error = errno;
  descriptor_ = -1;
  pending_.clear();
  if (!flushed) return false;
  return closed == 0 || Fail(files_.back().target, error);
}

bool OutputFiles::Commit() {
  if (!CloseCurrent() || !reason_.empty()) {
    Discard();
    return false;
  }
  for (size_t i = 0; i < files_.size(); ++i) {
    if (::rename(files_[i].temporary.c_str(), files_[i].target.c_str()) != 0) {
      Fail(files_[i].target, errno);
      files_.erase(files_.begin(), files_.begin() + std::ptrdiff_t(i));
      Discard();
      return false;
    }
  }
  files_.clear();
  return true;
}

void OutputFiles::Discard() {
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
  pending_.clear();
  for (const File& file : files_) ::unlink(file.temporary.c_str());
  files_.clear();
}

bool WriteFileWhole(const std::filesystem::path& path, const void* bytes, size_t size, std::string* failure) {
  OutputFiles file;
  if (file.Begin(path) && file.Write(bytes, size) && file.Commit()) return true;
  if (failure != nullptr) *failure = file.Failure();
  return false;
}

}  // namespace vexmara::cli
