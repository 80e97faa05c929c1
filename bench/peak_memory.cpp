#include "bench/peak_memory.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace vexmara::bench {
namespace {

uint64_t StatusKilobytes(const std::string& status, const char* field) {
  const size_t at = status.find(field);
  if (at == std::string::npos) return 0;
  return std::strtoull(status.c_str() + at + std::strlen(field), nullptr, 10);
}

}  // namespace

ResidentSet ReadResidentSet() {
  std::ifstream file("/proc/self/status");
  const std::string status((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
  return ResidentSet{StatusKilobytes(status, "VmRSS:") * 1024,
                     StatusKilobytes(status, "VmHWM:") * 1024};
}

ResidentSet StartPeakWindow() {
  // Writing 5 to clear_refs resets the high-water mark to the current resident set.
  std::ofstream("/proc/self/clear_refs") << "5";
  return ReadResidentSet();
}

PeakMemory MeasureReadPeakInChild(const std::filesystem::path& model) {
  PeakMemory result;
  int out[2];
  if (pipe(out) != 0) return result;
  const pid_t child = fork();
  if (child < 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    const std::string path = model.string();
    char* const argv[] = {const_cast<char*>("vexmara_bench"), const_cast<char*>(kPeakReadOption),
                          const_cast<char*>(path.c_str()), nullptr};
    execv("/proc/self/exe", argv);
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char chunk[256];
  for (ssize_t n; (n = read(out[0], chunk, sizeof chunk)) > 0;) text.append(chunk, size_t(n));
  close(out[0]);
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return result;
  unsigned long long peak = 0, store = 0, nanoseconds = 0;
  if (std::sscanf(text.c_str(), "%llu %llu %llu", &peak, &store, &nanoseconds) != 3) return result;
  result = PeakMemory{true, peak, store, nanoseconds};
  return result;
}

}  // namespace vexmara::bench
