// The images of the export as the reference host reads and writes them: DDS, TGA, BMP and PNG
// files decoded, PNG files encoded.
#pragma once

#include "cli/gltf/images.h"

namespace vexmara::cli {

ImageCodec HostImageCodec();

}  // namespace vexmara::cli
