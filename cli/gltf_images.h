// The base colour images of the export: each material's texture decoded and encoded as PNG. An
// image that materials share, or that equals another byte for byte, is kept once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/scene_snapshot.h"

namespace vexmara::cli {

// An image in memory: RGBA, 8 bits a channel, rows from top to bottom.
struct RgbaImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;
};

// How texture images are read and encoded; supplied by the caller so that the export itself
// knows no image format.
struct ImageCodec {
  std::function<bool(const std::u16string& path, RgbaImage* image)> decode;
  std::function<bool(const RgbaImage& image, std::vector<std::uint8_t>* png)> encodePng;
};

struct ExportImage {
  std::string name;  // the texture's file name without its folder and extension
  std::shared_ptr<const std::vector<std::uint8_t>> png;
  std::string uri;  // set when the image is written as a file beside the document
};

struct MaterialImages {
  std::vector<ExportImage> images;
  std::vector<int> imageOf;  // per material: its image, or -1 when it is untextured
  std::vector<std::string> warnings;
};

// The image of every material's texture slot 0. A texture that cannot be decoded or encoded
// leaves its material untextured, with a warning.
MaterialImages PrepareImages(const SceneSnapshot& scene, const ImageCodec& codec);

}  // namespace vexmara::cli
