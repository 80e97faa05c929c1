// Driving real windows of this process from a second thread, as a user would: finding a dialog
// by its caption, reading and setting its controls, pressing its buttons and keys, and steering
// the shell's folder browser and the common open-file dialog through their own controls.
//
// The dialogs run modally on the thread that opened them; everything here only finds them,
// reads them, and sends or posts their messages. A press is posted, not sent, because the
// button's work may itself open a modal window and a sent message would wait for it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vexmara::wine_test {

// How long a window may take to appear, change or go.
constexpr DWORD kWaitMs = 15000;

// Polls `done` every 20 ms until it holds or `timeoutMs` pass. True when it held.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kWaitMs);

// A visible top-level window of this process with exactly this caption; null when none shows
// within the time.
HWND WaitForWindow(const wchar_t* caption, DWORD timeoutMs = kWaitMs);
// True once the window no longer exists.
bool WaitForClose(HWND window, DWORD timeoutMs = kWaitMs);

std::wstring WindowText(HWND window);
// The first descendant of `parent` of the window class `className` (compared ignoring case).
HWND FindDescendant(HWND parent, const wchar_t* className);
// The window with the keyboard focus on the thread that owns `window`.
HWND FocusOn(HWND window);

// A dialog's controls.
std::wstring ControlText(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
std::vector<std::wstring> ComboLines(HWND dialog, int id);
int ComboSelection(HWND dialog, int id);

// Presses a push button as its click does: WM_COMMAND (id, BN_CLICKED) posted to the dialog.
void PressButton(HWND dialog, int id);
// Clicks a check box on its own thread (BM_CLICK), which also gives it the focus.
void ClickCheckBox(HWND dialog, int id);
// Posts a key press (down and up) to `control`, as the keyboard delivers it to the focus.
void PressKey(HWND control, WPARAM key);
// The close box of the caption: the system command it sends.
void PressCloseBox(HWND window);

// The shell's folder browser ("Browse for Folder").
class FolderBrowser {
 public:
  static constexpr int kStatusTextId = 0x3743;
  // Waits for the browser to open.
  static FolderBrowser Wait();
  bool IsOpen() const { return window_ != nullptr; }
  HWND window() const { return window_; }
  // The display name of the folder selected in the browser's tree.
  std::wstring SelectedName() const;
  // Selects a folder by its path (BFFM_SETSELECTIONW), or, when the browser does not take
  // that, by clicking its item in the tree under its parent folder's item; waits until the
  // tree, which settles on its own time, shows it selected. False when it never does.
  bool Select(const std::wstring& path);
  // The status text the browser's callback set. The browser keeps it in its status control
  // even where its new style does not show that control.
  std::wstring StatusText() const;
  void PressOk() const;
  void PressCancel() const;

 private:
  HWND window_ = nullptr;
};

// The common open-file dialog (captioned "Open File(s)" by the plug-in).
class OpenFileDialog {
 public:
  static OpenFileDialog Wait(const wchar_t* caption = L"Open File(s)");
  bool IsOpen() const { return window_ != nullptr; }
  HWND window() const { return window_; }
  // Types `text` into the file-name field and presses "Open".
  void Enter(const std::wstring& text) const;
  // Opens `folder` in the dialog (typed into the file-name field) and waits until the dialog
  // shows it. False when it never does.
  bool OpenFolder(const std::wstring& folder) const;
  // The folder the dialog shows.
  std::wstring Folder() const;
  // The lines of the "Files of type" list and the selected one.
  std::vector<std::wstring> FileTypes() const;
  int SelectedFileType() const;
  // Whether its list of files lets more than one file be selected.
  bool AllowsSeveralFiles() const;
  void PressCancel() const;

 private:
  HWND window_ = nullptr;
};

// Records, on one thread, the folder browser's BFFM_SETSELECTIONW and BFFM_SETSTATUSTEXTW
// requests as they are sent to it (a WH_CALLWNDPROC hook): what the browser's owner asked of it,
// whatever the browser then makes of it.
class BrowserRequestRecorder {
 public:
  struct Request {
    UINT message;
    WPARAM wParam;
    std::wstring text;  // the path or status text
  };
  // Starts recording on the calling thread.
  BrowserRequestRecorder();
  ~BrowserRequestRecorder();
  BrowserRequestRecorder(const BrowserRequestRecorder&) = delete;
  BrowserRequestRecorder& operator=(const BrowserRequestRecorder&) = delete;
  std::vector<Request> Requests() const;

 private:
  HHOOK hook_ = nullptr;
};

// A function run on a thread of its own, joined on destruction (or by Join).
class DriverThread {
 public:
  explicit DriverThread(std::function<void()> work);
  ~DriverThread();
  DriverThread(const DriverThread&) = delete;
  DriverThread& operator=(const DriverThread&) = delete;
  // False when the thread did not end within the time.
  bool Join(DWORD timeoutMs = 4 * kWaitMs);

 private:
  static DWORD WINAPI Run(void* self);
  std::function<void()> work_;
  HANDLE thread_ = nullptr;
};

}  // namespace vexmara::wine_test
