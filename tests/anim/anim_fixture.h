// Parsing writer-made animation files through the reader, from a buffer of exactly the given
// length (so that a sanitizer sees any access past it).
#pragma once

#include <vector>

#include "anim/animation_reader.h"
#include "exact_buffer.h"
#include "store/model_store.h"
#include "writer/ani_writer.h"

namespace vexmara::testing {

// Parses the first `length` bytes into a new animation at the end of `store.animations`.
inline AnimationReadResult ParseAniBytes(const std::vector<uint8_t>& bytes, ModelStore& store,
                                         size_t length) {
  ReadCursor cursor;
  AdoptExactCopy(cursor, bytes, length);
  return ParseAnimation(cursor, store.animations, store.listStorage);
}

inline AnimationReadResult ParseAniBytes(const std::vector<uint8_t>& bytes, ModelStore& store) {
  return ParseAniBytes(bytes, store, bytes.size());
}

inline AnimationReadResult ParseAniDescription(const writer::AniFile& file, ModelStore& store) {
  return ParseAniBytes(writer::WriteAniFile(file), store);
}

}  // namespace vexmara::testing
