#include "cli/command_line.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/gltf/file.h"
#include "cli/text/path_text.h"

namespace vexmara::cli {

namespace {

ParsedCommandLine UsageError(std::ostream& err, const std::string& message) {
  err << kProgramPrefix << message << "\n"
      << "Run with --help for more information.\n";
  return ParsedCommandLine{std::nullopt, ExitCode::Usage};
}

bool IsFolder(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_directory(PathFromText(path), ignored);
}

// CLI11's own check of an existing folder, with the folder's name read as UTF-8 (CLI11 reads it
// in the ANSI code page on Windows).
std::string FolderProblem(const std::string& folder) {
  std::error_code ignored;
  const std::filesystem::path path = PathFromText(folder);
  if (std::filesystem::is_directory(path, ignored)) return {};
  return (std::filesystem::exists(path, ignored) ? "Directory is actually a file: "
                                                 : "Directory does not exist: ") +
         folder;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv,
                                   const std::filesystem::path& defaultLibrary, std::ostream& out,
                                   std::ostream& err) {
  CLI::App app{
      "Imports a Karnath 3 model (.app) with its animations (.ani) through the vexmara plug-in, as "
      "a host "
      "application does, prints what the import dialog shows and the outcome, and writes what the "
      "host "
      "received as glTF 2.0. Given folders, converts every model below them into OUT_DIR, keeping "
      "the "
      "relative paths (IN_DIR/chars/orc.app becomes OUT_DIR/chars/orc.glb), in parallel worker "
      "processes.",
      "vexmara-import"};
  app.get_formatter()->column_width(28);

  std::vector<std::string> inputs;
  std::vector<std::string> animations;
  std::string textures;
  bool noSwap = false, groups = false, alpha = false, externalImages = false;
  std::string output, json;
  std::string library = PathText(defaultLibrary);
  std::string format = "glb";
  std::vector<std::string> animationFolders;
  int jobs = 0;
  double timeout = 60;
  std::string report;

  app.add_option(
      "MODEL.app|IN_DIR", inputs,
      "The model file to import; or one or more folders, every model below which is converted");
  CLI::Option* anim =
      app.add_option("--anim", animations, "An animation file to import with the model; repeat")
          ->type_name("FILE.ani")
          ->expected(1)
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--textures", textures, "The texture directory (default: the model's folder)")
      ->type_name("DIR")
      ->check(CLI::Validator(FolderProblem, ""));
  app.add_flag("--no-swap", noSwap, "Uncheck \"Swap model\" (the model's z axis stays up)");
  app.add_flag("--groups", groups, "Check \"Import submeshes as groups\"");
  app.add_flag("--alpha", alpha,
               "Check \"Extract alpha maps\" (writes NAME_A.tga beside each texture, as the host "
               "does: in a batch too, outside OUT_DIR)");
  app.add_option("-o,--output", output,
                 "Write the scene as glTF 2.0: a .glb file holding its texture images, or a .gltf "
                 "file with its .bin and its images as PNG files beside it. With folders as "
                 "input: the folder to write into")
      ->type_name("OUT.glb|OUT.gltf|OUT_DIR");
  app.add_flag("--external-images", externalImages,
               "Write a .glb's texture images as PNG files beside it instead of inside it");
  CLI::Option* jsonOption =
      app.add_option("--json", json, "Write the reference host's scene document as JSON")
          ->type_name("OUT.json");
  app.add_option("--plugin", library, "The plug-in library to load")
      ->type_name("LIBRARY")
      ->default_str(PathText(defaultLibrary));
  CLI::Option* formatOption =
      app.add_option("--format", format,
                     "Folders: write .glb files (the default) or .gltf files with their .bin")
          ->type_name("glb|gltf")
          ->check(CLI::IsMember({"glb", "gltf"}).description(""));
  app.add_option("--anims", animationFolders,
                 "The animation files below DIR are offered to the model (with folders: to "
                 "every model); \"auto\": those below the model's own folder. Repeat for more. A "
                 "file is attached to a model when each of its tracks names one of the model's "
                 "bones (letter case aside, as the import matches them) and its tracks name at "
                 "least half of those bones")
      ->type_name("DIR|auto")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  CLI::Option* jobsOption =
      app.add_option("--jobs", jobs,
                     "Folders: how many models are converted at once (default: one per processor)")
          ->type_name("N")
          ->check(CLI::PositiveNumber.description(""));
  CLI::Option* timeoutOption =
      app.add_option("--timeout", timeout,
                     "Folders: a model (or an animation file) that takes longer has its worker "
                     "stopped and counts as failed (default 60)")
          ->type_name("SECONDS")
          ->check(CLI::PositiveNumber.description(""));
  app.add_option("--report", report,
                 "Write a JSON report: per model its status, the plug-in's error text, warnings, "
                 "counts, materials whose texture was not found, animation files attached and "
                 "time taken")
      ->type_name("FILE.json");
  app.footer(
      "The three options set the import dialog's check boxes; without them the boxes keep their "
      "defaults (\"Swap model\" checked, the other two unchecked).\n"
      "With folders as input, every .app file below them (in any letter case) is converted; a "
      "model that cannot be read, crashes or hangs fails alone and the rest go on. Nothing but "
      "the alpha maps of \"Extract alpha maps\" is written outside OUT_DIR.\n"
      "Exit codes: 0 the scene was built (and written), or every model of the folders was "
      "converted; 1 the read, the import or a write failed, or any model of the folders did; 2 "
      "usage.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return ParsedCommandLine{std::nullopt, ExitCode::Success};
  } catch (const CLI::ParseError& e) {
    return UsageError(err, e.what());
  }

  if (inputs.empty()) {
    return UsageError(err, "MODEL.app is required (or folders to convert, with -o OUT_DIR)");
  }
  ConvertSettings settings;
  settings.library = PathFromText(library);
  settings.choices.swapModel = !noSwap;
  settings.choices.submeshesAsGroups = groups;
  settings.choices.extractAlphaMaps = alpha;
  if (!textures.empty()) settings.choices.textureFolder = PathFromText(textures);
  settings.externalImages = externalImages;
  // --anims, for one model or folders alike.
  std::vector<std::filesystem::path> folderAnimations;
  bool besideModels = false;
  for (const std::string& folder : animationFolders) {
    if (folder == "auto") {
      besideModels = true;
    } else if (IsFolder(folder)) {
      folderAnimations.push_back(PathFromText(folder));
    } else {
      return UsageError(err, "--anims: " + folder + " is not a folder (nor \"auto\")");
    }
  }

  CommandLine line;
  const bool folders = std::any_of(inputs.begin(), inputs.end(), IsFolder);
  if (folders) {
    for (const std::string& input : inputs) {
      if (!IsFolder(input)) {
        return UsageError(err, input + ": with folders as input, every input must be a folder");
      }
    }
    if (output.empty()) return UsageError(err, "with folders as input, -o OUT_DIR is required");
    std::error_code ignored;
    if (std::filesystem::exists(PathFromText(output), ignored) && !IsFolder(output)) {
      return UsageError(err, output + ": with folders as input, -o names the folder to write into");
    }
    if (IsGltfPath(PathFromText(output))) {
      return UsageError(
          err, output + ": with folders as input, -o names a folder, not a .glb or .gltf file");
    }
    if (anim->count() > 0) {
      return UsageError(err, "--anim is for one model; with folders as input, use --anims DIR");
    }
    if (jsonOption->count() > 0) return UsageError(err, "--json is for one model, not for folders");
    batch::BatchOptions options;
    for (const std::string& input : inputs) options.inputs.push_back(PathFromText(input));
    options.output = PathFromText(output);
    options.gltf = format == "gltf";
    options.animationFolders = std::move(folderAnimations);
    options.animationsBesideModels = besideModels;
    options.jobs = jobs;
    options.timeoutSeconds = timeout;
    if (!report.empty()) options.report = PathFromText(report);
    options.settings = std::move(settings);
    line.batch = std::move(options);
    return ParsedCommandLine{std::move(line), ExitCode::Success};
  }

  if (inputs.size() > 1) {
    return UsageError(err, inputs[1] + ": one model file at a time (or folders to convert)");
  }
  for (const CLI::Option* option : {formatOption, jobsOption, timeoutOption}) {
    if (option->count() > 0) {
      return UsageError(err, option->get_name() + " is for folders as input, not a model file");
    }
  }
  if (!output.empty() && !IsGltfPath(PathFromText(output))) {
    std::error_code ignored;
    const bool missing = !std::filesystem::exists(PathFromText(inputs[0]), ignored);
    return UsageError(
        err,
        "-o: the output must end in .glb or .gltf" +
            (missing ? " (or be a folder, with folders as input: " + inputs[0] + " is none)" : ""));
  }
  ModelCommand model;
  model.settings = std::move(settings);
  model.model = PathFromText(inputs[0]);
  for (const std::string& animation : animations) {
    model.animations.push_back(PathFromText(animation));
  }
  model.animationFolders = std::move(folderAnimations);
  model.animationsBesideModel = besideModels;
  if (!output.empty()) model.output = PathFromText(output);
  if (!json.empty()) model.json = PathFromText(json);
  if (!report.empty()) model.report = PathFromText(report);
  line.model = std::move(model);
  return ParsedCommandLine{std::move(line), ExitCode::Success};
}

}  // namespace vexmara::cli
