#include "cli/batch/report.h"

#include "cli/text/path_text.h"

namespace vexmara::cli::batch {
namespace {

using nlohmann::json;

const char* StatusName(ModelStatus status) {
  switch (status) {
    case ModelStatus::Converted:
      return "converted";
    case ModelStatus::Failed:
      return "failed";
    case ModelStatus::Pending:
      break;
  }
  return "not run";
}

json CoverageJson(const std::vector<AnimationFile>& files, const Coverage& coverage, int bones,
                  bool attached) {
  json entry{{"file", PathText(files[std::size_t(coverage.file)].shown)},
             {"tracks", coverage.tracks},
             {"bonesNamed", coverage.bonesNamed},
             {"coverage", bones > 0 ? double(coverage.bonesNamed) / bones : 0.0}};
  if (!attached) entry["tracksNamingNoBone"] = coverage.tracksNamingNoBone;
  return entry;
}

}  // namespace

json ModelJson(const ModelTask& model, const std::vector<AnimationFile>& files) {
  const ModelResult& result = model.result;
  const SceneCounts& c = result.counts;
  json attached = json::array(), closest = json::array();
  for (const Coverage& coverage : model.animations.attached) {
    attached.push_back(CoverageJson(files, coverage, model.animations.bones, true));
  }
  for (const Coverage& coverage : model.animations.closest) {
    closest.push_back(CoverageJson(files, coverage, model.animations.bones, false));
  }
  json materials = json::array();
  for (const MaterialTexture& texture : result.textures) {
    materials.push_back({{"name", texture.material},
                         {"texture", texture.texture},
                         {"listed", texture.listed},
                         {"missing", texture.missing}});
  }
  json animations = json::array();
  for (std::size_t a = 0; a < result.animationNames.size(); ++a) {
    const std::filesystem::path file =
        a < result.animationFiles.size() ? result.animationFiles[a] : std::filesystem::path();
    animations.push_back({{"name", result.animationNames[a]}, {"file", PathText(file)}});
  }
  json entry{{"input", PathText(model.shownInput)},
             {"output", PathText(model.shownOutput)},
             {"status", StatusName(model.status)},
             {"error", model.error},
             {"warnings", result.warnings},
             {"counts",
              {{"meshes", c.meshes},
               {"vertices", c.vertices},
               {"bones", c.bones},
               {"animations", c.animations},
               {"materials", c.materials},
               {"groups", c.groups}}},
             {"materials", materials},
             {"animations", attached},
             {"closestLeftOut", closest},
             {"gltfAnimations", animations},
             {"seconds", model.seconds}};
  if (!model.workerOutput.empty()) entry["workerOutput"] = model.workerOutput;
  return entry;
}

json AnimationFilesJson(const std::vector<AnimationFile>& files) {
  json entries = json::array();
  for (const AnimationFile& file : files) {
    entries.push_back({{"file", PathText(file.shown)},
                       {"status", file.usable ? "read" : "unusable"},
                       {"tracks", file.trackNames.size()},
                       {"problem", file.problem}});
  }
  return entries;
}

json ReportJson(const BatchRun& run) {
  json inputs = json::array();
  for (const std::filesystem::path& input : run.options.inputs) inputs.push_back(PathText(input));
  json models = json::array();
  for (const ModelTask& model : run.models)
    models.push_back(ModelJson(model, run.animations.Files()));
  const json animations = AnimationFilesJson(run.animations.Files());
  json folders = json::array();
  for (const FolderFailure& failure : run.folderFailures) {
    folders.push_back({{"folder", PathText(failure.folder)}, {"reason", failure.reason}});
  }
  return json{{"inputs", inputs},
              {"output", PathText(run.options.output)},
              {"format", run.options.gltf ? "gltf" : "glb"},
              {"jobs", run.jobs},
              {"summary",
               {{"models", run.models.size()},
                {"converted", run.Count(ModelStatus::Converted)},
                {"failed", run.Count(ModelStatus::Failed)},
                {"foldersNotListed", run.folderFailures.size()},
                {"seconds", run.seconds}}},
              {"models", models},
              {"animationFiles", animations},
              {"foldersNotListed", folders}};
}
}  // namespace vexmara::cli::batch
