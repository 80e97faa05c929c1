// What the operations on the system's files and folders give: Ok, or why not in the system's own
// words ("No space left on device"; on Windows "There is not enough space on the disk").
#pragma once

#include "host/result.h"

namespace vexmara::cli {

enum class FileCode {
  Ok,
  AlreadyExists,  // a file made new found its name taken
  Failed,         // anything else the system refused
};
using FileResult = host::Result<FileCode>;

}  // namespace vexmara::cli
