// Text conversions the host needs: UTF-16 <-> UTF-8 and filling or reading a DualString.
#pragma once

#include <string>
#include <string_view>

#include "host/records.h"

namespace vexmara::host {

// Unpaired surrogates and malformed sequences become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Wide half: the text cut to 259 units; narrow half: its UTF-8 form cut to 259 bytes at a
// character boundary. Both halves are NUL-terminated and the rest of each half is zeroed.
void SetDualString(DualString& record, std::u16string_view text);

// The halves up to their first NUL (at most 260 units or bytes, so an unterminated half is read
// without running past it).
std::u16string WideText(const DualString& record);
std::string NarrowText(const DualString& record);

}  // namespace vexmara::host
