#include "model/read_cursor.h"

#include "platform/platform.h"

namespace vexmara {

void ReadCursor::Release() {
  platform::FreeBuffer(buffer);
  buffer = nullptr;
  position = 0;
  length = 0;
}

}  // namespace vexmara
