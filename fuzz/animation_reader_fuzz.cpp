// The animation file reader and the key processing on arbitrary bytes: the parse (twice, so the
// second append moves the first record) and the time resolution must never read outside the
// buffer, fail an undefined-behaviour check, leak, or reserve far beyond the input.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "anim/animation_reader.h"
#include "anim/key_processing.h"
#include "platform/platform.h"
#include "store/model_store.h"

namespace {

void ParseCopy(const uint8_t* data, size_t size, vexmara::ModelStore& store) {
  vexmara::ReadCursor cursor;
  uint8_t* buffer = vexmara::platform::AllocateBuffer(size);
  if (buffer == nullptr) return;
  if (size > 0) std::memcpy(buffer, data, size);
  cursor.Adopt(buffer, uint32_t(size));
  vexmara::ParseAnimation(cursor, store.animations, store.listStorage);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  vexmara::ModelStore store;
  ParseCopy(data, size, store);
  ParseCopy(data, size / 2, store);
  vexmara::ResolveAnimationTimes(store.animations);
  for (const vexmara::Animation& animation : store.animations) {
    float low = 0, high = 0;
    vexmara::KeyTimeRange(animation, &low, &high);
    vexmara::MaxKeyCount(animation);
    vexmara::FindTrack(animation, "bone_0");
  }
  return 0;
}
