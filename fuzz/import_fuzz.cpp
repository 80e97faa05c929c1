// A whole import on arbitrary input: a model file, an animation file and the dialog's options
// drawn from the input, read and built into the reference host, closing transforms included.
// Any out-of-bounds access, undefined behaviour, leak, image left unreleased, call of a slot
// outside the interface or misuse of a host object is a finding.
#include <cstdlib>

#include "host/host.h"
#include "whole_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path folder = vexmara::fuzzing::ScratchFolder("import");
  vexmara::host::Host host;
  host.SetCallLogging(false);
  vexmara::fuzzing::RunWholeImport(data, size, folder, host);
  if (host.LiveImageCount() != 0 || !host.UnexpectedCalls().empty() || !host.Misuses().empty() ||
      !host.RetiredArraysUntouched()) {
    std::abort();
  }
  return 0;
}
