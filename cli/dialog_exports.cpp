#include "cli/dialog_exports.h"

#include "host/loader.h"

namespace vexmara::cli {
namespace {

template <class Function>
Function Lookup(void* library, const char* name) {
  // Exports are found as data addresses; calling them as functions is the loader's guarantee.
  return reinterpret_cast<Function>(host::loader::FindSymbol(library, name));
}

// Fetches a text through one of the library's "length, then copy" functions.
template <class Fetch>
std::optional<std::u16string> FetchText(Fetch fetch) {
  const std::int32_t length = fetch(nullptr, 0);
  if (length < 0) return std::nullopt;
  std::u16string text(std::size_t(length) + 1, u'\0');
  const std::int32_t again = fetch(reinterpret_cast<std::uint16_t*>(text.data()), length + 1);
  if (again != length) return std::nullopt;
  text.resize(std::size_t(length));
  return text;
}

}  // namespace

bool DialogExports::Find(void* library, std::string* error) {
  *this = DialogExports{};
  if (library == nullptr) {
    *error = "the library is not loaded";
    return false;
  }
  setScript_ = Lookup<SetScriptedDialogFunction>(library, "SetScriptedDialog");
  text_ = Lookup<GetDialogTextFunction>(library, "GetDialogText");
  line_ = Lookup<GetDialogListLineFunction>(library, "GetDialogListLine");
  check_ = Lookup<GetDialogCheckFunction>(library, "GetDialogCheck");
  reset_ = Lookup<ResetImportOptionsFunction>(library, "ResetImportOptions");
  const char* missing = setScript_ == nullptr ? "SetScriptedDialog"
                        : text_ == nullptr    ? "GetDialogText"
                        : line_ == nullptr    ? "GetDialogListLine"
                        : check_ == nullptr   ? "GetDialogCheck"
                        : reset_ == nullptr   ? "ResetImportOptions"
                                              : nullptr;
  if (missing != nullptr) {
    *error = std::string("the library has no export ") + missing;
    *this = DialogExports{};
    return false;
  }
  return true;
}

void DialogExports::Answer(const DialogAnswers& answers) const {
  if (setScript_ == nullptr) return;
  std::vector<const std::uint16_t*> files;
  files.reserve(answers.animationFiles.size());
  for (const std::u16string& file : answers.animationFiles) {
    files.push_back(reinterpret_cast<const std::uint16_t*>(file.c_str()));
  }
  ScriptedDialogRecord script{};
  script.result = 1;
  script.textureDirectory =
      answers.textureDirectory
          ? reinterpret_cast<const std::uint16_t*>(answers.textureDirectory->c_str())
          : nullptr;
  script.animationFileCount = std::int32_t(files.size());
  script.animationFiles = files.empty() ? nullptr : files.data();
  script.swapModel = answers.swapModel;
  script.submeshesAsGroups = answers.submeshesAsGroups;
  script.extractAlphaMaps = answers.extractAlphaMaps;
  setScript_(&script);
}

void DialogExports::ClearAnswers() const {
  if (setScript_ != nullptr) setScript_(nullptr);
}

void DialogExports::ResetOptions() const {
  if (reset_ != nullptr) reset_();
}

std::u16string DialogExports::Text(std::int32_t id) const {
  return FetchText([&](std::uint16_t* out, std::int32_t units) { return text_(id, out, units); })
      .value_or(std::u16string());
}

DialogTexts DialogExports::Texts() const {
  DialogTexts texts;
  if (text_ == nullptr || text_(kGeosetsText, nullptr, 0) < 0) return texts;
  texts.shown = true;
  texts.geosets = Text(kGeosetsText);
  texts.vertices = Text(kVerticesText);
  texts.triangles = Text(kTrianglesText);
  texts.materials = Text(kMaterialsText);
  texts.bones = Text(kBonesText);
  texts.textureCount = Text(kTextureCountText);
  texts.textureDirectory = Text(kTextureDirectoryText);
  texts.animationFiles = Text(kAnimationFilesText);
  for (std::int32_t line = 0;; ++line) {
    auto text =
        FetchText([&](std::uint16_t* out, std::int32_t units) { return line_(line, out, units); });
    if (!text) break;
    texts.textureLines.push_back(std::move(*text));
  }
  texts.swapModel = check_(kSwapModelBox);
  texts.submeshesAsGroups = check_(kSubmeshesAsGroupsBox);
  texts.extractAlphaMaps = check_(kExtractAlphaMapsBox);
  return texts;
}

}  // namespace vexmara::cli
