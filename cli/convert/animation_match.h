// Which animation files a batch attaches to a model. A file is attached when every one of its
// tracks names a bone of the model and its tracks name at least half of the model's bones.
// Names are compared as the import compares a track's bone name with a bone's name: ASCII
// letters without regard to case, every other byte as it is, and a bone takes the first track
// of its name. A file with no tracks, or with more tracks than the model has bones (which the
// import leaves out), is never attached.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cli/convert/conversion.h"
#include "cli/convert/library_exports.h"
#include "cli/files/folder_walk.h"

namespace vexmara::cli {

struct AnimationFile {
  std::filesystem::path path;   // absolute
  std::filesystem::path shown;  // as the user's paths name it
  bool forEveryModel = false;   // below a folder given to --anims; otherwise only for the
                                // models above it (--anims auto)
  bool usable = false;          // read completely, so that it may be attached
  std::string problem;          // why it is not usable, once it has been read
  std::vector<std::string> trackNames;
};

// How much of a model's skeleton one file's tracks name.
struct Coverage {
  int file = -1;  // its index among the catalogue's files
  int tracks = 0;
  int bonesNamed = 0;          // bones of the model that some track names
  int tracksNamingNoBone = 0;  // tracks whose name no bone of the model has
};

struct ModelAnimations {
  int bones = 0;                   // of the model
  std::vector<Coverage> attached;  // in the order of their paths
  std::vector<Coverage> closest;   // the files left out that named the most bones, at most 3
};

class AnimationCatalogue {
 public:
  static constexpr std::size_t kClosestListed = 3;

  // The files, each with the names of its tracks once they have been read.
  void SetFiles(std::vector<AnimationFile> files);
  const std::vector<AnimationFile>& Files() const { return files_; }

  ModelAnimations Match(const std::vector<std::string>& bones,
                        const std::filesystem::path& modelFolder) const;

 private:
  std::vector<AnimationFile> files_;
  // Folded track name -> (file, how many of its tracks have that name), over the usable files.
  std::unordered_map<std::string, std::vector<std::pair<int, int>>> filesByTrackName_;
};

// The animation files offered to models, each once however many folders lead to it, in the
// order of their paths.
class AnimationFileList {
 public:
  // Adds a file found by a walk; `shown` names it as the user's paths do.
  void Add(const FoundFile& found, const std::filesystem::path& shown, bool forEveryModel);
  // Adds every file below each folder, for every model, with `walk` (which skips what it was
  // told to); the folders that cannot be listed go to `failures`.
  void AddFolders(const std::vector<std::filesystem::path>& folders, FolderWalk& walk,
                  std::vector<FolderFailure>* failures);
  // The files, in the order of their paths.
  std::vector<AnimationFile> Take();

 private:
  std::vector<AnimationFile> files_;
  std::map<FileIdentity, std::size_t> byIdentity_;
};

// Whether a file may be attached, from what the library's reader made of it.
void TakeTrackNames(const TrackNames& names, AnimationFile* file);

// Picks animation files for models converted in this process, by the rule above: each
// candidate's track names are read through the library the first time a model asks.
class AnimationMatcher {
 public:
  explicit AnimationMatcher(std::vector<AnimationFile> candidates);

  // The picker of a conversion of the model in `modelFolder` (absolute).
  AnimationPicker PickerFor(const std::filesystem::path& modelFolder);

  // The files offered, with their track names once a pick has read them.
  const std::vector<AnimationFile>& Offered() const {
    return read_ ? catalogue_.Files() : candidates_;
  }
  // What the last pick found: the files attached and the closest left out.
  const ModelAnimations& LastMatch() const { return last_; }

 private:
  std::vector<AnimationFile> candidates_;  // until their names are read
  bool read_ = false;
  AnimationCatalogue catalogue_;
  ModelAnimations last_;
};

}  // namespace vexmara::cli
