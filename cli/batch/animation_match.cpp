#include "cli/batch/animation_match.h"

#include <algorithm>

namespace vexmara::cli::batch {

std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return folded;
}

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

}  // namespace vexmara::cli::batch
