#include "host/image_codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <span>
#include <system_error>

#include "host/text.h"

#include <squish.h>

// stb's implementations live in this file only, with internal linkage, so that a tool linking
// another copy of stb gets no clash. Only the formats the host reads are compiled in, and only
// the in-memory and callback interfaces: the host opens its files itself.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_MAX_DIMENSIONS 16384
#include <stb/stb_image.h>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace vexmara::host {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint32_t kMaxSide = 16384;
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 26;
// The largest file read: an uncompressed 32-bit DDS of kMaxPixels with its mipmaps fits.
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{512} << 20;

// No TGA or BMP that stb reads holds more than 64 pixels per byte (an 8-bit TGA run packet of
// 2 bytes gives 128 pixels); a PNG no more than 8256 (1-bit pixels, at deflate's greatest
// expansion of 1032 to 1). A header claiming more is not a file of that size.
constexpr std::uint64_t kTgaBmpPixelsPerByte = 64;
constexpr std::uint64_t kPngPixelsPerByte = 8256;

bool SizeAllowed(std::uint64_t width, std::uint64_t height) {
  return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
         width * height <= kMaxPixels;
}

// ---- Whole-file read -------------------------------------------------------------------------

std::filesystem::path NativePath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>* bytes) {
  const std::filesystem::path file = NativePath(Utf16ToUtf8(path));
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    return false;
  }
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error || size > kMaxFileBytes) {
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return false;
  }
  bytes->resize(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(size));
  // A file that shrank between the size test and the read is refused; one that grew is read as
  // it was.
  return in.gcount() == static_cast<std::streamsize>(size);
}

// ---- DDS -------------------------------------------------------------------------------------

constexpr std::size_t kDdsHeaderEnd = 128;  // "DDS " and the 124-byte header
constexpr std::size_t kDx10HeaderSize = 20;

constexpr std::uint32_t kPixelFormatAlphaPixels = 0x1;
constexpr std::uint32_t kPixelFormatFourCc = 0x4;
constexpr std::uint32_t kPixelFormatRgb = 0x40;

constexpr std::uint32_t FourCc(const char (&code)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

// Little-endian 32-bit value at `offset`; callers have tested that the bytes are there.
std::uint32_t Le32(Bytes bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) |
         static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

enum class DdsKind { Bc1, Bc2, Bc3, Masked };

struct ChannelMasks {
  std::uint32_t red = 0, green = 0, blue = 0, alpha = 0;
};

struct DdsLayout {
  DdsKind kind = DdsKind::Masked;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::size_t dataOffset = kDdsHeaderEnd;
  std::uint32_t bitsPerPixel = 0;  // masked pixels only
  ChannelMasks masks;              // masked pixels only; alpha 0 = opaque
};

// The formats of the extended header the host reads: BC1 to BC3 and 8-bit RGBA / BGRA / BGRX.
bool Dx10Format(std::uint32_t format, DdsLayout* layout) {
  switch (format) {
    case 71:  // BC1_UNORM
    case 72:  // BC1_UNORM_SRGB
      layout->kind = DdsKind::Bc1;
      return true;
    case 74:  // BC2_UNORM
    case 75:
      layout->kind = DdsKind::Bc2;
      return true;
    case 77:  // BC3_UNORM
    case 78:
      layout->kind = DdsKind::Bc3;
      return true;
    case 28:  // R8G8B8A8_UNORM
    case 29:
      layout->bitsPerPixel = 32;
      layout->masks = {0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0xFF000000u};
      return true;
    case 87:  // B8G8R8A8_UNORM
    case 91:
      layout->bitsPerPixel = 32;
      layout->masks = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
      return true;
    case 88:  // B8G8R8X8_UNORM
    case 93:
      layout->bitsPerPixel = 32;
      layout->masks = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0};
      return true;
    default:
      return false;
  }
}

// A mask is usable when its bits are one run that fits in the pixel.
bool MaskUsable(std::uint32_t mask, std::uint32_t bitsPerPixel) {
  if (mask == 0) {
    return true;
  }
  if (bitsPerPixel < 32 && (mask >> bitsPerPixel) != 0) {
    return false;
  }
  const std::uint32_t run = mask >> std::countr_zero(mask);
  return (run & (run + 1)) == 0;
}

// Reads the header into `layout`. False for anything the host does not decode.
bool ParseDdsHeader(Bytes bytes, DdsLayout* layout) {
  if (bytes.size() < kDdsHeaderEnd || Le32(bytes, 0) != FourCc("DDS ") || Le32(bytes, 4) != 124 ||
      Le32(bytes, 76) != 32) {
    return false;
  }
  layout->height = Le32(bytes, 12);
  layout->width = Le32(bytes, 16);
  const std::uint32_t flags = Le32(bytes, 80);
  if ((flags & kPixelFormatFourCc) != 0) {
    const std::uint32_t code = Le32(bytes, 84);
    if (code == FourCc("DXT1")) {
      layout->kind = DdsKind::Bc1;
    } else if (code == FourCc("DXT2") || code == FourCc("DXT3")) {
      // DXT2 and DXT4 are the premultiplied forms; their pixels are given as stored.
      layout->kind = DdsKind::Bc2;
    } else if (code == FourCc("DXT4") || code == FourCc("DXT5")) {
      layout->kind = DdsKind::Bc3;
    } else if (code == FourCc("DX10")) {
      if (bytes.size() < kDdsHeaderEnd + kDx10HeaderSize ||
          !Dx10Format(Le32(bytes, kDdsHeaderEnd), layout)) {
        return false;
      }
      layout->dataOffset = kDdsHeaderEnd + kDx10HeaderSize;
    } else {
      return false;
    }
  } else if ((flags & kPixelFormatRgb) != 0) {
    layout->bitsPerPixel = Le32(bytes, 88);
    layout->masks.red = Le32(bytes, 92);
    layout->masks.green = Le32(bytes, 96);
    layout->masks.blue = Le32(bytes, 100);
    layout->masks.alpha = (flags & kPixelFormatAlphaPixels) != 0 ? Le32(bytes, 104) : 0;
  } else {
    return false;  // luminance, alpha-only and other formats
  }
  if (layout->kind != DdsKind::Masked) {
    return true;
  }
  const std::uint32_t bits = layout->bitsPerPixel;
  const ChannelMasks& m = layout->masks;
  return (bits == 16 || bits == 24 || bits == 32) && MaskUsable(m.red, bits) &&
         MaskUsable(m.green, bits) && MaskUsable(m.blue, bits) && MaskUsable(m.alpha, bits);
}

// One channel of a masked pixel, widened or narrowed to 8 bits.
std::uint8_t Channel(std::uint32_t pixel, std::uint32_t mask, std::uint8_t absent) {
  if (mask == 0) {
    return absent;
  }
  const int shift = std::countr_zero(mask);
  const std::uint64_t maximum = mask >> shift;
  const std::uint64_t value = (pixel & mask) >> shift;
  return static_cast<std::uint8_t>((value * 255 + maximum / 2) / maximum);
}

bool DecodeMasked(Bytes data, const DdsLayout& layout, DecodedImage* out) {
  const std::size_t bytesPerPixel = layout.bitsPerPixel / 8;
  const std::size_t count = std::size_t{layout.width} * layout.height;
  out->rgba.resize(count * 4);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t pixel = 0;
    for (std::size_t b = 0; b < bytesPerPixel; ++b) {
      pixel |= static_cast<std::uint32_t>(data[i * bytesPerPixel + b]) << (8 * b);
    }
    std::uint8_t* rgba = &out->rgba[4 * i];
    rgba[0] = Channel(pixel, layout.masks.red, 0);
    rgba[1] = Channel(pixel, layout.masks.green, 0);
    rgba[2] = Channel(pixel, layout.masks.blue, 0);
    rgba[3] = Channel(pixel, layout.masks.alpha, 255);
  }
  return true;
}

bool DecodeDds(Bytes bytes, DecodedImage* out) {
  DdsLayout layout;
  if (!ParseDdsHeader(bytes, &layout) || !SizeAllowed(layout.width, layout.height)) {
    return false;
  }
  // Only the first surface (the top mipmap level) is decoded; the file must hold all of it.
  std::uint64_t needed = 0;
  if (layout.kind == DdsKind::Masked) {
    needed = std::uint64_t{layout.width} * layout.height * (layout.bitsPerPixel / 8);
  } else {
    const std::uint64_t blocks =
        std::uint64_t{(layout.width + 3) / 4} * std::uint64_t{(layout.height + 3) / 4};
    needed = blocks * (layout.kind == DdsKind::Bc1 ? 8 : 16);
  }
  if (bytes.size() < layout.dataOffset || bytes.size() - layout.dataOffset < needed) {
    return false;
  }
  const Bytes data = bytes.subspan(layout.dataOffset, static_cast<std::size_t>(needed));
  out->width = static_cast<std::int32_t>(layout.width);
  out->height = static_cast<std::int32_t>(layout.height);
  if (layout.kind == DdsKind::Masked) {
    return DecodeMasked(data, layout, out);
  }
  const int flags = layout.kind == DdsKind::Bc1   ? squish::kDxt1
                    : layout.kind == DdsKind::Bc2 ? squish::kDxt3
                                                  : squish::kDxt5;
  out->rgba.resize(std::size_t{layout.width} * layout.height * 4);
  squish::DecompressImage(out->rgba.data(), out->width, out->height, data.data(), flags);
  return true;
}

// ---- stb_image -------------------------------------------------------------------------------

// stb_image reads through these callbacks rather than from memory so that a file ending before
// its pixels do is noticed: from memory, stb gives zeros past the end and a complete-looking
// image. A read that finds nothing left is a truncation, and so is any short read other than a
// refill of stb's look-ahead buffer, which may run past the end of a complete file.
constexpr int kStbLookAhead = 128;

struct StbSource {
  Bytes bytes;
  std::size_t position = 0;
  bool truncated = false;
};

int StbRead(void* user, char* data, int size) {
  auto& source = *static_cast<StbSource*>(user);
  const std::size_t wanted = size > 0 ? static_cast<std::size_t>(size) : 0;
  const std::size_t count = std::min(wanted, source.bytes.size() - source.position);
  if (count > 0) {
    std::memcpy(data, source.bytes.data() + source.position, count);
  }
  source.position += count;
  if (count < wanted && (count == 0 || size != kStbLookAhead)) {
    source.truncated = true;
  }
  return static_cast<int>(count);
}

// A skip past the end is not a truncation by itself (stb skips the padding after the last row of
// a BMP); reading there is.
void StbSkip(void* user, int count) {
  auto& source = *static_cast<StbSource*>(user);
  const std::size_t left = source.bytes.size() - source.position;
  source.position += count > 0 ? std::min(static_cast<std::size_t>(count), left) : 0;
}

int StbEof(void* user) {
  const auto& source = *static_cast<const StbSource*>(user);
  return source.position >= source.bytes.size() ? 1 : 0;
}

constexpr stbi_io_callbacks kStbCallbacks = {&StbRead, &StbSkip, &StbEof};

bool IsPng(Bytes bytes) {
  static constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P',  'N',  'G',
                                                             '\r', '\n', 0x1A, '\n'};
  return bytes.size() >= kSignature.size() &&
         std::equal(kSignature.begin(), kSignature.end(), bytes.begin());
}

bool DecodeWithStb(Bytes bytes, DecodedImage* out) {
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
    return false;
  }
  StbSource probe{bytes};
  int width = 0;
  int height = 0;
  int channels = 0;
  if (stbi_info_from_callbacks(&kStbCallbacks, &probe, &width, &height, &channels) == 0 ||
      !SizeAllowed(static_cast<std::uint64_t>(std::max(width, 0)),
                   static_cast<std::uint64_t>(std::max(height, 0)))) {
    return false;
  }
  const std::uint64_t perByte = IsPng(bytes) ? kPngPixelsPerByte : kTgaBmpPixelsPerByte;
  if (std::uint64_t(width) * std::uint64_t(height) > perByte * bytes.size()) {
    return false;
  }
  StbSource source{bytes};
  int loadedWidth = 0;
  int loadedHeight = 0;
  stbi_uc* pixels =
      stbi_load_from_callbacks(&kStbCallbacks, &source, &loadedWidth, &loadedHeight, &channels, 4);
  if (pixels == nullptr) {
    return false;
  }
  const bool usable = !source.truncated && loadedWidth == width && loadedHeight == height;
  if (usable) {
    const std::size_t size = std::size_t(width) * std::size_t(height) * 4;
    out->width = width;
    out->height = height;
    out->rgba.assign(pixels, pixels + size);
  }
  stbi_image_free(pixels);
  return usable;
}

// ---- Writing ---------------------------------------------------------------------------------

bool Writable(const DecodedImage& image) {
  return SizeAllowed(static_cast<std::uint64_t>(std::max(image.width, 0)),
                     static_cast<std::uint64_t>(std::max(image.height, 0))) &&
         image.rgba.size() == std::size_t(image.width) * std::size_t(image.height) * 4;
}

void AppendBytes(void* context, void* data, int size) {
  auto& bytes = *static_cast<std::vector<std::uint8_t>*>(context);
  const auto* begin = static_cast<const std::uint8_t*>(data);
  bytes.insert(bytes.end(), begin, begin + size);
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  if (!out) {
    return false;
  }
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

bool DecodeImageFile(const std::u16string& path, DecodedImage* out) {
  if (out == nullptr) {
    return false;
  }
  try {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes)) {
      return false;
    }
    DecodedImage image;
    const bool decoded = bytes.size() >= 4 && Le32(bytes, 0) == FourCc("DDS ")
                             ? DecodeDds(bytes, &image)
                             : DecodeWithStb(bytes, &image);
    if (!decoded) {
      return false;
    }
    *out = std::move(image);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::filesystem::filesystem_error&) {
    return false;
  }
}

bool EncodePng(const DecodedImage& image, std::vector<std::uint8_t>* png) {
  if (png == nullptr) {
    return false;
  }
  try {
    png->clear();
    return Writable(image) && stbi_write_png_to_func(&AppendBytes, png, image.width, image.height,
                                                     4, image.rgba.data(), image.width * 4) != 0;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool WritePng(const std::string& path, const DecodedImage& image) {
  std::vector<std::uint8_t> bytes;
  try {
    return EncodePng(image, &bytes) && WriteBytes(path, bytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool WriteTga(const std::string& path, const DecodedImage& image) {
  try {
    std::vector<std::uint8_t> bytes;
    return Writable(image) &&
           stbi_write_tga_to_func(&AppendBytes, &bytes, image.width, image.height, 4,
                                  image.rgba.data()) != 0 &&
           WriteBytes(path, bytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace vexmara::host
