// The import dialog's two pickers on Windows: the shell's folder browser for the texture
// directory and the common open-file dialog for animation files.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include "dialog/import_dialog_win32.h"
#include "platform/current_directory.h"

namespace vexmara {
namespace {

// Return-only-file-system-folders, status text, new dialog style.
constexpr UINT kFolderBrowserFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_NEWDIALOGSTYLE;
static_assert(kFolderBrowserFlags == 0x45);

// Hide-read-only, multi-select, path and file must exist, explorer style, sizing.
constexpr DWORD kOpenFileFlags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST |
                                 OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
static_assert(kOpenFileFlags == 0x00881A04);

// Filter pairs, each text terminated, the list closed by an empty text.
constexpr wchar_t kAnimationFilter[] =
    L"Karnath 3 animation files (*.ani)\0*.ani\0All files (*.*)\0*.*\0";

}  // namespace

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM lParam, LPARAM /*data*/) {
  switch (message) {
    case BFFM_INITIALIZED: {
      // The browser opens at the process's current directory (the model's folder after an
      // import that made materials), not at the texture directory.
      char16_t current[kPathUnits];
      if (platform::ReadCurrentDirectory(current, kPathUnits)) {
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(current));
      }
      break;
    }
    case BFFM_SELCHANGED: {
      wchar_t path[MAX_PATH];
      if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path)) {
        SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
      }
      break;
    }
    default:
      break;
  }
  return 0;
}

bool ShowFolderBrowser(HWND owner, char16_t* path) {
  if (path == nullptr) return false;
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return false;

  BROWSEINFOW browse = {};
  browse.hwndOwner = owner;
  browse.pidlRoot = nullptr;        // the desktop
  browse.pszDisplayName = nullptr;  // neither display name nor title
  browse.lpszTitle = nullptr;
  browse.ulFlags = kFolderBrowserFlags;
  browse.lpfn = BrowseCallback;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse);
  if (item == nullptr) {
    allocator->Release();
    return false;
  }

  wchar_t chosen[MAX_PATH] = {};
  const bool converted = SHGetPathFromIDListW(item, chosen) != FALSE;
  if (converted) {
    chosen[MAX_PATH - 1] = L'\0';
    size_t i = 0;
    for (; i + 1 < kPathUnits && chosen[i] != L'\0'; ++i) path[i] = char16_t(chosen[i]);
    path[i] = 0;
  }
  allocator->Free(item);
  allocator->Release();
  return converted;
}

FilePickResult ShowOpenFileDialog(HWND owner, char16_t* buffer, size_t units, size_t* fileOffset) {
  if (buffer == nullptr || units == 0 || fileOffset == nullptr) return FilePickResult::kFailed;
  wchar_t title[MAX_PATH] = {};  // the chosen file's title; never read

  OPENFILENAMEW open = {};
  open.lStructSize = sizeof open;
  open.hwndOwner = owner;
  open.lpstrFilter = kAnimationFilter;
  open.lpstrCustomFilter = nullptr;
  open.nFilterIndex = 1;
  open.lpstrFile = reinterpret_cast<wchar_t*>(buffer);
  open.nMaxFile = DWORD(units);
  open.lpstrFileTitle = title;
  open.nMaxFileTitle = MAX_PATH;
  open.lpstrInitialDir = nullptr;  // the system chooses
  open.lpstrTitle = L"Open File(s)";
  open.Flags = kOpenFileFlags;
  open.lpstrDefExt = nullptr;
  if (GetOpenFileNameW(&open)) {
    *fileOffset = open.nFileOffset;
    return FilePickResult::kChosen;
  }
  switch (CommDlgExtendedError()) {
    case 0:
      return FilePickResult::kCancelled;
    case FNERR_BUFFERTOOSMALL:
      return FilePickResult::kBufferTooSmall;
    default:
      return FilePickResult::kFailed;
  }
}

}  // namespace vexmara
