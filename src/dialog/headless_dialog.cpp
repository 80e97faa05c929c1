// Without a window system the import dialog is a headless stand-in: the same logic on recorded
// controls, with the pickers and the buttons answered by the script of SetScriptedDialog. On
// Windows it stands in for the real dialog once a client has set a script (see
// ShowImportDialog in import_dialog_win32.cpp).
#include "dialog/headless_dialog.h"

#include <cstddef>
#include <memory>
#include <new>

#include "dialog/dialog_logic.h"
#include "dialog/import_dialog.h"
#include "dialog/scripted_dialog.h"
#include "store/import_options.h"
#include "store/model_store.h"

static_assert(sizeof(ScriptedDialog) == 48,
              "the script's layout is part of the library's interface");
static_assert(offsetof(ScriptedDialog, textureDirectory) == 8);
static_assert(offsetof(ScriptedDialog, animationFileCount) == 16);
static_assert(offsetof(ScriptedDialog, animationFiles) == 24);
static_assert(offsetof(ScriptedDialog, swapModel) == 32);
static_assert(offsetof(ScriptedDialog, submeshesAsGroups) == 36);
static_assert(offsetof(ScriptedDialog, extractAlphaMaps) == 40);

namespace vexmara {

// --- The record of the last dialog -------------------------------------------------------------

void HeadlessDialogRecord::Reset() {
  created_ = false;
  result_ = DialogResult::kNotCreated;
  for (size_t i = 0; i < kTextCount; ++i) {
    const bool isEdit = kTextControls[i] == 4001 || kTextControls[i] == 5002;
    WideCopy(texts_[i], kPathUnits, isEdit ? u"" : u"0");
  }
  for (bool& checked : checks_) checked = false;
  lines_.Free();
  selectedLine_ = -1;
  messageCount_ = 0;
  messageText_[0] = 0;
  messageCaption_[0] = 0;
  messageStyle_ = 0;
}

const char16_t* HeadlessDialogRecord::ControlText(int32_t id) const {
  for (size_t i = 0; i < kTextCount; ++i) {
    if (kTextControls[i] == id) return texts_[i];
  }
  return nullptr;
}

int32_t HeadlessDialogRecord::CheckState(int32_t id) const {
  for (size_t i = 0; i < kCheckCount; ++i) {
    if (kCheckControls[i] == id) return checks_[i] ? 1 : 0;
  }
  return -1;
}

const char16_t* HeadlessDialogRecord::ListLine(int32_t line) const {
  return line >= 0 && line < lines_.count ? lines_[line].path : nullptr;
}

void HeadlessDialogRecord::SetText(int32_t id, const char16_t* text) {
  for (size_t i = 0; i < kTextCount; ++i) {
    if (kTextControls[i] == id) WideCopy(texts_[i], kPathUnits, text);
  }
}

void HeadlessDialogRecord::SetCheck(int32_t id, bool checked) {
  for (size_t i = 0; i < kCheckCount; ++i) {
    if (kCheckControls[i] == id) checks_[i] = checked;
  }
}

void HeadlessDialogRecord::ClearLines() {
  lines_.Free();
  selectedLine_ = -1;
}

void HeadlessDialogRecord::AddLine(const char16_t* text) {
  // Like a list control out of memory, a line that cannot be stored is not added.
  if (WidePath* line = lines_.Append()) WideCopy(line->path, kPathUnits, text);
}

void HeadlessDialogRecord::SelectLine(int32_t line) {
  selectedLine_ = line >= 0 && line < lines_.count ? line : -1;
}

void HeadlessDialogRecord::RecordMessage(const char16_t* text, const char16_t* caption,
                                         uint32_t style) {
  ++messageCount_;
  WideCopy(messageText_, kPathUnits, text);
  WideCopy(messageCaption_, kPathUnits, caption);
  messageStyle_ = style;
}

namespace {

HeadlessDialogRecord& TheRecord() {
  static HeadlessDialogRecord record;
  return record;
}

// --- The script --------------------------------------------------------------------------------

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Where the file name of a path starts: after its last separator, a trailing one not counted,
// so that a name is never empty.
size_t NameStart(const char16_t* path, size_t length) {
  size_t start = 0;
  for (size_t i = 0; i + 1 < length; ++i) {
    if (IsSeparator(path[i])) start = i + 1;
  }
  return start;
}

struct Script {
  bool given = false;  // set by SetScriptedDialog with a script, not by a null one
  int32_t result = 1;
  bool useFolderPicker = false;
  bool folderTooLong = false;  // no 260-unit path buffer holds it: the picker fails
  char16_t folder[kPathUnits] = {};
  bool useFilePicker = false;
  bool selectionTooLong = false;  // a path longer than the picker's whole buffer
  int32_t pathCount = 0;
  std::unique_ptr<char16_t[]> pathStore;  // the paths, each terminated, back to back
  std::unique_ptr<size_t[]> pathStarts;   // pathCount + 1 offsets into pathStore
  int32_t boxes[3] = {-1, -1, -1};

  const char16_t* Path(int32_t i) const { return pathStore.get() + pathStarts[i]; }
  size_t PathLength(int32_t i) const { return pathStarts[i + 1] - pathStarts[i] - 1; }

  // The length of the directory all paths share, up to and including a separator, that
  // leaves each path a non-empty name.
  size_t CommonDirectoryLength() const {
    size_t limit = NameStart(Path(0), PathLength(0));
    for (int32_t i = 1; i < pathCount; ++i) {
      const size_t start = NameStart(Path(i), PathLength(i));
      if (start < limit) limit = start;
    }
    size_t common = 0;
    for (; common < limit; ++common) {
      bool same = true;
      for (int32_t i = 1; i < pathCount && same; ++i) same = Path(i)[common] == Path(0)[common];
      if (!same) break;
    }
    while (common > 0 && !IsSeparator(Path(0)[common - 1])) --common;
    return common;
  }
};

Script& TheScript() {
  static Script script;
  return script;
}

size_t ScriptPathLength(const uint16_t* path, size_t limit) {
  size_t n = 0;
  while (n < limit && path[n] != 0) ++n;
  return n;
}

bool CopyScript(const ScriptedDialog& from, Script& to) {
  to.result = from.result;
  if (from.textureDirectory != nullptr) {
    to.useFolderPicker = true;
    const size_t length = ScriptPathLength(from.textureDirectory, kPathUnits);
    to.folderTooLong = length >= kPathUnits;
    for (size_t i = 0; i < length && !to.folderTooLong; ++i)
      to.folder[i] = char16_t(from.textureDirectory[i]);
  }
  const int32_t boxes[3] = {from.swapModel, from.submeshesAsGroups, from.extractAlphaMaps};
  for (int32_t k = 0; k < 3; ++k) to.boxes[k] = boxes[k] == 0 || boxes[k] == 1 ? boxes[k] : -1;

  if (from.animationFileCount <= 0 || from.animationFiles == nullptr) return true;
  to.useFilePicker = true;
  // Only what could ever reach the picker's buffer is read of each path.
  size_t units = 0;
  int32_t kept = 0;
  for (int32_t i = 0; i < from.animationFileCount; ++i) {
    const uint16_t* path = from.animationFiles[i];
    if (path == nullptr) continue;
    const size_t length = ScriptPathLength(path, kFilePickerUnits);
    if (length >= kFilePickerUnits) to.selectionTooLong = true;
    if (length == 0 || to.selectionTooLong) continue;
    units += length + 1;
    ++kept;
  }
  if (to.selectionTooLong || kept == 0) return true;
  to.pathStore.reset(new (std::nothrow) char16_t[units]);
  to.pathStarts.reset(new (std::nothrow) size_t[size_t(kept) + 1]);
  if (!to.pathStore || !to.pathStarts) return false;
  size_t at = 0;
  for (int32_t i = 0; i < from.animationFileCount; ++i) {
    const uint16_t* path = from.animationFiles[i];
    if (path == nullptr || path[0] == 0) continue;
    to.pathStarts[to.pathCount++] = at;
    for (; *path != 0; ++path) to.pathStore[at++] = char16_t(*path);
    to.pathStore[at++] = 0;
  }
  to.pathStarts[to.pathCount] = at;
  return true;
}

// --- The view ----------------------------------------------------------------------------------

class HeadlessView final : public DialogView {
 public:
  HeadlessView(HeadlessDialogRecord& record, const Script& script)
      : record_(record), script_(script) {}

  void SetControlText(int32_t id, const char16_t* text) override { record_.SetText(id, text); }
  void SetCheck(int32_t id, bool checked) override { record_.SetCheck(id, checked); }
  bool IsChecked(int32_t id) override { return record_.CheckState(id) == 1; }
  bool ClearList(int32_t id) override {
    if (id != kControlTextureList) return false;
    record_.ClearLines();
    return true;
  }
  void AddListLine(int32_t id, const char16_t* text) override {
    if (id == kControlTextureList) record_.AddLine(text);
  }
  void SelectListLine(int32_t id, int32_t line) override {
    if (id == kControlTextureList) record_.SelectLine(line);
  }
  void CentreOnDesktop() override {}  // no screen to be placed on
  void EndDialog(DialogResult result) override { record_.SetResult(result); }

  bool BrowseForFolder(char16_t* path) override {
    if (!script_.useFolderPicker || script_.folderTooLong) return false;
    WideCopy(path, kPathUnits, script_.folder);
    return true;
  }

  // The scripted paths in the picker's own format: one full path with the offset of its name,
  // or the shared directory followed by the rest of each path.
  FilePickResult PickFiles(char16_t* buffer, size_t units, size_t* fileOffset) override {
    if (script_.selectionTooLong) return FilePickResult::kBufferTooSmall;
    if (script_.pathCount == 0) return FilePickResult::kCancelled;
    if (script_.pathCount == 1) {
      const size_t length = script_.PathLength(0);
      if (length + 2 > units) return FilePickResult::kBufferTooSmall;
      Put(buffer, 0, script_.Path(0), length);
      *fileOffset = NameStart(script_.Path(0), length);
      return FilePickResult::kChosen;
    }
    const size_t directory = script_.CommonDirectoryLength();
    size_t needed = directory + 2;  // the directory, its terminator and the closing empty text
    for (int32_t i = 0; i < script_.pathCount; ++i) needed += script_.PathLength(i) - directory + 1;
    if (needed > units) return FilePickResult::kBufferTooSmall;
    size_t at = Put(buffer, 0, script_.Path(0), directory);
    *fileOffset = at;
    for (int32_t i = 0; i < script_.pathCount; ++i) {
      at = Put(buffer, at, script_.Path(i) + directory, script_.PathLength(i) - directory);
    }
    buffer[at] = 0;
    return FilePickResult::kChosen;
  }

  void ShowMessage(const char16_t* text, const char16_t* caption, uint32_t style) override {
    record_.RecordMessage(text, caption, style);
  }

 private:
  // Writes `length` units and a terminator at `at`; returns the offset after the terminator.
  static size_t Put(char16_t* buffer, size_t at, const char16_t* text, size_t length) {
    for (size_t i = 0; i < length; ++i) buffer[at + i] = text[i];
    buffer[at + length] = 0;
    return at + length + 1;
  }

  HeadlessDialogRecord& record_;
  const Script& script_;
};

}  // namespace

const HeadlessDialogRecord& LastHeadlessDialog() { return TheRecord(); }

void ForgetHeadlessDialog() { TheRecord().Reset(); }

bool HeadlessDialogScripted() { return TheScript().given; }

DialogResult ShowHeadlessDialog(HostContext* context, ModelStore& store, ImportOptions& options) {
  HeadlessDialogRecord& record = TheRecord();
  record.Reset();
  const Script& script = TheScript();
  // A dialog that cannot be created runs none of its logic.
  if (script.result == -1) return DialogResult::kNotCreated;
  record.MarkCreated();

  HeadlessView view(record, script);
  ImportDialog dialog(view, store, options,
                      context != nullptr ? context->fileInfo.path.wide : nullptr);
  dialog.OnInitDialog();
  if (script.useFolderPicker) dialog.OnCommand(kControlBrowseTextures);
  if (script.useFilePicker) dialog.OnCommand(kControlPickAnimations);
  static constexpr int32_t kBoxes[3] = {kControlSwapModel, kControlSubmeshesAsGroups,
                                        kControlExtractAlphaMaps};
  for (int32_t k = 0; k < 3; ++k) {
    if (script.boxes[k] != -1) view.SetCheck(kBoxes[k], script.boxes[k] == 1);
  }
  dialog.OnCommand(script.result == 1 ? kControlImport : kControlCancel);
  return record.result();
}

#if !defined(_WIN32)
// Without a window system the stand-in is the dialog.
DialogResult ShowImportDialog(HostContext* context, void* /*instance*/, ModelStore& store,
                              ImportOptions& options) {
  return ShowHeadlessDialog(context, store, options);
}
#endif

}  // namespace vexmara

extern "C" void SetScriptedDialog(const ScriptedDialog* script) {
  vexmara::Script& current = vexmara::TheScript();
  current = vexmara::Script{};
  if (script == nullptr) return;
  vexmara::Script copy;
  if (vexmara::CopyScript(*script, copy)) current = std::move(copy);
  current.given = true;
}
