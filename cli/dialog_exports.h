// The library's exports beyond the host interface that a headless client uses: the script that
// answers the import dialog, the texts the dialog showed, and the reset of the choices the
// dialog keeps from one import to the next. They are declared here from the client's side, with
// their layout checked, and found by name in the loaded library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// What the dialog is told to do: -1 for a box leaves it as the dialog shows it.
struct DialogAnswers {
  std::optional<std::u16string> textureDirectory;
  std::vector<std::u16string> animationFiles;
  std::int32_t swapModel = -1;
  std::int32_t submeshesAsGroups = -1;
  std::int32_t extractAlphaMaps = -1;
};

// What the dialog showed when it closed.
struct DialogTexts {
  bool shown = false;  // false: no dialog was created (e.g. the read failed)
  std::u16string geosets, vertices, triangles, materials, bones;
  std::u16string textureCount;
  std::u16string textureDirectory;
  std::u16string animationFiles;
  std::vector<std::u16string> textureLines;
  std::int32_t swapModel = -1, submeshesAsGroups = -1, extractAlphaMaps = -1;
};

class DialogExports {
 public:
  // Looks the exports up in a loaded library (its module handle). False, with the missing name
  // in `error`, when one is absent.
  bool Find(void* library, std::string* error);

  // Sets the answers for the next import dialog; the library copies them.
  void Answer(const DialogAnswers& answers) const;
  // Back to the library's default answers.
  void ClearAnswers() const;

  // The texts of the dialog opened by the last import message.
  DialogTexts Texts() const;

  // Sets the texture directory and the three boxes, which the library keeps from one import to
  // the next, back to their values at load.
  void ResetOptions() const;

 private:
  std::u16string Text(std::int32_t id) const;

  SetScriptedDialogFunction setScript_ = nullptr;
  GetDialogTextFunction text_ = nullptr;
  GetDialogListLineFunction line_ = nullptr;
  GetDialogCheckFunction check_ = nullptr;
  ResetImportOptionsFunction reset_ = nullptr;
};

}  // namespace vexmara::cli
