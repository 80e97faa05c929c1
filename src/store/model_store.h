// ModelStore: the store of one import, the model read from a file and the import state built
// on it: the animations read, the texture files found, the animation files chosen. The plug-in
// keeps one, module-wide, from a read message to the end of the import that follows. Each part
// is filled by its own room: the model by the model reader, the animations by the animation
// reader, the texture files by the texture scan, the animation files by the dialog's picker.
#pragma once

#include "anim/animation_types.h"
#include "model/list.h"
#include "model/model.h"
#include "model/model_types.h"

namespace vexmara {

struct ModelStore : Model {
  List<Animation> animations;  // their keys borrow from listStorage
  List<TextureRef> textureFiles;
  List<WidePath> animationFiles;

  // Frees every list (and the lists inside their elements) and their arena, zeroes the
  // counters and empties the source path.
  void Clear();
};

}  // namespace vexmara
