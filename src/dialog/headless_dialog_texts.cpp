// The controls of the last headless dialog, handed out through plain C functions so that a client
// of the library (a command-line importer) can show what the dialog showed.
#include "dialog/headless_dialog_texts.h"

#include "abi/text.h"
#include "dialog/headless_dialog.h"

namespace {

int32_t HandOut(const char16_t* text, uint16_t* out, int32_t units) {
  if (text == nullptr) return -1;
  const size_t length = vexmara::WideLength(text);
  if (out != nullptr && units > 0) {
    const size_t copied = length < size_t(units) ? length : size_t(units) - 1;
    for (size_t i = 0; i < copied; ++i) out[i] = uint16_t(text[i]);
    out[copied] = 0;
  }
  return int32_t(length);
}

}  // namespace

extern "C" int32_t GetDialogText(int32_t controlId, uint16_t* out, int32_t units) {
  const vexmara::HeadlessDialogRecord& dialog = vexmara::LastHeadlessDialog();
  if (!dialog.created()) return -1;
  return HandOut(dialog.ControlText(controlId), out, units);
}

extern "C" int32_t GetDialogListLine(int32_t line, uint16_t* out, int32_t units) {
  const vexmara::HeadlessDialogRecord& dialog = vexmara::LastHeadlessDialog();
  if (!dialog.created()) return -1;
  return HandOut(dialog.ListLine(line), out, units);
}

extern "C" int32_t GetDialogCheck(int32_t controlId) {
  const vexmara::HeadlessDialogRecord& dialog = vexmara::LastHeadlessDialog();
  if (!dialog.created()) return -1;
  return dialog.CheckState(controlId);
}
