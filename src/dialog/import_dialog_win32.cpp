// The import dialog on Windows: the modal dialog from template 100, owned by the host's main
// window, with its logic carried out on the real controls.
#include "dialog/import_dialog_win32.h"

#include "dialog/headless_dialog.h"
#include "dialog/import_dialog.h"
#include "store/import_options.h"
#include "store/model_store.h"

namespace vexmara {
namespace {

const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// The dialog's controls, as the logic addresses them. The dialog keeps no state of its own
// beyond its controls, so a view is made afresh for each message.
class Win32DialogView final : public DialogView {
 public:
  explicit Win32DialogView(HWND dialog) : dialog_(dialog) {}

  void SetControlText(int32_t id, const char16_t* text) override {
    SetDlgItemTextW(dialog_, id, AsWide(text));
  }

  void SetCheck(int32_t id, bool checked) override {
    SendDlgItemMessageW(dialog_, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }

  bool IsChecked(int32_t id) override {
    return SendDlgItemMessageW(dialog_, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
  }

  bool ClearList(int32_t id) override {
    HWND list = GetDlgItem(dialog_, id);
    if (list == nullptr) return false;
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    return true;
  }

  void AddListLine(int32_t id, const char16_t* text) override {
    SendDlgItemMessageW(dialog_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(AsWide(text)));
  }

  void SelectListLine(int32_t id, int32_t line) override {
    SendDlgItemMessageW(dialog_, id, CB_SETCURSEL, WPARAM(line), 0);
  }

  void CentreOnDesktop() override { CentreWindow(dialog_, GetDesktopWindow()); }

  void EndDialog(DialogResult result) override { ::EndDialog(dialog_, INT_PTR(result)); }

  bool BrowseForFolder(char16_t* path) override { return ShowFolderBrowser(dialog_, path); }

  FilePickResult PickFiles(char16_t* buffer, size_t units, size_t* fileOffset) override {
    return ShowOpenFileDialog(dialog_, buffer, units, fileOffset);
  }

  void ShowMessage(const char16_t* text, const char16_t* caption, uint32_t style) override {
    MessageBoxW(GetFocus(), AsWide(text), AsWide(caption), style);
  }

 private:
  HWND dialog_;
};

}  // namespace

INT_PTR CALLBACK ImportDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      // The state comes with this first message only; the dialog keeps it for the others.
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      const auto* state = reinterpret_cast<const DialogState*>(lParam);
      if (state == nullptr) return TRUE;
      Win32DialogView view(dialog);
      ImportDialog logic(view, *state->store, *state->options,
                         state->context != nullptr ? state->context->fileInfo.path.wide : nullptr);
      logic.OnInitDialog();
      return TRUE;  // the system sets the initial focus
    }
    case WM_COMMAND: {
      // Only the control id matters; the notification code is not looked at.
      const int32_t id = int32_t(LOWORD(wParam));
      const auto* state =
          reinterpret_cast<const DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
      if (state == nullptr) {
        // Nothing to show or store: either button ends the dialog as "Cancel".
        if (id != kControlImport && id != kControlCancel) return FALSE;
        ::EndDialog(dialog, INT_PTR(DialogResult::kCancel));
        return TRUE;
      }
      Win32DialogView view(dialog);
      ImportDialog logic(view, *state->store, *state->options, nullptr);
      return logic.OnCommand(id) ? TRUE : FALSE;
    }
    default:
      return FALSE;
  }
}

BOOL CentreWindow(HWND window, HWND reference) {
  if (window == nullptr || reference == nullptr) return FALSE;
  RECT own;
  RECT around;
  if (!GetWindowRect(window, &own) || !GetWindowRect(reference, &around)) return FALSE;
  HDC screen = GetDC(window);
  if (screen == nullptr) return FALSE;
  const int screenWidth = GetDeviceCaps(screen, HORZRES);
  const int screenHeight = GetDeviceCaps(screen, VERTRES);
  ReleaseDC(window, screen);
  const ScreenPoint at = CentredPosition(
      own.right - own.left, own.bottom - own.top,
      ScreenRect{around.left, around.top, around.right, around.bottom}, screenWidth, screenHeight);
  return SetWindowPos(window, nullptr, at.x, at.y, 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

DialogResult ShowImportDialog(HostContext* context, void* instance, ModelStore& store,
                              ImportOptions& options) {
  // A client without a window for the dialog (a converter) sets a script first; the host
  // application never does, and gets the real dialog.
  if (HeadlessDialogScripted()) return ShowHeadlessDialog(context, store, options);
  ForgetHeadlessDialog();
  HWND owner = context != nullptr ? static_cast<HWND>(host::GetMainWindow(context)) : nullptr;
  DialogState state{context, &store, &options};
  // What the dialog ended with, or -1 when it could not be created (no template 100 in
  // `instance`, no window system).
  const INT_PTR result =
      DialogBoxParamW(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEW(kImportDialogTemplate),
                      owner, ImportDialogProc, reinterpret_cast<LPARAM>(&state));
  if (result == INT_PTR(DialogResult::kImport)) return DialogResult::kImport;
  if (result == INT_PTR(DialogResult::kCancel)) return DialogResult::kCancel;
  return DialogResult::kNotCreated;
}

}  // namespace vexmara
