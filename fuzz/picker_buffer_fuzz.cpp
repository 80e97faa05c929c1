// The file picker's result buffer on arbitrary contents: whatever units and file offset the
// picker leaves in its 33,280-unit buffer, the paths stored must be terminated inside their
// fields and nothing outside the buffer may be read.
#include <cstdlib>
#include <cstring>

#include "dialog/dialog_logic.h"
#include "fuzz_input.h"

namespace {

using namespace vexmara;

class BufferView final : public DialogView {
 public:
  explicit BufferView(fuzzing::FuzzInput& input) : input_(input) {}
  void SetControlText(int32_t, const char16_t*) override {}
  void SetCheck(int32_t, bool) override {}
  bool IsChecked(int32_t) override { return false; }
  bool ClearList(int32_t) override { return true; }
  void AddListLine(int32_t, const char16_t*) override {}
  void SelectListLine(int32_t, int32_t) override {}
  void CentreOnDesktop() override {}
  void EndDialog(DialogResult) override {}
  bool BrowseForFolder(char16_t*) override { return false; }
  FilePickResult PickFiles(char16_t* buffer, size_t units, size_t* fileOffset) override {
    const uint8_t mode = input_.Take<uint8_t>();
    *fileOffset = size_t(input_.Take<uint16_t>()) % (units + 1);
    const std::vector<uint8_t> bytes = input_.TakeBytes(units * sizeof(char16_t));
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    switch (mode % 8) {
      case 0:
        return FilePickResult::kCancelled;
      case 1:
        return FilePickResult::kBufferTooSmall;
      case 2:
        return FilePickResult::kFailed;
      default:
        return FilePickResult::kChosen;
    }
  }
  void ShowMessage(const char16_t*, const char16_t*, uint32_t) override {}

 private:
  fuzzing::FuzzInput& input_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::FuzzInput input(data, size);
  BufferView view(input);
  ModelStore store;
  ImportOptions options;
  ImportDialog dialog(view, store, options, u"C:\\models\\hero.app");
  dialog.PickAnimationFiles();
  for (const WidePath& file : store.animationFiles) {
    if (WideLength(file.path, kPathUnits) >= kPathUnits) std::abort();  // an unterminated path
  }
  AnimationText(store);
  return 0;
}
