// Runs pieces of work, one file each, through worker processes, a given number at a time. A
// worker does one job after another, each one at a time; one that takes longer than the
// timeout over a job is killed, and a worker that crashes or is killed costs the job it was
// doing alone: the next job gets a fresh worker.
#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/batch/processes.h"

namespace vexmara::cli::batch {

// How a worker ended in the middle of a job.
struct WorkerEnd {
  ProcessEnd process;
  bool timedOut = false;  // the runner killed it for taking too long
  std::string errorTail;  // the last of its standard error
};

class Job {
 public:
  virtual ~Job() = default;

  // What the worker is sent to start the job: one line.
  virtual std::string Request() const = 0;
  virtual void OnStarted() {}
  // No worker could be started for it.
  virtual void OnStartFailed(const std::string& reason) = 0;

  struct Answer {
    std::string reply;      // written to the worker's standard input
    bool finished = false;  // the job is done: the worker is free for the next
    bool stop = false;      // the line makes no sense: the worker is killed
  };
  virtual Answer OnLine(const std::string& line) = 0;

  // The worker ended before the job was done.
  virtual void OnUnfinished(const WorkerEnd& end) = 0;
  // An interrupt stopped the run while the job's worker, process `processNumber`, was doing it;
  // that worker has been killed and reaped.
  virtual void OnInterrupted(long /*processNumber*/) {}
};

struct JobsOutcome {
  int interrupt = 0;  // the signal that stopped the run, its workers killed; 0 when it ran through
  // Workers that ended otherwise than cleanly between jobs or after the last one (a leak
  // report of a sanitizer, say): how each ended, and the last of its standard error.
  std::vector<std::string> troubledWorkers;
};

// Runs every job of `queue`, in its order, through workers started as `program` with
// `workerArguments`, at most `parallel` of them at once, calling `tick` after every event and
// at least ten times a second. When the queue is done, the workers are told to end by the end
// of their input.
JobsOutcome RunJobs(const std::filesystem::path& program,
                    const std::vector<std::string>& workerArguments,
                    std::deque<std::unique_ptr<Job>> queue, int parallel,
                    std::chrono::duration<double> timeout, const std::function<void()>& tick);

}  // namespace vexmara::cli::batch
