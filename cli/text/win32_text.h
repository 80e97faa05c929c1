// Text on Windows: UTF-8, which the program keeps, to and from the UTF-16 of the Win32 calls,
// and the system's own words for an error code. Windows builds only.
#pragma once

#include <string>
#include <string_view>

namespace vexmara::cli::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// FormatMessageW's text for a GetLastError code, without its closing full stop and line break
// ("Access is denied"); "error 1234" when the system has none.
std::string SystemMessage(unsigned long error);

}  // namespace vexmara::cli::win32
