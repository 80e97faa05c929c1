#include "cli/convert/conversion.h"

#include <system_error>

#include "cli/convert/host_codec.h"
#include "cli/convert/snapshot.h"
#include "cli/files/output_files.h"
#include "cli/text/path_text.h"

namespace vexmara::cli {
namespace {

ConvertResult Failed(ConvertCode code, std::string message) {
  ConvertResult result;
  result.code = code;
  result.message = std::move(message);
  return result;
}

// The dialog's answers for the request: the texture folder (with the separator the dialog
// itself appends to a folder without one: the system's own), the animation files (absolute
// already), and every box set.
DialogAnswers AnswersFor(const DialogChoices& choices,
                         const std::vector<std::filesystem::path>& animations) {
  DialogAnswers answers;
  if (!choices.textureFolder.empty()) {
    constexpr char16_t kSeparator = char16_t(std::filesystem::path::preferred_separator);
    std::u16string directory = WidePath(choices.textureFolder);
    if (directory.empty() || directory.back() != kSeparator) directory += kSeparator;
    answers.textureDirectory = std::move(directory);
  }
  for (const std::filesystem::path& animation : animations) {
    answers.animationFiles.push_back(WidePath(animation));
  }
  answers.swapModel = choices.swapModel ? 1 : 0;
  answers.submeshesAsGroups = choices.submeshesAsGroups ? 1 : 0;
  answers.extractAlphaMaps = choices.extractAlphaMaps ? 1 : 0;
  return answers;
}

// Each material's texture, and whether the dialog marked it as not found. The dialog lists the
// materials that name a texture, in model order: the file found, or the material's name and a
// "*". A material whose texture the host was given has its line; one without may have a line
// marked "*", or none when it names no texture.
std::vector<MaterialTexture> TexturesOf(const SceneSnapshot& scene, const DialogTexts& dialog) {
  std::vector<MaterialTexture> textures;
  std::size_t line = 0;
  for (const SnapshotMaterial& material : scene.materials) {
    MaterialTexture texture{material.name, material.texture, "", false};
    if (!material.texture.empty()) {
      if (line < dialog.textureLines.size()) texture.listed = dialog.textureLines[line];
      ++line;
    } else if (line < dialog.textureLines.size() &&
               dialog.textureLines[line] == material.name + "*") {
      texture.missing = true;
      ++line;
    }
    textures.push_back(std::move(texture));
  }
  return textures;
}

// The glTF of the scene into `sink`, with what the result tells of it.
void Export(const SceneSnapshot& scene, const ConvertRequest& request,
            const std::vector<std::filesystem::path>& animationFiles, FileSink& sink,
            ConvertResult& result) {
  ExportOptions options;
  options.externalImages = request.settings.externalImages;
  ExportResult exported = ExportGltf(scene, request.output, options, HostImageCodec(), sink);
  result.warnings.insert(result.warnings.end(), exported.warnings.begin(), exported.warnings.end());
  if (!exported.ok()) {
    result.code = ConvertCode::WriteFailed;
    result.message = exported.message;
    return;
  }
  result.written = exported.counts;
  result.files = std::move(exported.files);
  result.animationNames = std::move(exported.animationNames);
  // Host animation i was made from file i when every file gave one.
  const bool everyFileGaveOne = animationFiles.size() == scene.animations.size();
  for (const int source : exported.animationSources) {
    result.animationFiles.push_back(everyFileGaveOne ? animationFiles[std::size_t(source)]
                                                     : std::filesystem::path());
  }
}

}  // namespace

ConvertSettings AbsoluteSettings(ConvertSettings settings) {
  settings.library = AbsolutePath(settings.library);
  DialogChoices& choices = settings.choices;
  if (!choices.textureFolder.empty()) choices.textureFolder = AbsolutePath(choices.textureFolder);
  return settings;
}

Converter::Converter() = default;

Converter::~Converter() { UnloadLibrary(); }

void Converter::UnloadLibrary() {
  library_.Unload();
  exports_ = LibraryExports{};
  loadedFrom_.clear();
}

ConvertResult Converter::Convert(const ConvertRequest& given) {
  // Every path is made absolute first: the import makes the model's folder the current one.
  ConvertRequest request = given;
  request.settings = AbsoluteSettings(request.settings);
  request.model = AbsolutePath(request.model);
  for (std::filesystem::path& animation : request.animations) animation = AbsolutePath(animation);
  if (!request.output.empty()) request.output = AbsolutePath(request.output);
  const std::string library = PathText(request.settings.library);
  if (library_.IsLoaded() && loadedFrom_ == library) {
    exports_.ResetOptions();
  } else {
    UnloadLibrary();
    if (const host::PluginLibrary::LoadResult loaded = library_.Load(library); !loaded.ok()) {
      return Failed(ConvertCode::LibraryFailed, library + ": " + loaded.message);
    }
    if (const auto found = exports_.Find(library_.Instance()); !found.ok()) {
      UnloadLibrary();
      return Failed(ConvertCode::LibraryFailed, library + ": " + found.message);
    }
    loadedFrom_ = library;
  }

  // The host's records are filled by the library: the host goes before the library does.
  auto host = std::make_unique<host::Host>();
  // No per-call record is needed here; large models would only grow it.
  host->SetCallLogging(false);
  // The alpha maps the plug-in asks the host to save are written as files, as a host does.
  host->SetSaveImageWritesFiles(true);
  if (host->Register(library_) != 1) {
    return Failed(ConvertCode::LibraryFailed, library + ": the library refused to register");
  }
  const auto inspected = [&](ConvertResult result) {
    if (request.inspectHost) request.inspectHost(*host);
    return result;
  };

  host->SetModelPath(WidePath(request.model));
  if (host->Read() != 1) {
    const std::string error = host->ErrorTextNarrow();
    return inspected(Failed(ConvertCode::ReadFailed,
                            error.empty() ? "The model file could not be read." : error));
  }

  std::vector<std::filesystem::path> animations = request.animations;
  std::size_t picked = 0;  // how many files the pick attached
  ConvertResult result;
  if (request.pickAnimations) {
    std::vector<std::string> bones;
    AnimationPick pick;
    if (!exports_.ModelBoneNames(&bones)) {
      pick.problem = "the model's bone names could not be had";
    } else {
      pick = request.pickAnimations(bones, exports_);
    }
    if (!pick.problem.empty())
      return inspected(Failed(ConvertCode::AnimationsFailed, pick.problem));
    picked = pick.files.size();
    animations.insert(animations.end(), pick.files.begin(), pick.files.end());
  }

  exports_.Answer(AnswersFor(request.settings.choices, animations));
  const std::int32_t imported = host->Import(library_.Instance());
  exports_.ClearAnswers();
  result.dialog = exports_.Texts();
  if (imported == host::kImportCancelled) {
    result.code = ConvertCode::Cancelled;
    result.message = "The import was cancelled.";
    return inspected(std::move(result));
  }
  if (imported != host::kImportBuilt) {
    result.code = ConvertCode::ImportFailed;
    result.message = "The scene could not be built: the host refused an object.";
    return inspected(std::move(result));
  }
  if (request.inspectHost) request.inspectHost(*host);

  const SceneSnapshot scene = TakeSnapshot(*host);
  result.counts = {int(scene.materials.size()), int(host->Groups().size()),
                   int(scene.vertices.size()),  int(scene.meshes.size()),
                   int(scene.bones.size()),     int(scene.animations.size())};
  // The export needs only the snapshot: the host's own records go before the document is made.
  host.reset();
  result.textures = TexturesOf(scene, result.dialog);
  // Every file picked was read whole and fits the skeleton, so each one gives an animation; one
  // that did not reach the import must not pass unnoticed.
  if (request.pickAnimations && request.animations.empty() && picked != scene.animations.size()) {
    result.code = ConvertCode::AnimationsFailed;
    result.message = "the import built " + std::to_string(scene.animations.size()) + " of the " +
                     std::to_string(picked) +
                     " animation files attached: the import dialog's file picker did not take "
                     "them all, or a file changed after it was read";
    return result;
  }
  if (request.output.empty()) return result;

  if (request.sink != nullptr) {
    Export(scene, request, animations, *request.sink, result);
    return result;
  }
  // On the disk every file of the output is written whole or not at all: a write that fails
  // leaves the files already there as they were. A folder that cannot be made fails the write
  // of the first file in it, which names the system's reason.
  std::error_code ignored;
  std::filesystem::create_directories(request.output.parent_path(), ignored);
  OutputFiles files;
  Export(scene, request, animations, files, result);
  const FileResult committed = result.ok() ? files.Commit() : files.Failure();
  if (!committed.ok()) {
    result.code = ConvertCode::WriteFailed;
    result.message = committed.message;
    result.failedFile = files.FailedFile();
    result.failedReason = files.Reason();
    result.files.clear();
  }
  return result;
}

}  // namespace vexmara::cli
