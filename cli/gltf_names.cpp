#include "cli/gltf_names.h"

#include <algorithm>
#include <cstdio>

#include "host/text.h"

namespace vexmara::cli {
namespace {

// The Unicode characters of the Windows-1252 bytes 0x80 to 0x9F. The five bytes the code page
// leaves undefined map to the control characters of the same value, as Windows converts them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsUtf8(const std::string& text) {
  // The host's decoder replaces every malformed sequence; a text that comes back unchanged was
  // valid UTF-8.
  return host::Utf16ToUtf8(host::Utf8ToUtf16(text)) == text;
}

std::string FromWindows1252(const std::string& text) {
  std::u16string wide;
  for (unsigned char c : text) {
    wide += c >= 0x80 && c < 0xA0 ? kWindows1252High[c - 0x80] : char16_t(c);
  }
  return host::Utf16ToUtf8(wide);
}

// A name ending in "." and digits, split into its stem and that number.
bool SplitNumber(const std::string& name, std::string* stem, int* number) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 == name.size() || name.size() - dot > 10) return false;
  int value = 0;
  for (size_t i = dot + 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    value = value * 10 + (name[i] - '0');
  }
  *stem = name.substr(0, dot);
  *number = value;
  return true;
}

}  // namespace

std::string HostText(const std::u16string& wide, const std::string& narrow) {
  if (!wide.empty() || narrow.empty()) return host::Utf16ToUtf8(wide);
  return IsUtf8(narrow) ? narrow : FromWindows1252(narrow);
}

std::string UniqueNames::Claim(const std::string& name, const std::string& fallback) {
  const std::string& wanted = name.empty() ? fallback : name;
  if (taken_.insert(wanted).second) return wanted;
  std::string stem = wanted;
  int number = 0;
  SplitNumber(wanted, &stem, &number);  // "a.001" taken: try "a.002" and on, not "a.001.001"
  int& next = nextNumber_[stem];
  for (next = std::max(next, 1);; ++next) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%03d", next);
    std::string candidate = stem + suffix;
    if (taken_.insert(candidate).second) {
      ++next;
      return candidate;
    }
  }
}

}  // namespace vexmara::cli
