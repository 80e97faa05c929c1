// The image decoder and writers: every format from files the tests make, orientation, channel
// masks, and files that are cut short, lie about their size or are not images at all.
#include <gtest/gtest.h>
#include <squish.h>

#include <functional>
#include <string>

#include "host/image_codec.h"
#include "tests/host/image_files.h"

namespace vexmara::host {
namespace {

using testing::Bytes;
using testing::DdsFormat;
using testing::FourCc;
using testing::MakeImage;
using testing::Pixel;
using testing::PixelAt;
using testing::TempFolder;

bool Decode(const std::filesystem::path& path, DecodedImage* image) {
  return DecodeImageFile(path.u16string(), image);
}

void ExpectSameImage(const DecodedImage& actual, const DecodedImage& expected) {
  ASSERT_EQ(actual.width, expected.width);
  ASSERT_EQ(actual.height, expected.height);
  ASSERT_EQ(actual.rgba.size(), expected.rgba.size());
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < expected.width; ++x) {
      ASSERT_EQ(PixelAt(actual, x, y), PixelAt(expected, x, y)) << "pixel " << x << ", " << y;
    }
  }
}

// One solid colour per 4x4 block, so that the block formats keep them exactly: red, green with
// alpha 136 (a value BC2's 4 bits hold), blue with alpha 0, white.
Pixel BlockColour(int x, int y) {
  static constexpr Pixel kColours[4] = {
      {255, 0, 0, 255}, {0, 255, 0, 136}, {0, 0, 255, 0}, {255, 255, 255, 255}};
  return kColours[(y / 4 % 2) * 2 + x / 4 % 2];
}

TEST(ImageCodecTest, DecodesBlockCompressedDds) {
  struct Case {
    const char* name;
    int flags;
    bool dx10;
    std::function<Pixel(Pixel)> expected;  // what the format keeps of a source pixel
  };
  // BC1 has one bit of alpha: below half is transparent black, the rest opaque.
  const auto bc1 = [](Pixel p) {
    return p[3] < 128 ? Pixel{0, 0, 0, 0} : Pixel{p[0], p[1], p[2], 255};
  };
  const auto exact = [](Pixel p) { return p; };
  const Case cases[] = {
      {"DXT1", squish::kDxt1, false, bc1},      {"DXT3", squish::kDxt3, false, exact},
      {"DXT5", squish::kDxt5, false, exact},    {"DX10 BC1", squish::kDxt1, true, bc1},
      {"DX10 BC2", squish::kDxt3, true, exact}, {"DX10 BC3", squish::kDxt5, true, exact},
  };
  TempFolder folder("codec");
  for (const Case& c : cases) {
    // 8x8 is whole blocks; 6x5 ends in part blocks on both sides.
    for (const auto& [width, height] : {std::pair{8, 8}, std::pair{6, 5}}) {
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(width) + "x" +
                   std::to_string(height));
      const DecodedImage source = MakeImage(width, height, BlockColour);
      const auto file =
          folder.Write("image.dds", testing::BlockCompressedDds(source, c.flags, c.dx10));
      DecodedImage decoded;
      ASSERT_TRUE(Decode(file, &decoded));
      ExpectSameImage(decoded, MakeImage(width, height, [&](int x, int y) {
                        return c.expected(BlockColour(x, y));
                      }));
    }
  }
}

// Uncompressed pixels of every usual layout: each channel found through its mask, widened to
// 8 bits, and alpha 255 where the format has none.
TEST(ImageCodecTest, DecodesUncompressedDdsByChannelMasks) {
  struct Case {
    const char* name;
    DdsFormat format;
    std::uint32_t dxgiFormat;  // non-zero: a DX10 header with this format instead
    Bytes pixels;              // two pixels, as stored
    Pixel first, second;
  };
  const std::uint32_t rgbAlpha = testing::kDdsRgb | testing::kDdsAlphaPixels;
  const Case cases[] = {
      {"A8R8G8B8",
       {rgbAlpha, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
       0,
       {0x30, 0x20, 0x10, 0x40, 0xFF, 0x00, 0x80, 0x00},
       {0x10, 0x20, 0x30, 0x40},
       {0x80, 0x00, 0xFF, 0x00}},
      {"A8B8G8R8",
       {rgbAlpha, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
       0,
       {0x10, 0x20, 0x30, 0x40, 0xFF, 0x00, 0x80, 0xC0},
       {0x10, 0x20, 0x30, 0x40},
       {0xFF, 0x00, 0x80, 0xC0}},
      {"X8R8G8B8 (alpha mask without the alpha flag)",
       {testing::kDdsRgb, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
       0,
       {0x30, 0x20, 0x10, 0x00, 0x01, 0x02, 0x03, 0x04},
       {0x10, 0x20, 0x30, 0xFF},
       {0x03, 0x02, 0x01, 0xFF}},
      {"R8G8B8",
       {testing::kDdsRgb, 0, 24, {0xFF0000, 0xFF00, 0xFF, 0}},
       0,
       {0x30, 0x20, 0x10, 0x03, 0x02, 0x01},
       {0x10, 0x20, 0x30, 0xFF},
       {0x01, 0x02, 0x03, 0xFF}},
      // 5 and 6-bit channels: 31 and 63 are 255; 16 of 31 is 131.6, given as 132.
      {"R5G6B5",
       {testing::kDdsRgb, 0, 16, {0xF800, 0x07E0, 0x001F, 0}},
       0,
       {0xE0, 0x07, 0x10, 0x80},
       {0x00, 0xFF, 0x00, 0xFF},
       {132, 0x00, 132, 0xFF}},
      {"A1R5G5B5",
       {rgbAlpha, 0, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}},
       0,
       {0x1F, 0x80, 0x00, 0x7C},
       {0x00, 0x00, 0xFF, 0xFF},
       {0xFF, 0x00, 0x00, 0x00}},
      {"DX10 R8G8B8A8",
       {testing::kDdsFourCc, FourCc("DX10"), 0, {}},
       28,
       {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80},
       {0x10, 0x20, 0x30, 0x40},
       {0x50, 0x60, 0x70, 0x80}},
      {"DX10 B8G8R8A8",
       {testing::kDdsFourCc, FourCc("DX10"), 0, {}},
       87,
       {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80},
       {0x30, 0x20, 0x10, 0x40},
       {0x70, 0x60, 0x50, 0x80}},
  };
  TempFolder folder("codec");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // One row of two pixels, then the same two as a column: the second is right of, then below,
    // the first.
    for (const auto& [width, height] : {std::pair{2u, 1u}, std::pair{1u, 2u}}) {
      Bytes file = testing::DdsHeader(width, height, c.format);
      if (c.dxgiFormat != 0) {
        const Bytes extended = testing::Dx10Header(c.dxgiFormat);
        file.insert(file.end(), extended.begin(), extended.end());
      }
      file.insert(file.end(), c.pixels.begin(), c.pixels.end());
      DecodedImage decoded;
      ASSERT_TRUE(Decode(folder.Write("image.dds", file), &decoded));
      ASSERT_EQ(decoded.width, int(width));
      ASSERT_EQ(decoded.height, int(height));
      EXPECT_EQ(PixelAt(decoded, 0, 0), c.first);
      EXPECT_EQ(PixelAt(decoded, int(width) - 1, int(height) - 1), c.second);
    }
  }
}

// A 2x2 picture: red, green over blue, white.
const DecodedImage& Quad() {
  static const DecodedImage image = MakeImage(2, 2, [](int x, int y) {
    static constexpr Pixel kPixels[4] = {
        {255, 0, 0, 255}, {0, 255, 0, 200}, {0, 0, 255, 100}, {255, 255, 255, 0}};
    return kPixels[y * 2 + x];
  });
  return image;
}

// Files as other programs lay them out, bottom row first, so that the rows come back top first.
TEST(ImageCodecTest, BottomUpTgaAndBmpComeBackTopRowFirst) {
  // The bytes lie in the rows of each file's layout.
  // clang-format off
  const Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0,  // origin bottom left
                     0xFF, 0, 0, 0xFF, 0xFF, 0xFF,                          // bottom: blue, white
                     0, 0, 0xFF, 0, 0xFF, 0};                               // top: red, green
  const Bytes bmp = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,         // file header
                     40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,       // 2 x 2 bottom up
                     0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                     0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0,                     // bottom row, padding
                     0, 0, 0xFF, 0, 0xFF, 0, 0, 0};                          // top row, padding
  // clang-format on
  const DecodedImage opaque = MakeImage(2, 2, [](int x, int y) {
    Pixel pixel = PixelAt(Quad(), x, y);
    pixel[3] = 255;
    return pixel;
  });
  TempFolder folder("codec");
  for (const auto& [name, bytes] : {std::pair{"image.tga", tga}, std::pair{"image.bmp", bmp}}) {
    SCOPED_TRACE(name);
    DecodedImage decoded;
    ASSERT_TRUE(Decode(folder.Write(name, bytes), &decoded));
    ExpectSameImage(decoded, opaque);
  }
}

// The file's content decides its format: a TGA named .dds is read as the TGA it is.
TEST(ImageCodecTest, DecodesWhatStbImageWritesWhateverTheName) {
  const struct {
    testing::StbFormat format;
    const char* name;
  } cases[] = {{testing::StbFormat::Tga, "a.tga"},
               {testing::StbFormat::TgaRle, "b.tga"},
               {testing::StbFormat::Bmp, "c.bmp"},
               {testing::StbFormat::Png, "d.png"},
               {testing::StbFormat::Tga, "e.dds"}};
  const DecodedImage source = MakeImage(5, 3, [](int x, int y) {
    return Pixel{std::uint8_t(40 * x), std::uint8_t(80 * y), 7, std::uint8_t(255 - 30 * x - y)};
  });
  TempFolder folder("codec");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DecodedImage decoded;
    ASSERT_TRUE(Decode(folder.Write(c.name, testing::EncodeWithStb(c.format, source)), &decoded));
    ExpectSameImage(decoded, source);
  }
}

TEST(ImageCodecTest, WrittenPngAndTgaReadBackUnchanged) {
  const DecodedImage source = MakeImage(7, 4, [](int x, int y) {
    return Pixel{std::uint8_t(x * 36), std::uint8_t(y * 60), std::uint8_t(x * y),
                 std::uint8_t(x * 30 + y)};
  });
  TempFolder folder("codec");
  for (const auto& [name, write] :
       {std::pair{"out.png", &WritePng}, std::pair{"out.tga", &WriteTga}}) {
    SCOPED_TRACE(name);
    const std::filesystem::path path = folder.Path() / name;
    ASSERT_TRUE(write(path.string(), source));
    DecodedImage decoded;
    ASSERT_TRUE(Decode(path, &decoded));
    ExpectSameImage(decoded, source);
  }
  EXPECT_EQ(testing::ReadBytes(folder.Path() / "out.png").at(1), 'P');
}

TEST(ImageCodecTest, WritersRefuseImagesTheyCannotWrite) {
  TempFolder folder("codec");
  DecodedImage shortPixels = MakeImage(2, 2, [](int, int) { return Pixel{1, 2, 3, 4}; });
  shortPixels.rgba.pop_back();
  const DecodedImage empty;
  const DecodedImage good = MakeImage(1, 1, [](int, int) { return Pixel{1, 2, 3, 4}; });
  const std::string inMissingFolder = (folder.Path() / "missing" / "out").string();
  for (const auto& write : {&WritePng, &WriteTga}) {
    EXPECT_FALSE(write((folder.Path() / "short").string(), shortPixels));
    EXPECT_FALSE(write((folder.Path() / "empty").string(), empty));
    EXPECT_FALSE(write(inMissingFolder, good));
  }
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "short"));
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "empty"));
}

// Every file here is refused without reading outside it, and the output is left as it was.
TEST(ImageCodecTest, RefusesTruncatedHostileAndForeignFiles) {
  const DecodedImage picture = MakeImage(8, 8, BlockColour);
  const Bytes bc1 = testing::BlockCompressedDds(picture, squish::kDxt1);
  const Bytes bc3 = testing::BlockCompressedDds(picture, squish::kDxt5);
  const auto patched = [](Bytes bytes, std::size_t offset, std::uint32_t value) {
    testing::PutLe32(bytes, offset, value);
    return bytes;
  };
  const auto cut = [](Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
  };
  Bytes masked = testing::DdsHeader(2, 2, {testing::kDdsRgb, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0}});
  masked.resize(masked.size() + 16, 0x55);
  const Bytes dx10 = testing::BlockCompressedDds(picture, squish::kDxt1, true);
  const Bytes tga = testing::EncodeWithStb(testing::StbFormat::Tga, picture);
  const Bytes tgaRle = testing::EncodeWithStb(testing::StbFormat::TgaRle, picture);
  const Bytes bmp = testing::EncodeWithStb(testing::StbFormat::Bmp, picture);
  const Bytes png = testing::EncodeWithStb(testing::StbFormat::Png, picture);
  // Headers that claim 8192 x 8192 pixels (within the limits) in files of a few hundred bytes.
  Bytes hugeBmp = cut(bmp, 200);
  testing::PutLe32(hugeBmp, 18, 8192);
  testing::PutLe32(hugeBmp, 22, 8192);
  const Bytes hugePng = patched(patched(png, 16, 0x00200000), 20, 0x00200000);  // big-endian

  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"one byte", {1}},
      {"tex file", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0}},
      {"DDS magic alone", {'D', 'D', 'S', ' '}},
      {"DDS header cut", cut(bc1, 127)},
      {"DDS header size wrong", patched(bc1, 4, 100)},
      {"DDS pixel format size wrong", patched(bc1, 76, 0)},
      {"BC1 missing its last byte", cut(bc1, bc1.size() - 1)},
      {"BC3 missing its last block", cut(bc3, bc3.size() - 16)},
      {"BC1 without blocks", cut(bc1, 128)},
      {"width 0", patched(bc1, 16, 0)},
      {"height 0", patched(bc1, 12, 0)},
      {"width 16385", patched(bc1, 16, 16385)},
      {"width 2^32 - 1", patched(bc1, 16, 0xFFFFFFFF)},
      {"more than 2^26 pixels", patched(patched(bc1, 16, 16384), 12, 8192)},
      {"unknown FourCC", patched(bc1, 84, FourCc("ATI2"))},
      {"neither FourCC nor RGB", patched(bc1, 80, 0)},
      {"DX10 header cut", cut(dx10, 140)},
      {"DX10 with an unread format", patched(dx10, 128, 98)},  // BC7
      {"8-bit masked pixels", patched(masked, 88, 8)},
      {"mask of two runs", patched(masked, 92, 0xF0F000)},
      {"mask wider than the pixel", patched(patched(masked, 88, 24), 92, 0xFF000000)},
      {"masked pixels cut", cut(masked, masked.size() - 1)},
      {"TGA missing its last byte", cut(tga, tga.size() - 1)},
      {"TGA missing its last row", cut(tga, tga.size() - 32)},
      {"TGA header only", cut(tga, 18)},
      {"run-length TGA cut", cut(tgaRle, tgaRle.size() - 1)},
      {"BMP missing its last row", cut(bmp, bmp.size() - 32)},
      {"BMP header only", cut(bmp, 54)},
      {"BMP claiming 8192 x 8192", hugeBmp},
      {"PNG cut", cut(png, png.size() / 2)},
      {"PNG claiming 8192 x 8192", hugePng},
      {"text", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}},
  };
  TempFolder folder("codec");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DecodedImage untouched = MakeImage(1, 1, [](int, int) { return Pixel{9, 9, 9, 9}; });
    EXPECT_FALSE(Decode(folder.Write("bad.dds", c.bytes), &untouched));
    EXPECT_EQ(untouched.width, 1);
    EXPECT_EQ(untouched.rgba, (Bytes{9, 9, 9, 9}));
  }
  // The same files whole decode, so each refusal above is the damage's doing.
  for (const Bytes* whole :
       std::initializer_list<const Bytes*>{&bc1, &bc3, &dx10, &masked, &tga, &tgaRle, &bmp, &png}) {
    DecodedImage decoded;
    EXPECT_TRUE(Decode(folder.Write("good", *whole), &decoded));
  }
  DecodedImage decoded;
  EXPECT_FALSE(Decode(folder.Path() / "missing.tga", &decoded));
  EXPECT_FALSE(Decode(folder.Path(), &decoded)) << "a folder";
  EXPECT_FALSE(DecodeImageFile(folder.Write("good", tga).u16string(), nullptr));
}

}  // namespace
}  // namespace vexmara::host
