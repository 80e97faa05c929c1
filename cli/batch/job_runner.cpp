#include "cli/batch/job_runner.h"

#include <algorithm>
#include <map>

namespace vexmara::cli::batch {
namespace {

using Clock = std::chrono::steady_clock;

struct Running {
  std::unique_ptr<Job> job;
  Clock::time_point started;
  Clock::time_point fileStarted;
  bool timedOut = false;
};

}  // namespace

int RunJobs(const std::filesystem::path& program, std::deque<std::unique_ptr<Job>> queue, int parallel,
            std::chrono::duration<double> timeout, const std::function<void()>& tick) {
  constexpr auto kTickInterval = std::chrono::milliseconds(100);
  const auto limit = std::chrono::duration_cast<Clock::duration>(timeout);
  WorkerProcesses processes;  // kills and reaps whatever still runs when this ends
  std::map<int, Running> running;
  while (!queue.empty() || !running.empty()) {
    if (const int signal = InterruptSignal(); signal != 0) return signal;
    while (int(running.size()) < parallel && !queue.empty()) {
      std::unique_ptr<Job> job = std::move(queue.front());
      queue.pop_front();
      std::string reason;
      const int worker = processes.Start(program, job->Arguments(), &reason);
      if (worker < 0) {
        job->OnStartFailed(reason);
        continue;
      }
      job->OnStarted();
      const Clock::time_point now = Clock::now();
      running.emplace(worker, Running{std::move(job), now, now, false});
    }

    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(kTickInterval);
    for (const auto& [worker, run] : running) {
      if (run.timedOut) continue;
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(run.fileStarted + limit - Clock::now());
      wait = std::clamp(left, std::chrono::milliseconds(0), wait);
    }
    for (ProcessEvent& event : processes.Wait(wait)) {
      const auto found = running.find(event.worker);
      if (found == running.end()) continue;
      Running& run = found->second;
      if (event.kind == ProcessEvent::Kind::Line) {
        if (run.timedOut) continue;
        const Job::Answer answer = run.job->OnLine(event.line);
        if (!answer.reply.empty()) processes.Send(event.worker, answer.reply);
        if (answer.fileDone) run.fileStarted = Clock::now();
        if (answer.stop) processes.Kill(event.worker);
        continue;
      }
      WorkerEnd end;
      end.process = event.end;
      end.timedOut = run.timedOut;
      end.errorTail = std::move(event.errorTail);
      end.seconds = std::chrono::duration<double>(Clock::now() - run.started).count();
      if (std::unique_ptr<Job> rest = run.job->OnEnd(end)) queue.push_front(std::move(rest));
      running.erase(found);
    }
    const Clock::time_point now = Clock::now();
    for (auto& [worker, run] : running) {
      if (!run.timedOut && now - run.fileStarted >= limit) {
        run.timedOut = true;
        processes.Kill(worker);
      }
    }
    tick();
  }
  return 0;
}

}  // namespace vexmara::cli::batch
