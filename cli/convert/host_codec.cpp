#include "cli/convert/host_codec.h"

#include "host/image_codec.h"
#include "host/text.h"

namespace vexmara::cli {

ImageCodec HostImageCodec() {
  ImageCodec codec;
  codec.decode = [](const std::string& path, RgbaImage* image) {
    host::DecodedImage decoded;
    if (!host::DecodeImageFile(host::Utf8ToUtf16(path), &decoded)) return false;
    image->width = decoded.width;
    image->height = decoded.height;
    image->pixels = std::move(decoded.rgba);
    return true;
  };
  codec.encodePng = [](const RgbaImage& image, std::vector<std::uint8_t>* png) {
    host::DecodedImage pixels;
    pixels.width = image.width;
    pixels.height = image.height;
    pixels.rgba = image.pixels;
    return host::EncodePng(pixels, png);
  };
  return codec;
}

}  // namespace vexmara::cli
