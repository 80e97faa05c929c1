// The Win32 view of the import dialog: the dialog procedure of template 100, the placement of
// the dialog, and the two standard pickers behind its "..." buttons. Windows builds only.
#pragma once

#include <windows.h>

#include <cstddef>

#include "abi/host_interface.h"
#include "dialog/dialog_logic.h"
#include "store/import_options.h"
#include "store/model_store.h"

namespace vexmara {

// What one open dialog works on: the import's context (whose file path the dialog defaults the
// texture directory from), the store it shows and fills, and the options it stores.
struct DialogState {
  HostContext* context;
  ModelStore* store;
  ImportOptions* options;
};

// The dialog procedure: WM_INITDIALOG (lParam: the DialogState, which the dialog keeps in its
// DWLP_USER slot) and WM_COMMAND go to the dialog's logic on that state; every other message is
// left to the system (FALSE). Without a state the dialog shows nothing and both buttons end it
// as "Cancel".
INT_PTR CALLBACK ImportDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Centres `window` on `reference`, kept on the screen of the window's device context, without
// changing its size or z-order. FALSE, and no move, when either window is missing or its
// rectangle or the screen's size cannot be had.
BOOL CentreWindow(HWND window, HWND reference);

// The folder browser's callback: it opens the browser at the process's current directory and
// shows the path of each selected folder as the status text. Always 0.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM lParam, LPARAM data);

// The shell's folder browser owned by `owner`. True with the chosen folder's file-system path
// in `path` (kPathUnits units, terminated); false when the user cancelled, the shell allocator
// could not be had or the choice has no file-system path.
bool ShowFolderBrowser(HWND owner, char16_t* path);

// The common open-file dialog owned by `owner`, for any number of animation files, writing its
// result into `buffer` (`units` units, zero-filled by the caller).
FilePickResult ShowOpenFileDialog(HWND owner, char16_t* buffer, size_t units, size_t* fileOffset);

}  // namespace vexmara
