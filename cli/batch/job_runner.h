// Runs pieces of work, each in a worker process of its own, a given number at a time. A worker
// that takes longer than the timeout over one file is killed; a worker that crashes or is
// killed ends its job, and the next job gets a fresh worker.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/batch/processes.h"

namespace vexmara::cli::batch {

struct WorkerEnd {
  ProcessEnd process;
  bool timedOut = false;  // the runner killed it for taking too long
  std::string errorTail;  // the last of its standard error
  double seconds = 0;     // from its start to its end
};

class Job {
 public:
  virtual ~Job() = default;

  virtual std::vector<std::string> Arguments() const = 0;
  virtual void OnStarted() {}
  // The worker could not be started.
  virtual void OnStartFailed(const std::string& reason) = 0;

  struct Answer {
    std::string reply;      // written to the worker's standard input
    bool fileDone = false;  // a file is finished: the next one has the whole timeout again
    bool stop = false;      // the line makes no sense: the worker is killed
  };
  virtual Answer OnLine(const std::string& line) = 0;

  // The worker has ended. Gives the job that takes over what this one left undone, if any.
  virtual std::unique_ptr<Job> OnEnd(const WorkerEnd& end) = 0;
};

// Runs every job of `queue` with `program` as the worker, at most `parallel` at a time, calling
// `tick` after every event and at least ten times a second. Gives 0, or the interrupt signal
// that stopped it (its workers killed).
int RunJobs(const std::filesystem::path& program, std::deque<std::unique_ptr<Job>> queue, int parallel,
            std::chrono::duration<double> timeout, const std::function<void()>& tick);

}  // namespace vexmara::cli::batch
