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

// Parses the whole file held by `cursor` (from position 0) into a new Animation at the end of
// `animations`, whose keys are kept in `keyStorage`. The Animation is appended before anything
// is checked and stays in the list whatever the parse finds, holding what was read before a
// failure. Returns 1 when the file was parsed completely, 0 when it was rejected (or the list
// could not grow, in which case nothing was appended).
int32_t ParseAnimation(ReadCursor& cursor, List<Animation>& animations, ListArena& keyStorage);

// Reads the animation file at `path` into `cursor` (releasing whatever it held first), parses
// it with ParseAnimation and releases the buffer again. A file that cannot be opened, whose
// buffer cannot be had or that cannot be read whole adds nothing. Returns the parse result, or
// 0 when the file was not read.
int32_t ReadAnimationFile(const char16_t* path, ReadCursor& cursor, List<Animation>& animations,
                          ListArena& keyStorage);

}  // namespace vexmara
