#include "build/import_driver.h"

#include "model/model_store.h"

namespace vexmara {

int32_t RunImport(HostContext* context, void* instance) {
  ModelStore& store = TheModelStore();
  if (context == nullptr || instance == nullptr) {
    store.Clear();
    return 0;
  }
  // The dialog and the scene build are not part of this library yet: the import reports a
  // failure and, as after every import, leaves the store empty for the next read.
  store.Clear();
  return 0;
}

}  // namespace vexmara
