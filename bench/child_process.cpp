#include "bench/child_process.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace vexmara::bench {

ChildRun RunChild(const std::vector<std::string>& arguments) {
  ChildRun run;
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) return run;
  if (child == 0) {
    // Its notes (textures it cannot decode, for one) are not part of the measurement.
    if (std::FILE* null = std::fopen("/dev/null", "w")) {
      dup2(fileno(null), STDOUT_FILENO);
      dup2(fileno(null), STDERR_FILENO);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return run;
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
  run.cpuMilliseconds = ms(usage.ru_utime) + ms(usage.ru_stime);
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  return run;
}

}  // namespace vexmara::bench
