// Text services on Windows: the runtime's own conversions and comparisons, with the guarantees
// the plug-in needs on top (every output terminated inside its field, nothing written past it).
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/platform.h"

namespace vexmara::platform {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide texts are UTF-16 units on Windows");

const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

}  // namespace

int32_t WideToNarrow(char* out, size_t capacity, const char16_t* text) {
  if (out == nullptr || capacity == 0) return -1;
  out[0] = '\0';
  if (text == nullptr) return -1;
  // Convert character by character so that a text too long for the field is cut at a
  // character boundary and the terminator always fits.
  std::mbstate_t state{};
  size_t used = 0;
  for (const wchar_t* p = AsWide(text); *p != L'\0'; ++p) {
    char encoded[MB_LEN_MAX];
    const size_t n = std::wcrtomb(encoded, *p, &state);
    if (n == static_cast<size_t>(-1)) {
      out[0] = '\0';
      return -1;
    }
    if (used + n + 1 > capacity) break;
    std::memcpy(out + used, encoded, n);
    used += n;
  }
  out[used] = '\0';
  return static_cast<int32_t>(used);
}

int32_t NarrowToWide(char16_t* out, size_t capacity, const char* text) {
  if (out == nullptr || capacity == 0) return -1;
  out[0] = 0;
  if (text == nullptr) return -1;
  const size_t n = std::mbstowcs(nullptr, text, 0);
  if (n == static_cast<size_t>(-1)) return -1;
  wchar_t* wide = AsWide(out);
  const size_t written = std::mbstowcs(wide, text, capacity - 1);
  if (written == static_cast<size_t>(-1)) {
    out[0] = 0;
    return -1;
  }
  out[written] = 0;
  return static_cast<int32_t>(written);
}

int CompareNoCase(const char* a, const char* b) { return _stricmp(a, b); }

int CompareNoCaseWide(const char16_t* a, const char16_t* b) {
  return _wcsicmp(AsWide(a), AsWide(b));
}

void SplitPath(const char16_t* path, char16_t* drive, char16_t* directory, char16_t* name,
               char16_t* extension) {
  static const char16_t kEmpty[1] = {0};
  // _wsplitpath_s rejects parts that do not fit; split into buffers large enough for any
  // part of a path, then cut each part to its field.
  wchar_t parts[4][4 * kPathUnits];
  const wchar_t* source = AsWide(path ? path : kEmpty);
  if (wcslen(source) >= 4 * kPathUnits ||
      _wsplitpath_s(source, parts[0], 4 * kPathUnits, parts[1], 4 * kPathUnits, parts[2],
                    4 * kPathUnits, parts[3], 4 * kPathUnits) != 0) {
    for (auto& part : parts) part[0] = L'\0';
  }
  char16_t* outputs[4] = {drive, directory, name, extension};
  for (int i = 0; i < 4; ++i) {
    if (outputs[i] == nullptr) continue;
    size_t n = 0;
    while (n + 1 < kPathUnits && parts[i][n] != L'\0') {
      outputs[i][n] = static_cast<char16_t>(parts[i][n]);
      ++n;
    }
    outputs[i][n] = 0;
  }
}

}  // namespace vexmara::platform
