#include "window_driver.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <cwctype>

namespace vexmara::wine_test {
namespace {

bool SameNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

// A window's text as the system holds it, read without sending the window a message: safe to
// poll while the window's thread is still busy setting the window up.
std::wstring StoredText(HWND window) {
  wchar_t text[1024] = {};
  InternalGetWindowText(window, text, 1024);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// The first window, of the top-level ones (no parent) or of a parent's descendants, for which
// `matches` holds; null when there is none.
struct WindowSearch {
  const std::function<bool(HWND)>& matches;
  HWND found;
};

BOOL CALLBACK TakeFirstMatch(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  if (!search->matches(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FirstWindow(HWND parent, const std::function<bool(HWND)>& matches) {
  WindowSearch search{matches, nullptr};
  if (parent == nullptr) {
    EnumWindows(TakeFirstMatch, reinterpret_cast<LPARAM>(&search));
  } else {
    EnumChildWindows(parent, TakeFirstMatch, reinterpret_cast<LPARAM>(&search));
  }
  return search.found;
}

void PostCommand(HWND window, int id) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
}

HWND WaitForWindow(const wchar_t* caption, DWORD timeoutMs) {
  // A visible window of this process with that caption.
  const std::function<bool(HWND)> matches = [caption](HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId() && IsWindowVisible(window) &&
           StoredText(window) == caption;
  };
  HWND found = nullptr;
  WaitUntil([&] { return (found = FirstWindow(nullptr, matches)) != nullptr; }, timeoutMs);
  return found;
}

bool WaitForClose(HWND window, DWORD timeoutMs) {
  return WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

std::wstring WindowText(HWND window) {
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(size_t(length) + 1, L'\0');
  const LRESULT got =
      SendMessageW(window, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()));
  text.resize(size_t(got));
  return text;
}

HWND FindDescendant(HWND parent, const wchar_t* className) {
  return FirstWindow(parent,
                     [className](HWND window) { return SameNoCase(ClassOf(window), className); });
}

HWND FocusOn(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

std::wstring ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr ? WindowText(control) : L"<no control>";
}

bool IsChecked(HWND dialog, int id) {
  return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<std::wstring> ComboLines(HWND dialog, int id) {
  std::vector<std::wstring> lines;
  const LRESULT count = SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, WPARAM(i), 0);
    std::wstring line(size_t(length > 0 ? length : 0) + 1, L'\0');
    const LRESULT got = SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, WPARAM(i),
                                            reinterpret_cast<LPARAM>(line.data()));
    line.resize(size_t(got > 0 ? got : 0));
    lines.push_back(line);
  }
  return lines;
}

int ComboSelection(HWND dialog, int id) {
  return int(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

void PressButton(HWND dialog, int id) { PostCommand(dialog, id); }

void ClickCheckBox(HWND dialog, int id) { SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0); }

void PressKey(HWND control, WPARAM key) {
  const UINT scan = MapVirtualKeyW(UINT(key), MAPVK_VK_TO_VSC);
  PostMessageW(control, WM_KEYDOWN, key, LPARAM(1 | (scan << 16)));
  PostMessageW(control, WM_KEYUP, key, LPARAM(1 | (scan << 16) | (1u << 30) | (1u << 31)));
}

void PressCloseBox(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

// ---- The folder browser ------------------------------------------------------------------------

FolderBrowser FolderBrowser::Wait() {
  FolderBrowser browser;
  browser.window_ = WaitForWindow(L"Browse for Folder");
  return browser;
}

namespace {

std::wstring ItemText(HWND tree, HTREEITEM item) {
  wchar_t text[MAX_PATH] = {};
  TVITEMW info = {};
  info.mask = TVIF_TEXT;
  info.hItem = item;
  info.pszText = text;
  info.cchTextMax = MAX_PATH;
  if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info))) return L"";
  return text;
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, WPARAM relation) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

}  // namespace

std::wstring FolderBrowser::SelectedName() const {
  HWND tree = FindDescendant(window_, WC_TREEVIEWW);
  if (tree == nullptr) return L"";
  const HTREEITEM item = NextItem(tree, nullptr, TVGN_CARET);
  return item != nullptr ? ItemText(tree, item) : L"";
}

namespace {

// The item named `name` under an item named `parentName`, among the items the tree holds now.
HTREEITEM FindItem(HWND tree, HTREEITEM first, const std::wstring& parentName,
                   const std::wstring& name) {
  for (HTREEITEM item = first; item != nullptr; item = NextItem(tree, item, TVGN_NEXT)) {
    if (SameNoCase(ItemText(tree, item), parentName)) {
      for (HTREEITEM child = NextItem(tree, item, TVGN_CHILD); child != nullptr;
           child = NextItem(tree, child, TVGN_NEXT)) {
        if (SameNoCase(ItemText(tree, child), name)) return child;
      }
    }
    if (HTREEITEM found = FindItem(tree, NextItem(tree, item, TVGN_CHILD), parentName, name))
      return found;
  }
  return nullptr;
}

}  // namespace

bool FolderBrowser::Select(const std::wstring& path) {
  const std::wstring folder = WithoutTrailingSeparator(path);
  const size_t split = folder.find_last_of(L"\\/");
  const std::wstring name = folder.substr(split + 1);
  const std::wstring parent = folder.substr(0, split);
  const std::wstring parentName = parent.substr(parent.find_last_of(L"\\/") + 1);
  const auto selected = [&] { return SameNoCase(SelectedName(), name); };
  // By path first, as the browser's owner selects; the request is repeated while the browser
  // may still be filling its tree.
  for (int attempt = 0; attempt < 3; ++attempt) {
    SendMessageW(window_, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
    if (WaitUntil(selected, 500)) return true;
  }
  // Under load Wine's browser sometimes stops taking selections by path; then the folder is
  // picked in the tree itself, where it shows beside the current selection.
  HWND tree = FindDescendant(window_, WC_TREEVIEWW);
  if (tree == nullptr) return false;
  HTREEITEM item = FindItem(tree, NextItem(tree, nullptr, TVGN_ROOT), parentName, name);
  if (item == nullptr) return false;
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  return WaitUntil(selected);
}

std::wstring FolderBrowser::StatusText() const { return ControlText(window_, kStatusTextId); }

void FolderBrowser::PressOk() const { PostCommand(window_, IDOK); }

void FolderBrowser::PressCancel() const { PostCommand(window_, IDCANCEL); }

// ---- The open-file dialog ----------------------------------------------------------------------

OpenFileDialog OpenFileDialog::Wait(const wchar_t* caption) {
  OpenFileDialog dialog;
  dialog.window_ = WaitForWindow(caption);
  return dialog;
}

void OpenFileDialog::Enter(const std::wstring& text) const {
  // The file-name field: the edit inside the combo box cmb13 (0x47c), or the plain edt1.
  HWND field = nullptr;
  if (HWND combo = GetDlgItem(window_, 0x47c)) field = FindDescendant(combo, L"Edit");
  if (field == nullptr) field = GetDlgItem(window_, 0x480);
  SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  PostCommand(window_, IDOK);
}

std::wstring OpenFileDialog::Folder() const {
  wchar_t folder[MAX_PATH] = {};
  SendMessageW(window_, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
  return folder;
}

bool OpenFileDialog::OpenFolder(const std::wstring& folder) const {
  const std::wstring wanted = WithoutTrailingSeparator(folder);
  if (SameNoCase(WithoutTrailingSeparator(Folder()), wanted)) return true;
  Enter(wanted);
  return WaitUntil([&] { return SameNoCase(WithoutTrailingSeparator(Folder()), wanted); });
}

std::vector<std::wstring> OpenFileDialog::FileTypes() const { return ComboLines(window_, 0x470); }

int OpenFileDialog::SelectedFileType() const { return ComboSelection(window_, 0x470); }

bool OpenFileDialog::AllowsSeveralFiles() const {
  HWND files = FindDescendant(window_, WC_LISTVIEWW);
  return files != nullptr && (GetWindowLongPtrW(files, GWL_STYLE) & LVS_SINGLESEL) == 0;
}

void OpenFileDialog::PressCancel() const { PostCommand(window_, IDCANCEL); }

// ---- Requests to the folder browser ----------------------------------------------------------

namespace {

CRITICAL_SECTION& RecorderLock() {
  static CRITICAL_SECTION lock;
  static const bool ready = (InitializeCriticalSection(&lock), true);
  (void)ready;
  return lock;
}

std::vector<BrowserRequestRecorder::Request>& RecordedRequests() {
  static std::vector<BrowserRequestRecorder::Request> requests;
  return requests;
}

LRESULT CALLBACK RecordBrowserRequest(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION &&
      (sent->message == BFFM_SETSELECTIONW || sent->message == BFFM_SETSTATUSTEXTW) &&
      StoredText(sent->hwnd) == L"Browse for Folder") {
    BrowserRequestRecorder::Request request{sent->message, sent->wParam, L""};
    // A selection by item (wParam FALSE) carries no text.
    if (sent->lParam != 0 && (sent->message == BFFM_SETSTATUSTEXTW || sent->wParam)) {
      request.text = reinterpret_cast<const wchar_t*>(sent->lParam);
    }
    EnterCriticalSection(&RecorderLock());
    RecordedRequests().push_back(request);
    LeaveCriticalSection(&RecorderLock());
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

BrowserRequestRecorder::BrowserRequestRecorder() {
  EnterCriticalSection(&RecorderLock());
  RecordedRequests().clear();
  LeaveCriticalSection(&RecorderLock());
  hook_ = SetWindowsHookExW(WH_CALLWNDPROC, RecordBrowserRequest, nullptr, GetCurrentThreadId());
}

BrowserRequestRecorder::~BrowserRequestRecorder() {
  if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
}

std::vector<BrowserRequestRecorder::Request> BrowserRequestRecorder::Requests() const {
  EnterCriticalSection(&RecorderLock());
  std::vector<Request> copy = RecordedRequests();
  LeaveCriticalSection(&RecorderLock());
  return copy;
}

// ---- The driver thread -------------------------------------------------------------------------

DriverThread::DriverThread(std::function<void()> work) : work_(std::move(work)) {
  thread_ = CreateThread(nullptr, 0, &DriverThread::Run, this, 0, nullptr);
}

DriverThread::~DriverThread() {
  if (thread_ != nullptr) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
}

bool DriverThread::Join(DWORD timeoutMs) {
  return thread_ == nullptr || WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD WINAPI DriverThread::Run(void* self) {
  static_cast<DriverThread*>(self)->work_();
  return 0;
}

}  // namespace vexmara::wine_test
