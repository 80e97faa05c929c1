// The materials stage: host materials in model order, the first texture slot's image, the
// alpha maps made through the host's images, and what a failing host call leaves behind.
#include <algorithm>

#include "scene_fixture.h"

namespace vexmara::scene_test {
namespace {

using host::Operation;
using writer::AppModel;

// One triangle using material "stone"; materials stone (texture id 7) and cloth (id 9).
AppModel TexturedModel() {
  AppModel model;
  model.geosets[0].submeshes.push_back(MakeFan("stone", 3));
  model.materials = {MakeMaterial("stone", {7}), MakeMaterial("cloth", {9})};
  return model;
}

std::u16string Slashes(std::u16string path) {
  std::replace(path.begin(), path.end(), u'\\', u'/');
  return path;
}

TEST_F(SceneBuild, TextureFoundOnlyAsTexFileIsHandedOverWithItsOwnPath) {
  WriteFile("rock.tex", TexFile(7));
  DialogScript script;
  script.extractAlphaMaps = 1;
  ASSERT_EQ(ReadAndImport(TexturedModel(), script), 1);
  const auto materials = host_->Materials();
  ASSERT_EQ(materials.size(), 2u);
  ASSERT_FALSE(materials[0].textureSlots.empty());
  EXPECT_EQ(materials[0].textureSlots[0].path, Path("rock.tex"));
  // The alpha map is still tried on the tex file itself.
  const auto loads = host_->CallsOf(Operation::LoadImage);
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].text, Path("rock.tex"));
}

TEST_F(SceneBuild, OnlyTheFirstTextureSlotOfAMaterialIsUsed) {
  WriteFile("rock.tex", TexFile(7));
  WriteFile("rock.dds", testing::DdsImage(2, 2));
  AppModel model = TexturedModel();
  model.materials = {MakeMaterial("stone", {9, 7})};  // slot 1 matches, slot 0 does not
  DialogScript script;
  script.extractAlphaMaps = 1;
  ASSERT_EQ(ReadAndImport(model, script), 1);
  ASSERT_EQ(host_->Materials().size(), 1u);
  EXPECT_TRUE(host_->Materials()[0].textureSlots.empty());
  EXPECT_EQ(host_->CallCount(Operation::GetTextureSlot), 0);
  EXPECT_EQ(host_->CallCount(Operation::LoadImage), 0);
}

TEST_F(SceneBuild, WithoutAlphaMapsNoImageIsLoaded) {
  WriteFile("rock.tex", TexFile(7));
  WriteFile("rock.dds", testing::DdsImage(2, 2));
  ASSERT_EQ(ReadAndImport(TexturedModel(), DialogScript{}), 1);
  const auto materials = host_->Materials();
  ASSERT_EQ(materials[0].textureSlots.size(), 1u);
  EXPECT_EQ(materials[0].textureSlots[0].path, Path("rock.dds"));
  EXPECT_EQ(host_->CallCount(Operation::LoadImage), 0);
  EXPECT_FALSE(std::filesystem::exists(directory_ / "rock_A.tga"));
}

TEST_F(SceneBuild, TextureFromAPickedFolderIsUsed) {
  WriteFile("textures/rock.tex", TexFile(7));
  WriteFile("textures/rock.bmp", {1});  // only its existence counts here
  DialogScript script;
  script.textureDirectory = Path("textures");
  ASSERT_EQ(ReadAndImport(TexturedModel(), script), 1);
  const auto materials = host_->Materials();
  ASSERT_EQ(materials[0].textureSlots.size(), 1u);
  EXPECT_EQ(Slashes(materials[0].textureSlots[0].path), Path("textures/rock.bmp"));
}

// Each way the alpha map can fail leaves slot 0 in place, adds no slot 1 and releases every image.
TEST_F(SceneBuild, FailedAlphaMapLeavesTheMaterialWithItsImageOnly) {
  struct Case {
    const char* name;
    Operation failing;  // failed on every call
    std::vector<uint8_t> ddsBytes;
    int loads, extracts, saves;
  };
  const Case cases[] = {
      {"image cannot be loaded", Operation::LoadImage, testing::DdsImage(2, 2), 1, 0, 0},
      {"image unusable", Operation::CheckImage, testing::DdsImage(2, 2), 1, 0, 0},
      {"no alpha image", Operation::ExtractAlphaImage, testing::DdsImage(2, 2), 1, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    host_->FailAlways(c.failing);
    WriteFile("rock.tex", TexFile(7));
    WriteFile("rock.dds", c.ddsBytes);
    DialogScript script;
    script.extractAlphaMaps = 1;
    ASSERT_EQ(ReadAndImport(TexturedModel(), script), 1);
    const auto materials = host_->Materials();
    ASSERT_EQ(materials[0].textureSlots.size(), 1u);
    EXPECT_EQ(materials[0].textureSlots[0].path, Path("rock.dds"));
    EXPECT_EQ(host_->CallCount(Operation::LoadImage), c.loads);
    EXPECT_EQ(host_->CallCount(Operation::ExtractAlphaImage), c.extracts);
    EXPECT_EQ(host_->CallCount(Operation::SaveImage), c.saves);
    EXPECT_EQ(host_->LiveImageCount(), 0);
    EXPECT_TRUE(host_->EveryImageReleasedOnce());
    EXPECT_TRUE(host_->Misuses().empty());
  }
}

TEST_F(SceneBuild, AlphaSlotIsFilledEvenWhenTheHostCannotSave) {
  WriteFile("rock.tex", TexFile(7));
  WriteFile("rock.dds", testing::DdsImage(2, 2));
  host_->FailAlways(Operation::SaveImage);
  DialogScript script;
  script.extractAlphaMaps = 1;
  ASSERT_EQ(ReadAndImport(TexturedModel(), script), 1);
  const auto slots = host_->Materials()[0].textureSlots;
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(slots[1].path, Path("rock_A.tga"));
  EXPECT_EQ(host_->CallCount(Operation::ReleaseImage), 2);
}

TEST_F(SceneBuild, TextureSlotRefusedByTheHostIsSkipped) {
  WriteFile("rock.tex", TexFile(7));
  WriteFile("rock.dds", testing::DdsImage(2, 2));
  host_->FailCall(Operation::GetTextureSlot, 1);
  DialogScript script;
  script.extractAlphaMaps = 1;
  ASSERT_EQ(ReadAndImport(TexturedModel(), script), 1);
  const auto materials = host_->Materials();
  ASSERT_EQ(materials.size(), 2u);
  ASSERT_EQ(materials[0].textureSlots.size(), 1u) << "only the alpha slot was given";
  EXPECT_EQ(materials[0].textureSlots[0].slotIndex, 1);
  EXPECT_EQ(materials[0].textureSlots[0].path, Path("rock_A.tga"));
  EXPECT_EQ(host_->Meshes().size(), 1u) << "the build went on";
}

TEST_F(SceneBuild, FailedMaterialEndsTheImportAndKeepsWhatWasMade) {
  WriteFile("rock.tex", TexFile(7));
  WriteFile("rock.dds", testing::DdsImage(2, 2));
  host_->FailCall(Operation::CreateMaterial, 2);
  ASSERT_EQ(ReadAndImport(TexturedModel(), DialogScript{}), 0);
  const auto materials = host_->Materials();
  ASSERT_EQ(materials.size(), 1u);
  EXPECT_EQ(materials[0].name, u"stone");
  ASSERT_EQ(materials[0].textureSlots.size(), 1u);
  EXPECT_EQ(materials[0].textureSlots[0].path, Path("rock.dds"));
  EXPECT_EQ(host_->CallCount(Operation::SetVertexCount), 0);
  EXPECT_EQ(host_->CallCount(Operation::NotifyMeshesDone), 0);
  // The store was emptied all the same.
  EXPECT_EQ(Import(DialogScript{}), 1);
  EXPECT_EQ(host_->CallCount(Operation::CreateMaterial), 2);
}

TEST_F(SceneBuild, MaterialsMakeTheModelDirectoryCurrent) {
  WriteFile("models/rock.tex", TexFile(7));
  ReadModel(TexturedModel(), "models");
  ASSERT_EQ(Import(DialogScript{}), 1);
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(directory_ / "models"));
}

// A path that does not fit the host's 259 characters is never shortened into another file's
// name: the texture, or its alpha map, is left out.
TEST_F(SceneBuild, TexturePathsTooLongForTheHostAreSkipped) {
  const size_t directoryLength = (directory_.u16string() + u"/").size();
  ASSERT_LT(directoryLength, 250u);
  struct Case {
    size_t pathLength;
    size_t slots;
    int loads;
  };
  // 259 characters fit, but the alpha map's name would be 261; 260 do not fit at all.
  for (const Case c : {Case{259, 1, 0}, Case{260, 0, 0}}) {
    SCOPED_TRACE(c.pathLength);
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    const std::string stem(c.pathLength - directoryLength - 4, 't');
    WriteFile(stem + ".tex", TexFile(7));
    WriteFile(stem + ".dds", {1});
    DialogScript script;
    script.extractAlphaMaps = 1;
    ASSERT_EQ(ReadAndImport(TexturedModel(), script), 1);
    const auto slots = host_->Materials()[0].textureSlots;
    ASSERT_EQ(slots.size(), c.slots);
    if (c.slots > 0) {
      EXPECT_EQ(slots[0].path, Path(stem + ".dds"));
      EXPECT_EQ(slots[0].path.size(), c.pathLength);
    }
    EXPECT_EQ(host_->CallCount(Operation::LoadImage), c.loads);
    std::filesystem::remove(directory_ / (stem + ".tex"));
    std::filesystem::remove(directory_ / (stem + ".dds"));
  }
}

TEST_F(SceneBuild, NarrowHalfOfALongNonAsciiPathStaysInsideItsField) {
  // A path of fewer than 259 UTF-16 units whose UTF-8 form is far longer than 259 bytes.
  const std::u16string accented(75, u'\u00e9');
  const std::filesystem::path folder = std::filesystem::path(accented) / accented;
  WriteFile(folder / "r.tex", TexFile(7));
  WriteFile(folder / "r.dds", {1});
  ReadModel(TexturedModel(), folder);
  ASSERT_EQ(Import(DialogScript{}), 1);
  const auto slots = host_->Materials()[0].textureSlots;
  ASSERT_EQ(slots.size(), 1u);
  const std::filesystem::path expected = directory_ / folder / "r.dds";
  EXPECT_EQ(slots[0].path, expected.u16string());
  EXPECT_LE(slots[0].narrowPath.size(), 259u);
  EXPECT_FALSE(slots[0].narrowPath.empty());
  EXPECT_EQ(expected.string().compare(0, slots[0].narrowPath.size(), slots[0].narrowPath), 0)
      << "the narrow half is the path's UTF-8 form, cut";
}

}  // namespace
}  // namespace vexmara::scene_test
