#include "cli/batch/worker_output.h"

namespace vexmara::cli::batch {

bool WorkerOutput::AddOutput(int worker, const char* bytes, std::size_t size,
                             std::vector<ProcessEvent>& events) {
  if (overlong_) return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] != '\n') continue;
    partialLine_.append(bytes + start, i - start);
    events.push_back({ProcessEvent::Kind::Line, worker, std::move(partialLine_), {}, {}});
    partialLine_.clear();
    start = i + 1;
  }
  partialLine_.append(bytes + start, size - start);
  if (partialLine_.size() <= WorkerProcesses::kLongestLine) return false;
  overlong_ = true;
  partialLine_.clear();
  return true;
}

void WorkerOutput::AddError(const char* bytes, std::size_t size) {
  errorTail_.append(bytes, size);
  if (errorTail_.size() > kErrorTailBytes) errorTail_.erase(0, errorTail_.size() - kErrorTailBytes);
}

void WorkerOutput::End(int worker, const ProcessEnd& end, std::vector<ProcessEvent>& events) {
  if (!partialLine_.empty())
    events.push_back({ProcessEvent::Kind::Line, worker, std::move(partialLine_), {}, {}});
  ProcessEvent ended;
  ended.kind = ProcessEvent::Kind::Ended;
  ended.worker = worker;
  ended.end = end;
  ended.errorTail = std::move(errorTail_);
  if (overlong_) ended.errorTail += "\n(it wrote a line longer than 64 MiB)";
  events.push_back(std::move(ended));
}

}  // namespace vexmara::cli::batch
