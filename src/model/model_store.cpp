#include "model/model_store.h"

namespace vexmara {

void ModelStore::Clear() {
  bones.Free();
  geosets.Free();
  materials.Free();
  variantNames.Free();
  animations.Free();
  textureFiles.Free();
  animationFiles.Free();
  listStorage.Release();
  formatVersion = 0;
  boneTotal = 0;
  submeshTotal = 0;
  vertexTotal = 0;
  triangleTotal = 0;
  sourcePath[0] = 0;
}

Animation* ModelStore::AppendAnimation() { return animations.Append(); }

}  // namespace vexmara
