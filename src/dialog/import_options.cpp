#include "dialog/import_options.h"

namespace vexmara {

ImportOptions& TheImportOptions() {
  // Never reset while the library is loaded: each import starts from the last one's choices.
  static ImportOptions options;
  return options;
}

}  // namespace vexmara
