#include "plugin/text.h"

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

void CopyNameField(char* out, const uint8_t* field, size_t fieldBytes) {
  size_t n = 0;
  while (n < fieldBytes && n + 1 < kNameBytes && field[n] != 0) {
    out[n] = char(field[n]);
    ++n;
  }
  out[n] = '\0';
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
