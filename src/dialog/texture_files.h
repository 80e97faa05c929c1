// Texture file resolution: the tex files of a directory are identified by the number in their
// header, and material texture slots are matched to them by that number.
#pragma once

#include <cstdint>

#include "store/model_store.h"

namespace vexmara {

// Rebuilds the store's textureFiles from the tex files in `directory`, then assigns the slots.
// False when the directory cannot be searched (the list stays empty, the slots untouched).
// A tex file whose path (directory + name) would exceed 259 characters is left out, never cut;
// of two names equal without regard to case only the first listed is kept.
bool ScanTextureDirectory(ModelStore& store, const char16_t* directory);

// Copies fileName and directory from matching found files into every material's slots.
void AssignTextureSlots(ModelStore& store);

// Index of the first found file with this identifier; -1 for a negative identifier or none.
int32_t FindTextureFileById(const ModelStore& store, int32_t textureId);

// Looks for a converted image ("dds", "tga", "bmp") beside a tex file: `path` (kPathUnits
// units) is rewritten to the first that exists; true when one was found.
bool FindConvertedImage(char16_t* path);

}  // namespace vexmara
