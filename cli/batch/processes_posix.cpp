#include <fcntl.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "cli/batch/processes.h"
#include "cli/batch/worker_output.h"

extern char** environ;

namespace vexmara::cli::batch {
namespace {

constexpr int kCaughtSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t caughtSignal = 0;
int interruptPipe[2] = {-1, -1};  // written by the handler, so that poll wakes

void NoteSignal(int signal) {
  const int saved = errno;
  caughtSignal = signal;
  if (interruptPipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(interruptPipe[1], &byte, 1);
  }
  errno = saved;
}

void CloseDescriptor(int& descriptor) {
  if (descriptor >= 0) ::close(descriptor);
  descriptor = -1;
}

void SetNonBlocking(int descriptor) {
  ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK);
}

// The child's ends are dup2'ed onto 0, 1 and 2; one that already is one of those (when this
// program was started with a standard stream closed) is moved out of the way first, or dup2
// would leave it marked close-on-exec.
bool MoveAboveStandardStreams(int& descriptor) {
  if (descriptor > STDERR_FILENO) return true;
  const int moved = ::fcntl(descriptor, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (moved < 0) return false;
  ::close(descriptor);
  descriptor = moved;
  return true;
}

}  // namespace

std::string DescribeEnd(const ProcessEnd& end) {
  if (end.exited) return "exited with code " + std::to_string(end.code);
  const char* name = ::strsignal(end.signal);
  return "was ended by signal " + std::to_string(end.signal) +
         (name != nullptr ? std::string(" (") + name + ")" : "");
}

struct WorkerProcesses::Worker {
  int id = -1;
  pid_t pid = -1;
  int input = -1, output = -1, error = -1;  // this program's ends of the three pipes
  std::string pending;                      // not yet written to its input
  bool closeInput = false;                  // once `pending` is written
  WorkerOutput said;
};

WorkerProcesses::WorkerProcesses() = default;

WorkerProcesses::~WorkerProcesses() {
  KillAll();
  for (const std::unique_ptr<Worker>& worker : workers_) {
    int status = 0;
    while (::waitpid(worker->pid, &status, 0) < 0 && errno == EINTR) {
    }
    CloseDescriptor(worker->input);
    CloseDescriptor(worker->output);
    CloseDescriptor(worker->error);
  }
}

WorkerProcesses::StartResult WorkerProcesses::Start(const std::filesystem::path& program,
                                                    const std::vector<std::string>& arguments) {
  static int nextId = 0;
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  const auto fail = [&](int code) {
    for (int* pipe : {in, out, err}) {
      CloseDescriptor(pipe[0]);
      CloseDescriptor(pipe[1]);
    }
    StartResult failed;
    failed.code = StartCode::Failed;
    failed.message = std::strerror(code);
    return failed;
  };
  // Close-on-exec everywhere, so that no worker inherits another one's pipes: a worker's output
  // then ends when it does.
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    return fail(errno);
  if (!MoveAboveStandardStreams(in[0]) || !MoveAboveStandardStreams(out[1]) ||
      !MoveAboveStandardStreams(err[1])) {
    return fail(errno);
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  // The worker gets the default actions that this program replaced or ignores.
  sigaddset(&signals, SIGPIPE);
  for (int caught : kCaughtSignals) sigaddset(&signals, caught);
  posix_spawnattr_setsigdefault(&attributes, &signals);

  std::vector<char*> argv;
  const std::string programText = program.string();
  argv.push_back(const_cast<char*>(programText.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned =
      ::posix_spawn(&pid, programText.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) return fail(spawned);

  CloseDescriptor(in[0]);
  CloseDescriptor(out[1]);
  CloseDescriptor(err[1]);
  auto worker = std::make_unique<Worker>();
  worker->id = nextId++;
  worker->pid = pid;
  worker->input = in[1];
  worker->output = out[0];
  worker->error = err[0];
  SetNonBlocking(worker->input);
  SetNonBlocking(worker->output);
  SetNonBlocking(worker->error);
  workers_.push_back(std::move(worker));
  StartResult started;
  started.worker = workers_.back()->id;
  started.processNumber = long(pid);
  return started;
}

void WorkerProcesses::Send(int id, const std::string& text) {
  for (const std::unique_ptr<Worker>& worker : workers_) {
    if (worker->id == id && worker->input >= 0) worker->pending += text;
  }
}

void WorkerProcesses::CloseInput(int id) {
  for (const std::unique_ptr<Worker>& worker : workers_) {
    if (worker->id != id) continue;
    worker->closeInput = true;
    if (worker->pending.empty()) CloseDescriptor(worker->input);
  }
}

void WorkerProcesses::Kill(int id) {
  for (const std::unique_ptr<Worker>& worker : workers_) {
    if (worker->id == id) ::kill(worker->pid, SIGKILL);
  }
}

void WorkerProcesses::KillAll() {
  for (const std::unique_ptr<Worker>& worker : workers_) ::kill(worker->pid, SIGKILL);
}

int WorkerProcesses::Running() const { return int(workers_.size()); }

std::vector<ProcessEvent> WorkerProcesses::Wait(std::chrono::milliseconds timeout) {
  std::vector<ProcessEvent> events;
  std::vector<pollfd> polled;
  polled.push_back({interruptPipe[0], POLLIN, 0});
  for (const std::unique_ptr<Worker>& worker : workers_) {
    polled.push_back({worker->output, POLLIN, 0});
    polled.push_back({worker->error, POLLIN, 0});
    polled.push_back({worker->pending.empty() ? -1 : worker->input, POLLOUT, 0});
  }
  if (caughtSignal != 0) return events;
  const int ready = ::poll(polled.data(), nfds_t(polled.size()),
                           int(std::max<std::chrono::milliseconds::rep>(timeout.count(), 0)));
  if (ready <= 0) return events;  // nothing, or an interrupt (EINTR)
  if (polled[0].revents != 0) {
    char drained[64];
    while (::read(interruptPipe[0], drained, sizeof drained) > 0) {
    }
  }

  char chunk[65536];
  for (std::size_t w = 0; w < workers_.size(); ++w) {
    Worker& worker = *workers_[w];
    const pollfd& output = polled[1 + 3 * w];
    const pollfd& error = polled[2 + 3 * w];
    const pollfd& input = polled[3 + 3 * w];
    if (input.revents != 0) {
      const ssize_t written = ::write(worker.input, worker.pending.data(), worker.pending.size());
      if (written > 0) {
        worker.pending.erase(0, std::size_t(written));
        if (worker.pending.empty() && worker.closeInput) CloseDescriptor(worker.input);
      } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
        worker.pending.clear();  // it has stopped reading: it ended, or is about to
        CloseDescriptor(worker.input);
      }
    }
    if (error.revents != 0) {
      const ssize_t got = ::read(worker.error, chunk, sizeof chunk);
      if (got > 0) {
        worker.said.AddError(chunk, std::size_t(got));
      } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        CloseDescriptor(worker.error);
      }
    }
    if (output.revents != 0) {
      const ssize_t got = ::read(worker.output, chunk, sizeof chunk);
      if (got > 0) {
        if (worker.said.AddOutput(worker.id, chunk, std::size_t(got), events))
          ::kill(worker.pid, SIGKILL);
      } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        CloseDescriptor(worker.output);
      }
    }
  }

  // A worker whose output and error have both ended has exited, or is about to: it is reaped.
  for (auto it = workers_.begin(); it != workers_.end();) {
    Worker& worker = **it;
    if (worker.output >= 0 || worker.error >= 0) {
      ++it;
      continue;
    }
    int status = 0;
    while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
    ProcessEnd end;
    end.exited = WIFEXITED(status);
    end.code = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    end.processNumber = long(worker.pid);
    CloseDescriptor(worker.input);
    worker.said.End(worker.id, end, events);
    it = workers_.erase(it);
  }
  return events;
}

void CatchInterrupts() {
  if (interruptPipe[0] < 0 && ::pipe2(interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    interruptPipe[0] = interruptPipe[1] = -1;
  struct sigaction action {};
  action.sa_handler = &NoteSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : kCaughtSignals) ::sigaction(signal, &action, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
}

int InterruptSignal() { return caughtSignal; }

void EndByInterrupt(int signal) {
  ::signal(signal, SIG_DFL);
  ::raise(signal);
  ::_exit(128 + signal);
}

void PrepareWorkerProcess() {}

void CrashThisProcess() {
  std::raise(SIGSEGV);
  std::abort();
}

bool EndWithParent(long parent) {
#if defined(__linux__)
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
  // The parent may have ended before the request above took effect.
  return long(::getppid()) == parent;
}

void KeepFreedMemory() {
#if defined(__GLIBC__)
  ::mallopt(M_MMAP_MAX, 0);              // every block from the heap...
  ::mallopt(M_TRIM_THRESHOLD, 1 << 30);  // ...which is not given back
#endif
}

int ProcessorCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? int(online) : 1;
}

bool OutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

int TerminalColumns() {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return int(size.ws_col);
}

}  // namespace vexmara::cli::batch
