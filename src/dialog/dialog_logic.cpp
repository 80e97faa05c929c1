#include "dialog/dialog_logic.h"

#include <memory>
#include <new>

#include "abi/text.h"
#include "platform/platform.h"
#include "textures/texture_files.h"

namespace vexmara {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// "%d" into a wide buffer.
void FormatInt(char16_t* out, int32_t value) {
  char16_t digits[12];
  size_t n = 0;
  // Widened first, so that the most negative value has a magnitude too.
  int64_t magnitude = value < 0 ? -int64_t(value) : int64_t(value);
  do {
    digits[n++] = char16_t(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  size_t k = 0;
  if (value < 0) out[k++] = u'-';
  while (n > 0) out[k++] = digits[--n];
  out[k] = 0;
}

void SetNumber(DialogView& view, int32_t id, int32_t value) {
  char16_t text[16];
  FormatInt(text, value);
  view.SetControlText(id, text);
}

int32_t CheckedFlag(DialogView& view, int32_t id) { return view.IsChecked(id) ? 1 : 0; }

// One line of the texture list: the file found for slot 0, or the material's name with "*"
// when none was found.
void TextureListLine(const Material& material, char16_t* line) {
  if (material.textureSlots.count > 0 && material.textureSlots[0].fileName[0] != 0) {
    WideCopy(line, kPathUnits, material.textureSlots[0].fileName);
    return;
  }
  char name[kNameBytes];
  NarrowCopy(name, kNameBytes, material.name);
  // At most 254 characters of the name, so that the mark always fits.
  platform::NarrowToWide(line, 255, name);
  WideAppend(line, kPathUnits, u"*");
}

// The length of the terminated text at `text`, which lies inside a buffer ending at `end`.
size_t LengthWithin(const char16_t* text, const char16_t* end) {
  size_t n = 0;
  while (text + n < end && text[n] != 0) ++n;
  return n;
}

}  // namespace

const char16_t* AnimationText(const ModelStore& store) {
  if (store.animationFiles.empty()) return kNoAnimationText;
  if (store.animationFiles.count != 1) return kMultipleAnimationsText;
  return store.animationFiles[0].path;
}

ScreenPoint CentredPosition(int32_t width, int32_t height, const ScreenRect& reference,
                            int32_t screenWidth, int32_t screenHeight) {
  // Worked in 64 bits: no rectangle the system can report overflows on the way.
  const auto place = [](int64_t low, int64_t high, int64_t size, int64_t screen) {
    int64_t at = low + ((high - low) - size) / 2;
    if (at < 0)
      at = 0;
    else if (at + size > screen)
      at = screen - size;
    if (at < INT32_MIN) at = INT32_MIN;
    if (at > INT32_MAX) at = INT32_MAX;
    return int32_t(at);
  };
  return ScreenPoint{place(reference.left, reference.right, width, screenWidth),
                     place(reference.top, reference.bottom, height, screenHeight)};
}

ImportDialog::ImportDialog(DialogView& view, ModelStore& store, ImportOptions& options,
                           const char16_t* sourcePath)
    : view_(view), store_(store), options_(options) {
  // The host's path field is copied within its width, terminated or not.
  WideCopy(sourcePath_, kPathUnits, sourcePath);
}

void ImportDialog::OnInitDialog() {
  // The texture directory defaults to the model file's own; once set (here or by the folder
  // picker) it carries over to the next import.
  if (options_.textureDirectory[0] == 0) {
    char16_t directory[kPathUnits];
    if (DirectoryOf(sourcePath_, directory))
      WideCopy(options_.textureDirectory, kPathUnits, directory);
  }
  view_.SetControlText(kControlTextureDirectory, options_.textureDirectory);
  ScanTextureDirectory(store_.textureFiles, store_.materials, options_.textureDirectory);
  FillDialogStatistics();
  view_.CentreOnDesktop();
}

bool ImportDialog::OnCommand(int32_t id) {
  switch (id) {
    case kControlImport:
      options_.swapModel = CheckedFlag(view_, kControlSwapModel);
      options_.submeshesAsGroups = CheckedFlag(view_, kControlSubmeshesAsGroups);
      options_.extractAlphaMaps = CheckedFlag(view_, kControlExtractAlphaMaps);
      view_.EndDialog(DialogResult::kImport);
      return true;
    case kControlCancel:
      view_.EndDialog(DialogResult::kCancel);
      return true;
    case kControlBrowseTextures:
      // The rescan and the refill run whether or not a folder was chosen; the count in 1003
      // (materials with slots) cannot change and is left alone.
      BrowseTextureDirectory();
      ScanTextureDirectory(store_.textureFiles, store_.materials, options_.textureDirectory);
      FillTextureList();
      return false;
    case kControlPickAnimations:
      PickAnimationFiles();
      return false;
    default:
      return false;
  }
}

void ImportDialog::FillDialogStatistics() {
  SetNumber(view_, kControlGeosets, store_.geosets.count);
  SetNumber(view_, kControlVertices, store_.vertexTotal);
  SetNumber(view_, kControlTriangles, store_.triangleTotal);
  SetNumber(view_, kControlMaterials, store_.materials.count);
  SetNumber(view_, kControlBones, store_.bones.count);
  view_.SetControlText(kControlAnimationFiles, AnimationText(store_));
  int32_t withSlots = 0;
  for (const Material& material : store_.materials) {
    if (!material.textureSlots.empty()) ++withSlots;
  }
  SetNumber(view_, kControlTextureCount, withSlots);
  FillTextureList();
  view_.SetCheck(kControlSwapModel, options_.swapModel == 1);
  view_.SetCheck(kControlSubmeshesAsGroups, options_.submeshesAsGroups == 1);
  view_.SetCheck(kControlExtractAlphaMaps, options_.extractAlphaMaps == 1);
}

bool ImportDialog::FillTextureList() {
  if (!view_.ClearList(kControlTextureList)) return false;
  for (const Material& material : store_.materials) {
    if (material.textureSlots.empty()) continue;
    char16_t line[kPathUnits];
    TextureListLine(material, line);
    view_.AddListLine(kControlTextureList, line);
  }
  view_.SelectListLine(kControlTextureList, 0);
  return true;
}

void ImportDialog::BrowseTextureDirectory() {
  char16_t chosen[kPathUnits] = {};
  if (!view_.BrowseForFolder(chosen)) return;
  chosen[kPathUnits - 1] = 0;
  const size_t length = WideLength(chosen);
  // A successful conversion never gives an empty path; treat one as no choice.
  if (length == 0) return;
  const bool endsInSeparator = IsSeparator(chosen[length - 1]);
  // A folder whose path leaves no room for the separator cannot be a texture directory.
  if (!endsInSeparator && length + 1 >= kPathUnits) return;
  WideCopy(options_.textureDirectory, kPathUnits, chosen);
  if (!endsInSeparator) WideAppend(options_.textureDirectory, kPathUnits, u"\\");
  view_.SetControlText(kControlTextureDirectory, options_.textureDirectory);
}

bool ImportDialog::PickAnimationFiles() {
  std::unique_ptr<char16_t[]> buffer(new (std::nothrow) char16_t[kFilePickerUnits]());
  if (!buffer) return false;
  size_t fileOffset = 0;
  const FilePickResult result = view_.PickFiles(buffer.get(), kFilePickerUnits, &fileOffset);
  if (result != FilePickResult::kChosen) {
    if (result == FilePickResult::kBufferTooSmall) {
      view_.ShowMessage(kFilePickerErrorText, kFilePickerErrorCaption, kWarningOkStyle);
    }
    return false;
  }
  char16_t* const text = buffer.get();
  const char16_t* const end = text + kFilePickerUnits;
  text[kFilePickerUnits - 1] = 0;  // every text below ends inside the buffer

  // Count the names: each terminator ends one, and a second terminator ends the list.
  int32_t names = 0;
  for (size_t i = fileOffset; i < kFilePickerUnits - 1; ++i) {
    if (text[i] != 0) continue;
    ++names;
    if (text[i + 1] == 0) break;
  }
  if (names == 0) return false;

  // The directory every name is joined to, ending in a separator unless it is empty.
  const size_t firstLength = LengthWithin(text, end);
  char16_t single[kPathUnits];
  const char16_t* directory = text;
  size_t directoryLength = firstLength;
  if (names == 1) {
    // One file: the first text is its full path.
    if (firstLength >= kPathUnits || !DirectoryOf(text, single)) return false;
    directory = single;
    directoryLength = WideLength(single);
  }
  const bool addSeparator = directoryLength > 0 && !IsSeparator(directory[directoryLength - 1]);
  const size_t prefixLength = directoryLength + (addSeparator ? 1 : 0);

  // Names whose joined path would not fit a path field are left out; the rest keep their order.
  const auto forEachName = [&](auto&& take) {
    const char16_t* name = text + fileOffset;
    for (int32_t k = 0; k < names && name < end; ++k) {
      const size_t length = LengthWithin(name, end);
      if (prefixLength + length < kPathUnits) take(name);
      name += length + 1;
    }
  };
  int32_t fitting = 0;
  forEachName([&](const char16_t*) { ++fitting; });
  if (fitting == 0) return false;

  List<WidePath>& files = store_.animationFiles;
  if (!files.Reset(fitting)) return false;
  int32_t k = 0;
  // Only names whose joined path fits get here, so the directory is shorter than a path field.
  forEachName([&](const char16_t* name) {
    char16_t* path = files[k++].path;
    for (size_t i = 0; i < directoryLength; ++i) path[i] = directory[i];
    path[directoryLength] = 0;
    if (addSeparator) WideAppend(path, kPathUnits, u"\\");
    WideAppend(path, kPathUnits, name);
  });
  view_.SetControlText(kControlAnimationFiles, AnimationText(store_));
  return true;
}

}  // namespace vexmara
