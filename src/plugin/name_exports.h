// Two exports for a client that converts many models at once and picks each model's animation
// files by their bones: the bone names that an animation file's tracks carry, read by the
// import's own reader, and the bone names of the model that the last read message left in the
// store. With both, the client matches tracks to bones under the rule of the import itself.
//
// Each name is handed to the client's visitor, which may copy it but must not keep the pointer
// and must not throw. Neither export changes anything an import reads.
#pragma once

#include <cstdint>

#include "model/model.h"

#if defined(_WIN32)
// The Windows library's exports are the list of plugin/exports.def.
#define VEXMARA_NAMES_API
#else
#define VEXMARA_NAMES_API __attribute__((visibility("default")))
#endif

extern "C" {

typedef void (*VexmaraNameVisitor)(void* context, const char* name);

// Reads the animation file at `path` (NUL-terminated UTF-16) as an import reads it, with the
// same bounds and work budget, and hands the bone name of each of its tracks to `visit`, in
// track order; then frees what it read. Returns 1 when the file was parsed completely, 0 when
// the parse rejected it partway (the names of the tracks read before are handed out), and -1
// when it could not be read at all or `path` is null (nothing is handed out).
VEXMARA_NAMES_API int32_t ListAnimationTrackNames(const uint16_t* path, VexmaraNameVisitor visit,
                                                  void* context);

// Hands the name of each bone of the model in the store to `visit`, in model order: after a
// read message that succeeded and before the import that follows, those of the model read.
// Returns the number of bones. Defined with the module-wide store, beside the entry points.
VEXMARA_NAMES_API int32_t ListModelBoneNames(VexmaraNameVisitor visit, void* context);

}  // extern "C"

namespace vexmara {

// The bones of `model`, one name each to `visit`; gives their number.
int32_t ListBoneNames(const Model& model, VexmaraNameVisitor visit, void* context);

}  // namespace vexmara
