#include "cli/batch/batch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>
#include <set>

#include "cli/batch/batch_state.h"
#include "cli/batch/job_runner.h"
#include "cli/batch/processes.h"
#include "cli/batch/progress.h"
#include "cli/batch/report.h"
#include "cli/batch/worker.h"
#include "cli/convert/library_exports.h"
#include "cli/files/folder_walk.h"
#include "cli/files/output_files.h"
#include "cli/files/system_files.h"
#include "cli/text/json_text.h"
#include "cli/text/path_text.h"
#include "host/plugin_library.h"

namespace vexmara::cli::batch {

int BatchRun::Count(ModelStatus status) const {
  return int(std::count_if(models.begin(), models.end(),
                           [&](const ModelTask& m) { return m.status == status; }));
}

namespace {

namespace fs = std::filesystem;

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", seconds);
  return text;
}

// Why the library cannot serve a batch; empty when it can.
std::string LibraryProblem(const fs::path& library) {
  host::PluginLibrary loaded;
  if (const host::PluginLibrary::LoadResult result = loaded.Load(PathText(library)); !result.ok()) {
    return result.message;
  }
  LibraryExports exports;
  return exports.Find(loaded.Instance()).message;
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
    TakeTrackNames(TrackNames{message.read, message.names}, &file_);
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
      model_.status = result.ok() ? ModelStatus::Converted : ModelStatus::Failed;
      model_.error = result.message;
      model_.result = result;
      Report();
      return Answer{{}, true, false};
    }
    Fail("its worker sent a message that the batch does not know");
    return Answer{{}, false, true};
  }

  void OnUnfinished(const WorkerEnd& end) override {
    // A worker ended from outside (killed, crashed, timed out) may have been writing the
    // model's files: what it began is gone with it.
    RemoveTemporaryFiles(model_.output.parent_path(), end.process.processNumber);
    if (model_.status != ModelStatus::Failed) {
      Fail(end.timedOut
               ? "it took longer than " + Seconds(context_.timeout) + ", and its worker was stopped"
               : "its worker " + DescribeEnd(end.process) + " before it finished");
    }
    model_.workerOutput = end.errorTail;
    Report();
  }

  void OnInterrupted(long processNumber) override {
    RemoveTemporaryFiles(model_.output.parent_path(), processNumber);
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
      if (!model_.result.warnings.empty())
        line += ", " + Plural(model_.result.warnings.size(), "warning", "warnings");
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
    err << kProgramPrefix << "interrupted; every worker was stopped\n";
    EndByInterrupt(outcome.interrupt);
  }
  for (const std::string& trouble : outcome.troubledWorkers) {
    context.progress.End();
    err << kProgramPrefix << "warning: " << trouble << "\n";
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
    const fs::path input = AbsolutePath(given);
    FileIdentity identity;
    if (IdentifyFolder(input, &identity).ok() && identity == output) {
      err << kProgramPrefix << PathText(given)
          << ": the output folder cannot also be an input folder\n"
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
  AnimationFileList files;
  if (options.animationsBesideModels) {
    for (std::size_t i = 0; i < inputs.found.animations.size(); ++i) {
      files.Add(inputs.found.animations[i], inputs.shownAnimations[i], false);
    }
  }
  FolderWalk walk;
  walk.Skip(output);
  files.AddFolders(options.animationFolders, walk, failures);
  return files.Take();
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
    } else if (const std::string problem = PluginPathProblem(model.input); !problem.empty()) {
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
    file.problem = PluginPathProblem(file.path);
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
      err << kProgramPrefix << "warning: " << PathText(file.shown) << ": " << file.problem << "\n";
  }
}

// Every failure once more at the end, where it cannot scroll away, the report and the summary.
// Gives the exit code.
ExitCode Conclude(const BatchRun& run, std::ostream& out, std::ostream& err) {
  const int failed = run.Count(ModelStatus::Failed);
  if (failed > 0) {
    err << kProgramPrefix << Plural(std::size_t(failed), "model", "models") << " failed:\n";
    for (const ModelTask& model : run.models) {
      if (model.status == ModelStatus::Failed)
        err << "  " << PathText(model.shownInput) << ": " << model.error << "\n";
    }
  }
  for (const FolderFailure& failure : run.folderFailures) {
    err << kProgramPrefix << PathText(failure.folder)
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

  ExitCode exitCode =
      failed > 0 || !run.folderFailures.empty() ? ExitCode::Failed : ExitCode::Success;
  if (run.options.report) {
    // Whole or not at all, as every output: a report cut short would read as a shorter batch.
    if (const FileResult written =
            WriteFileWhole(AbsolutePath(*run.options.report), JsonText(ReportJson(run), 2) + "\n");
        written.ok()) {
      summary += "; report " + PathText(*run.options.report);
    } else {
      err << kProgramPrefix << PathText(*run.options.report)
          << ": the report could not be written: " << written.message << "\n";
      exitCode = ExitCode::Failed;
    }
  }
  out << summary << "\n";
  return exitCode;
}

}  // namespace

ExitCode RunBatch(const BatchOptions& options, std::ostream& out, std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  CatchInterrupts();
  BatchRun run;
  run.options = options;
  run.jobs = options.jobs > 0 ? options.jobs : ProcessorCount();

  // The library is tried once here, so that one that cannot serve fails the batch at once
  // instead of every model in turn.
  ModelWorkerSettings settings;
  settings.settings = AbsoluteSettings(options.settings);
  const fs::path& library = settings.settings.library;
  if (const std::string problem = LibraryProblem(library); !problem.empty()) {
    err << kProgramPrefix << PathText(library) << ": " << problem << "\n";
    return ExitCode::Failed;
  }
  const fs::path program = system_files::ThisProgram();
  if (program.empty()) {
    err << kProgramPrefix << "the program's own file cannot be found to start its workers\n";
    return ExitCode::Failed;
  }
  const fs::path output = AbsolutePath(options.output);
  std::error_code made;
  fs::create_directories(output, made);
  FileIdentity outputIdentity;
  const FileResult identified = made ? FileResult::Failure(FileCode::Failed, made.message())
                                     : IdentifyFolder(output, &outputIdentity);
  if (!identified.ok()) {
    err << kProgramPrefix << PathText(options.output) << ": " << identified.message << "\n";
    return ExitCode::Failed;
  }

  Inputs inputs;
  if (!WalkInputs(options, outputIdentity, &inputs, err)) return ExitCode::Usage;
  if (inputs.found.models.empty()) {
    err << kProgramPrefix << "warning: no model (.app) files were found below the input folders\n";
  }
  run.folderFailures = inputs.found.failures;
  std::vector<AnimationFile> animations =
      CollectAnimationFiles(options, inputs, outputIdentity, &run.folderFailures);
  run.models = PlanModels(options, inputs, output);

  Progress progress(out, OutputIsTerminal(), TerminalColumns());
  Context context{run, progress, library, options.timeoutSeconds};
  ReadAnimationFiles(program, animations, context, out, err);
  run.animations.SetFiles(std::move(animations));

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
