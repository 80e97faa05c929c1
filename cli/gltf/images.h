// The base colour images of the export: each material's texture decoded, given the alpha of the
// alpha map the host wrote for it (with "Extract alpha maps"), and encoded as PNG. An image that
// materials share, or that equals another byte for byte, is kept once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/gltf/scene_snapshot.h"

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
  std::function<bool(const std::string& path, RgbaImage* image)> decode;  // a UTF-8 path
  std::function<bool(const RgbaImage& image, std::vector<std::uint8_t>* png)> encodePng;
};

// How a material uses its image's alpha, as glTF's alphaMode names it.
enum class AlphaMode { Opaque, Mask, Blend };

// Opaque when every alpha is 255, Mask when each is 0 or 255 (a cut-out), Blend otherwise.
AlphaMode AlphaModeOf(const RgbaImage& image);

struct ExportImage {
  std::string name;  // the texture's file name without its folder and extension
  std::shared_ptr<const std::vector<std::uint8_t>> png;
  AlphaMode alpha = AlphaMode::Opaque;
  std::string uri;  // set when the image is written as a file beside the document
};

struct MaterialImages {
  std::vector<ExportImage> images;
  std::vector<int> imageOf;  // per material: its image, or -1 when it is untextured
  std::vector<std::string> warnings;
};

// The image of every material's texture, with the red channel of its alpha map (the grey map the
// host derived from it and wrote) as its alpha when the material has one. A texture that
// cannot be decoded or encoded leaves its material untextured, with a warning.
MaterialImages PrepareImages(const SceneSnapshot& scene, const ImageCodec& codec);

}  // namespace vexmara::cli
