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
#include <vector>

#include "cli/file_sink.h"
#include "cli/system_files.h"

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
  // Closes the last file, then renames every file over its target. False when anything failed,
  // now or before; the temporary files are gone either way.
  bool Commit();
  // Gives the set up: the temporary files are removed, the targets stay as they were.
  void Discard();

  // "TARGET: reason" for the first failure; empty while nothing failed.
  std::string Failure() const override;
  const std::filesystem::path& FailedFile() const { return failedFile_; }
  const std::string& Reason() const { return reason_; }

 private:
  struct File {
    std::filesystem::path target;
    std::filesystem::path temporary;
  };
  bool Fail(const std::filesystem::path& file, int error);
  bool Flush();
  bool CloseCurrent();

  std::vector<File> files_;
  system_files::Handle file_ =
      system_files::kNoHandle;         // the file being written, the last of files_
  std::vector<std::uint8_t> pending_;  // bytes not yet handed to the system
  std::filesystem::path failedFile_;
  std::string reason_;
};

// One file whole or not at all. False with "PATH: reason" in `failure`.
bool WriteFileWhole(const std::filesystem::path& path, const void* bytes, size_t size,
                    std::string* failure);

}  // namespace vexmara::cli
