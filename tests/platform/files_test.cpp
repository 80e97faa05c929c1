#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "scratch_folder.h"

namespace vexmara::platform {
namespace {

namespace fs = std::filesystem;

class ReadWholeFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    fs::create_directories(dir_ / "sub dir");
  }

  std::u16string Wide(const fs::path& p) { return p.u16string(); }

  testing::ScratchFolder scratch_;
  fs::path dir_;
};

TEST_F(ReadWholeFileTest, ReadsEveryByte) {
  const fs::path file = dir_ / "sub dir" / "caf\u00e9.app";
  std::ofstream(file, std::ios::binary) << std::string("\x01\x00\x02\xff", 4);
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(ReadWholeFile(Wide(file).c_str(), &buffer, &length), FileReadResult::kOk);
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(buffer[1], 0);
  EXPECT_EQ(buffer[3], 0xff);
  FreeBuffer(buffer);
}

// Files of many megabytes get a buffer of their own kind; every byte must still arrive, up to
// the last one of a length that is not a whole number of pages.
TEST_F(ReadWholeFileTest, ReadsEveryByteOfLargeFiles) {
  for (const size_t size : {size_t(8) << 20, (size_t(9) << 20) + 4097}) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 2654435761u) >> 13);
    const fs::path file = dir_ / "large.app";
    std::ofstream(file, std::ios::binary) << bytes;
    uint8_t* buffer = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(ReadWholeFile(Wide(file).c_str(), &buffer, &length), FileReadResult::kOk) << size;
    ASSERT_EQ(length, size);
    EXPECT_EQ(std::memcmp(buffer, bytes.data(), size), 0) << size;
    FreeBuffer(buffer);
  }
}

TEST_F(ReadWholeFileTest, BackslashCountsAsSeparator) {
  const fs::path file = dir_ / "sub dir" / "model.app";
  std::ofstream(file, std::ios::binary) << "abc";
  std::u16string path = Wide(dir_) + u"\\sub dir\\model.app";
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(ReadWholeFile(path.c_str(), &buffer, &length), FileReadResult::kOk);
  EXPECT_EQ(length, 3u);
  FreeBuffer(buffer);
}

TEST_F(ReadWholeFileTest, EmptyFileGivesEmptyBuffer) {
  const fs::path file = dir_ / "empty.app";
  std::ofstream(file, std::ios::binary).flush();
  uint8_t* buffer = nullptr;
  uint32_t length = 7;
  ASSERT_EQ(ReadWholeFile(Wide(file).c_str(), &buffer, &length), FileReadResult::kOk);
  EXPECT_EQ(length, 0u);
  FreeBuffer(buffer);
}

TEST_F(ReadWholeFileTest, ReportsWhatCannotBeRead) {
  uint8_t* buffer = reinterpret_cast<uint8_t*>(this);
  uint32_t length = 7;
  EXPECT_EQ(ReadWholeFile(Wide(dir_ / "missing.app").c_str(), &buffer, &length),
            FileReadResult::kCannotOpen);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(ReadWholeFile(u"", &buffer, &length), FileReadResult::kCannotOpen);
  EXPECT_EQ(ReadWholeFile(nullptr, &buffer, &length), FileReadResult::kCannotOpen);
  const char16_t unconvertible[] = {u'/', 0xD800, 0};
  EXPECT_EQ(ReadWholeFile(unconvertible, &buffer, &length), FileReadResult::kCannotOpen);
  // A directory opens on POSIX but cannot be read as a file.
  EXPECT_NE(ReadWholeFile(Wide(dir_).c_str(), &buffer, &length), FileReadResult::kOk);
  EXPECT_EQ(buffer, nullptr);
}

// A path field holds 259 units; a longer path is refused, never cut. Its UTF-8 form can exceed
// what the conversion has room for (1040 bytes), and cut there it would name another file.
TEST_F(ReadWholeFileTest, PathsLongerThanAPathFieldAreNotCut) {
  fs::path folder = dir_;
  while (folder.string().size() < 800) folder /= fs::path(std::u16string(80, u'\u00e9'));
  fs::create_directories(folder);
  // A file whose path is exactly 1040 bytes of UTF-8, and a path that begins with it.
  const fs::path beginning = folder / std::string(1040 - folder.string().size() - 1, 'm');
  ASSERT_EQ(beginning.string().size(), 1040u);
  std::ofstream(beginning, std::ios::binary) << "abc";
  const std::u16string longer = beginning.u16string() + u"\u00e9.app";
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(ReadWholeFile(longer.c_str(), &buffer, &length), FileReadResult::kCannotOpen);
  EXPECT_EQ(buffer, nullptr);
}

}  // namespace
}  // namespace vexmara::platform
