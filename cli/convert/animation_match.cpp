#include "cli/convert/animation_match.h"

#include <algorithm>

#include "cli/text/path_text.h"

namespace vexmara::cli {
namespace {

// True when `path` lies below `folder` (both absolute and normal).
bool IsBelow(const std::filesystem::path& path, const std::filesystem::path& folder) {
  // Both are normal: one separator between names, the system's own ("\\" on Windows, where
  // "/" separates names too).
  const auto separator = [](std::filesystem::path::value_type c) {
    return c == '/' || c == std::filesystem::path::preferred_separator;
  };
  const std::filesystem::path::string_type& text = path.native();
  const std::filesystem::path::string_type& prefix = folder.native();
  if (prefix.empty() || text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0)
    return false;
  return separator(prefix.back()) || separator(text[prefix.size()]);
}

}  // namespace

void AnimationCatalogue::SetFiles(std::vector<AnimationFile> files) {
  files_ = std::move(files);
  filesByTrackName_.clear();
  for (int f = 0; f < int(files_.size()); ++f) {
    if (!files_[std::size_t(f)].usable) continue;
    std::unordered_map<std::string, int> counts;
    for (const std::string& name : files_[std::size_t(f)].trackNames) ++counts[FoldName(name)];
    for (const auto& [name, count] : counts) filesByTrackName_[name].emplace_back(f, count);
  }
}

ModelAnimations AnimationCatalogue::Match(const std::vector<std::string>& bones,
                                          const std::filesystem::path& modelFolder) const {
  ModelAnimations matches;
  const int boneCount = int(bones.size());
  matches.bones = boneCount;
  if (boneCount == 0) return matches;
  std::unordered_map<std::string, int> bonesByName;
  for (const std::string& bone : bones) ++bonesByName[FoldName(bone)];

  // Only files sharing a name with some bone are looked at: the rest name none of them.
  struct Tally {
    int tracksNamed = 0;
    int bonesNamed = 0;
  };
  std::unordered_map<int, Tally> tallies;
  for (const auto& [name, boneMultiplicity] : bonesByName) {
    const auto found = filesByTrackName_.find(name);
    if (found == filesByTrackName_.end()) continue;
    for (const auto& [file, tracksOfName] : found->second) {
      Tally& tally = tallies[file];
      tally.tracksNamed += tracksOfName;
      tally.bonesNamed += boneMultiplicity;
    }
  }

  std::vector<Coverage> leftOut;
  for (const auto& [file, tally] : tallies) {
    const AnimationFile& candidate = files_[std::size_t(file)];
    if (!candidate.forEveryModel && !IsBelow(candidate.path, modelFolder)) continue;
    Coverage coverage;
    coverage.file = file;
    coverage.tracks = int(candidate.trackNames.size());
    coverage.bonesNamed = tally.bonesNamed;
    coverage.tracksNamingNoBone = coverage.tracks - tally.tracksNamed;
    const bool attach = coverage.tracksNamingNoBone == 0 && coverage.tracks <= boneCount &&
                        2 * coverage.bonesNamed >= boneCount;
    (attach ? matches.attached : leftOut).push_back(coverage);
  }
  const auto path = [this](const Coverage& c) -> const std::filesystem::path::string_type& {
    return files_[std::size_t(c.file)].path.native();
  };
  std::sort(matches.attached.begin(), matches.attached.end(),
            [&](const Coverage& a, const Coverage& b) { return path(a) < path(b); });
  // The most bones named first; of those, the fewest tracks naming none.
  std::sort(leftOut.begin(), leftOut.end(), [&](const Coverage& a, const Coverage& b) {
    if (a.bonesNamed != b.bonesNamed) return a.bonesNamed > b.bonesNamed;
    if (a.tracksNamingNoBone != b.tracksNamingNoBone)
      return a.tracksNamingNoBone < b.tracksNamingNoBone;
    return path(a) < path(b);
  });
  if (leftOut.size() > kClosestListed) leftOut.resize(kClosestListed);
  matches.closest = std::move(leftOut);
  return matches;
}

void AnimationFileList::Add(const FoundFile& found, const std::filesystem::path& shown,
                            bool forEveryModel) {
  if (found.identity != FileIdentity{}) {
    const auto [at, added] = byIdentity_.emplace(found.identity, files_.size());
    if (!added) {
      files_[at->second].forEveryModel |= forEveryModel;
      return;
    }
  }
  AnimationFile file;
  file.path = found.path;
  file.shown = shown;
  file.forEveryModel = forEveryModel;
  files_.push_back(std::move(file));
}

void AnimationFileList::AddFolders(const std::vector<std::filesystem::path>& folders,
                                   FolderWalk& walk, std::vector<FolderFailure>* failures) {
  for (const std::filesystem::path& given : folders) {
    WalkResult named;
    walk.Walk(AbsolutePath(given), &named);
    failures->insert(failures->end(), named.failures.begin(), named.failures.end());
    for (const FoundFile& found : named.animations) Add(found, given / found.relative, true);
  }
}

std::vector<AnimationFile> AnimationFileList::Take() {
  std::sort(files_.begin(), files_.end(), [](const AnimationFile& a, const AnimationFile& b) {
    return a.path.native() < b.path.native();
  });
  byIdentity_.clear();
  return std::move(files_);
}

void TakeTrackNames(const TrackNames& names, AnimationFile* file) {
  file->trackNames = names.names;
  file->usable = names.read == TrackNamesRead::Complete;
  file->problem =
      names.read == TrackNamesRead::Complete ? ""
      : names.read == TrackNamesRead::Rejected
          ? "the reader stopped partway through it: it is damaged, or not an animation file"
          : "it could not be read";
}

AnimationMatcher::AnimationMatcher(std::vector<AnimationFile> candidates)
    : candidates_(std::move(candidates)) {}

AnimationPicker AnimationMatcher::PickerFor(const std::filesystem::path& modelFolder) {
  return [this, modelFolder](const std::vector<std::string>& bones, const LibraryExports& exports) {
    if (!read_) {
      for (AnimationFile& file : candidates_) {
        if (const std::string problem = PluginPathProblem(file.path); !problem.empty()) {
          file.problem = problem;
          continue;
        }
        TakeTrackNames(exports.AnimationTrackNames(WidePath(file.path)), &file);
      }
      catalogue_.SetFiles(std::move(candidates_));
      read_ = true;
    }
    last_ = catalogue_.Match(bones, modelFolder);
    AnimationPick pick;
    for (const Coverage& coverage : last_.attached) {
      pick.files.push_back(catalogue_.Files()[std::size_t(coverage.file)].path);
    }
    return pick;
  };
}

}  // namespace vexmara::cli
