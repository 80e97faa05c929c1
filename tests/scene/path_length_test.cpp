// Every path the plug-in builds, at 259 UTF-16 units and at 260: the first is taken, the second
// skipped and never cut, since a shortened path would name another file. Where a cut path would
// name a file the plug-in could use, one is there, so that a cut shows as that file being used.
#include <dlfcn.h>

#include <cstring>
#include <string>

#include "scene_fixture.h"

namespace vexmara::scene_test {
namespace {

using writer::AniFile;
using writer::AniTrack;
using writer::AppModel;

constexpr int32_t kControlTextureDirectory = 4001;
constexpr char16_t kCannotOpen[] = u"Could not open file for reading.";

// A path of exactly `units` units under `folder` whose name ends in `suffix`, through folders
// of 200 characters where one name would be too long.
std::filesystem::path PathOfUnits(std::filesystem::path folder, size_t units,
                                  const std::string& suffix) {
  while (folder.u16string().size() + 1 + 200 + suffix.size() < units)
    folder /= std::string(200, 'd');
  const size_t name = units - folder.u16string().size() - 1;
  return folder / (std::string(name - suffix.size(), 'n') + suffix);
}

// The same path less its last unit: what a cut to 259 units would name.
std::filesystem::path CutToOneUnitLess(const std::filesystem::path& path) {
  std::u16string text = path.u16string();
  text.pop_back();
  return std::filesystem::path(text);
}

AppModel OneBoneModel() {
  AppModel model;
  model.bones = {MakeBone("arm", -1, {0, 0, 0})};
  return model;
}

// One material, "stone", whose texture has the id 7.
AppModel OneMaterialModel() {
  AppModel model;
  model.geosets[0].submeshes.push_back(MakeFan("stone", 3));
  model.materials = {MakeMaterial("stone", {7})};
  return model;
}

AniFile ArmAnimation() {
  AniFile file;
  file.name = "reach";
  AniTrack arm;
  arm.boneName = "arm";
  arm.translationKeys = {{0, 1, 0, 0}};
  file.tracks = {arm};
  return file;
}

enum class Built {
  kModelPath,
  kTextureDirectory,
  kTexturePath,
  kAlphaMapName,
  kAnimationFile,
  kOneOfTwoAnimationFiles
};

struct PathCase {
  const char* what;
  Built path;
  size_t units;
  bool taken;
};

const PathCase kPaths[] = {
    {"model path", Built::kModelPath, 259, true},
    {"model path", Built::kModelPath, 260, false},
    {"texture directory with its separator", Built::kTextureDirectory, 259, true},
    {"texture directory with its separator", Built::kTextureDirectory, 260, false},
    {"texture path, directory and name", Built::kTexturePath, 259, true},
    {"texture path, directory and name", Built::kTexturePath, 260, false},
    {"alpha-map name", Built::kAlphaMapName, 259, true},
    {"alpha-map name", Built::kAlphaMapName, 260, false},
    {"picked animation file", Built::kAnimationFile, 259, true},
    {"picked animation file", Built::kAnimationFile, 260, false},
    {"one of two picked animation files", Built::kOneOfTwoAnimationFiles, 259, true},
    {"one of two picked animation files", Built::kOneOfTwoAnimationFiles, 260, false},
};

class PathLengths : public SceneBuild {
 protected:
  // Whether the plug-in took the path of this kind and length, built in `folder`; what it took
  // must then be the whole path.
  bool Taken(Built path, size_t units, const std::filesystem::path& folder) {
    switch (path) {
      case Built::kModelPath:
        return ModelPathTaken(units, folder);
      case Built::kTextureDirectory:
        return TextureDirectoryTaken(units, folder);
      case Built::kTexturePath:
        return TexturePathTaken(units, folder);
      case Built::kAlphaMapName:
        return AlphaMapNameTaken(units, folder);
      case Built::kAnimationFile:
        return AnimationFilesTaken(units, folder, false);
      case Built::kOneOfTwoAnimationFiles:
        return AnimationFilesTaken(units, folder, true);
    }
    return false;
  }

  // The host's path field holds the whole path; at 260 units it has no terminator, and its first
  // 259 units name a model file.
  bool ModelPathTaken(size_t units, const std::filesystem::path& folder) {
    const std::filesystem::path model = PathOfUnits(folder, 259, ".app");
    WriteFile(model, writer::WriteAppFile(OneBoneModel()));
    std::u16string field = model.u16string();
    if (units == 260) field += u'x';
    host::DualString& path = host_->Context().file.path;
    std::memset(&path, 0, sizeof path);
    std::copy(field.begin(), field.end(), path.wide);
    const bool read = host_->Read() == 1;
    EXPECT_EQ(host_->ErrorTextWide(), read ? u"" : kCannotOpen);
    return read;
  }

  // The folder picker gives a folder without a separator, which the dialog appends.
  bool TextureDirectoryTaken(size_t units, const std::filesystem::path& folder) {
    ReadModel(OneMaterialModel(), folder.filename());
    const std::u16string picked = PathOfUnits(folder, units - 1, "").u16string();
    DialogScript script;
    script.textureDirectory = picked;
    EXPECT_EQ(Import(script), 1);
    const std::u16string shown = DialogText(kControlTextureDirectory);
    EXPECT_NE(shown, picked) << "the directory was cut before its separator";
    return shown == picked + u"\\";
  }

  bool TexturePathTaken(size_t units, const std::filesystem::path& folder) {
    ReadModel(OneMaterialModel(), folder.filename());
    const std::filesystem::path textures = folder / "textures";
    const std::u16string directory = textures.u16string() + u"\\";
    const std::filesystem::path tex = PathOfUnits(textures, units, ".tex");
    WriteFile(tex, TexFile(7));
    // Cut to 259 units the name ends in ".te": no tex file of the listing, but one a cut path
    // would read the identifier from.
    if (units == 260) WriteFile(CutToOneUnitLess(tex), TexFile(7));
    DialogScript script;
    script.textureDirectory = textures.u16string();
    EXPECT_EQ(Import(script), 1);
    const auto slots = host_->Materials()[0].textureSlots;
    if (slots.empty()) return false;
    EXPECT_EQ(slots[0].path, directory + tex.filename().u16string());
    return true;
  }

  // The alpha map of "stem.dds" is "stem_A.tga", two units longer than the texture's path.
  bool AlphaMapNameTaken(size_t units, const std::filesystem::path& folder) {
    host_->SetImageLoadPolicy(host::ImageLoadPolicy::WhenFileExists);
    ReadModel(OneMaterialModel(), folder.filename());
    const std::filesystem::path textures = folder / "textures";
    const std::filesystem::path dds = PathOfUnits(textures, units - 2, ".dds");
    const std::u16string alphaMap =
        textures.u16string() + u"\\" + dds.stem().u16string() + u"_A.tga";
    WriteFile(dds, {1});
    std::filesystem::path tex = dds;
    WriteFile(tex.replace_extension(".tex"), TexFile(7));
    DialogScript script;
    script.textureDirectory = textures.u16string();
    script.extractAlphaMaps = 1;
    EXPECT_EQ(Import(script), 1);
    const auto slots = host_->Materials()[0].textureSlots;
    EXPECT_FALSE(slots.empty()) << "the texture itself fits";
    const auto& saved = host_->SavedImages();
    if (saved.empty()) {
      EXPECT_EQ(slots.size(), 1u) << "no alpha-map slot without an alpha map";
      return false;
    }
    EXPECT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].path, alphaMap);
    EXPECT_EQ(slots.size(), 2u);
    return true;
  }

  // One picked file is handed over as its full path; two as their folder and their names.
  bool AnimationFilesTaken(size_t units, const std::filesystem::path& folder, bool withAnother) {
    ReadModel(OneBoneModel(), folder.filename());
    const std::filesystem::path animation = PathOfUnits(folder / "anims", units, ".ani");
    WriteAnimation(animation.string(), ArmAnimation());
    if (units == 260) WriteAnimation(CutToOneUnitLess(animation).string(), ArmAnimation());
    DialogScript script;
    if (withAnother) {
      const std::filesystem::path other = animation.parent_path() / "other.ani";
      WriteAnimation(other.string(), ArmAnimation());
      script.animationFiles.push_back(other.u16string());
    }
    script.animationFiles.push_back(animation.u16string());
    EXPECT_EQ(Import(script), 1);
    const size_t read = host_->Animations().size() - (withAnother ? 1 : 0);
    EXPECT_LE(read, 1u);
    return read == 1;
  }

  // The last dialog's text of a control, through the library's export of it.
  std::u16string DialogText(int32_t control) {
    using GetDialogText = int32_t (*)(int32_t, uint16_t*, int32_t);
    const auto get = reinterpret_cast<GetDialogText>(dlsym(library_.Instance(), "GetDialogText"));
    EXPECT_NE(get, nullptr);
    if (get == nullptr) return {};
    uint16_t text[300] = {};
    get(control, text, 300);
    return std::u16string(reinterpret_cast<const char16_t*>(text));
  }
};

TEST_F(PathLengths, TakenAt259UnitsSkippedAndNeverCutAt260) {
  int row = 0;
  for (const PathCase& c : kPaths) {
    SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(c.units) + " units");
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    host_->SetSaveImageWritesFiles(true);
    // The texture directory carries over to the next dialog, which scans it on opening: the
    // row before leaves nothing there to be found.
    const std::filesystem::path folder = directory_ / ("row" + std::to_string(row++));
    EXPECT_EQ(Taken(c.path, c.units, folder), c.taken);
    std::filesystem::remove_all(folder);
  }
}

}  // namespace
}  // namespace vexmara::scene_test
