#include "cli/files/output_files.h"

#include <string>

#include "cli/files/folders.h"
#include "cli/files/system_files.h"
#include "cli/text/path_text.h"

namespace vexmara::cli {
namespace {

namespace sys = system_files;

// Writes go to the system in pieces of this size; smaller ones are gathered first.
constexpr size_t kChunk = size_t(1) << 18;

// What the temporary files of a process have in their names: ".NAME.tmp-PID-N".
std::string TemporaryMark(long processNumber) {
  return ".tmp-" + std::to_string(processNumber) + "-";
}

// A name in the target's folder that no other file has.
std::filesystem::path TemporaryFor(const std::filesystem::path& target, unsigned attempt) {
  std::filesystem::path name = ".";
  name += target.filename().native();
  name += TemporaryMark(sys::ProcessNumber()) + std::to_string(attempt);
  return target.parent_path() / name;
}

bool IsTemporaryOf(const std::filesystem::path& name, long processNumber) {
  const std::string text = PathText(name);
  const std::string mark = TemporaryMark(processNumber);
  const std::size_t at = text.rfind(mark);
  if (text.empty() || text[0] != '.' || at == std::string::npos ||
      at + mark.size() == text.size()) {
    return false;
  }
  return text.find_first_not_of("0123456789", at + mark.size()) == std::string::npos;
}

}  // namespace

OutputFiles::~OutputFiles() { Discard(); }

bool OutputFiles::Fail(const std::filesystem::path& file, const FileResult& failure) {
  if (reason_.empty()) {
    failedFile_ = file;
    reason_ = failure.message;
  }
  return false;
}

FileResult OutputFiles::Failure() const {
  if (reason_.empty()) return {};
  return FileResult::Failure(FileCode::Failed, PathText(failedFile_) + ": " + reason_);
}

bool OutputFiles::Begin(const std::filesystem::path& target) {
  if (!reason_.empty() || !CloseCurrent()) return false;
  const sys::Existing existing = sys::Look(target);
  if (existing.folder) return Fail(target, sys::IsFolderFailure());
  for (unsigned attempt = 0;; ++attempt) {
    const std::filesystem::path temporary = TemporaryFor(target, attempt);
    const FileResult made = sys::CreateNew(temporary, &file_);
    if (made.ok()) {
      files_.push_back(File{target, temporary});
      break;
    }
    if (made.code != FileCode::AlreadyExists || attempt >= 100) return Fail(target, made);
  }
  // A file that replaces another keeps its permissions.
  const FileResult kept = sys::KeepPermissions(file_, existing);
  return kept.ok() || Fail(target, kept);
}

bool OutputFiles::Write(const void* bytes, size_t size) {
  if (!reason_.empty()) return false;
  if (file_ == sys::kNoHandle) {
    return Fail(files_.empty() ? std::filesystem::path() : files_.back().target,
                sys::NotOpenFailure());
  }
  const auto* data = static_cast<const std::uint8_t*>(bytes);
  if (pending_.size() + size < kChunk) {
    pending_.insert(pending_.end(), data, data + size);
    return true;
  }
  if (!Flush()) return false;
  const FileResult written = sys::WriteAll(file_, data, size);
  return written.ok() || Fail(files_.back().target, written);
}

bool OutputFiles::Flush() {
  const FileResult written = sys::WriteAll(file_, pending_.data(), pending_.size());
  pending_.clear();
  return written.ok() || Fail(files_.back().target, written);
}

bool OutputFiles::CloseCurrent() {
  if (file_ == sys::kNoHandle) return true;
  const bool flushed = reason_.empty() && Flush();
  const FileResult closed = sys::Close(file_);
  file_ = sys::kNoHandle;
  pending_.clear();
  if (!flushed) return false;
  return closed.ok() || Fail(files_.back().target, closed);
}

FileResult OutputFiles::Commit() {
  if (!CloseCurrent() || !reason_.empty()) {
    Discard();
    return Failure();
  }
  for (size_t i = 0; i < files_.size(); ++i) {
    if (const FileResult replaced = sys::Replace(files_[i].temporary, files_[i].target);
        !replaced.ok()) {
      Fail(files_[i].target, replaced);
      files_.erase(files_.begin(), files_.begin() + std::ptrdiff_t(i));
      Discard();
      return Failure();
    }
  }
  files_.clear();
  return {};
}

void OutputFiles::Discard() {
  // What the file held is given up, so how its closing went does not matter.
  if (file_ != sys::kNoHandle) static_cast<void>(sys::Close(file_));
  file_ = sys::kNoHandle;
  pending_.clear();
  for (const File& file : files_) sys::Remove(file.temporary);
  files_.clear();
}

void RemoveTemporaryFiles(const std::filesystem::path& folder, long processNumber) {
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, &entries).ok()) return;
  for (const FolderEntry& entry : entries) {
    if (entry.kind == EntryKind::File && IsTemporaryOf(entry.name, processNumber)) {
      sys::Remove(folder / entry.name);
    }
  }
}

FileResult WriteFileWhole(const std::filesystem::path& path, std::string_view bytes) {
  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
  OutputFiles file;
  if (file.Begin(path)) file.Write(bytes.data(), bytes.size());
  if (file.Commit().ok()) return {};
  return FileResult::Failure(FileCode::Failed, file.Reason());
}

}  // namespace vexmara::cli
