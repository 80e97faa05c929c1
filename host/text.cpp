#include "host/text.h"

#include <algorithm>
#include <cstring>

namespace vexmara::host {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = 0;
    char32_t c = 0;
    if (lead < 0x80) {
      length = 1;
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      c = lead & 0x07;
    }
    bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && c >= kMinimum[length] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    if (valid) {
      AppendUtf16(out, c);
      i += static_cast<std::size_t>(length);
    } else {
      AppendUtf16(out, kReplacement);
      ++i;
    }
  }
  return out;
}

void SetDualString(DualString& record, std::u16string_view text) {
  std::memset(&record, 0, sizeof record);
  const std::size_t units = std::min(text.size(), kDualStringUnits - 1);
  std::copy_n(text.data(), units, record.wide);

  const std::string narrow = Utf16ToUtf8(text.substr(0, units));
  std::size_t bytes = std::min(narrow.size(), kDualStringUnits - 1);
  // Do not cut a multi-byte character in half.
  while (bytes > 0 && bytes < narrow.size() &&
         (static_cast<unsigned char>(narrow[bytes]) & 0xC0) == 0x80) {
    --bytes;
  }
  std::copy_n(narrow.data(), bytes, record.narrow);
}

std::u16string WideText(const DualString& record) {
  const char16_t* end = std::find(record.wide, record.wide + kDualStringUnits, u'\0');
  return std::u16string(record.wide, end);
}

std::string NarrowText(const DualString& record) {
  const char* end = std::find(record.narrow, record.narrow + kDualStringUnits, '\0');
  return std::string(record.narrow, end);
}

}  // namespace vexmara::host
