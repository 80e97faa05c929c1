// Image files as the reference host reads and writes them, for the host itself and for the tools
// built around it: RGBA8 pixels decoded from DDS, TGA, BMP and PNG files, and written as PNG or
// TGA.
//
// A file is recognised by its content, not its extension: "DDS " files by their header (BC1 to
// BC3 through libsquish, or uncompressed 16, 24 or 32-bit pixels described by channel masks),
// everything else through stb_image. Every file is read whole and every read of it is bounded by
// its length. An image is refused before any pixels are allocated when a side is 0 or above 16384,
// when it has more than 2^26 pixels, or when the file is too short for what its header claims; a
// file that ends before its pixels do is refused too.
//
// Paths: UTF-16 for decoding, UTF-8 for writing; both are used as given (no separator rewriting).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexmara::host {

struct DecodedImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;
};  // rows top to bottom

// Decodes a DDS (BC1-BC3, uncompressed), TGA, BMP or PNG file. False when it cannot be read or
// decoded.
bool DecodeImageFile(const std::u16string& path, DecodedImage* out);
// RGBA8 pixels as the bytes of a PNG file. False when the image cannot be encoded.
bool EncodePng(const DecodedImage& image, std::vector<uint8_t>* png);
// Writes RGBA8 pixels as PNG / TGA. False on failure.
bool WritePng(const std::string& path, const DecodedImage& image);
bool WriteTga(const std::string& path, const DecodedImage& image);

}  // namespace vexmara::host
