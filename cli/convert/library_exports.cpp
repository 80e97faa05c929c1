#include "cli/convert/library_exports.h"

#include <type_traits>
#include <utility>

#include "host/loader.h"
#include "host/text.h"

namespace vexmara::cli {
namespace {

template <class Function>
Function Lookup(void* library, const char* name) {
  // Exports are found as data addresses; calling them as functions is the loader's guarantee.
  return reinterpret_cast<Function>(host::loader::FindSymbol(library, name));
}

// Fetches a text through one of the library's "length, then copy" functions.
template <class Fetch>
std::optional<std::string> FetchText(Fetch fetch) {
  const std::int32_t length = fetch(nullptr, 0);
  if (length < 0) return std::nullopt;
  std::u16string text(std::size_t(length) + 1, u'\0');
  const std::int32_t again = fetch(reinterpret_cast<std::uint16_t*>(text.data()), length + 1);
  if (again != length) return std::nullopt;
  text.resize(std::size_t(length));
  return host::Utf16ToUtf8(text);
}

struct Collected {
  std::vector<std::string> names;
  bool lost = false;  // a name could not be copied
};

// The visitor the library calls with each name. Nothing may unwind into the library, so a name
// that cannot be copied is only noted.
void CollectName(void* context, const char* name) noexcept {
  auto* collected = static_cast<Collected*>(context);
  try {
    collected->names.emplace_back(name != nullptr ? name : "");
  } catch (...) {
    collected->lost = true;
  }
}

}  // namespace

host::Result<LibraryExports::FindCode> LibraryExports::Find(void* library) {
  *this = LibraryExports{};
  if (library == nullptr) return {FindCode::NotLoaded, "the library is not loaded"};
  const auto find = [&](auto& function, const char* name) {
    function = Lookup<std::remove_reference_t<decltype(function)>>(library, name);
    return function != nullptr;
  };
  for (const auto& [found, name] :
       {std::pair{find(setScript_, "SetScriptedDialog"), "SetScriptedDialog"},
        {find(text_, "GetDialogText"), "GetDialogText"},
        {find(line_, "GetDialogListLine"), "GetDialogListLine"},
        {find(check_, "GetDialogCheck"), "GetDialogCheck"},
        {find(reset_, "ResetImportOptions"), "ResetImportOptions"},
        {find(tracks_, "ListAnimationTrackNames"), "ListAnimationTrackNames"},
        {find(bones_, "ListModelBoneNames"), "ListModelBoneNames"}}) {
    if (!found) {
      *this = LibraryExports{};
      return {FindCode::MissingExport, std::string("the library has no export ") + name};
    }
  }
  return {};
}

void LibraryExports::Answer(const DialogAnswers& answers) const {
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

void LibraryExports::ClearAnswers() const {
  if (setScript_ != nullptr) setScript_(nullptr);
}

void LibraryExports::ResetOptions() const {
  if (reset_ != nullptr) reset_();
}

std::string LibraryExports::Text(std::int32_t id) const {
  return FetchText([&](std::uint16_t* out, std::int32_t units) { return text_(id, out, units); })
      .value_or(std::string());
}

DialogTexts LibraryExports::Texts() const {
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

TrackNames LibraryExports::AnimationTrackNames(const std::u16string& path) const {
  TrackNames result;
  if (tracks_ == nullptr) return result;
  Collected collected;
  const std::int32_t read =
      tracks_(reinterpret_cast<const std::uint16_t*>(path.c_str()), &CollectName, &collected);
  // Names that could not all be kept say nothing reliable about the file.
  if (collected.lost || read < 0 || read > 1) return result;
  result.read = read == 1 ? TrackNamesRead::Complete : TrackNamesRead::Rejected;
  result.names = std::move(collected.names);
  return result;
}

bool LibraryExports::ModelBoneNames(std::vector<std::string>* names) const {
  names->clear();
  if (bones_ == nullptr) return false;
  Collected collected;
  const std::int32_t count = bones_(&CollectName, &collected);
  if (collected.lost || count < 0 || std::size_t(count) != collected.names.size()) return false;
  *names = std::move(collected.names);
  return true;
}

}  // namespace vexmara::cli
