#include "platform/platform.h"
#include "scene/stages.h"

namespace vexmara {

ScopedNarrowText::ScopedNarrowText(const char* text) {
  // Both conversions are bounded by their half and always terminate it; a name that is not
  // valid in the current encoding keeps its narrow form and gets an empty wide one.
  platform::NarrowToWide(value_.wide, sizeof(value_.wide) / sizeof(value_.wide[0]), text);
  NarrowCopy(value_.narrow, sizeof(value_.narrow), text);
}

}  // namespace vexmara
