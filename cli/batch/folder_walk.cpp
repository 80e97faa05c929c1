#include "cli/batch/folder_walk.h"

#include <algorithm>
#include <utility>

namespace vexmara::cli::batch {
namespace {

using NativeChar = std::filesystem::path::value_type;

NativeChar Lower(NativeChar c) { return c >= 'A' && c <= 'Z' ? NativeChar(c - 'A' + 'a') : c; }

void SortByPath(std::vector<FoundFile>& files, std::size_t from) {
  std::sort(
      files.begin() + std::ptrdiff_t(from), files.end(),
      [](const FoundFile& a, const FoundFile& b) { return a.path.native() < b.path.native(); });
}

}  // namespace

bool HasExtension(const std::filesystem::path& name, std::string_view extension) {
  const std::filesystem::path::string_type text = name.filename().native();
  if (text.size() <= extension.size()) return false;  // ".app" alone is a name without extension
  return std::equal(text.end() - std::ptrdiff_t(extension.size()), text.end(), extension.begin(),
                    extension.end(),
                    [](NativeChar a, char b) { return Lower(a) == Lower(NativeChar(b)); });
}

void FolderWalk::Walk(const std::filesystem::path& root, WalkResult* result) {
  const std::size_t firstModel = result->models.size(), firstAnimation = result->animations.size();
  FileIdentity rootIdentity;
  std::string reason;
  if (!IdentifyFolder(root, &rootIdentity, &reason)) {
    result->failures.push_back({root, reason});
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
    if (!ListFolder(folder, &entries, &reason)) {
      result->failures.push_back({folder, reason});
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

}  // namespace vexmara::cli::batch
