// Files written whole or not at all.
//
// Each file of a set is written to a temporary file in its target's own folder; Commit renames
// the temporary files over their targets, in the order they were begun, only once every one of
// them was written and closed without error. Whatever fails, no temporary file stays behind and
// every target keeps what it held before. Every write and the final close are checked, and a
// failure names the file and the operating system's reason ("No space left on device", "File
// too large", "Not a directory").
//
// A set whose files name one another (a .gltf, its .bin and its images) begins the file that
// names the others last, so that it is the last to appear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli/files/file_sink.h"
#include "cli/files/system_files.h"

namespace vexmara::cli {

class OutputFiles final : public FileSink {
 public:
  OutputFiles() = default;
  ~OutputFiles();  // removes the temporary files of a set not committed
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  // Starts the next file of the set. After a failure every call gives false and does nothing.
  bool Begin(const std::filesystem::path& target) override;
  bool Write(const void* bytes, size_t size) override;
  // Closes the last file, then renames every file over its target. The first failure, now or
  // before, as Failure() gives it; the temporary files are gone either way.
  FileResult Commit();
  // Gives the set up: the temporary files are removed, the targets stay as they were.
  void Discard();

  // The first failure, its message "TARGET: reason"; Ok while nothing failed.
  FileResult Failure() const override;
  // The file of the first failure, and the system's reason alone.
  const std::filesystem::path& FailedFile() const { return failedFile_; }
  const std::string& Reason() const { return reason_; }

 private:
  struct File {
    std::filesystem::path target;
    std::filesystem::path temporary;
  };
  // False, keeping the failure when it is the first.
  bool Fail(const std::filesystem::path& file, const FileResult& failure);
  bool Flush();
  bool CloseCurrent();

  std::vector<File> files_;
  system_files::Handle file_ =
      system_files::kNoHandle;         // the file being written, the last of files_
  std::vector<std::uint8_t> pending_;  // bytes not yet handed to the system
  std::filesystem::path failedFile_;
  std::string reason_;
};

// Removes what a process that was ended while it wrote left in `folder`: the temporary files
// named with its process number.
void RemoveTemporaryFiles(const std::filesystem::path& folder, long processNumber);

// One file whole or not at all, in a folder made for it when there is none; on failure the
// message is the system's reason alone, the caller naming the file as its user did.
FileResult WriteFileWhole(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vexmara::cli
