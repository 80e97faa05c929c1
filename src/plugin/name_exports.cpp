#include "plugin/name_exports.h"

#include "anim/animation_reader.h"
#include "model/read_cursor.h"
#include "store/model_store.h"

extern "C" int32_t ListAnimationTrackNames(const uint16_t* path, VexmaraNameVisitor visit,
                                           void* context) {
  if (path == nullptr) return -1;
  // A store and a cursor of their own: the module's store belongs to the import between its two
  // messages, and the model's cursor to the read message.
  vexmara::ModelStore store;
  vexmara::ReadCursor cursor;
  const vexmara::AnimationReadResult result = vexmara::ReadAnimationFile(
      reinterpret_cast<const char16_t*>(path), cursor, store.animations, store.listStorage);
  if (result == vexmara::AnimationReadResult::kNotRead || store.animations.empty()) return -1;
  if (visit != nullptr) {
    for (const vexmara::AnimationTrack& track : store.animations[0].tracks)
      visit(context, track.boneName);
  }
  store.Clear();
  return result == vexmara::AnimationReadResult::kParsed ? 1 : 0;
}

namespace vexmara {

int32_t ListBoneNames(const Model& model, VexmaraNameVisitor visit, void* context) {
  if (visit != nullptr) {
    for (const Bone& bone : model.bones) visit(context, bone.name);
  }
  return model.bones.count;
}

}  // namespace vexmara
