// The materials stage: host material n is model material n, so that faces can carry model
// material indices. Each material gets the image of its first texture slot, as resolved in the
// texture directory, and optionally an alpha map that the host derives and writes beside it.
#include "platform/current_directory.h"
#include "scene/stages.h"
#include "textures/texture_files.h"

namespace vexmara {
namespace {

constexpr int32_t kMaterialImported = 2;  // HostMaterial flags: set on every material made here
constexpr int32_t kSlotHasPath = 1;       // HostTextureSlot flags: a path is stored

// A HostFileInfo for one image load and the save that follows it, emptied on the way out.
struct ScopedFileInfo {
  HostFileInfo info{};
  ScopedFileInfo() {
    info.tag = -1;
    DualStringClear(info.path);
  }
  ~ScopedFileInfo() { DualStringClear(info.path); }
  ScopedFileInfo(const ScopedFileInfo&) = delete;
  ScopedFileInfo& operator=(const ScopedFileInfo&) = delete;
};

// Stores `path` in texture slot `index` of the material; a slot the host does not give is
// skipped.
void AssignTextureSlot(HostMaterial* material, int32_t index, const char16_t* path) {
  HostTextureSlot* slot = host::GetTextureSlot(material, index);
  if (slot == nullptr || path[0] == 0) return;
  DualStringSet(slot->path, path);
  slot->flags |= kSlotHasPath;
}

}  // namespace

bool MakeAlphaMapPath(const char16_t* path, char16_t out[kPathUnits]) {
  if (path == nullptr || out == nullptr) return false;
  const size_t length = WideLength(path, kPathUnits);
  if (length >= kPathUnits) return false;
  // The extension starts at the last "." of the file name; a "." in a directory name is not one.
  size_t stem = length;
  for (size_t i = length; i > 0; --i) {
    const char16_t c = path[i - 1];
    if (c == u'\\' || c == u'/') break;
    if (c == u'.') {
      stem = i - 1;
      break;
    }
  }
  static constexpr char16_t kSuffix[] = u"_A.tga";
  constexpr size_t kSuffixLength = sizeof(kSuffix) / sizeof(kSuffix[0]) - 1;
  if (stem + kSuffixLength > kPathUnits - 1) return false;
  for (size_t i = 0; i < stem; ++i) out[i] = path[i];
  for (size_t i = 0; i <= kSuffixLength; ++i) out[stem + i] = kSuffix[i];
  return true;
}

bool ExtractAlphaMap(HostContext* context, const char16_t* path) {
  if (context == nullptr || path == nullptr) return false;
  // Formed before anything is loaded: an alpha map whose name does not fit is not made at all.
  char16_t alphaPath[kPathUnits];
  if (!MakeAlphaMapPath(path, alphaPath)) return false;

  ScopedFileInfo file;
  HostImage* image;
  {
    ScopedDualString imagePath(path);
    image = host::LoadImage(context, imagePath.get(), &file.info);
  }
  if (image == nullptr) return false;
  if (host::CheckImage(image) != 0) {
    host::ReleaseImage(context, image);
    return false;
  }
  HostImage* alpha = host::ExtractAlphaImage(context, image);
  if (alpha == nullptr) {
    host::ReleaseImage(context, image);
    return false;
  }
  {
    // The save gets the same file record that the load filled; its result is not examined.
    ScopedDualString savePath(alphaPath);
    host::SaveImage(context, savePath.get(), alpha, &file.info);
  }
  host::ReleaseImage(context, alpha);
  host::ReleaseImage(context, image);
  return true;
}

void EnterModelDirectory(const char16_t* sourcePath) {
  char16_t modelDirectory[kPathUnits];
  if (DirectoryOf(sourcePath, modelDirectory) && modelDirectory[0] != 0) {
    platform::ChangeCurrentDirectory(modelDirectory);
  }
}

bool BuildMaterials(HostContext* context, const ModelStore& store, const ImportOptions& options) {
  if (context == nullptr) return false;
  if (store.materials.empty()) return true;

  for (const Material& material : store.materials) {
    HostMaterial* hostMaterial;
    {
      ScopedNarrowText name(material.name);
      hostMaterial = host::CreateMaterial(context, name.get());
    }
    if (hostMaterial == nullptr) return false;
    hostMaterial->flags |= kMaterialImported;

    // Only the first texture slot is used, and only when a scan matched it to a file.
    if (material.textureSlots.empty() || material.textureSlots.count <= 0) continue;
    const TextureRef& first = material.textureSlots[0];
    if (first.fileName[0] == 0) continue;
    // A path longer than 259 characters has no place in the host's fields, and a shortened one
    // would name another file: such a texture is skipped.
    char16_t path[kPathUnits];
    if (!JoinPath(path, first.directory, first.fileName)) continue;
    // Without a converted image the host still gets the tex file's own path.
    FindConvertedImage(path);
    AssignTextureSlot(hostMaterial, 0, path);

    if (options.extractAlphaMaps == 1 && ExtractAlphaMap(context, path)) {
      char16_t alphaPath[kPathUnits];
      if (MakeAlphaMapPath(path, alphaPath)) AssignTextureSlot(hostMaterial, 1, alphaPath);
    }
  }
  return true;
}

}  // namespace vexmara
