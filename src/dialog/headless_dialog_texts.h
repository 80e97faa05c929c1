/* What the last headless import dialog showed, so that a command-line importer can print exactly
 * what the dialog would have shown. Usable from C and C++. The texts are those of the dialog
 * opened by the last import message; they stay until the next one opens. (On Windows, an import
 * that showed the real dialog leaves none: the functions give -1.) */
#ifndef VEXMARA_HEADLESS_DIALOG_TEXTS_H
#define VEXMARA_HEADLESS_DIALOG_TEXTS_H

#include <stdint.h>

#if defined(VEXMARA_BUILDING_PLUGIN) && !defined(_WIN32)
#define VEXMARA_DIALOG_TEXTS_API __attribute__((visibility("default")))
#else
/* The Windows library's exports are the list of plugin/exports.def. */
#define VEXMARA_DIALOG_TEXTS_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The last text of control `controlId` (the statistics 1002, 1006, 1007, 1005, 1004, the texture
 * count 1003, the texture directory 4001, the animation files 5002), in UTF-16 units.
 *
 * Gives the text's full length without its terminator, or -1 when no dialog was created by the
 * last import or the id names no text control. When `out` is non-null and `units` is above 0, the
 * text is copied into it, cut to units - 1 units and always terminated; a result of `units` or
 * more therefore says that the copy was cut. */
VEXMARA_DIALOG_TEXTS_API int32_t GetDialogText(int32_t controlId, uint16_t* out, int32_t units);

/* Line `line` (from 0) of the texture list 6001, in the same way as GetDialogText; -1 when no
 * dialog was created or the line does not exist. */
VEXMARA_DIALOG_TEXTS_API int32_t GetDialogListLine(int32_t line, uint16_t* out, int32_t units);

/* The state in which the dialog ended for check box `controlId` (3031, 3035, 3037): 1 checked,
 * 0 unchecked; -1 when no dialog was created or the id names no check box. */
VEXMARA_DIALOG_TEXTS_API int32_t GetDialogCheck(int32_t controlId);

#ifdef __cplusplus
}
#endif

#endif /* VEXMARA_HEADLESS_DIALOG_TEXTS_H */
