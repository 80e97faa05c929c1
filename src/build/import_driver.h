// The import driver: the host's import message ends here.
#pragma once

#include <cstdint>

#include "plugin/host_interface.h"

namespace vexmara {

// Runs one import with the model the last read left in the store: 1 built, 0 failed,
// 2 cancelled. The store is empty afterwards, whatever the outcome.
int32_t RunImport(HostContext* context, void* instance);

}  // namespace vexmara
