#include "cli/batch/batch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>
#include <set>

#include "cli/batch/batch_state.h"
#include "cli/batch/folder_walk.h"
#include "cli/batch/job_runner.h"
#include "cli/batch/processes.h"
#include "cli/batch/progress.h"
#include "cli/batch/report.h"
#include "cli/batch/worker.h"
#include "cli/dialog_exports.h"
#include "cli/name_exports.h"
#include "cli/path_text.h"
#include "host/plugin_library.h"

namespace vexmara::cli::batch {

int BatchRun::Count(ModelStatus status) const {
  return int(std::count_if(models.begin(), models.end(),
                           [&](const ModelTask& m) { return m.status == status; }));
}

namespace {

namespace fs = std::filesystem;

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr char kProgram[] = "vexmara-import: ";

// Absolute and normal, without a trailing separator, so that one folder has one spelling.
fs::path Absolute(const fs::path& path) {
  std::error_code ignored;
  fs::path made = fs::absolute(path, ignored);
  if (made.empty()) made = path;
  made = made.lexically_normal();
  if (!made.has_filename() && made.has_relative_path()) made = made.parent_path();
  return made;
}

// Why the plug-in cannot be handed this path, which it takes as UTF-16 in a field of 260 units;
// empty when it can.
std::string PathProblem(const fs::path& path) {
  if (std::string problem = UnicodeProblem(path); !problem.empty()) return problem;
  if (WidePath(path).size() >= 260)
    return "its path is longer than the 259 characters of a path the plug-in takes";
  return {};
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", seconds);
  return text;
}

std::string Plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Why the library cannot serve a batch; empty when it can.
std::string LibraryProblem(const fs::path& library) {
  host::PluginLibrary loaded;
  if (!loaded.Load(PathText(library))) return loaded.LoadError();
  NameExports names;
  DialogExports dialog;
  std::string error;
  if (!names.Find(loaded.Instance(), &error) || !dialog.Find(loaded.Instance(), &error))
    return error;
  return {};
}

// The batch's own state of one run, shared by its jobs.
struct Context {
  BatchRun& run;
  Progress& progress;
  fs::path library;
  double timeout = 60;
};

// Reads one animation file's track names.
class AnimationJob final : public Job {
 public:
  AnimationJob(Context& context, AnimationFile& file) : context_(context), file_(file) {}

  std::string Request() const override { return FileRequestMessage(file_.path) + "\n"; }

  void OnStartFailed(const std::string& reason) override {
    Unusable("its reader could not be started: " + reason);
  }

  Answer OnLine(const std::string& line) override {
    const WorkerMessage message = ParseWorkerMessage(line);
    if (message.kind != WorkerMessage::Kind::TrackNames) {
      Unusable("its reader sent a message that the batch does not know");
      return Answer{{}, false, true};
    }
    file_.trackNames = message.names;
    file_.usable = message.read == TrackNamesRead::Complete;
    file_.problem =
        message.read == TrackNamesRead::Complete ? ""
        : message.read == TrackNamesRead::Rejected
            ? "the reader stopped partway through it: it is damaged, or not an animation file"
            : "it could not be read";
    context_.progress.Finished(!file_.usable, {});
    return Answer{{}, true, false};
  }

  void OnUnfinished(const WorkerEnd& end) override {
    if (!file_.problem.empty()) return;  // already told
    Unusable(end.timedOut ? "reading it took longer than " + Seconds(context_.timeout) +
                                ", and its reader was stopped"
                          : "its reader " + DescribeEnd(end.process) + " while reading it");
  }

 private:
  void Unusable(const std::string& problem) {
    file_.usable = false;
    file_.trackNames.clear();
    file_.problem = problem;
    context_.progress.Finished(true, {});
  }

  Context& context_;
  AnimationFile& file_;
};

// Converts one model, with the animation files that fit its bones.
class ModelJob final : public Job {
 public:
  ModelJob(Context& context, ModelTask& model, bool pickAnimations)
      : context_(context), model_(model), pickAnimations_(pickAnimations) {}

  std::string Request() const override {
    return ModelRequestMessage({model_.input, model_.output}) + "\n";
  }

  void OnStarted() override {
    started_ = std::chrono::steady_clock::now();
    context_.progress.Started(PathText(model_.shownInput));
  }

  void OnStartFailed(const std::string& reason) override {
    Fail("its worker could not be started: " + reason);
    Report();
  }

  Answer OnLine(const std::string& line) override {
    const WorkerMessage message = ParseWorkerMessage(line);
    if (message.kind == WorkerMessage::Kind::Bones && pickAnimations_ && !answered_) {
      answered_ = true;
      model_.animations = context_.run.animations.Match(message.names, model_.input.parent_path());
      std::vector<fs::path> files;
      for (const Coverage& coverage : model_.animations.attached) {
        files.push_back(context_.run.animations.Files()[std::size_t(coverage.file)].path);
      }
      return Answer{AnimationsMessage(files) + "\n", false, false};
    }
    if (message.kind == WorkerMessage::Kind::Result) {
      const ModelResult& result = message.result;
      model_.status = result.converted ? ModelStatus::Converted : ModelStatus::Failed;
      model_.error = result.converted ? "" : result.error;
      model_.warnings = result.warnings;
      model_.counts = result.counts;
      Report();
      return Answer{{}, true, false};
    }
    Fail("its worker sent a message that the batch does not know");
    return Answer{{}, false, true};
  }

  void OnUnfinished(const WorkerEnd& end) override {
    if (model_.status != ModelStatus::Failed) {
      Fail(end.timedOut
               ? "it took longer than " + Seconds(context_.timeout) + ", and its worker was stopped"
               : "its worker " + DescribeEnd(end.process) + " before it finished");
    }
    model_.workerOutput = end.errorTail;
    Report();
  }

 private:
  void Fail(const std::string& error) {
    model_.status = ModelStatus::Failed;
    model_.error = error;
  }

  void Report() {
    model_.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    std::string line;
    if (model_.status == ModelStatus::Converted) {
      line = "converted " + PathText(model_.shownInput) + " -> " + PathText(model_.shownOutput) +
             " in " + FormatSeconds(model_.seconds);
      if (!model_.animations.attached.empty()) {
        line += ", " +
                Plural(model_.animations.attached.size(), "animation file", "animation files") +
                " attached";
      }
      if (!model_.warnings.empty())
        line += ", " + Plural(model_.warnings.size(), "warning", "warnings");
    } else {
      line = "FAILED " + PathText(model_.shownInput) + ": " + model_.error;
    }
    context_.progress.Finished(model_.status != ModelStatus::Converted, line);
  }

  Context& context_;
  ModelTask& model_;
  bool pickAnimations_;
  bool answered_ = false;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// Runs the jobs, or ends the program as the interrupt that stopped them would have.
void RunOrEnd(const fs::path& program, const std::vector<std::string>& workerArguments,
              std::deque<std::unique_ptr<Job>> jobs, const Context& context, std::ostream& err) {
  const JobsOutcome outcome =
      RunJobs(program, workerArguments, std::move(jobs), context.run.jobs,
              std::chrono::duration<double>(context.timeout), [&] { context.progress.Tick(); });
  if (outcome.interrupt != 0) {
    context.progress.End();
    err << kProgram << "interrupted; every worker was stopped\n";
    EndByInterrupt(outcome.interrupt);
  }
  for (const std::string& trouble : outcome.troubledWorkers) {
    context.progress.End();
    err << kProgram << "warning: " << trouble << "\n";
  }
}

// What lies below the input folders: the models, and the animation files beside them, each
// also as the user's paths name it.
struct Inputs {
  WalkResult found;
  std::vector<fs::path> shownModels, shownAnimations;
};

// False, after the usage error, when an input folder is the output folder itself. The output
// folder is never entered, so a batch never reads what it writes.
bool WalkInputs(const BatchOptions& options, const FileIdentity& output, Inputs* inputs,
                std::ostream& err) {
  FolderWalk walk;
  walk.Skip(output);
  for (const fs::path& given : options.inputs) {
    const fs::path input = Absolute(given);
    FileIdentity identity;
    std::string reason;
    if (IdentifyFolder(input, &identity, &reason) && identity == output) {
      err << kProgram << PathText(given) << ": the output folder cannot also be an input folder\n"
          << "Run with --help for more information.\n";
      return false;
    }
    const std::size_t models = inputs->found.models.size(),
                      animations = inputs->found.animations.size();
    walk.Walk(input, &inputs->found);
    for (std::size_t i = models; i < inputs->found.models.size(); ++i) {
      inputs->shownModels.push_back(given / inputs->found.models[i].relative);
    }
    for (std::size_t i = animations; i < inputs->found.animations.size(); ++i) {
      inputs->shownAnimations.push_back(given / inputs->found.animations[i].relative);
    }
  }
  return true;
}

// The animation files offered to the models, each once however many folders lead to it, in the
// order of their paths.
std::vector<AnimationFile> CollectAnimationFiles(const BatchOptions& options, const Inputs& inputs,
                                                 const FileIdentity& output,
                                                 std::vector<FolderFailure>* failures) {
  std::vector<AnimationFile> files;
  std::map<FileIdentity, std::size_t> byIdentity;
  const auto add = [&](const FoundFile& found, const fs::path& shown, bool forEveryModel) {
    if (found.identity != FileIdentity{}) {
      const auto [at, added] = byIdentity.emplace(found.identity, files.size());
      if (!added) {
        files[at->second].forEveryModel |= forEveryModel;
        return;
      }
    }
    AnimationFile file;
    file.path = found.path;
    file.shown = shown;
    file.forEveryModel = forEveryModel;
    files.push_back(std::move(file));
  };
  if (options.animationsBesideModels) {
    for (std::size_t i = 0; i < inputs.found.animations.size(); ++i) {
      add(inputs.found.animations[i], inputs.shownAnimations[i], false);
    }
  }
  FolderWalk walk;
  walk.Skip(output);
  for (const fs::path& given : options.animationFolders) {
    WalkResult named;
    walk.Walk(Absolute(given), &named);
    failures->insert(failures->end(), named.failures.begin(), named.failures.end());
    for (const FoundFile& found : named.animations) add(found, given / found.relative, true);
  }
  std::sort(files.begin(), files.end(), [](const AnimationFile& a, const AnimationFile& b) {
    return a.path.native() < b.path.native();
  });
  return files;
}

// One task per model. Of two models that would write the same file (orc.app and orc.APP; or
// names that differ only in letter case, which are one file on Windows), the first in path
// order is converted and the other one fails, so that neither overwrites the other.
std::vector<ModelTask> PlanModels(const BatchOptions& options, const Inputs& inputs,
                                  const fs::path& output) {
  const std::string extension = options.gltf ? ".gltf" : ".glb";
  std::vector<ModelTask> models;
  std::map<std::string, std::size_t> outputs;
  for (std::size_t i = 0; i < inputs.found.models.size(); ++i) {
    ModelTask model;
    model.input = inputs.found.models[i].path;
    fs::path relative = inputs.found.models[i].relative;
    relative.replace_extension(extension);
    model.output = output / relative;
    model.shownInput = inputs.shownModels[i];
    model.shownOutput = options.output / relative;
    const auto [first, added] = outputs.emplace(OneFileKey(relative), models.size());
    if (!added) {
      const ModelTask& other = models[first->second];
      model.status = ModelStatus::Failed;
      model.error = "it would write " + PathText(other.shownOutput) + ", as " +
                    PathText(other.shownInput) +
                    " does; it was left out so that neither overwrites the other";
    } else if (const std::string problem = PathProblem(model.input); !problem.empty()) {
      model.status = ModelStatus::Failed;
      model.error = problem;
    }
    models.push_back(std::move(model));
  }
  return models;
}

// Reads the animation files, each once for the whole batch.
void ReadAnimationFiles(const fs::path& program, std::vector<AnimationFile>& files,
                        Context& context, std::ostream& out, std::ostream& err) {
  std::deque<std::unique_ptr<Job>> jobs;
  for (AnimationFile& file : files) {
    file.problem = PathProblem(file.path);
    if (file.problem.empty()) jobs.push_back(std::make_unique<AnimationJob>(context, file));
  }
  if (!jobs.empty()) {
    context.progress.Begin("animation files", int(jobs.size()), false);
    RunOrEnd(program, AnimationWorkerArguments(context.library), std::move(jobs), context, err);
    context.progress.End();
  }
  if (files.empty()) return;
  const std::size_t usable = std::size_t(
      std::count_if(files.begin(), files.end(), [](const AnimationFile& f) { return f.usable; }));
  out << "Read " << Plural(files.size(), "animation file", "animation files") << ": " << usable
      << " usable, " << files.size() - usable << " not\n";
  for (const AnimationFile& file : files) {
    if (!file.usable)
      err << kProgram << "warning: " << PathText(file.shown) << ": " << file.problem << "\n";
  }
}

// Every failure once more at the end, where it cannot scroll away, the report and the summary.
// Gives the exit code.
int Conclude(const BatchRun& run, std::ostream& out, std::ostream& err) {
  const int failed = run.Count(ModelStatus::Failed);
  if (failed > 0) {
    err << kProgram << Plural(std::size_t(failed), "model", "models") << " failed:\n";
    for (const ModelTask& model : run.models) {
      if (model.status == ModelStatus::Failed)
        err << "  " << PathText(model.shownInput) << ": " << model.error << "\n";
    }
  }
  for (const FolderFailure& failure : run.folderFailures) {
    err << kProgram << PathText(failure.folder)
        << ": the folder could not be listed: " << failure.reason << "\n";
  }
  std::size_t attached = 0;
  for (const ModelTask& model : run.models) attached += model.animations.attached.size();
  std::string summary = "Converted " + std::to_string(run.Count(ModelStatus::Converted)) + " of " +
                        Plural(run.models.size(), "model", "models") + " into " +
                        PathText(run.options.output) + " in " + FormatSeconds(run.seconds) +
                        " with " + Plural(std::size_t(run.jobs), "job", "jobs") + ": " +
                        std::to_string(failed) + " failed";
  if (!run.folderFailures.empty()) {
    summary += ", " + Plural(run.folderFailures.size(), "folder", "folders") + " not listed";
  }
  if (!run.animations.Files().empty())
    summary += ", " + Plural(attached, "animation", "animations") + " attached";

  int exitCode = failed > 0 || !run.folderFailures.empty() ? kExitFailed : kExitConverted;
  if (run.options.report) {
    std::string reason;
    if (WriteReportFile(Absolute(*run.options.report), JsonText(ReportJson(run), 2) + "\n",
                        &reason)) {
      summary += "; report " + PathText(*run.options.report);
    } else {
      err << kProgram << PathText(*run.options.report)
          << ": the report could not be written: " << reason << "\n";
      exitCode = kExitFailed;
    }
  }
  out << summary << "\n";
  return exitCode;
}

}  // namespace

int RunBatch(const BatchOptions& options, std::ostream& out, std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  CatchInterrupts();
  BatchRun run;
  run.options = options;
  run.jobs = options.jobs > 0 ? options.jobs : ProcessorCount();

  // The library is tried once here, so that one that cannot serve fails the batch at once
  // instead of every model in turn.
  const fs::path library = Absolute(options.library);
  if (const std::string problem = LibraryProblem(library); !problem.empty()) {
    err << kProgram << PathText(library) << ": " << problem << "\n";
    return kExitFailed;
  }
  const fs::path program = ThisProgram();
  if (program.empty()) {
    err << kProgram << "the program's own file cannot be found to start its workers\n";
    return kExitFailed;
  }
  const fs::path output = Absolute(options.output);
  std::error_code made;
  fs::create_directories(output, made);
  FileIdentity outputIdentity;
  std::string reason;
  if (made || !IdentifyFolder(output, &outputIdentity, &reason)) {
    err << kProgram << PathText(options.output) << ": " << (made ? made.message() : reason) << "\n";
    return kExitFailed;
  }

  Inputs inputs;
  if (!WalkInputs(options, outputIdentity, &inputs, err)) return kExitUsage;
  if (inputs.found.models.empty()) {
    err << kProgram << "warning: no model (.app) files were found below the input folders\n";
  }
  run.folderFailures = inputs.found.failures;
  std::vector<AnimationFile> animations =
      CollectAnimationFiles(options, inputs, outputIdentity, &run.folderFailures);
  run.models = PlanModels(options, inputs, output);

  Progress progress(out, OutputIsTerminal(), TerminalColumns());
  Context context{run, progress, library, options.timeoutSeconds};
  ReadAnimationFiles(program, animations, context, out, err);
  run.animations.SetFiles(std::move(animations));

  ModelWorkerSettings settings;
  settings.library = library;
  if (options.textureDirectory) settings.textureDirectory = Absolute(*options.textureDirectory);
  settings.noSwap = options.noSwap;
  settings.groups = options.groups;
  settings.alphaMaps = options.alphaMaps;
  settings.externalImages = options.externalImages;
  const std::vector<AnimationFile>& files = run.animations.Files();
  settings.pickAnimations =
      std::any_of(files.begin(), files.end(), [](const AnimationFile& f) { return f.usable; });
  progress.Begin("models", int(run.models.size()), true);
  std::deque<std::unique_ptr<Job>> jobs;
  for (ModelTask& model : run.models) {
    if (model.status == ModelStatus::Failed) {
      progress.Finished(true, "FAILED " + PathText(model.shownInput) + ": " + model.error);
    } else {
      jobs.push_back(std::make_unique<ModelJob>(context, model, settings.pickAnimations));
    }
  }
  RunOrEnd(program, ModelWorkerArguments(settings), std::move(jobs), context, err);
  progress.End();
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return Conclude(run, out, err);
}

}  // namespace vexmara::cli::batch
