#include "abi/dual_string.h"

#include "abi/text.h"
#include "platform/platform.h"

namespace vexmara {

void DualStringSet(DualString& out, const char16_t* text) {
  WideCopy(out.wide, 260, text);
  platform::WideToNarrow(out.narrow, 260, out.wide);
}

void DualStringAssign(DualString& out, const DualString& from) {
  if (&out == &from) return;
  NarrowCopy(out.narrow, 260, from.narrow);
  WideCopy(out.wide, 260, from.wide);
}

void DualStringClear(DualString& text) {
  text.wide[0] = 0;
  text.narrow[0] = '\0';
}

}  // namespace vexmara
