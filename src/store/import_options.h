// ImportOptions: the user's choices. The plug-in keeps one, module-wide, for the life of the
// loaded library, so each import starts from the previous import's choices.
#pragma once

#include <cstdint>

#include "abi/text.h"

namespace vexmara {

struct ImportOptions {
  char16_t textureDirectory[kPathUnits] = {};  // once set, ends in a separator
  int32_t swapModel = 1;                       // "Swap model"
  int32_t submeshesAsGroups = 0;               // "Import submeshes as groups"
  int32_t extractAlphaMaps = 0;                // "Extract alpha maps"
  float sceneScale = 1.0f;                     // no control changes it
};

}  // namespace vexmara
