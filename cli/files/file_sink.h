// Where the files of an export go, one after the other: the disk, or memory for tests and fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/files/file_result.h"

namespace vexmara::cli {

class FileSink {
 public:
  // Starts the next file; what Write gives goes into it until the next Begin. False when the
  // file cannot be made; Failure() then says why.
  virtual bool Begin(const std::filesystem::path& path) = 0;
  virtual bool Write(const void* bytes, size_t size) = 0;
  // The first failure, its message naming the file: "PATH: reason". Ok while nothing failed.
  virtual FileResult Failure() const = 0;

 protected:
  ~FileSink() = default;
};

// Files kept in memory by path, in the order they were begun.
class MemoryFiles final : public FileSink {
 public:
  bool Begin(const std::filesystem::path& path) override {
    order_.push_back(path);
    current_ = &files_[path];
    current_->clear();
    return true;
  }
  bool Write(const void* bytes, size_t size) override {
    if (current_ == nullptr) {
      failure_ = "a write before any file was begun";
      return false;
    }
    const auto* begin = static_cast<const std::uint8_t*>(bytes);
    current_->insert(current_->end(), begin, begin + size);
    return true;
  }
  FileResult Failure() const override {
    return failure_.empty() ? FileResult{} : FileResult::Failure(FileCode::Failed, failure_);
  }

  const std::map<std::filesystem::path, std::vector<std::uint8_t>>& Files() const { return files_; }
  const std::vector<std::filesystem::path>& Order() const { return order_; }
  // The bytes of a file, or null when it was not written.
  const std::vector<std::uint8_t>* Find(const std::filesystem::path& path) const {
    const auto found = files_.find(path);
    return found == files_.end() ? nullptr : &found->second;
  }

 private:
  std::map<std::filesystem::path, std::vector<std::uint8_t>> files_;
  std::vector<std::filesystem::path> order_;
  std::vector<std::uint8_t>* current_ = nullptr;
  std::string failure_;
};

}  // namespace vexmara::cli
