// The animation file reader: reads one animation file (extension ".ani") whole into memory and
// parses it into one Animation appended to a list of animations. The parse is safe to use for
// untrusted input: every read is tested against the file's length, no count can make it
// reserve more records than the whole file could hold, and the work of one file stays within a
// fixed multiple of its size.
#pragma once

#include <cstdint>

#include "anim/animation_types.h"
#include "model/list.h"
#include "model/list_arena.h"
#include "model/read_cursor.h"

namespace vexmara {

enum class AnimationReadResult {
  kParsed,    // the whole file was parsed into the animation added
  kRejected,  // the parse stopped at a fault; the animation added keeps what was read before it
  kNotRead,   // nothing was added: the file could not be read whole, or the list could not grow
};

// Parses the whole file held by `cursor` (from position 0) into a new Animation at the end of
// `animations`, whose keys are kept in `keyStorage`. The Animation is appended before anything
// is checked and stays in the list whatever the parse finds, holding what was read before a
// failure.
AnimationReadResult ParseAnimation(ReadCursor& cursor, List<Animation>& animations,
                                   ListArena& keyStorage);

// Reads the animation file at `path` into `cursor` (releasing whatever it held first), parses
// it with ParseAnimation and releases the buffer again. A file that cannot be opened, whose
// buffer cannot be had or that cannot be read whole adds nothing (kNotRead).
AnimationReadResult ReadAnimationFile(const char16_t* path, ReadCursor& cursor,
                                      List<Animation>& animations, ListArena& keyStorage);

}  // namespace vexmara
