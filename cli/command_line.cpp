#include "cli/command_line.h"

#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/gltf_export.h"

namespace vexmara::cli {

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv, const std::filesystem::path& defaultLibrary,
                                   std::ostream& out, std::ostream& err) {
  CLI::App app{
      "Imports a Karnath 3 model (.app) with its animations (.ani) through the vexmara plug-in, as a host "
      "application does, prints what the import dialog shows and the outcome, and writes what the host "
      "received as glTF 2.0.",
      "vexmara-import"};
  app.get_formatter()->column_width(28);

  std::string model;
  std::vector<std::string> animations;
  std::string textures;
  bool noSwap = false, groups = false, alpha = false, externalImages = false;
  std::string output, json;
  std::string library = defaultLibrary.string();

  app.add_option("MODEL.app", model, "The model file to import")->required();
  app.add_option("--anim", animations, "An animation file to import with the model; repeat for more")
      ->type_name("FILE.ani")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--textures", textures, "The texture directory (default: the model's folder)")
      ->type_name("DIR")
      ->check(CLI::Validator(CLI::ExistingDirectory).description(""));
  app.add_flag("--no-swap", noSwap, "Uncheck \"Swap model\" (the model's z axis stays up)");
  app.add_flag("--groups", groups, "Check \"Import submeshes as groups\"");
  app.add_flag("--alpha", alpha, "Check \"Extract alpha maps\" (writes NAME_A.tga beside each texture)");
  app.add_option("-o,--output", output,
                 "Write the scene as glTF 2.0: a .glb file holding its texture images, or a .gltf file with "
                 "its .bin and its images as PNG files beside it")
      ->type_name("OUT.glb|OUT.gltf")
      ->check(
          [](const std::string& value) {
            return IsGltfPath(value) ? std::string() : std::string("the output must end in .glb or .gltf");
          },
          "", "");
  app.add_flag("--external-images", externalImages,
               "Write a .glb's texture images as PNG files beside it instead of inside it");
  app.add_option("--json", json, "Write the reference host's scene document as JSON")->type_name("OUT.json");
  app.add_option("--plugin", library, "The plug-in library to load")
      ->type_name("LIBRARY")
      ->default_str(defaultLibrary.string());
  app.footer(
      "The three options set the import dialog's check boxes; without them the boxes keep their "
      "defaults (\"Swap model\" checked, the other two unchecked).\n"
      "Exit codes: 0 the scene was built (and written), 1 the read, the import or a write failed, "
      "2 usage.");

  ParsedCommandLine parsed;
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    parsed.exitCode = kExitBuilt;
    return parsed;
  } catch (const CLI::ParseError& e) {
    err << "vexmara-import: " << e.what() << "\n" << "Run with --help for more information.\n";
    parsed.exitCode = kExitUsage;
    return parsed;
  }

  CommandLine line;
  line.request.library = library;
  line.request.model = model;
  for (const std::string& animation : animations) line.request.animations.emplace_back(animation);
  if (!textures.empty()) line.request.textureDirectory = textures;
  line.request.noSwap = noSwap;
  line.request.groups = groups;
  line.request.alphaMaps = alpha;
  if (!output.empty()) line.output = output;
  line.externalImages = externalImages;
  if (!json.empty()) line.json = json;
  parsed.line = std::move(line);
  parsed.exitCode = kExitBuilt;
  return parsed;
}

}  // namespace vexmara::cli
