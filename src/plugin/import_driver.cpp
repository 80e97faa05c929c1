// One import, from the dialog to the last host object: the dialog decides whether anything is
// built, the chosen animation files are read and timed, and BuildScene makes the host objects.
#include "plugin/import_driver.h"

#include "anim/animation_reader.h"
#include "anim/key_processing.h"
#include "dialog/import_dialog.h"
#include "model/read_cursor.h"
#include "scene/build_scene.h"

namespace vexmara {
namespace {

// Each file that can be read whole adds one animation, kept with whatever its parse reached;
// a file that cannot be read adds nothing and the next one follows.
void ReadChosenAnimations(ModelStore& store) {
  for (const WidePath& file : store.animationFiles) {
    ReadCursor cursor;
    ReadAnimationFile(file.path, cursor, store.animations, store.listStorage);
  }
}

}  // namespace

ImportResult RunImport(HostContext* context, void* instance, ModelStore& store,
                       ImportOptions& options) {
  if (context == nullptr || instance == nullptr) {
    store.Clear();
    return ImportResult::kFailed;
  }
  // Anything but "Import" (Cancel, or a dialog that could not be shown) builds nothing.
  if (ShowImportDialog(context, instance, store, options) != DialogResult::kImport) {
    store.Clear();
    return ImportResult::kCancelled;
  }
  ReadChosenAnimations(store);
  // Also without animation files: the key preparation runs over whatever the list holds.
  ResolveAnimationTimes(store.animations);
  const bool built = BuildScene(context, store, options);
  store.Clear();
  return built ? ImportResult::kBuilt : ImportResult::kFailed;
}

}  // namespace vexmara
