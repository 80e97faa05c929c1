#include "textures/texture_files.h"

#include "abi/text.h"
#include "model/first_index_table.h"
#include "platform/platform.h"

namespace vexmara {
namespace {

// The text after the last "." of a file name, or an empty text when it has none.
const char16_t* GetExtension(const char16_t* name) {
  const char16_t* extension = u"";
  for (const char16_t* p = name; *p != 0; ++p) {
    if (*p == u'\\' || *p == u'/')
      extension = u"";
    else if (*p == u'.')
      extension = p + 1;
  }
  return extension;
}

// Names are equal when they compare equal without regard to case, so their hash folds case
// the way that comparison does (ASCII letters only).
uint64_t NameHash(const char16_t* name) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (const char16_t* p = name; *p != 0; ++p) {
    const char16_t c = (*p >= u'A' && *p <= u'Z') ? char16_t(*p - u'A' + u'a') : *p;
    h = (h ^ c) * 0x100000001B3ull;
  }
  return MixHash(h);
}

uint64_t IdHash(int32_t textureId) { return MixHash(uint32_t(textureId)); }

// A tex file names its texture by the little-endian int32 at byte 16; nothing else of it is
// read. A file shorter than 20 bytes has no identifier.
constexpr uint64_t kIdOffset = 16;

bool ReadTextureId(const char16_t* path, int32_t* textureId) {
  platform::ReadOnlyFile file;
  if (!file.Open(path)) return false;
  unsigned char bytes[4];
  if (file.size() < kIdOffset + sizeof bytes || !file.ReadAt(kIdOffset, bytes, sizeof bytes))
    return false;
  *textureId = int32_t(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                       uint32_t(bytes[3]) << 24);
  return true;
}

// Adds one found-texture entry per tex file of a listing, in listing order. A name already in
// the list (compared without regard to case) adds nothing; the names seen are indexed so that
// the test costs the same however long the list grows.
class TextureScan final : public platform::DirectoryVisitor {
 public:
  TextureScan(List<TextureRef>& files, const char16_t* directory)
      : files_(files), directory_(directory) {}

  bool failed() const { return failed_; }

  bool Visit(const char16_t* name, bool isDirectory) override {
    if (isDirectory) return true;
    if (platform::CompareNoCaseWide(GetExtension(name), u"tex") != 0) return true;
    // The directory always ends in a separator, so the file's path is the two texts joined.
    // A path that would not fit a path field is left out rather than cut.
    char16_t path[kPathUnits];
    if (!JoinPath(path, directory_, name)) return true;

    int32_t textureId = 0;
    if (!ReadTextureId(path, &textureId)) return true;

    List<TextureRef>& files = files_;
    const uint64_t hash = NameHash(name);
    const auto sameName = [&](int32_t i) {
      return platform::CompareNoCaseWide(files[i].fileName, name) == 0;
    };
    if (names_.Find(hash, sameName) >= 0) return true;
    TextureRef* entry = files.Append();
    if (entry == nullptr || !names_.Insert(hash, files.count - 1)) {
      failed_ = true;
      return false;
    }
    WideCopy(entry->fileName, kPathUnits, name);
    WideCopy(entry->directory, kPathUnits, directory_);
    entry->textureId = textureId;
    return true;
  }

 private:
  List<TextureRef>& files_;
  const char16_t* directory_;
  FirstIndexTable names_;
  bool failed_ = false;
};

}  // namespace

bool ScanTextureDirectory(List<TextureRef>& textureFiles, List<Material>& materials,
                          const char16_t* directory) {
  textureFiles.Free();
  if (directory == nullptr) return false;
  // Only a terminated path-field text can name the directory of a path field.
  if (WideLength(directory, kPathUnits) >= kPathUnits) return false;
  TextureScan scan(textureFiles, directory);
  if (!platform::ListDirectory(directory, scan)) return false;
  if (scan.failed()) {
    // Out of memory part-way: no half list; the slots keep what they held.
    textureFiles.Free();
    return false;
  }
  AssignTextureSlots(textureFiles, materials);
  return true;
}

void AssignTextureSlots(const List<TextureRef>& textureFiles, List<Material>& materials) {
  if (materials.empty() || textureFiles.empty()) return;

  // Every slot asks for the first file of its identifier (FindTextureFileById's answer) in
  // constant time, instead of a walk over the files for each.
  const FirstIndexLookup firstOfId(
      textureFiles.count, [&](int32_t i) { return textureFiles[i].textureId; }, IdHash,
      [](int32_t a, int32_t b) { return a == b; });
  for (Material& material : materials) {
    for (TextureRef& slot : material.textureSlots) {
      // A negative identifier never matches.
      const int32_t found = slot.textureId >= 0 ? firstOfId.Find(slot.textureId) : -1;
      if (found < 0) continue;
      WideCopy(slot.fileName, kPathUnits, textureFiles[found].fileName);
      WideCopy(slot.directory, kPathUnits, textureFiles[found].directory);
    }
  }
}

int32_t FindTextureFileById(const List<TextureRef>& textureFiles, int32_t textureId) {
  if (textureId < 0 || textureFiles.empty()) return -1;
  for (int32_t i = 0; i < textureFiles.count; ++i) {
    if (textureFiles[i].textureId == textureId) return i;
  }
  return -1;
}

bool FindConvertedImage(char16_t* path) {
  if (path == nullptr) return false;
  const size_t length = WideLength(path, kPathUnits);
  if (length >= kPathUnits || length <= 3) return false;
  char16_t candidate[kPathUnits];
  WideCopy(candidate, kPathUnits, path);
  static const char16_t* const kExtensions[] = {u"dds", u"tga", u"bmp"};
  for (const char16_t* extension : kExtensions) {
    for (size_t k = 0; k < 3; ++k) candidate[length - 3 + k] = extension[k];
    if (platform::FileExists(candidate)) {
      WideCopy(path, kPathUnits, candidate);
      return true;
    }
  }
  return false;
}

}  // namespace vexmara
