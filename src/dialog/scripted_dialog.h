/* The answers of the headless import dialog, which stands in for the modal dialog wherever there
 * is no window system: a test, a reference host or a command-line importer sets them before an
 * import. Usable from C and C++. */
#ifndef VEXMARA_SCRIPTED_DIALOG_H
#define VEXMARA_SCRIPTED_DIALOG_H

#include <stdint.h>

#if defined(VEXMARA_BUILDING_PLUGIN)
#if defined(_WIN32)
#define VEXMARA_SCRIPTED_DIALOG_API __declspec(dllexport)
#else
#define VEXMARA_SCRIPTED_DIALOG_API __attribute__((visibility("default")))
#endif
#else
#define VEXMARA_SCRIPTED_DIALOG_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ScriptedDialog {
  int32_t result; /* what the dialog ends with: 1 "Import", 0 "Cancel", -1 could not be created */
  const uint16_t* textureDirectory; /* non-null: button 4002 is used and the folder picker returns
                                     this path (NUL-terminated UTF-16), followed by the rescan;
                                     null: the button is not used */
  int32_t animationFileCount; /* > 0: button 5001 is used and the file picker returns these full
                                 paths, in order; 0: the button is not used */
  const uint16_t* const* animationFiles;
  int32_t swapModel; /* check-box states when "Import" is pressed: 1 checked, 0 unchecked, */
  int32_t submeshesAsGroups; /* -1 left as the dialog showed it */
  int32_t extractAlphaMaps;
} ScriptedDialog;

/* Copies *script (paths included); the copy answers every following import dialog until it is
 * replaced. A null script restores the default: "Import", nothing picked, every box left as shown.
 *
 * Details of the copy: a result other than 1 and -1 ends the dialog as "Cancel"; a box state other
 * than 1 and 0 leaves the box as shown; null or empty entries of animationFiles are left out, and a
 * null array counts as no files. The folder picker fails (nothing changes) for a path of 260 units
 * or more; the file picker reports a selection too long for its 33,280-unit buffer as the real
 * picker does. If the copy cannot be stored, the default is restored. */
VEXMARA_SCRIPTED_DIALOG_API void SetScriptedDialog(const ScriptedDialog* script);

#ifdef __cplusplus
}
#endif

#endif /* VEXMARA_SCRIPTED_DIALOG_H */
