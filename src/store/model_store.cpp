#include "store/model_store.h"

namespace vexmara {

void ModelStore::Clear() {
  bones.Free();
  geosets.Free();
  materials.Free();
  variantNames.Free();
  animations.Free();
  textureFiles.Free();
  animationFiles.Free();
  // Only once no list borrows from it any more.
  listStorage.Release();
  formatVersion = 0;
  boneTotal = 0;
  submeshTotal = 0;
  vertexTotal = 0;
  triangleTotal = 0;
  sourcePath[0] = 0;
}

}  // namespace vexmara
