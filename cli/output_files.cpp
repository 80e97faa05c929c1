#include "cli/output_files.h"

#include <string>

#include "cli/path_text.h"
#include "cli/system_files.h"

namespace vexmara::cli {
namespace {

namespace sys = system_files;

// Writes go to the system in pieces of this size; smaller ones are gathered first.
constexpr size_t kChunk = size_t(1) << 18;

// A name in the target's folder that no other file has: ".NAME.tmp-PID-N".
std::filesystem::path TemporaryFor(const std::filesystem::path& target, unsigned attempt) {
  std::filesystem::path name = ".";
  name += target.filename().native();
  name += ".tmp-" + std::to_string(sys::ProcessNumber()) + "-" + std::to_string(attempt);
  return target.parent_path() / name;
}

}  // namespace

OutputFiles::~OutputFiles() { Discard(); }

bool OutputFiles::Fail(const std::filesystem::path& file, int error) {
  if (reason_.empty()) {
    failedFile_ = file;
    reason_ = sys::ErrorText(error);
  }
  return false;
}

std::string OutputFiles::Failure() const {
  return reason_.empty() ? std::string() : PathText(failedFile_) + ": " + reason_;
}

bool OutputFiles::Begin(const std::filesystem::path& target) {
  if (!reason_.empty() || !CloseCurrent()) return false;
  const sys::Existing existing = sys::Look(target);
  if (existing.folder) return Fail(target, sys::kIsFolder);
  for (unsigned attempt = 0;; ++attempt) {
    const std::filesystem::path temporary = TemporaryFor(target, attempt);
    const int error = sys::CreateNew(temporary, &file_);
    if (error == 0) {
      files_.push_back(File{target, temporary});
      break;
    }
    if (!sys::AlreadyExists(error) || attempt >= 100) return Fail(target, error);
  }
  // A file that replaces another keeps its permissions.
  const int kept = sys::KeepPermissions(file_, existing);
  return kept == 0 || Fail(target, kept);
}

bool OutputFiles::Write(const void* bytes, size_t size) {
  if (!reason_.empty()) return false;
  if (file_ == sys::kNoHandle) {
    return Fail(files_.empty() ? std::filesystem::path() : files_.back().target, sys::kNotOpen);
  }
  const auto* data = static_cast<const std::uint8_t*>(bytes);
  if (pending_.size() + size < kChunk) {
    pending_.insert(pending_.end(), data, data + size);
    return true;
  }
  if (!Flush()) return false;
  const int error = sys::WriteAll(file_, data, size);
  return error == 0 || Fail(files_.back().target, error);
}

bool OutputFiles::Flush() {
  const int error = sys::WriteAll(file_, pending_.data(), pending_.size());
  pending_.clear();
  return error == 0 || Fail(files_.back().target, error);
}

bool OutputFiles::CloseCurrent() {
  if (file_ == sys::kNoHandle) return true;
  const bool flushed = reason_.empty() && Flush();
  const int error = sys::Close(file_);
  file_ = sys::kNoHandle;
  pending_.clear();
  if (!flushed) return false;
  return error == 0 || Fail(files_.back().target, error);
}

bool OutputFiles::Commit() {
  if (!CloseCurrent() || !reason_.empty()) {
    Discard();
    return false;
  }
  for (size_t i = 0; i < files_.size(); ++i) {
    if (const int error = sys::Replace(files_[i].temporary, files_[i].target); error != 0) {
      Fail(files_[i].target, error);
      files_.erase(files_.begin(), files_.begin() + std::ptrdiff_t(i));
      Discard();
      return false;
    }
  }
  files_.clear();
  return true;
}

void OutputFiles::Discard() {
  if (file_ != sys::kNoHandle) sys::Close(file_);
  file_ = sys::kNoHandle;
  pending_.clear();
  for (const File& file : files_) sys::Remove(file.temporary);
  files_.clear();
}

bool WriteFileWhole(const std::filesystem::path& path, const void* bytes, size_t size,
                    std::string* failure) {
  OutputFiles file;
  if (file.Begin(path) && file.Write(bytes, size) && file.Commit()) return true;
  if (failure != nullptr) *failure = file.Failure();
  return false;
}

}  // namespace vexmara::cli
