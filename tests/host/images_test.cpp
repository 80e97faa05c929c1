// The host's images as the plug-in uses them: loading a file by path into pixels, checking it,
// deriving the alpha map, saving it as TGA, and the accounting of releases.
#include <gtest/gtest.h>
#include <squish.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "host/host.h"
#include "host/scene_json.h"
#include "tests/host/host_test_support.h"
#include "tests/host/image_files.h"

namespace vexmara::host {
namespace {

using testing::Bytes;
using testing::CallSlot;
using testing::Dual;
using testing::MakeImage;
using testing::Pixel;
using testing::PixelAt;

// Alpha falls from left to right and from top to bottom, so each pixel's alpha is its own.
Pixel Shaded(int x, int y) {
  return Pixel{std::uint8_t(10 * x), std::uint8_t(20 * y), 99, std::uint8_t(250 - 16 * x - 50 * y)};
}

class ImagesTest : public ::testing::Test {
 protected:
  void* Load(const std::filesystem::path& path) { return Load(path.string()); }
  void* Load(const std::string& path) {
    const DualString text = Dual(path);
    info_.tag = -1;
    return CallSlot<void*>(&host_.Context(), 142, &text, &info_, 2);
  }
  void* Extract(void* image) { return CallSlot<void*>(&host_.Context(), 144, image); }
  std::int32_t Save(const std::string& path, void* image) {
    const DualString text = Dual(path);
    return CallSlot<std::int32_t>(&host_.Context(), 143, &text, image, &info_, 0);
  }
  std::int32_t Check(void* image) { return CallSlot<std::int32_t>(image, 4); }
  void Release(void* image) { CallSlot<void>(&host_.Context(), 146, image); }
  static int IndexOf(void* image) { return static_cast<HostImage*>(image)->index; }

  // A decodable TGA file and a DDS file that is not one.
  std::filesystem::path WriteTga(const std::string& name, const DecodedImage& image) {
    return folder_.Write(name, testing::EncodeWithStb(testing::StbFormat::Tga, image));
  }
  std::filesystem::path WriteJunk(const std::string& name) {
    return folder_.Write(name, {'D', 'D', 'S', ' '});
  }

  Host host_;
  HostFileInfo info_{};
  testing::TempFolder folder_{"images"};
};

TEST_F(ImagesTest, LoadHoldsTheDecodedPixels) {
  const DecodedImage tga = MakeImage(5, 3, Shaded);
  const DecodedImage dds = MakeImage(4, 4, [](int x, int y) {
    return Pixel{255, 0, 0, std::uint8_t(x < 2 && y < 2 ? 255 : 0)};
  });
  void* fromTga = Load(WriteTga("rock.tga", tga));
  void* fromDds = Load(folder_.Write("rock.dds", testing::BlockCompressedDds(dds, squish::kDxt1)));
  ASSERT_NE(fromTga, nullptr);
  ASSERT_NE(fromDds, nullptr);
  const DecodedImage* pixels = host_.ImagePixels(IndexOf(fromTga));
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels->rgba, tga.rgba);
  ASSERT_NE(host_.ImagePixels(IndexOf(fromDds)), nullptr);
  EXPECT_EQ(PixelAt(*host_.ImagePixels(IndexOf(fromDds)), 3, 3), (Pixel{0, 0, 0, 0}));
  EXPECT_EQ(host_.ImagePixels(7), nullptr);
  EXPECT_EQ(host_.ImagePixels(-1), nullptr);

  const auto images = host_.Images();
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0].width, 5);
  EXPECT_EQ(images[0].height, 3);
  EXPECT_TRUE(images[0].decoded);
  EXPECT_EQ(images[0].origin, ImageOrigin::Loaded);
  EXPECT_EQ(images[0].record, fromTga);
  EXPECT_EQ(images[0].path, (folder_.Path() / "rock.tga").u16string());
  const auto calls = host_.CallsOf(Operation::LoadImage);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].fileTag, -1);
  EXPECT_EQ(calls[0].integers[0], 2);
  EXPECT_EQ(calls[1].result, fromDds);
  EXPECT_EQ(Check(fromTga), 0);
  Release(fromTga);
  Release(fromDds);
}

// What each policy gives for a file that decodes, one that exists but does not, and a path that
// names nothing (or a folder).
TEST_F(ImagesTest, LoadPolicyDecidesWhatAnUndecodablePathGives) {
  const auto good = WriteTga("good.tga", MakeImage(2, 2, Shaded)).string();
  const auto junk = WriteJunk("junk.dds").string();
  const auto missing = (folder_.Path() / "missing.dds").string();
  const auto folder = folder_.Path().string();
  enum Gives { Null, Decoded, Placeholder };
  const struct {
    ImageLoadPolicy policy;
    Gives good, junk, missing, folder;
  } cases[] = {
      {ImageLoadPolicy::WhenDecodable, Decoded, Null, Null, Null},
      {ImageLoadPolicy::WhenFileExists, Decoded, Placeholder, Null, Null},
      {ImageLoadPolicy::Always, Decoded, Placeholder, Placeholder, Placeholder},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.policy));
    host_.SetImageLoadPolicy(c.policy);
    for (const auto& [path, gives] : {std::pair{good, c.good}, std::pair{junk, c.junk},
                                      std::pair{missing, c.missing}, std::pair{folder, c.folder}}) {
      SCOPED_TRACE(path);
      void* image = Load(path);
      ASSERT_EQ(image != nullptr, gives != Null);
      if (image == nullptr) {
        continue;
      }
      const ImageInfo info = host_.Images().back();
      EXPECT_EQ(info.decoded, gives == Decoded);
      const DecodedImage* pixels = host_.ImagePixels(info.index);
      ASSERT_NE(pixels, nullptr);
      if (gives == Placeholder) {
        EXPECT_EQ(pixels->width, 1);
        EXPECT_EQ(pixels->rgba, (Bytes{kPlaceholderGrey, kPlaceholderGrey, kPlaceholderGrey, 255}));
      } else {
        EXPECT_EQ(pixels->width, 2);
      }
      EXPECT_EQ(Check(image), 0) << "a placeholder is usable too";
      Release(image);
    }
  }
  EXPECT_EQ(host_.LiveImageCount(), 0);
}

TEST_F(ImagesTest, BackslashSeparatedPathFindsTheFile) {
  std::string path = WriteTga("rock.tga", MakeImage(1, 1, Shaded)).string();
  std::replace(path.begin(), path.end(), '/', '\\');
  void* image = Load(path);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(host_.Images()[0].path, std::u16string(path.begin(), path.end())) << "kept as given";
  Release(image);
}

TEST_F(ImagesTest, AlphaMapIsTheSourceAlphaAsOpaqueGrey) {
  const DecodedImage source = MakeImage(4, 3, Shaded);
  void* image = Load(WriteTga("rock.tga", source));
  void* alpha = Extract(image);
  ASSERT_NE(alpha, nullptr);
  EXPECT_NE(alpha, image);
  const DecodedImage* map = host_.ImagePixels(IndexOf(alpha));
  ASSERT_NE(map, nullptr);
  ASSERT_EQ(map->width, 4);
  ASSERT_EQ(map->height, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const std::uint8_t a = Shaded(x, y)[3];
      EXPECT_EQ(PixelAt(*map, x, y), (Pixel{a, a, a, 255})) << x << ", " << y;
    }
  }
  EXPECT_EQ(host_.ImagePixels(IndexOf(image))->rgba, source.rgba) << "the source is unchanged";

  const auto images = host_.Images();
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[1].origin, ImageOrigin::Extracted);
  EXPECT_EQ(images[1].sourceImage, 0);
  EXPECT_EQ(images[1].path, images[0].path);
  EXPECT_TRUE(images[1].decoded);
  EXPECT_EQ(Check(alpha), 0);
  Release(alpha);
  Release(image);
}

// The plug-in's sequence: load, check, extract, save as "_A.tga" with the load's file record,
// release both. The file written is a TGA of the alpha map.
TEST_F(ImagesTest, SavedAlphaMapReadsBackAsTga) {
  const DecodedImage source = MakeImage(6, 2, Shaded);
  void* image = Load(WriteTga("rock.tga", source));
  ASSERT_EQ(Check(image), 0);
  void* alpha = Extract(image);
  std::string target = (folder_.Path() / "rock_A.tga").string();
  std::replace(target.begin(), target.end(), '/', '\\');  // as a Windows path would be given
  EXPECT_EQ(Save(target, alpha), 1);

  DecodedImage written;
  ASSERT_TRUE(DecodeImageFile((folder_.Path() / "rock_A.tga").u16string(), &written));
  EXPECT_EQ(written.rgba, host_.ImagePixels(IndexOf(alpha))->rgba);
  EXPECT_EQ(testing::ReadBytes(folder_.Path() / "rock_A.tga").at(2) & 7, 2) << "a true-colour TGA";

  const auto& saved = host_.SavedImages();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].narrowPath, target);
  EXPECT_EQ(saved[0].image, IndexOf(alpha));
  EXPECT_EQ(saved[0].fileTag, -1);
  EXPECT_EQ(saved[0].argument, 0);
  EXPECT_TRUE(saved[0].written);
  EXPECT_EQ(host_.CallsOf(Operation::SaveImage)[0].fileInfo, &info_);
  Release(alpha);
  Release(image);
  EXPECT_EQ(host_.LiveImageCount(), 0);
  EXPECT_TRUE(host_.Misuses().empty());
}

TEST_F(ImagesTest, SaveThatCannotWriteGivesZero) {
  void* image = Load(WriteTga("rock.tga", MakeImage(2, 2, Shaded)));
  EXPECT_EQ(Save((folder_.Path() / "missing" / "rock_A.tga").string(), image), 0);
  host_.SetSaveImageWritesFiles(false);
  const std::string recordedOnly = (folder_.Path() / "recorded_A.tga").string();
  EXPECT_EQ(Save(recordedOnly, image), 1);
  EXPECT_FALSE(std::filesystem::exists(recordedOnly));
  Release(image);
  host_.SetSaveImageWritesFiles(true);
  EXPECT_EQ(Save(recordedOnly, image), 0) << "a released image has nothing to write";
  EXPECT_FALSE(std::filesystem::exists(recordedOnly));

  const auto& saved = host_.SavedImages();
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_FALSE(saved[0].written);
  EXPECT_FALSE(saved[1].written);
  EXPECT_EQ(saved[2].image, -1);
  ASSERT_EQ(host_.Misuses().size(), 1u);
  EXPECT_NE(host_.Misuses()[0].find("already released"), std::string::npos);
}

TEST_F(ImagesTest, EveryImageMustBeReleasedExactlyOnce) {
  const auto path = WriteTga("rock.tga", MakeImage(2, 2, Shaded));
  void* first = Load(path);
  void* second = Load(path);
  void* alpha = Extract(first);
  EXPECT_EQ(host_.LiveImageCount(), 3);
  EXPECT_FALSE(host_.EveryImageReleasedOnce());
  Release(alpha);
  Release(first);
  EXPECT_EQ(host_.LiveImageCount(), 1);
  EXPECT_FALSE(host_.EveryImageReleasedOnce());
  Release(second);
  EXPECT_EQ(host_.LiveImageCount(), 0);
  EXPECT_TRUE(host_.EveryImageReleasedOnce());
  EXPECT_TRUE(host_.Misuses().empty());

  Release(first);
  EXPECT_FALSE(host_.EveryImageReleasedOnce());
  EXPECT_EQ(host_.Images()[0].releaseCount, 2);
  ASSERT_EQ(host_.Misuses().size(), 1u);
  EXPECT_NE(host_.Misuses()[0].find("released again"), std::string::npos);
}

// A release frees the pixels: the image is then unusable, though its size is still reported.
TEST_F(ImagesTest, ReleasedOrForeignImagesAreUnusable) {
  void* image = Load(WriteTga("rock.tga", MakeImage(3, 2, Shaded)));
  Release(image);
  EXPECT_EQ(host_.ImagePixels(0), nullptr);
  EXPECT_EQ(host_.Images()[0].width, 3);
  EXPECT_EQ(host_.Images()[0].height, 2);
  EXPECT_EQ(Check(image), 1);
  EXPECT_EQ(Extract(image), nullptr);
  EXPECT_EQ(host_.Misuses().size(), 2u);

  HostImage foreign{};
  foreign.operations = static_cast<HostImage*>(image)->operations;
  foreign.index = 0;  // claims to be image 0 but is not the host's record
  Release(&foreign);
  EXPECT_EQ(Extract(&foreign), nullptr);
  EXPECT_EQ(Check(&foreign), 1);
  EXPECT_EQ(host_.Misuses().size(), 5u);
  EXPECT_EQ(host_.Images()[0].releaseCount, 1);
  EXPECT_EQ(host_.Images().size(), 1u);
}

TEST_F(ImagesTest, CheckImageAnswerCanBeForced) {
  void* image = Load(WriteTga("rock.tga", MakeImage(1, 1, Shaded)));
  EXPECT_EQ(Check(image), 0);
  host_.SetCheckImageResult(3);
  EXPECT_EQ(Check(image), 3);
  host_.ClearCheckImageResult();
  EXPECT_EQ(Check(image), 0);
  EXPECT_EQ(host_.CallsOf(Operation::CheckImage)[1].image, image);
  Release(image);
}

TEST_F(ImagesTest, SceneDocumentListsImagesWithTheirSizes) {
  void* image = Load(WriteTga("rock.tga", MakeImage(3, 2, Shaded)));
  void* alpha = Extract(image);
  Save((folder_.Path() / "rock_A.tga").string(), alpha);
  Release(alpha);
  const nlohmann::json document = SceneJson(host_);
  const auto& images = document["images"];
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0]["origin"], "loaded");
  EXPECT_EQ(images[0]["path"], (folder_.Path() / "rock.tga").string());
  EXPECT_EQ(images[0]["width"], 3);
  EXPECT_EQ(images[0]["height"], 2);
  EXPECT_EQ(images[0]["decoded"], true);
  EXPECT_EQ(images[0]["releases"], 0);
  EXPECT_EQ(images[1]["origin"], "extracted");
  EXPECT_EQ(images[1]["source"], 0);
  EXPECT_EQ(images[1]["releases"], 1);
  EXPECT_EQ(images[1]["width"], 3) << "kept after the release";
  ASSERT_EQ(document["savedImages"].size(), 1u);
  EXPECT_EQ(document["savedImages"][0]["image"], 1);
  EXPECT_EQ(document["savedImages"][0]["written"], true);
  Release(image);
}

}  // namespace
}  // namespace vexmara::host
