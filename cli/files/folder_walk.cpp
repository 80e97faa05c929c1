#include "cli/files/folder_walk.h"

#include <algorithm>
#include <utility>

namespace vexmara::cli {
namespace {

void SortByPath(std::vector<FoundFile>& files, std::size_t from) {
  std::sort(
      files.begin() + std::ptrdiff_t(from), files.end(),
      [](const FoundFile& a, const FoundFile& b) { return a.path.native() < b.path.native(); });
}

}  // namespace

void FolderWalk::Walk(const std::filesystem::path& root, WalkResult* result) {
  const std::size_t firstModel = result->models.size(), firstAnimation = result->animations.size();
  FileIdentity rootIdentity;
  if (const FileResult identified = IdentifyFolder(root, &rootIdentity); !identified.ok()) {
    result->failures.push_back({root, identified.message});
    return;
  }
  if (skipped_.count(rootIdentity) != 0 || !visited_.insert(rootIdentity).second) return;

  // Depth first, without recursion: a deep tree costs memory for its names, not stack.
  std::vector<std::filesystem::path> pending{std::filesystem::path()};
  std::vector<FolderEntry> entries;
  while (!pending.empty()) {
    const std::filesystem::path relative = std::move(pending.back());
    pending.pop_back();
    const std::filesystem::path folder = relative.empty() ? root : root / relative;
    if (const FileResult listed = ListFolder(folder, &entries); !listed.ok()) {
      result->failures.push_back({folder, listed.message});
      continue;
    }
    for (const FolderEntry& entry : entries) {
      const std::filesystem::path below = relative / entry.name;
      if (entry.kind == EntryKind::Folder) {
        // A folder whose identity could not be had is entered: it leads nowhere already walked
        // that could be told, and its listing says why it cannot be read.
        const bool identified = entry.identity != FileIdentity{};
        if (!identified ||
            (skipped_.count(entry.identity) == 0 && visited_.insert(entry.identity).second)) {
          pending.push_back(below);
        }
      } else if (entry.kind == EntryKind::File) {
        std::vector<FoundFile>* list = HasExtension(entry.name, ".app")   ? &result->models
                                       : HasExtension(entry.name, ".ani") ? &result->animations
                                                                          : nullptr;
        if (list != nullptr) list->push_back({root / below, below, entry.identity});
      }
    }
  }
  SortByPath(result->models, firstModel);
  SortByPath(result->animations, firstAnimation);
}

}  // namespace vexmara::cli
