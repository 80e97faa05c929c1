// Image files made by the tests themselves: DDS files assembled around blocks that libsquish
// encodes, TGA, BMP and PNG files encoded by stb_image_write, and a folder to put them in.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host/image_codec.h"

namespace vexmara::host::testing {

using Bytes = std::vector<std::uint8_t>;
using Pixel = std::array<std::uint8_t, 4>;

// A width x height image whose pixel (x, y) is colour(x, y), rows top to bottom.
DecodedImage MakeImage(int width, int height, const std::function<Pixel(int x, int y)>& colour);
Pixel PixelAt(const DecodedImage& image, int x, int y);

// DDS pixel-format flags and the values of a header.
inline constexpr std::uint32_t kDdsAlphaPixels = 0x1;
inline constexpr std::uint32_t kDdsFourCc = 0x4;
inline constexpr std::uint32_t kDdsRgb = 0x40;

constexpr std::uint32_t FourCc(const char (&code)[5]) {
  return std::uint32_t(std::uint8_t(code[0])) | std::uint32_t(std::uint8_t(code[1])) << 8 |
         std::uint32_t(std::uint8_t(code[2])) << 16 | std::uint32_t(std::uint8_t(code[3])) << 24;
}

struct DdsFormat {
  std::uint32_t flags = 0;
  std::uint32_t fourCc = 0;
  std::uint32_t bitsPerPixel = 0;
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
};

// "DDS " and the 124-byte header for one surface of width x height.
Bytes DdsHeader(std::uint32_t width, std::uint32_t height, const DdsFormat& format);
// The 20-byte extended header that follows a "DX10" header.
Bytes Dx10Header(std::uint32_t dxgiFormat);
void PutLe32(Bytes& bytes, std::size_t offset, std::uint32_t value);

// Block formats by libsquish flag (squish::kDxt1, kDxt3, kDxt5).
Bytes SquishBlocks(const DecodedImage& image, int squishFlags);
// A whole DDS file: header (FourCC DXT1/DXT3/DXT5, or DX10 with the BC format) and the blocks.
Bytes BlockCompressedDds(const DecodedImage& image, int squishFlags, bool dx10 = false);

enum class StbFormat { Tga, TgaRle, Bmp, Png };
Bytes EncodeWithStb(StbFormat format, const DecodedImage& image);

// A folder of its own for each test, removed afterwards.
class TempFolder {
 public:
  explicit TempFolder(const std::string& purpose);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path Write(const std::string& name, const Bytes& bytes) const;

 private:
  std::filesystem::path path_;
};

Bytes ReadBytes(const std::filesystem::path& path);

}  // namespace vexmara::host::testing
