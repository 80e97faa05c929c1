#include "cli/batch/report.h"

#include "cli/output_files.h"
#include "cli/path_text.h"

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

json CoverageJson(const BatchRun& run, const Coverage& coverage, int bones, bool attached) {
  json entry{{"file", PathText(run.animations.Files()[std::size_t(coverage.file)].shown)},
             {"tracks", coverage.tracks},
             {"bonesNamed", coverage.bonesNamed},
             {"coverage", bones > 0 ? double(coverage.bonesNamed) / bones : 0.0}};
  if (!attached) entry["tracksNamingNoBone"] = coverage.tracksNamingNoBone;
  return entry;
}

json ModelJson(const BatchRun& run, const ModelTask& model) {
  const ModelCounts& c = model.counts;
  json attached = json::array(), closest = json::array();
  for (const Coverage& coverage : model.animations.attached) {
    attached.push_back(CoverageJson(run, coverage, model.animations.bones, true));
  }
  for (const Coverage& coverage : model.animations.closest) {
    closest.push_back(CoverageJson(run, coverage, model.animations.bones, false));
  }
  json entry{{"input", PathText(model.shownInput)},
             {"output", PathText(model.shownOutput)},
             {"status", StatusName(model.status)},
             {"error", model.error},
             {"warnings", model.warnings},
             {"counts",
              {{"meshes", c.meshes},
               {"vertices", c.vertices},
               {"bones", c.bones},
               {"animations", c.animations},
               {"materials", c.materials},
               {"groups", c.groups}}},
             {"animations", attached},
             {"closestLeftOut", closest},
             {"seconds", model.seconds}};
  if (!model.workerOutput.empty()) entry["workerOutput"] = model.workerOutput;
  return entry;
}

}  // namespace

json ReportJson(const BatchRun& run) {
  json inputs = json::array();
  for (const std::filesystem::path& input : run.options.inputs) inputs.push_back(PathText(input));
  json models = json::array();
  for (const ModelTask& model : run.models) models.push_back(ModelJson(run, model));
  json animations = json::array();
  for (const AnimationFile& file : run.animations.Files()) {
    animations.push_back({{"file", PathText(file.shown)},
                          {"status", file.usable ? "read" : "unusable"},
                          {"tracks", file.trackNames.size()},
                          {"problem", file.problem}});
  }
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

bool WriteReportFile(const std::filesystem::path& path, const std::string& text,
                     std::string* reason) {
  std::error_code made;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), made);
  // Whole or not at all, as every output: a report cut short would read as a shorter batch.
  OutputFiles file;
  if (file.Begin(path) && file.Write(text.data(), text.size()) && file.Commit()) return true;
  *reason = file.Reason();
  return false;
}

}  // namespace vexmara::cli::batch
