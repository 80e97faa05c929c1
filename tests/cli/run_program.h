// Running a program as a separate process in a chosen folder, with its output captured.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace vexmara::testing {

struct ProgramRun {
  int exitCode = -1;  // -1: it did not end normally
  std::string out;
  std::string err;
};

// How the child runs, beyond its folder.
struct ProgramOptions {
  std::vector<std::string> environment;  // "NAME=value" entries added
  std::vector<std::string> unset;        // names removed from the environment
  // The largest file the child may write (RLIMIT_FSIZE), with SIGXFSZ ignored so that a write
  // past it fails with EFBIG instead of killing the child.
  std::optional<rlim_t> fileSizeLimit;
};

inline std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs `program` with `arguments` in `folder`.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& folder, const ProgramOptions& options) {
  const std::filesystem::path capture = std::filesystem::temp_directory_path() /
                                        ("vexmara_run_" + std::to_string(::getpid()));
  const std::string outPath = capture.string() + ".out", errPath = capture.string() + ".err";
  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
    for (const std::string& name : options.unset) ::unsetenv(name.c_str());
    for (const std::string& entry : options.environment) ::putenv(const_cast<char*>(entry.c_str()));
    if (options.fileSizeLimit) {
      std::signal(SIGXFSZ, SIG_IGN);  // kept across exec
      const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execvp(program.c_str(), argv.data());
    ::_exit(127);
  }
  ProgramRun run;
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.out = ReadWhole(outPath);
  run.err = ReadWhole(errPath);
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return run;
}

// Runs `program` with `arguments` in `folder`; `environment` entries ("NAME=value") are added.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& folder, const std::vector<std::string>& environment = {}) {
  ProgramOptions options;
  options.environment = environment;
  return RunProgram(program, arguments, folder, options);
}

}  // namespace vexmara::testing
