#include "cli/import_session.h"

namespace vexmara::cli {

ImportSession::ImportSession() = default;

ImportSession::~ImportSession() { UnloadLibrary(); }

void ImportSession::UnloadLibrary() {
  // The host's records were filled by the library; the host goes first, then the library.
  host_.reset();
  library_.Unload();
  loadedFrom_.clear();
}

ImportOutcome ImportSession::Run(const ImportRequest& request, const AnimationChooser& choose) {
  ImportOutcome outcome;
  host_.reset();
  const std::string library = PathText(request.library);
  const bool kept = library_.IsLoaded() && loadedFrom_ == library;
  if (!kept) {
    loadedFrom_.clear();
    if (!library_.Load(library)) {
      outcome.message = library + ": " + library_.LoadError();
      return outcome;
    }
    std::string error;
    if (!dialog_.Find(library_.Instance(), &error)) {
      library_.Unload();
      outcome.message = library + ": " + error;
      return outcome;
    }
    loadedFrom_ = library;
  } else {
    // What the dialog kept of the last import (the texture folder, the three boxes) goes, so
    // that this import starts as the first one after loading.
    dialog_.ResetOptions();
  }
  host_ = std::make_unique<host::Host>();
  // No per-call record is needed here; large models would only grow it.
  host_->SetCallLogging(false);
  // The alpha maps the plug-in asks the host to save are written as files, as a host does.
  host_->SetSaveImageWritesFiles(true);
  if (host_->Register(library_) != 1) {
    outcome.message = library + ": the library refused to register";
    return outcome;
  }

  // Every path is made absolute now: the import makes the model's folder the current directory.
  const auto absolute = [](const std::filesystem::path& path) {
    std::error_code ignored;
    const std::filesystem::path made = std::filesystem::absolute(path, ignored);
    return made.empty() ? path : made.lexically_normal();
  };
  host_->SetModelPath(WidePath(absolute(request.model)));
  outcome.readResult = host_->Read();
  if (outcome.readResult != 1) {
    outcome.stage = ImportStage::ReadFailed;
    outcome.message = host_->ErrorTextNarrow();
    if (outcome.message.empty()) outcome.message = "The model file could not be read.";
    return outcome;
  }

  DialogAnswers answers;
  if (request.textureDirectory) {
    // The dialog appends "\" to a folder without a trailing separator; here it is always the
    // system's own ("/", or "\" on Windows).
    constexpr char16_t kSeparator = char16_t(std::filesystem::path::preferred_separator);
    std::u16string directory = WidePath(absolute(*request.textureDirectory));
    if (directory.empty() || directory.back() != kSeparator) directory += kSeparator;
    answers.textureDirectory = std::move(directory);
  }
  for (const std::filesystem::path& animation : request.animations) {
    answers.animationFiles.push_back(WidePath(absolute(animation)));
  }
  if (choose) {
    for (const std::filesystem::path& animation : choose(library_.Instance())) {
      answers.animationFiles.push_back(WidePath(absolute(animation)));
    }
  }
  answers.swapModel = request.noSwap ? 0 : -1;
  answers.submeshesAsGroups = request.groups ? 1 : -1;
  answers.extractAlphaMaps = request.alphaMaps ? 1 : -1;
  dialog_.Answer(answers);
  outcome.importResult = host_->Import(library_.Instance());
  dialog_.ClearAnswers();
  outcome.dialog = dialog_.Texts();

  switch (outcome.importResult) {
    case 1:
      outcome.stage = ImportStage::Built;
      break;
    case 2:
      outcome.stage = ImportStage::Cancelled;
      outcome.message = "The import was cancelled.";
      break;
    default:
      outcome.stage = ImportStage::ImportFailed;
      outcome.message = "The scene could not be built: the host refused an object.";
      break;
  }
  return outcome;
}

}  // namespace vexmara::cli
