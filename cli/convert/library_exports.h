// The library's exports beyond the host interface, which a headless client uses and the host
// application never calls: the script that answers the import dialog, the texts the dialog
// showed, the reset of the choices the dialog keeps from one import to the next, and the bone
// names of an animation file's tracks and of the model just read (by which animation files are
// matched to models). They are declared here from the client's side, with their layout checked,
// and found by name in the loaded library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/result.h"

namespace vexmara::cli {

extern "C" {
// The answers of the headless dialog, laid out as the library reads them.
struct ScriptedDialogRecord {
  std::int32_t result;                    // 1 "Import", 0 "Cancel", -1 the dialog cannot be created
  const std::uint16_t* textureDirectory;  // non-null: the folder picker returns this path
  std::int32_t animationFileCount;        // > 0: the file picker returns these paths
  const std::uint16_t* const* animationFiles;
  std::int32_t swapModel;  // box states at "Import": 1, 0, or -1 as shown
  std::int32_t submeshesAsGroups;
  std::int32_t extractAlphaMaps;
};
using SetScriptedDialogFunction = void (*)(const ScriptedDialogRecord* script);
using GetDialogTextFunction = std::int32_t (*)(std::int32_t controlId, std::uint16_t* out,
                                               std::int32_t units);
using GetDialogListLineFunction = std::int32_t (*)(std::int32_t line, std::uint16_t* out,
                                                   std::int32_t units);
using GetDialogCheckFunction = std::int32_t (*)(std::int32_t controlId);
using ResetImportOptionsFunction = void (*)();
using NameVisitorFunction = void (*)(void* context, const char* name);
using ListAnimationTrackNamesFunction = std::int32_t (*)(const std::uint16_t* path,
                                                         NameVisitorFunction visit, void* context);
using ListModelBoneNamesFunction = std::int32_t (*)(NameVisitorFunction visit, void* context);
}

static_assert(sizeof(ScriptedDialogRecord) == 48);
static_assert(offsetof(ScriptedDialogRecord, textureDirectory) == 8);
static_assert(offsetof(ScriptedDialogRecord, animationFileCount) == 16);
static_assert(offsetof(ScriptedDialogRecord, animationFiles) == 24);
static_assert(offsetof(ScriptedDialogRecord, swapModel) == 32);
static_assert(offsetof(ScriptedDialogRecord, submeshesAsGroups) == 36);
static_assert(offsetof(ScriptedDialogRecord, extractAlphaMaps) == 40);

// Control ids of the import dialog.
inline constexpr std::int32_t kGeosetsText = 1002;
inline constexpr std::int32_t kVerticesText = 1006;
inline constexpr std::int32_t kTrianglesText = 1007;
inline constexpr std::int32_t kMaterialsText = 1005;
inline constexpr std::int32_t kBonesText = 1004;
inline constexpr std::int32_t kTextureCountText = 1003;
inline constexpr std::int32_t kTextureDirectoryText = 4001;
inline constexpr std::int32_t kAnimationFilesText = 5002;
inline constexpr std::int32_t kSwapModelBox = 3031;
inline constexpr std::int32_t kSubmeshesAsGroupsBox = 3035;
inline constexpr std::int32_t kExtractAlphaMapsBox = 3037;

// What the dialog is told to do: a box at -1 stays as the dialog shows it.
struct DialogAnswers {
  std::optional<std::u16string> textureDirectory;
  std::vector<std::u16string> animationFiles;
  std::int32_t swapModel = -1;
  std::int32_t submeshesAsGroups = -1;
  std::int32_t extractAlphaMaps = -1;
};

// What the dialog showed when it closed, as UTF-8.
struct DialogTexts {
  bool shown = false;  // false: no dialog was created (e.g. the read failed)
  std::string geosets, vertices, triangles, materials, bones;
  std::string textureCount;
  std::string textureDirectory;
  std::string animationFiles;
  std::vector<std::string> textureLines;  // a material whose texture was not found ends in "*"
  std::int32_t swapModel = -1, submeshesAsGroups = -1, extractAlphaMaps = -1;
};

// What the library's reader made of one animation file.
enum class TrackNamesRead {
  Complete,    // the file was parsed completely
  Rejected,    // the parse stopped partway; the names are those of the tracks read before
  Unreadable,  // the file could not be read at all; no names
};

struct TrackNames {
  TrackNamesRead read = TrackNamesRead::Unreadable;
  std::vector<std::string> names;  // in track order, as the file has them
};

class LibraryExports {
 public:
  enum class FindCode {
    Ok,
    NotLoaded,
    MissingExport,  // the message names it
  };

  // Looks the exports up in a loaded library (its module handle).
  host::Result<FindCode> Find(void* library);

  // Sets the answers for the next import dialog; the library copies them.
  void Answer(const DialogAnswers& answers) const;
  // Back to the library's default answers.
  void ClearAnswers() const;
  // The texts of the dialog opened by the last import message.
  DialogTexts Texts() const;
  // Sets the texture directory and the three boxes, which the library keeps from one import to
  // the next, back to their values at load.
  void ResetOptions() const;

  TrackNames AnimationTrackNames(const std::u16string& path) const;
  // The bones of the model read by the last read message, in model order. False (and no
  // names) when they could not all be had.
  bool ModelBoneNames(std::vector<std::string>* names) const;

 private:
  std::string Text(std::int32_t id) const;

  SetScriptedDialogFunction setScript_ = nullptr;
  GetDialogTextFunction text_ = nullptr;
  GetDialogListLineFunction line_ = nullptr;
  GetDialogCheckFunction check_ = nullptr;
  ResetImportOptionsFunction reset_ = nullptr;
  ListAnimationTrackNamesFunction tracks_ = nullptr;
  ListModelBoneNamesFunction bones_ = nullptr;
};

}  // namespace vexmara::cli
