// What the import dialog is told to choose: its three check boxes and the texture folder. One
// record from the command line, through the worker protocol, to the library's scripted dialog;
// a new choice is a field here and an option of the command line, nothing else.
#pragma once

#include <filesystem>

#include <nlohmann/json.hpp>

#include "cli/text/json_text.h"

namespace vexmara::cli {

struct DialogChoices {
  bool swapModel = true;           // "Swap model"
  bool submeshesAsGroups = false;  // "Import submeshes as groups"
  bool extractAlphaMaps = false;   // "Extract alpha maps"
  // The texture directory picked in the dialog; empty: the model's own folder, which the dialog
  // opens with.
  std::filesystem::path textureFolder;
};

// As JSON, each field by its name; a field missing from a document keeps its default.
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(DialogChoices, swapModel, submeshesAsGroups,
                                                extractAlphaMaps, textureFolder)

}  // namespace vexmara::cli
