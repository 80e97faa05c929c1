#include "tests/host/image_files.h"

#include <gtest/gtest.h>
#include <squish.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace vexmara::host::testing {

DecodedImage MakeImage(int width, int height, const std::function<Pixel(int x, int y)>& colour) {
  DecodedImage image;
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Pixel pixel = colour(x, y);
      image.rgba.insert(image.rgba.end(), pixel.begin(), pixel.end());
    }
  }
  return image;
}

Pixel PixelAt(const DecodedImage& image, int x, int y) {
  const std::size_t at = (std::size_t(y) * std::size_t(image.width) + std::size_t(x)) * 4;
  return {image.rgba[at], image.rgba[at + 1], image.rgba[at + 2], image.rgba[at + 3]};
}

void PutLe32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[offset + i] = std::uint8_t(value >> (8 * i));
  }
}

Bytes DdsHeader(std::uint32_t width, std::uint32_t height, const DdsFormat& format) {
  Bytes header(128, 0);
  PutLe32(header, 0, FourCc("DDS "));
  PutLe32(header, 4, 124);
  // Caps, height, width and pixel format are given; a linear size for block formats.
  const bool blocks = (format.flags & kDdsFourCc) != 0;
  PutLe32(header, 8, 0x1007 | (blocks ? 0x80000u : 0x8u));
  PutLe32(header, 12, height);
  PutLe32(header, 16, width);
  PutLe32(header, 20, blocks ? 0 : width * (format.bitsPerPixel / 8));
  PutLe32(header, 28, 1);  // one mipmap level
  PutLe32(header, 76, 32);
  PutLe32(header, 80, format.flags);
  PutLe32(header, 84, format.fourCc);
  PutLe32(header, 88, format.bitsPerPixel);
  for (std::size_t i = 0; i < 4; ++i) {
    PutLe32(header, 92 + 4 * i, format.masks[i]);
  }
  PutLe32(header, 108, 0x1000);  // a texture
  return header;
}

Bytes Dx10Header(std::uint32_t dxgiFormat) {
  Bytes header(20, 0);
  PutLe32(header, 0, dxgiFormat);
  PutLe32(header, 4, 3);   // a 2D texture
  PutLe32(header, 12, 1);  // one array element
  return header;
}

Bytes SquishBlocks(const DecodedImage& image, int squishFlags) {
  Bytes blocks(std::size_t(squish::GetStorageRequirements(image.width, image.height, squishFlags)));
  squish::CompressImage(image.rgba.data(), image.width, image.height, blocks.data(), squishFlags);
  return blocks;
}

Bytes BlockCompressedDds(const DecodedImage& image, int squishFlags, bool dx10) {
  const std::uint32_t code = squishFlags == squish::kDxt1   ? FourCc("DXT1")
                             : squishFlags == squish::kDxt3 ? FourCc("DXT3")
                                                            : FourCc("DXT5");
  const std::uint32_t dxgi = squishFlags == squish::kDxt1   ? 71
                             : squishFlags == squish::kDxt3 ? 74
                                                            : 77;
  DdsFormat format;
  format.flags = kDdsFourCc;
  format.fourCc = dx10 ? FourCc("DX10") : code;
  Bytes file = DdsHeader(std::uint32_t(image.width), std::uint32_t(image.height), format);
  if (dx10) {
    const Bytes extended = Dx10Header(dxgi);
    file.insert(file.end(), extended.begin(), extended.end());
  }
  const Bytes blocks = SquishBlocks(image, squishFlags);
  file.insert(file.end(), blocks.begin(), blocks.end());
  return file;
}

namespace {
void Append(void* context, void* data, int size) {
  auto& bytes = *static_cast<Bytes*>(context);
  bytes.insert(bytes.end(), static_cast<std::uint8_t*>(data),
               static_cast<std::uint8_t*>(data) + size);
}
}  // namespace

Bytes EncodeWithStb(StbFormat format, const DecodedImage& image) {
  Bytes bytes;
  int written = 0;
  switch (format) {
    case StbFormat::Tga:
    case StbFormat::TgaRle:
      stbi_write_tga_with_rle = format == StbFormat::TgaRle ? 1 : 0;
      written =
          stbi_write_tga_to_func(&Append, &bytes, image.width, image.height, 4, image.rgba.data());
      break;
    case StbFormat::Bmp:
      written =
          stbi_write_bmp_to_func(&Append, &bytes, image.width, image.height, 4, image.rgba.data());
      break;
    case StbFormat::Png:
      written = stbi_write_png_to_func(&Append, &bytes, image.width, image.height, 4,
                                       image.rgba.data(), image.width * 4);
      break;
  }
  EXPECT_NE(written, 0);
  return bytes;
}

TempFolder::TempFolder(const std::string& purpose) {
  path_ = std::filesystem::temp_directory_path() /
          ("vexmara_host_" + purpose + "_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

std::filesystem::path TempFolder::Write(const std::string& name, const Bytes& bytes) const {
  const std::filesystem::path file = path_ / name;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  EXPECT_TRUE(out.good()) << file;
  return file;
}

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vexmara::host::testing
