// Text services on POSIX systems. The multibyte encoding is UTF-8, the encoding of the
// file-system names these systems use; case folding follows the runtime's default locale, in
// which only the ASCII letters have case.
#include "platform/platform.h"

namespace vexmara::platform {
namespace {

char16_t FoldWide(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; }
unsigned char FoldNarrow(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? (unsigned char)(c - 'A' + 'a') : c;
}

// Encodes one code point as UTF-8 into `out`; returns its length in bytes.
size_t EncodeUtf8(uint32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = char(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = char(0xC0 | (cp >> 6));
    out[1] = char(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = char(0xE0 | (cp >> 12));
    out[1] = char(0x80 | ((cp >> 6) & 0x3F));
    out[2] = char(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = char(0xF0 | (cp >> 18));
  out[1] = char(0x80 | ((cp >> 12) & 0x3F));
  out[2] = char(0x80 | ((cp >> 6) & 0x3F));
  out[3] = char(0x80 | (cp & 0x3F));
  return 4;
}

}  // namespace

int32_t WideToNarrow(char* out, size_t capacity, const char16_t* text) {
  if (out == nullptr || capacity == 0) return -1;
  out[0] = '\0';
  if (text == nullptr) return -1;
  size_t used = 0;
  for (size_t i = 0; text[i] != 0; ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      const uint32_t low = text[i + 1];
      if (low < 0xDC00 || low > 0xDFFF) {
        out[0] = '\0';
        return -1;  // unpaired high surrogate
      }
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      out[0] = '\0';
      return -1;  // unpaired low surrogate
    }
    char encoded[4];
    const size_t n = EncodeUtf8(cp, encoded);
    if (used + n + 1 > capacity) break;  // cut at a character boundary, room for the terminator
    for (size_t k = 0; k < n; ++k) out[used + k] = encoded[k];
    used += n;
  }
  out[used] = '\0';
  return int32_t(used);
}

int32_t NarrowToWide(char16_t* out, size_t capacity, const char* text) {
  if (out == nullptr || capacity == 0) return -1;
  out[0] = 0;
  if (text == nullptr) return -1;
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  size_t used = 0;
  size_t i = 0;
  while (s[i] != 0) {
    uint32_t cp;
    size_t extra;
    const unsigned char lead = s[i];
    if (lead < 0x80) {
      cp = lead;
      extra = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F;
      extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07;
      extra = 3;
    } else {
      out[0] = 0;
      return -1;
    }
    for (size_t k = 1; k <= extra; ++k) {
      // A terminator here fails the continuation test, so the loop never reads past it.
      if ((s[i + k] & 0xC0) != 0x80) {
        out[0] = 0;
        return -1;
      }
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    static const uint32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out[0] = 0;
      return -1;  // overlong form, out of range, or an encoded surrogate
    }
    const size_t units = cp >= 0x10000 ? 2 : 1;
    if (used + units + 1 > capacity) break;
    if (units == 2) {
      out[used] = char16_t(0xD800 + ((cp - 0x10000) >> 10));
      out[used + 1] = char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out[used] = char16_t(cp);
    }
    used += units;
    i += extra + 1;
  }
  out[used] = 0;
  return int32_t(used);
}

int CompareNoCase(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  for (;; ++x, ++y) {
    const int cx = FoldNarrow(*x);
    const int cy = FoldNarrow(*y);
    if (cx != cy || cx == 0) return cx - cy;
  }
}

int CompareNoCaseWide(const char16_t* a, const char16_t* b) {
  for (;; ++a, ++b) {
    const int cx = FoldWide(*a);
    const int cy = FoldWide(*b);
    if (cx != cy || cx == 0) return cx - cy;
  }
}

namespace {

void CopyPart(char16_t* out, const char16_t* begin, const char16_t* end) {
  if (out == nullptr) return;
  size_t n = 0;
  for (const char16_t* p = begin; p < end && n + 1 < kPathUnits; ++p) out[n++] = *p;
  out[n] = 0;
}

}  // namespace

void SplitPath(const char16_t* path, char16_t* drive, char16_t* directory, char16_t* name,
               char16_t* extension) {
  static const char16_t kEmpty[1] = {0};
  if (path == nullptr) path = kEmpty;
  const char16_t* p = path;
  const char16_t* driveEnd = p;
  if (p[0] != 0 && p[1] == u':') driveEnd = p + 2;
  CopyPart(drive, p, driveEnd);

  const char16_t* end = driveEnd;
  while (*end != 0) ++end;
  const char16_t* lastSeparator = nullptr;
  const char16_t* lastDot = nullptr;
  for (const char16_t* q = driveEnd; q < end; ++q) {
    if (*q == u'\\' || *q == u'/') lastSeparator = q;
    if (*q == u'.') lastDot = q;
  }
  const char16_t* nameBegin = lastSeparator ? lastSeparator + 1 : driveEnd;
  CopyPart(directory, driveEnd, nameBegin);
  if (lastDot == nullptr || lastDot < nameBegin) lastDot = end;
  CopyPart(name, nameBegin, lastDot);
  CopyPart(extension, lastDot, end);
}

}  // namespace vexmara::platform
