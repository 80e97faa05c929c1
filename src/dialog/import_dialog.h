// The modal import dialog (the Win32 view on Windows, a headless stand-in elsewhere and for a
// client that scripts it).
#pragma once

#include <cstdint>

#include "abi/host_interface.h"
#include "dialog/dialog_logic.h"
#include "store/import_options.h"
#include "store/model_store.h"

namespace vexmara {

// Shows the import dialog for the model in `store`, read from the file the context names,
// owned by the host's main window, from dialog resource 100 of `instance`, and tells how it
// ended ("Import" stores the boxes in `options`). While it is open the dialog sets the options'
// texture directory, rebuilds the store's texture files and fills its materials' texture slots
// and its chosen animation files.
DialogResult ShowImportDialog(HostContext* context, void* instance, ModelStore& store,
                              ImportOptions& options);

}  // namespace vexmara
