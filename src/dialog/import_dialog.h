// The modal import dialog (the Win32 view on Windows, a headless stand-in elsewhere).
#pragma once

#include <cstdint>

#include "abi/host_interface.h"

namespace vexmara {

// Shows the import dialog owned by the host's main window, from dialog resource 100 of
// `instance`. 1: "Import" (the options are stored), 0: "Cancel", -1: the dialog could not be
// created.
int32_t ShowImportDialog(HostContext* context, void* instance);

}  // namespace vexmara
