// Running a program as a separate process in a chosen folder, with its output captured.
#pragma once

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

// Runs `program` with `arguments` in `folder`. Its output comes back through pipes, which no
// file size limit of the child's touches, read as it comes so that a talkative child never
// waits on a full pipe.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& folder, const ProgramOptions& options) {
  ProgramRun run;
  int out[2], err[2];
  if (::pipe(out) != 0) return run;
  if (::pipe(err) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return run;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    if (::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0 || ::chdir(folder.c_str()) != 0)
      ::_exit(127);
    ::close(out[0]);
    ::close(err[0]);
    ::close(out[1]);
    ::close(err[1]);
    for (const std::string& name : options.unset) ::unsetenv(name.c_str());
    for (const std::string& entry : options.environment) ::putenv(const_cast<char*>(entry.c_str()));
    if (options.fileSizeLimit) {
      std::signal(SIGXFSZ, SIG_IGN);  // kept across exec
      const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execvp(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  pollfd ends[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* texts[2] = {&run.out, &run.err};
  for (int open = 2; open > 0 && child > 0;) {
    if (::poll(ends, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (ends[i].fd < 0 || ends[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(ends[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        texts[i]->append(buffer, size_t(got));
      } else if (got == 0 || errno != EINTR) {
        ::close(ends[i].fd);
        ends[i].fd = -1;
        --open;
      }
    }
  }
  for (const pollfd& end : ends) {
    if (end.fd >= 0) ::close(end.fd);
  }
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
    run.exitCode = WEXITSTATUS(status);
  return run;
}

// Runs `program` with `arguments` in `folder`; `environment` entries ("NAME=value") are added.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& folder,
                             const std::vector<std::string>& environment = {}) {
  ProgramOptions options;
  options.environment = environment;
  return RunProgram(program, arguments, folder, options);
}

}  // namespace vexmara::testing
