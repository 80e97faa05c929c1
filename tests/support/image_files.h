// Small image files for the suites that import textures: the reference host decodes what it
// loads, so a converted texture beside a tex file must be a real image.
#pragma once

#include <cstdint>
#include <vector>

namespace vexmara::testing {

// An uncompressed 32-bit DDS image of `width` x `height` pixels, every pixel the given BGRA.
inline std::vector<uint8_t> DdsImage(uint32_t width, uint32_t height, uint32_t bgra = 0x80FF4020u) {
  std::vector<uint8_t> bytes;
  auto put = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
  };
  bytes = {'D', 'D', 'S', ' '};
  put(124);                             // header size
  put(0x1 | 0x2 | 0x4 | 0x8 | 0x1000);  // caps, height, width, pitch, pixel format
  put(height);
  put(width);
  put(width * 4);  // pitch
  put(0);          // depth
  put(0);          // mipmap count
  for (int i = 0; i < 11; ++i) put(0);
  put(32);           // pixel format size
  put(0x40 | 0x1);   // RGB with alpha
  put(0);            // no four-character code
  put(32);           // bits per pixel
  put(0x00FF0000u);  // red mask
  put(0x0000FF00u);  // green mask
  put(0x000000FFu);  // blue mask
  put(0xFF000000u);  // alpha mask
  put(0x1000);       // caps: texture
  for (int i = 0; i < 4; ++i) put(0);
  for (uint32_t p = 0; p < width * height; ++p) put(bgra);
  return bytes;
}

}  // namespace vexmara::testing
