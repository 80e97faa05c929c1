// The walk over whole folder trees that finds the models (.app) and animation files (.ani) of a
// batch. Extensions are matched without regard to case, as on Windows. Every folder is entered
// once however many names lead to it, so that links which loop end, and folders given to Skip
// (the batch's output folder) are never entered.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/files/folders.h"
#include "cli/text/path_text.h"

namespace vexmara::cli {

struct FoundFile {
  std::filesystem::path path;      // the root joined with `relative`
  std::filesystem::path relative;  // below the root
  FileIdentity identity;           // zero when the name leads nowhere
};

struct FolderFailure {
  std::filesystem::path folder;
  std::string reason;  // the operating system's
};

struct WalkResult {
  std::vector<FoundFile> models;
  std::vector<FoundFile> animations;
  std::vector<FolderFailure> failures;  // folders that could not be listed
};

class FolderWalk {
 public:
  void Skip(const FileIdentity& folder) { skipped_.insert(folder); }

  // Adds what lies below `root` to `result`, each list in the order of its paths' bytes. A
  // root that was entered before, by this walk or as part of another root, adds nothing.
  void Walk(const std::filesystem::path& root, WalkResult* result);

 private:
  std::set<FileIdentity> skipped_;
  std::set<FileIdentity> visited_;
};

}  // namespace vexmara::cli
