// Images: loading by path, alpha extraction, saving, and the accounting of releases.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/host.h"
#include "tests/host/host_test_support.h"

namespace vexmara::host {
namespace {

using testing::CallSlot;
using testing::Dual;

class ImagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("vexmara_host_images_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(directory_);
    existing_ = (directory_ / "rock.dds").string();
    std::ofstream(existing_) << "dds";
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  void* Load(const std::string& path, std::int32_t tag = -1) {
    const DualString text = Dual(path);
    HostFileInfo info{};
    info.tag = tag;
    return CallSlot<void*>(&host_.Context(), 142, &text, &info, 2);
  }
  void* Extract(void* image) { return CallSlot<void*>(&host_.Context(), 144, image); }
  void Release(void* image) { CallSlot<void>(&host_.Context(), 146, image); }

  Host host_;
  std::filesystem::path directory_;
  std::string existing_;
};

TEST_F(ImagesTest, LoadGivesAnImageForAnExistingFile) {
  void* image = Load(existing_);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Load((directory_ / "missing.dds").string()), nullptr);
  EXPECT_EQ(Load(directory_.string()), nullptr);  // a directory is not an image

  const auto calls = host_.CallsOf(Operation::LoadImage);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].narrowText, existing_);
  EXPECT_EQ(calls[0].fileTag, -1);
  EXPECT_EQ(calls[0].integers[0], 2);
  EXPECT_EQ(calls[0].result, image);
  EXPECT_EQ(calls[1].result, nullptr);

  const auto images = host_.Images();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].origin, ImageOrigin::Loaded);
  EXPECT_EQ(images[0].record, image);
  EXPECT_EQ(images[0].path, std::u16string(existing_.begin(), existing_.end()));

  host_.SetImageLoadPolicy(ImageLoadPolicy::Always);
  EXPECT_NE(Load((directory_ / "missing.dds").string()), nullptr);
}

TEST_F(ImagesTest, BackslashSeparatedPathFindsTheFile) {
  std::string path = existing_;
  std::replace(path.begin(), path.end(), '/', '\\');
  EXPECT_NE(Load(path), nullptr);
}

TEST_F(ImagesTest, ExtractedImageRemembersItsSource) {
  void* image = Load(existing_);
  void* alpha = Extract(image);
  ASSERT_NE(alpha, nullptr);
  EXPECT_NE(alpha, image);
  const auto images = host_.Images();
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[1].origin, ImageOrigin::Extracted);
  EXPECT_EQ(images[1].sourceImage, 0);
  EXPECT_EQ(images[1].path, images[0].path);
  EXPECT_EQ(host_.LiveImageCount(), 2);
}

TEST_F(ImagesTest, EveryImageMustBeReleasedExactlyOnce) {
  void* first = Load(existing_);
  void* second = Load(existing_);
  void* alpha = Extract(first);
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

TEST_F(ImagesTest, UseOfReleasedOrForeignImagesIsNoted) {
  void* image = Load(existing_);
  Release(image);
  EXPECT_EQ(CallSlot<std::int32_t>(image, 4), 0);
  EXPECT_NE(Extract(image), nullptr);
  EXPECT_EQ(host_.Misuses().size(), 2u);

  HostImage foreign{};
  foreign.operations = static_cast<HostImage*>(image)->operations;
  foreign.index = 0;  // claims to be image 0 but is not the host's record
  Release(&foreign);
  EXPECT_EQ(Extract(&foreign), nullptr);
  EXPECT_EQ(host_.Misuses().size(), 4u);
  EXPECT_EQ(host_.Images()[0].releaseCount, 1);
}

TEST_F(ImagesTest, CheckImageAnswerIsConfigurable) {
  void* image = Load(existing_);
  EXPECT_EQ(CallSlot<std::int32_t>(image, 4), 0);
  host_.SetCheckImageResult(3);
  EXPECT_EQ(CallSlot<std::int32_t>(image, 4), 3);
  EXPECT_EQ(host_.CallsOf(Operation::CheckImage)[1].image, image);
}

TEST_F(ImagesTest, SaveRecordsThePathAndCanWriteTheFile) {
  void* image = Load(existing_);
  void* alpha = Extract(image);
  HostFileInfo info{};
  info.tag = -1;
  const std::string target = (directory_ / "rock_A.tga").string();
  const DualString path = Dual(target);
  EXPECT_EQ(CallSlot<std::int32_t>(&host_.Context(), 143, &path, alpha, &info, 0), 1);
  EXPECT_FALSE(std::filesystem::exists(target));

  host_.SetSaveImageWritesFiles(true);
  EXPECT_EQ(CallSlot<std::int32_t>(&host_.Context(), 143, &path, alpha, &info, 0), 1);
  EXPECT_TRUE(std::filesystem::is_regular_file(target));
  EXPECT_GT(std::filesystem::file_size(target), 18u);

  const auto& saved = host_.SavedImages();
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].narrowPath, target);
  EXPECT_EQ(saved[0].image, 1);
  EXPECT_EQ(saved[0].fileTag, -1);
  EXPECT_EQ(saved[0].argument, 0);
  EXPECT_FALSE(saved[0].written);
  EXPECT_TRUE(saved[1].written);
  EXPECT_EQ(host_.CallsOf(Operation::SaveImage)[0].fileInfo, &info);
}

}  // namespace
}  // namespace vexmara::host
