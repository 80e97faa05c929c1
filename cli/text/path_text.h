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

// Why the plug-in cannot be handed this path, which it takes as UTF-16 in a field of 260 units:
// UnicodeProblem's reason, or its length; empty when it can.
std::string PluginPathProblem(const std::filesystem::path& path);

// A name as the import and Windows' file systems compare it: ASCII letters in lower case, every
// other byte as it is.
std::string FoldName(std::string_view name);

// The path made absolute (from the current folder) and normal, without a trailing separator, so
// that one file or folder has one spelling; the path as it was when the system cannot tell the
// current folder.
std::filesystem::path AbsolutePath(const std::filesystem::path& path);

// True when the name's extension is `extension` (".app"), ASCII letters compared without regard
// to case, as Windows compares them. A name that is only the extension (".app") has none.
bool HasExtension(const std::filesystem::path& name, std::string_view extension);

}  // namespace vexmara::cli
