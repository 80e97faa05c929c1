// The headless import dialog, used wherever there is no window system, and on Windows in place of
// the real dialog once a client has set a script. It runs the same logic as the Win32 dialog on
// recorded controls, answers its pickers and buttons from the script set with
// SetScriptedDialog, and keeps what every control last showed until the next dialog opens.
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi/host_interface.h"
#include "abi/text.h"
#include "dialog/dialog_logic.h"
#include "model/list.h"
#include "model/model_types.h"

namespace vexmara {

class HeadlessDialogRecord {
 public:
  // Back to the state of a dialog that has not been created.
  void Reset();

  bool created() const { return created_; }
  // What the dialog ended with; kNotCreated until it ends.
  DialogResult result() const { return result_; }

  // The last text of a text-bearing control (the statistics, 1003, 4001, 5002), as the
  // template starts them ("0" or empty); null for any other id.
  const char16_t* ControlText(int32_t id) const;
  // 1 checked, 0 unchecked for the three check boxes; -1 for any other id.
  int32_t CheckState(int32_t id) const;
  // The texture list's lines and its selected line (-1: none).
  int32_t ListLineCount() const { return lines_.count; }
  const char16_t* ListLine(int32_t line) const;
  int32_t selectedLine() const { return selectedLine_; }
  // The message boxes shown (the file picker's only), the last one's text, caption and style.
  int32_t messageCount() const { return messageCount_; }
  const char16_t* messageText() const { return messageText_; }
  const char16_t* messageCaption() const { return messageCaption_; }
  uint32_t messageStyle() const { return messageStyle_; }

  // Written by the headless view.
  void MarkCreated() { created_ = true; }
  void SetResult(DialogResult result) { result_ = result; }
  void SetText(int32_t id, const char16_t* text);
  void SetCheck(int32_t id, bool checked);
  void ClearLines();
  void AddLine(const char16_t* text);
  void SelectLine(int32_t line);
  void RecordMessage(const char16_t* text, const char16_t* caption, uint32_t style);

 private:
  static constexpr int32_t kTextControls[] = {1002, 1006, 1007, 1005, 1004, 1003, 4001, 5002};
  static constexpr int32_t kCheckControls[] = {3031, 3035, 3037};
  static constexpr size_t kTextCount = sizeof(kTextControls) / sizeof(kTextControls[0]);
  static constexpr size_t kCheckCount = sizeof(kCheckControls) / sizeof(kCheckControls[0]);

  bool created_ = false;
  DialogResult result_ = DialogResult::kNotCreated;
  char16_t texts_[kTextCount][kPathUnits] = {};
  bool checks_[kCheckCount] = {};
  List<WidePath> lines_;
  int32_t selectedLine_ = -1;
  int32_t messageCount_ = 0;
  char16_t messageText_[kPathUnits] = {};
  char16_t messageCaption_[kPathUnits] = {};
  uint32_t messageStyle_ = 0;
};

// The controls of the last headless dialog, as it left them.
const HeadlessDialogRecord& LastHeadlessDialog();
// Back to no dialog recorded, for an import whose dialog is another one.
void ForgetHeadlessDialog();

// Whether the last call of SetScriptedDialog set a script (a null script takes it back).
bool HeadlessDialogScripted();

// Runs the import dialog for the model in `store` on recorded controls, answered by the script
// (see ShowImportDialog in import_dialog.h for what it does to the store and the options).
DialogResult ShowHeadlessDialog(HostContext* context, ModelStore& store, ImportOptions& options);

}  // namespace vexmara
