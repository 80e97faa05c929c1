// Paths as text. The program keeps every text as UTF-8 (its messages, its JSON, the lines between
// a batch and its workers) and every path as a std::filesystem::path. On POSIX systems a path is
// its bytes, used as they are in both directions; on Windows a path is UTF-16, converted from and
// to UTF-8 here. (std::filesystem's own narrow forms on Windows use the ANSI code page, which
// cannot hold every name.)
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vexmara::cli {

// The path as UTF-8 text (on POSIX systems: its bytes).
std::string PathText(const std::filesystem::path& path);
// The path a UTF-8 text names (on POSIX systems: those bytes).
std::filesystem::path PathFromText(std::string_view text);

// Why the plug-in, which takes paths as UTF-16 text, cannot be handed this path; empty when it
// can: its bytes are not UTF-8 (POSIX), or it holds half of a surrogate pair (Windows).
std::string UnicodeProblem(const std::filesystem::path& path);

// The UTF-16 text the plug-in is handed for a path.
std::u16string WidePath(const std::filesystem::path& path);

}  // namespace vexmara::cli
