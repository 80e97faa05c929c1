// What the program's messages share: the name they start with, the exit codes, and counted
// nouns.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexmara::cli {

inline constexpr char kProgramPrefix[] = "vexmara-import: ";

enum class ExitCode : int {
  Success = 0,  // the model was converted, or every model of the folders was
  Failed = 1,   // a read, an import or a write failed, or a model of the folders did
  Usage = 2,    // the command line was wrong
};

// "1 vertex", "3 vertices".
inline std::string Plural(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

}  // namespace vexmara::cli
