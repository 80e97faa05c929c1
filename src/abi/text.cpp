#include "abi/text.h"

#include "platform/platform.h"

namespace vexmara {

size_t WideLength(const char16_t* text, size_t capacity) {
  if (text == nullptr) return 0;
  size_t n = 0;
  while (n < capacity && text[n] != 0) ++n;
  return n;
}

void WideCopy(char16_t* out, size_t capacity, const char16_t* text) {
  if (out == nullptr || capacity == 0) return;
  size_t n = 0;
  if (text != nullptr) {
    while (n + 1 < capacity && text[n] != 0) {
      out[n] = text[n];
      ++n;
    }
  }
  out[n] = 0;
}

void WideAppend(char16_t* out, size_t capacity, const char16_t* text) {
  if (out == nullptr || capacity == 0) return;
  const size_t used = WideLength(out, capacity);
  if (used >= capacity) {
    out[capacity - 1] = 0;
    return;
  }
  WideCopy(out + used, capacity - used, text);
}

bool JoinPath(char16_t* out, const char16_t* directory, const char16_t* name) {
  if (WideLength(directory) + WideLength(name) >= kPathUnits) {
    out[0] = 0;
    return false;
  }
  WideCopy(out, kPathUnits, directory);
  WideAppend(out, kPathUnits, name);
  return true;
}

void CopyNameField(char* out, const uint8_t* field, size_t fieldBytes) {
  size_t n = 0;
  while (n < fieldBytes && n + 1 < kNameBytes && field[n] != 0) {
    out[n] = char(field[n]);
    ++n;
  }
  out[n] = '\0';
}

bool DirectoryOf(const char16_t* path, char16_t* out) {
  if (path == nullptr || out == nullptr) return false;
  char16_t drive[kPathUnits];
  char16_t directory[kPathUnits];
  platform::SplitPath(path, drive, directory, nullptr, nullptr);
  WideCopy(out, kPathUnits, drive);
  WideAppend(out, kPathUnits, directory);
  const size_t n = WideLength(out);
  if (n > 0 && out[n - 1] != u'\\' && out[n - 1] != u'/') WideAppend(out, kPathUnits, u"\\");
  return true;
}

void NarrowCopy(char* out, size_t capacity, const char* text) {
  if (out == nullptr || capacity == 0) return;
  size_t n = 0;
  if (text != nullptr) {
    while (n + 1 < capacity && text[n] != '\0') {
      out[n] = text[n];
      ++n;
    }
  }
  out[n] = '\0';
}

}  // namespace vexmara
