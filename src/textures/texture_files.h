// Texture file resolution: the tex files of a directory are identified by the number in their
// header, and material texture slots are matched to them by that number. The import dialog
// scans; the materials stage looks for the converted images.
#pragma once

#include <cstdint>

#include "model/list.h"
#include "model/model_types.h"

namespace vexmara {

// Rebuilds `textureFiles` from the tex files in `directory`, then assigns the slots of
// `materials` from it. False when the directory cannot be searched (the list stays empty, the
// slots untouched). A tex file whose path (directory + name) would exceed 259 characters is left
// out, never cut; of two names equal without regard to case only the first listed is kept.
bool ScanTextureDirectory(List<TextureRef>& textureFiles, List<Material>& materials,
                          const char16_t* directory);

// Copies fileName and directory from the matching entry of `textureFiles` into every slot of
// every material; a slot without a match keeps what it held.
void AssignTextureSlots(const List<TextureRef>& textureFiles, List<Material>& materials);

// Index of the first entry of `textureFiles` with this identifier; -1 for a negative identifier
// or none.
int32_t FindTextureFileById(const List<TextureRef>& textureFiles, int32_t textureId);

// Looks for a converted image ("dds", "tga", "bmp") beside a tex file: `path` (kPathUnits
// units) is rewritten to the first that exists; true when one was found.
bool FindConvertedImage(char16_t* path);

}  // namespace vexmara
