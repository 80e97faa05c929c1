#include "textures/texture_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "texture_scratch.h"

namespace vexmara {
namespace {

using testing::AddMaterial;
using testing::FoundNames;
using testing::TextureFolder;
using testing::Wide;

std::u16string SlotFile(const ModelStore& store, int32_t material, int32_t slot) {
  return store.materials[material].textureSlots[slot].fileName;
}
std::u16string SlotDirectory(const ModelStore& store, int32_t material, int32_t slot) {
  return store.materials[material].textureSlots[slot].directory;
}

TEST(TextureScan, ListsTexFilesOfAnyExtensionCaseWithTheirIdentifiers) {
  TextureFolder folder;
  folder.WriteTex("rock.tex", 7);
  folder.WriteTex("GRASS.TEX", 8);
  folder.WriteTex("Mixed.Tex", 9);
  folder.WriteTex("notes.tex.bak", 10);
  folder.WriteTex("readme.txt", 11);
  folder.WriteTex("tex", 12);                   // no extension at all
  folder.WriteTex("folder.tex/inner.tex", 13);  // a directory named like a tex file
  ModelStore store;

  ASSERT_TRUE(
      ScanTextureDirectory(store.textureFiles, store.materials, folder.Directory().c_str()));

  EXPECT_EQ(FoundNames(store),
            (std::vector<std::u16string>{u"GRASS.TEX", u"Mixed.Tex", u"rock.tex"}));
  const int32_t expectedIds[] = {8, 9, 7};
  for (int32_t i = 0; i < store.textureFiles.count; ++i) {
    EXPECT_EQ(store.textureFiles[i].textureId, expectedIds[i]) << i;
    EXPECT_EQ(std::u16string(store.textureFiles[i].directory), folder.Directory());
  }
}

// Links are followed to what they name: a link to a tex file is a tex file, a link to a folder
// is a folder, and a dangling link is a file that cannot be opened.
TEST(TextureScan, LinksCountAsWhatTheyName) {
  TextureFolder folder;
  folder.WriteTex("store/real.tex", 21);
  std::filesystem::create_directories(folder.path() / "store" / "inner.tex");
  std::filesystem::create_symlink(folder.path() / "store" / "real.tex",
                                  folder.path() / "linked.tex");
  std::filesystem::create_directory_symlink(folder.path() / "store" / "inner.tex",
                                            folder.path() / "dirlink.tex");
  std::filesystem::create_symlink(folder.path() / "store" / "missing.tex",
                                  folder.path() / "gone.tex");
  ModelStore store;

  ASSERT_TRUE(
      ScanTextureDirectory(store.textureFiles, store.materials, folder.Directory().c_str()));

  EXPECT_EQ(FoundNames(store), (std::vector<std::u16string>{u"linked.tex"}));
  ASSERT_EQ(store.textureFiles.count, 1);
  EXPECT_EQ(store.textureFiles[0].textureId, 21);
}

// The identifier is the little-endian int32 at bytes 16 to 19; a file too short to hold it,
// or one that cannot be read as a file, adds nothing.
TEST(TextureScan, ReadsTheIdentifierOnlyFromFilesLongEnoughToHoldIt) {
  struct Case {
    const char* name;
    size_t size;
    bool listed;
  };
  const Case cases[] = {
      {"empty.tex", 0, false},  {"four.tex", 4, false},     {"nineteen.tex", 19, false},
      {"twenty.tex", 20, true}, {"large.tex", 70000, true},
  };
  TextureFolder folder;
  for (const Case& c : cases)
    folder.WriteBytes(c.name, TextureFolder::TexBytes(int32_t(0x01020304), c.size));
  // Not regular files: a link to nothing, and a FIFO, which must not hold the scan up.
  ASSERT_EQ(symlink((folder.path() / "missing").c_str(), (folder.path() / "dangling.tex").c_str()),
            0);
  ASSERT_EQ(mkfifo((folder.path() / "pipe.tex").c_str(), 0600), 0);
  ModelStore store;

  ASSERT_TRUE(
      ScanTextureDirectory(store.textureFiles, store.materials, folder.Directory().c_str()));

  std::vector<std::u16string> expected;
  for (const Case& c : cases) {
    if (c.listed) expected.push_back(Wide(c.name));
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FoundNames(store), expected);
  for (const TextureRef& file : store.textureFiles) EXPECT_EQ(file.textureId, 0x01020304);
}

TEST(TextureScan, NegativeIdentifiersAreListedButNeverMatchASlot) {
  TextureFolder folder;
  folder.WriteTex("minus_one.tex", -1);
  folder.WriteTex("minus_seven.tex", -7);
  ModelStore store;
  AddMaterial(store, "m", {-1, -7});

  ASSERT_TRUE(
      ScanTextureDirectory(store.textureFiles, store.materials, folder.Directory().c_str()));

  ASSERT_EQ(store.textureFiles.count, 2);
  EXPECT_EQ(store.textureFiles[0].textureId, -1);
  EXPECT_EQ(FindTextureFileById(store.textureFiles, -1), -1);
  EXPECT_EQ(FindTextureFileById(store.textureFiles, -7), -1);
  EXPECT_EQ(SlotFile(store, 0, 0), u"");
  EXPECT_EQ(SlotFile(store, 0, 1), u"");
}

// Names come in the order NTFS keeps them: by their upper-case forms, ties by their bytes. Of
// two names equal without regard to case only the first is listed.
TEST(TextureScan, ListsInTheOrderOfUpperCaseNamesAndKeepsTheFirstOfEqualNames) {
  TextureFolder folder;
  const char* names[] = {"b.tex",       "a.tex",   "A.tex",  "_x.tex",
                         "Z.tex",       "a_b.tex", "aB.tex", "\xC3\x8A.tex" /* Ê */,
                         "\xC3\xA9.tex" /* é */};
  int32_t id = 100;
  for (const char* name : names) folder.WriteTex(name, id++);
  ModelStore store;

  ASSERT_TRUE(
      ScanTextureDirectory(store.textureFiles, store.materials, folder.Directory().c_str()));

  // '.' < 'B' < 'Z' < '_' < 'É' (é's upper case) < 'Ê', although by bytes Ê comes before é.
  EXPECT_EQ(FoundNames(store),
            (std::vector<std::u16string>{u"A.tex", u"aB.tex", u"a_b.tex", u"b.tex", u"Z.tex",
                                         u"_x.tex", u"\u00E9.tex", u"\u00CA.tex"}));
  EXPECT_EQ(store.textureFiles[0].textureId, 102);  // A.tex, not a.tex
}

TEST(TextureScan, FirstFileInOrderWinsForADuplicatedIdentifier) {
  TextureFolder folder;
  folder.WriteTex("b_second.tex", 5);
  folder.WriteTex("a_first.tex", 5);
  folder.WriteTex("c_other.tex", 6);
  ModelStore store;
  AddMaterial(store, "one", {5});
  AddMaterial(store, "two", {6, 5});

  ASSERT_TRUE(
      ScanTextureDirectory(store.textureFiles, store.materials, folder.Directory().c_str()));

  EXPECT_EQ(FindTextureFileById(store.textureFiles, 5), 0);
  EXPECT_EQ(SlotFile(store, 0, 0), u"a_first.tex");
  EXPECT_EQ(SlotFile(store, 1, 0), u"c_other.tex");
  EXPECT_EQ(SlotFile(store, 1, 1), u"a_first.tex");
  EXPECT_EQ(SlotDirectory(store, 1, 1), folder.Directory());
}

// Many files sharing identifiers: every slot still gets the first file of its identifier, as a
// walk over the list would find it.
TEST(TextureScan, ManyFilesMatchTheirSlotsLikeAWalkOverTheList) {
  TextureFolder folder;
  constexpr int kFiles = 1500;
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "t%05d.tex", i);
    folder.WriteTex(name, (i * 7919) % 400);
  }
  ModelStore store;
  std::vector<int32_t> ids;
  for (int32_t id = -2; id < 410; ++id) ids.push_back(id);
  AddMaterial(store, "all", ids);

  ASSERT_TRUE(
      ScanTextureDirectory(store.textureFiles, store.materials, folder.Directory().c_str()));

  ASSERT_EQ(store.textureFiles.count, kFiles);
  for (int32_t k = 0; k < int32_t(ids.size()); ++k) {
    int32_t first = -1;
    for (int32_t i = 0; i < store.textureFiles.count && ids[k] >= 0; ++i) {
      if (store.textureFiles[i].textureId == ids[k]) {
        first = i;
        break;
      }
    }
    EXPECT_EQ(FindTextureFileById(store.textureFiles, ids[k]), first) << ids[k];
    const std::u16string expected = first < 0 ? u"" : store.textureFiles[first].fileName;
    EXPECT_EQ(SlotFile(store, 0, k), expected) << ids[k];
  }
}

TEST(TextureScan, UnmatchedSlotsAndMaterialsWithoutSlotsAreLeftAlone) {
  TextureFolder folder;
  folder.WriteTex("stone.tex", 1);
  ModelStore store;
  AddMaterial(store, "bare", {});
  AddMaterial(store, "m", {2, 1});
  TextureRef& unmatched = store.materials[1].textureSlots[0];
  WideCopy(unmatched.fileName, kPathUnits, u"earlier.tex");
  WideCopy(unmatched.directory, kPathUnits, u"D:\\old\\");

  ASSERT_TRUE(
      ScanTextureDirectory(store.textureFiles, store.materials, folder.Directory().c_str()));

  EXPECT_TRUE(store.materials[0].textureSlots.empty());
  EXPECT_EQ(SlotFile(store, 1, 0), u"earlier.tex");
  EXPECT_EQ(SlotDirectory(store, 1, 0), u"D:\\old\\");
  EXPECT_EQ(SlotFile(store, 1, 1), u"stone.tex");
}

TEST(TextureScan, RescanOfAnotherDirectoryKeepsEarlierMatches) {
  TextureFolder a("_a");
  TextureFolder b("_b");
  a.WriteTex("from_a.tex", 3);
  b.WriteTex("from_b.tex", 4);
  ModelStore store;
  AddMaterial(store, "m", {3, 4});

  ASSERT_TRUE(ScanTextureDirectory(store.textureFiles, store.materials, a.Directory().c_str()));
  ASSERT_TRUE(ScanTextureDirectory(store.textureFiles, store.materials, b.Directory().c_str()));

  EXPECT_EQ(FoundNames(store), std::vector<std::u16string>{u"from_b.tex"});
  EXPECT_EQ(SlotFile(store, 0, 0), u"from_a.tex");
  EXPECT_EQ(SlotDirectory(store, 0, 0), a.Directory());
  EXPECT_EQ(SlotFile(store, 0, 1), u"from_b.tex");
}

TEST(TextureScan, DirectoryThatCannotBeSearchedEmptiesTheListAndLeavesSlots) {
  TextureFolder folder;
  folder.WriteTex("x.tex", 1);
  const std::u16string missing = folder.Directory() + u"missing\\";
  const std::u16string overlong = folder.Directory() + std::u16string(300, u'd') + u"\\";
  const char16_t* directories[] = {nullptr, missing.c_str(), overlong.c_str()};
  for (const char16_t* directory : directories) {
    ModelStore store;
    AddMaterial(store, "m", {1});
    ASSERT_TRUE(
        ScanTextureDirectory(store.textureFiles, store.materials, folder.Directory().c_str()));
    WideCopy(store.materials[0].textureSlots[0].fileName, kPathUnits, u"kept.tex");

    EXPECT_FALSE(ScanTextureDirectory(store.textureFiles, store.materials, directory));
    EXPECT_TRUE(store.textureFiles.empty());
    EXPECT_EQ(store.textureFiles.count, 0);
    EXPECT_EQ(SlotFile(store, 0, 0), u"kept.tex");
  }
}

// Directories written with either separator, or none at all (the current directory, where the
// file paths are the bare names).
TEST(TextureScan, DirectoryFormsAllReachTheSameFiles) {
  TextureFolder folder;
  folder.WriteTex("w.tex", 42);
  std::u16string backslashed = folder.path().u16string();
  for (char16_t& c : backslashed) {
    if (c == u'/') c = u'\\';
  }
  backslashed += u"\\";
  testing::CurrentDirectoryScope inFolder(folder.path());
  const std::u16string directories[] = {folder.Directory(), backslashed, u""};
  for (const std::u16string& directory : directories) {
    ModelStore store;
    AddMaterial(store, "m", {42});
    EXPECT_TRUE(ScanTextureDirectory(store.textureFiles, store.materials, directory.c_str()));
    EXPECT_EQ(FoundNames(store), std::vector<std::u16string>{u"w.tex"});
    EXPECT_EQ(SlotDirectory(store, 0, 0), directory);
  }
}

// A file whose directory and name together exceed 259 characters is left out, not cut.
TEST(TextureScan, FilesWhosePathWouldNotFitAreSkipped) {
  TextureFolder folder;
  std::filesystem::path deep = folder.path();
  while (deep.u16string().size() < 200) deep /= std::string(40, 'd');
  const std::u16string directory = (deep / "").u16string();
  const size_t room = 259 - directory.size();  // name length that just fits
  const std::string fits = std::string(room - 4, 'f') + ".tex";
  const std::string over = std::string(room - 3, 'o') + ".tex";
  std::filesystem::create_directories(deep);
  folder.WriteTex(std::filesystem::relative(deep / fits, folder.path()), 1);
  folder.WriteTex(std::filesystem::relative(deep / over, folder.path()), 2);
  // What a cut path would name instead: the over-long name less its last character.
  folder.WriteTex(std::filesystem::relative(deep / over.substr(0, over.size() - 1), folder.path()),
                  3);
  ModelStore store;
  AddMaterial(store, "m", {1, 2, 3});

  ASSERT_TRUE(ScanTextureDirectory(store.textureFiles, store.materials, directory.c_str()));

  EXPECT_EQ(FoundNames(store), std::vector<std::u16string>{Wide(fits)});
  EXPECT_EQ((SlotDirectory(store, 0, 0) + SlotFile(store, 0, 0)).size(), 259u);
  EXPECT_EQ(SlotFile(store, 0, 1), u"");
  EXPECT_EQ(SlotFile(store, 0, 2), u"");
}

TEST(TextureScan, LookupsOnAListWithoutEntries) {
  ModelStore store;
  AddMaterial(store, "m", {0});
  EXPECT_EQ(FindTextureFileById(store.textureFiles, 0), -1);
  AssignTextureSlots(store.textureFiles, store.materials);  // nothing to match against
  EXPECT_EQ(SlotFile(store, 0, 0), u"");
}

// "dds" is looked for first, then "tga", then "bmp"; without any, the path keeps its tex name.
TEST(ConvertedImage, FirstExistingOfDdsTgaBmpReplacesTheExtension) {
  struct Case {
    std::vector<const char*> present;
    const char* expected;  // null: not found
  };
  const Case cases[] = {
      {{"rock.dds", "rock.tga", "rock.bmp"}, "rock.dds"},
      {{"rock.tga", "rock.bmp"}, "rock.tga"},
      {{"rock.bmp"}, "rock.bmp"},
      {{"ROCK.DDS", "other.dds", "rock.dds.bak"}, nullptr},  // names compare exactly here
      {{}, nullptr},
  };
  for (const Case& c : cases) {
    TextureFolder folder;
    for (const char* name : c.present) folder.Touch(name);
    const std::u16string tex = folder.Directory() + u"rock.tex";
    char16_t path[kPathUnits];
    WideCopy(path, kPathUnits, tex.c_str());

    const bool found = FindConvertedImage(path);

    EXPECT_EQ(found, c.expected != nullptr);
    EXPECT_EQ(std::u16string(path), c.expected ? folder.Directory() + Wide(c.expected) : tex);
  }
}

TEST(ConvertedImage, DirectoriesDoNotCountAsImages) {
  TextureFolder folder;
  std::filesystem::create_directories(folder.path() / "rock.dds");
  folder.Touch("rock.bmp");
  const std::u16string tex = folder.Directory() + u"rock.tex";
  char16_t path[kPathUnits];
  WideCopy(path, kPathUnits, tex.c_str());
  EXPECT_TRUE(FindConvertedImage(path));
  EXPECT_EQ(std::u16string(path), folder.Directory() + u"rock.bmp");
}

TEST(ConvertedImage, ShortOrMissingPathsAreLeftUnchanged) {
  TextureFolder folder;
  testing::CurrentDirectoryScope inFolder(folder.path());
  folder.Touch("dds");
  char16_t path[kPathUnits];
  WideCopy(path, kPathUnits, u"tex");  // 3 characters: never rewritten, even though "dds" exists
  EXPECT_FALSE(FindConvertedImage(path));
  EXPECT_EQ(std::u16string(path), u"tex");
  EXPECT_FALSE(FindConvertedImage(nullptr));
}

}  // namespace
}  // namespace vexmara
