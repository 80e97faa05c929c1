/* The script record as a C compiler lays it out, for comparison with the C++ side. */
#include <stddef.h>

#include "dialog/scripted_dialog.h"

size_t ScriptedDialogLayoutFromC(size_t* offsets);

size_t ScriptedDialogLayoutFromC(size_t* offsets) {
  offsets[0] = offsetof(ScriptedDialog, result);
  offsets[1] = offsetof(ScriptedDialog, textureDirectory);
  offsets[2] = offsetof(ScriptedDialog, animationFileCount);
  offsets[3] = offsetof(ScriptedDialog, animationFiles);
  offsets[4] = offsetof(ScriptedDialog, swapModel);
  offsets[5] = offsetof(ScriptedDialog, submeshesAsGroups);
  offsets[6] = offsetof(ScriptedDialog, extractAlphaMaps);
  return sizeof(ScriptedDialog);
}
