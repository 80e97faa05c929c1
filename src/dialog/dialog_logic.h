// The import dialog's behaviour, apart from any window system: what it shows on opening, what
// each button does, and what the two pickers' answers do to the options and the store. A view
// (the Win32 dialog, or the headless stand-in) carries it out on real or recorded controls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "store/import_options.h"
#include "store/model_store.h"

namespace vexmara {

// Dialog template 100 and the identifiers of its controls.
constexpr int32_t kImportDialogTemplate = 100;
enum ControlId : int32_t {
  kControlImport = 1,
  kControlCancel = 2,
  kControlGeosets = 1002,
  kControlTextureCount = 1003,
  kControlBones = 1004,
  kControlMaterials = 1005,
  kControlVertices = 1006,
  kControlTriangles = 1007,
  kControlSwapModel = 3031,
  kControlSubmeshesAsGroups = 3035,
  kControlExtractAlphaMaps = 3037,
  kControlTextureDirectory = 4001,
  kControlBrowseTextures = 4002,
  kControlPickAnimations = 5001,
  kControlAnimationFiles = 5002,
  kControlTextureList = 6001,
};

// The file picker's result buffer: 33,280 UTF-16 units, zero-filled before the picker opens.
constexpr size_t kFilePickerUnits = 33280;

// The one message the dialog can show: a file selection too long for the picker's buffer.
inline constexpr char16_t kFilePickerErrorText[] = u"There was an error opening the file.";
inline constexpr char16_t kFilePickerErrorCaption[] = u"Error";
constexpr uint32_t kWarningOkStyle = 0x30;  // warning icon, OK button

inline constexpr char16_t kNoAnimationText[] = u"Untitled.ani";
inline constexpr char16_t kMultipleAnimationsText[] = u"Multiple files selected";

// How the dialog ended. The values are the ones the modal dialog returns on Windows.
enum class DialogResult : int32_t {
  kImport = 1,
  kCancel = 0,
  kNotCreated = -1,  // no dialog could be made (no template, no window system)
};

enum class FilePickResult {
  kChosen,          // the buffer holds the selection
  kCancelled,       // the user closed the picker
  kBufferTooSmall,  // the selection did not fit the buffer
  kFailed,          // any other failure of the picker
};

// What the dialog's logic needs of its window: its controls, its two pickers, its message box.
class DialogView {
 public:
  virtual void SetControlText(int32_t id, const char16_t* text) = 0;
  virtual void SetCheck(int32_t id, bool checked) = 0;
  virtual bool IsChecked(int32_t id) = 0;
  // The drop-down list: ClearList is false when the control is missing.
  virtual bool ClearList(int32_t id) = 0;
  virtual void AddListLine(int32_t id, const char16_t* text) = 0;
  virtual void SelectListLine(int32_t id, int32_t line) = 0;
  // Centres the dialog on the desktop, kept on the screen (see CentredPosition).
  virtual void CentreOnDesktop() = 0;
  virtual void EndDialog(DialogResult result) = 0;

  // The folder picker: true with the chosen folder's path in `path` (kPathUnits units,
  // terminated) when a folder was chosen and its file-system path could be had.
  virtual bool BrowseForFolder(char16_t* path) = 0;
  // The multi-select file picker. On kChosen, `buffer` (`units` units, handed in zero-filled)
  // holds either one full path, or a directory followed by the file names, each terminated,
  // with an empty text after the last; `fileOffset` is where the (first) file name starts.
  virtual FilePickResult PickFiles(char16_t* buffer, size_t units, size_t* fileOffset) = 0;
  // A message box owned by the window with the keyboard focus.
  virtual void ShowMessage(const char16_t* text, const char16_t* caption, uint32_t style) = 0;

 protected:
  ~DialogView() = default;
};

// The animation text of control 5002: "Untitled.ani" with no list, "Multiple files selected"
// for any count other than 1, otherwise the one full path.
const char16_t* AnimationText(const ModelStore& store);

struct ScreenRect {
  int32_t left, top, right, bottom;
};
struct ScreenPoint {
  int32_t x, y;
};

// Where a window of `width` x `height` goes to be centred on `reference`: the centre is taken
// with truncating division, then each coordinate is moved onto the screen (0 when the window
// starts off it or is larger than it, screen size - window size when it runs past the end).
ScreenPoint CentredPosition(int32_t width, int32_t height, const ScreenRect& reference,
                            int32_t screenWidth, int32_t screenHeight);

// One open import dialog. Its own state is only its controls; everything it changes lives in
// `options` (for the library's life) and `store` (until the end of the import).
class ImportDialog {
 public:
  // `sourcePath` is the path of the file being imported (kPathUnits units; may be null).
  ImportDialog(DialogView& view, ModelStore& store, ImportOptions& options,
               const char16_t* sourcePath);

  // WM_INITDIALOG: the default texture directory, the scan, the statistics, the placement.
  void OnInitDialog();
  // WM_COMMAND for a control id. Returns what the dialog procedure returns (true: handled).
  bool OnCommand(int32_t id);

  // The five statistics, the animation text, the texture count, the list and the boxes.
  void FillDialogStatistics();
  // Refills the texture list: one line per material with texture slots. False when the list
  // control is missing.
  bool FillTextureList();
  // Button 4002's picker (without the rescan that follows it).
  void BrowseTextureDirectory();
  // Button 5001's picker: true when a selection was stored in the store's animationFiles.
  bool PickAnimationFiles();

 private:
  DialogView& view_;
  ModelStore& store_;
  ImportOptions& options_;
  char16_t sourcePath_[kPathUnits];
};

}  // namespace vexmara
