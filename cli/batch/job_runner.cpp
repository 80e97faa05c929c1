#include "cli/batch/job_runner.h"

#include <algorithm>
#include <map>
#include <optional>

namespace vexmara::cli::batch {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTickInterval = std::chrono::milliseconds(100);

struct Worker {
  std::unique_ptr<Job> job;  // null while it waits for one
  long processNumber = 0;
  Clock::time_point started;
  bool timedOut = false;
};

}  // namespace

JobsOutcome RunJobs(const std::filesystem::path& program,
                    const std::vector<std::string>& workerArguments,
                    std::deque<std::unique_ptr<Job>> queue, int parallel,
                    std::chrono::duration<double> timeout, const std::function<void()>& tick) {
  const auto limit = std::chrono::duration_cast<Clock::duration>(timeout);
  // Kills and reaps whatever still runs when it goes, at the end or at an interrupt.
  std::optional<WorkerProcesses> owner;
  WorkerProcesses& processes = owner.emplace();
  std::map<int, Worker> workers;
  const auto busy = [&] {
    return std::any_of(workers.begin(), workers.end(),
                       [](const auto& w) { return w.second.job != nullptr; });
  };
  JobsOutcome outcome;
  bool closing = false;
  Clock::time_point closed;
  while (!workers.empty() || !queue.empty()) {
    if (const int signal = InterruptSignal(); signal != 0) {
      // The workers go first: only then can nothing more be written into their files.
      owner.reset();
      for (auto& [id, worker] : workers) {
        if (worker.job != nullptr) worker.job->OnInterrupted(worker.processNumber);
      }
      outcome.interrupt = signal;
      return outcome;
    }

    // Free workers first, then new ones up to the limit.
    for (auto it = workers.begin(); !queue.empty() && it != workers.end(); ++it) {
      if (it->second.job != nullptr) continue;
      it->second.job = std::move(queue.front());
      it->second.started = Clock::now();
      it->second.timedOut = false;
      queue.pop_front();
      processes.Send(it->first, it->second.job->Request());
      it->second.job->OnStarted();
    }
    while (!queue.empty() && int(workers.size()) < parallel) {
      std::unique_ptr<Job> job = std::move(queue.front());
      queue.pop_front();
      const WorkerProcesses::StartResult started = processes.Start(program, workerArguments);
      if (!started.ok()) {
        job->OnStartFailed(started.message);
        continue;
      }
      const int id = started.worker;
      processes.Send(id, job->Request());
      job->OnStarted();
      workers.emplace(id, Worker{std::move(job), started.processNumber, Clock::now(), false});
    }
    if (queue.empty() && !busy() && !closing) {
      // Nothing left to hand out: the end of its input ends each worker.
      closing = true;
      closed = Clock::now();
      for (const auto& [id, worker] : workers) processes.CloseInput(id);
    }

    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(kTickInterval);
    for (const auto& [id, worker] : workers) {
      if (worker.job == nullptr || worker.timedOut) continue;
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(worker.started + limit - Clock::now());
      wait = std::clamp(left, std::chrono::milliseconds(0), wait);
    }
    for (ProcessEvent& event : processes.Wait(wait)) {
      const auto found = workers.find(event.worker);
      if (found == workers.end()) continue;
      Worker& worker = found->second;
      if (event.kind == ProcessEvent::Kind::Line) {
        if (worker.job == nullptr) {
          processes.Kill(event.worker);  // it speaks without having been asked
          continue;
        }
        if (worker.timedOut) continue;
        const Job::Answer answer = worker.job->OnLine(event.line);
        if (!answer.reply.empty()) processes.Send(event.worker, answer.reply);
        if (answer.stop) {
          processes.Kill(event.worker);
        } else if (answer.finished) {
          worker.job.reset();
        }
        continue;
      }
      if (worker.job != nullptr) {
        worker.job->OnUnfinished(WorkerEnd{event.end, worker.timedOut, std::move(event.errorTail)});
      } else if (!event.end.exited || event.end.code != 0) {
        outcome.troubledWorkers.push_back("a worker " + DescribeEnd(event.end) + " after its work" +
                                          (event.errorTail.empty() ? "" : ":\n" + event.errorTail));
      }
      workers.erase(found);
    }
    const Clock::time_point now = Clock::now();
    for (auto& [id, worker] : workers) {
      if (worker.job != nullptr && !worker.timedOut && now - worker.started >= limit) {
        worker.timedOut = true;
        processes.Kill(id);
      }
    }
    // A worker that does not end by itself within the timeout is ended.
    if (closing && now - closed >= limit) processes.KillAll();
    tick();
  }
  return outcome;
}

}  // namespace vexmara::cli::batch
