// The one conversion of a model, which every client of the converter calls (the single-file
// command, the folder batch's workers, the fuzz harness of the export, the page's WebAssembly
// module): the plug-in library loaded and registered with a reference host as a host application
// does, the read message for the model, the import message with the dialog answered from the
// request, a UTF-8 snapshot of what the host received, and the glTF written from it.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/convert/dialog_choices.h"
#include "cli/convert/library_exports.h"
#include "cli/files/file_sink.h"
#include "cli/gltf/file.h"
#include "host/host.h"
#include "host/plugin_library.h"
#include "host/result.h"

namespace vexmara::cli {

// Animation files chosen for a model once it has been read, from its bones (in model order),
// with the library's exports at hand to read candidate files' track names. They come after the
// request's own, in the order given. An empty `problem` means the choice could be made.
struct AnimationPick {
  std::vector<std::filesystem::path> files;
  std::string problem;
};
using AnimationPicker =
    std::function<AnimationPick(const std::vector<std::string>& bones, const LibraryExports&)>;

// What every model of one command is converted with.
struct ConvertSettings {
  std::filesystem::path library;  // the plug-in library to load
  DialogChoices choices;
  bool externalImages = false;  // a .glb's images as PNG files beside it
};
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(ConvertSettings, library, choices, externalImages)

// The settings with their paths (the library, a texture folder) made absolute from the current
// folder: the import moves the current folder to each model's.
ConvertSettings AbsoluteSettings(ConvertSettings settings);

struct ConvertRequest {
  ConvertSettings settings;
  std::filesystem::path model;
  std::vector<std::filesystem::path> animations;  // picked in the dialog, in order
  AnimationPicker pickAnimations;                 // more of them, by the model's bones
  std::filesystem::path output;                   // a .glb or .gltf; empty: no glTF is written
  // Where the glTF's files go; null: the disk, every file of the output whole or not at all.
  FileSink* sink = nullptr;
  // Called with the host once the import is over, whatever became of it, before the host's
  // records are freed (the single-file command writes the host's scene document there).
  std::function<void(const host::Host&)> inspectHost;
};

enum class ConvertCode {
  Ok,
  LibraryFailed,     // the library could not be loaded, lacks an export, or refused registration
  ReadFailed,        // the read message gave 0: the message is the plug-in's error text
  AnimationsFailed,  // the animation files for the model's bones could not be chosen or imported
  ImportFailed,      // the import message gave 0: the host refused an object
  Cancelled,         // the import message gave 2
  WriteFailed,       // a file of the output could not be written
};
NLOHMANN_JSON_SERIALIZE_ENUM(ConvertCode, {{ConvertCode::Ok, "converted"},
                                           {ConvertCode::LibraryFailed, "library failed"},
                                           {ConvertCode::ReadFailed, "read failed"},
                                           {ConvertCode::AnimationsFailed, "animations failed"},
                                           {ConvertCode::ImportFailed, "import failed"},
                                           {ConvertCode::Cancelled, "cancelled"},
                                           {ConvertCode::WriteFailed, "write failed"}})

// What the host received, counted once.
struct SceneCounts {
  int materials = 0;
  int groups = 0;
  int vertices = 0;
  int meshes = 0;
  int bones = 0;
  int animations = 0;
};
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(SceneCounts, materials, groups, vertices, meshes,
                                                bones, animations)

struct MaterialTexture {
  std::string material;
  std::string texture;   // the image the host was given, as its path names it; empty: none
  std::string listed;    // the tex file the dialog listed for it, when it found one
  bool missing = false;  // the model names a texture that was not found (the dialog's "*")
};
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(MaterialTexture, material, texture, listed, missing)

struct ConvertResult : host::Result<ConvertCode> {
  DialogTexts dialog;  // what the import dialog showed (shown is false when none was opened)
  SceneCounts counts;
  std::vector<MaterialTexture> textures;  // per material, in model order
  GltfCounts written;                     // what the glTF holds
  // The names of the glTF's animations, and the animation file each one came from (empty when
  // that cannot be told: a file the plug-in could not read leaves no animation).
  std::vector<std::string> animationNames;
  std::vector<std::filesystem::path> animationFiles;
  std::vector<std::string> warnings;
  std::vector<std::filesystem::path> files;  // everything written, the output first
  std::filesystem::path failedFile;          // WriteFailed: the file, and the system's reason
  std::string failedReason;
};

// Converts one model after another. The library stays loaded from one model to the next while
// it is the same one, as a host keeps a plug-in loaded; the choices the dialog keeps of the last
// import (the texture folder, the three boxes) are then set back to their values at load, so that
// every model converts as it does alone.
class Converter {
 public:
  Converter();
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Relative paths of the request are taken from the current folder at the time of the call
  // (picked animation files are made absolute by the picker); the import itself moves the
  // current folder to the model's.
  ConvertResult Convert(const ConvertRequest& request);

  // Unloads the library, so that the next conversion starts from a freshly loaded plug-in.
  void UnloadLibrary();

 private:
  host::PluginLibrary library_;
  std::string loadedFrom_;  // the path of the library loaded, empty when none is
  LibraryExports exports_;
};

}  // namespace vexmara::cli
