#include "bench/importer_run.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace vexmara::bench {

ImporterRun RunImporter(const std::filesystem::path& model,
                        const std::vector<std::string>& arguments) {
  ImporterRun run;
  std::vector<std::string> words{VEXMARA_IMPORT_PATH, model.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  words.insert(words.end(), {"--plugin", VEXMARA_PLUGIN_PATH});
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
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
    execv(VEXMARA_IMPORT_PATH, argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return run;
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
  run.cpuMilliseconds = ms(usage.ru_utime) + ms(usage.ru_stime);
  run.peakMebibytes = double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

}  // namespace vexmara::bench
