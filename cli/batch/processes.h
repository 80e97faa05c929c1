// Worker processes and what the batch needs to know of its own process, behind a small
// interface: processes_posix.cpp implements it with posix_spawn, pipes, poll, waitpid and kill;
// processes_win32.cpp with CreateProcessW, named pipes read and written by overlapped I/O
// through one completion port, a job object and TerminateProcess.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/result.h"

namespace vexmara::cli::batch {

// How a worker ended.
struct ProcessEnd {
  bool exited = false;  // it exited with `code`; otherwise `signal` ended it (POSIX systems), or
                        // on Windows the exception `exception`, or the batch when both are 0
  int code = 0;
  int signal = 0;
  std::uint32_t exception = 0;  // Windows: the exception's code, 0xC0000005 an access violation
  long processNumber = 0;       // the process's number, which its temporary files carry
};

// "exited with code 3", "was ended by signal 11 (Segmentation fault)"; on Windows "was ended by
// exception 0xC0000005 (an access violation)", "was stopped".
std::string DescribeEnd(const ProcessEnd& end);

struct ProcessEvent {
  enum class Kind { Line, Ended };
  Kind kind = Kind::Line;
  int worker = -1;
  std::string line;       // Line: one line of its standard output, without the line break
  ProcessEnd end;         // Ended
  std::string errorTail;  // Ended: the last bytes it wrote to its standard error
};

// Workers with their standard input, output and error on pipes. Each one runs in a process
// group of its own (on Windows: without a console), so that a Ctrl-C at the terminal reaches
// only this program, which then ends the workers itself; on Windows they also belong to a job
// object that ends them when this program ends in any way. A worker's Ended event comes after
// all of its lines. One WorkerProcesses waits at a time: on Windows they share the process's
// completion port, and one would take the other's news.
class WorkerProcesses {
 public:
  // Lines longer than this end their worker: no message of ours comes near it.
  static constexpr std::size_t kLongestLine = std::size_t(64) << 20;

  WorkerProcesses();
  ~WorkerProcesses();  // kills and reaps every worker still running
  WorkerProcesses(const WorkerProcesses&) = delete;
  WorkerProcesses& operator=(const WorkerProcesses&) = delete;

  enum class StartCode { Ok, Failed };
  struct StartResult : host::Result<StartCode> {
    int worker = -1;         // its number, when it started
    long processNumber = 0;  // the system's number of its process, which its temporary files carry
  };
  // Starts `program` with `arguments`: the worker's number, or the system's reason.
  StartResult Start(const std::filesystem::path& program,
                    const std::vector<std::string>& arguments);
  // Queues `text` for the worker's standard input; it is written while Wait waits, so a worker
  // that does not read cannot stop the batch.
  void Send(int worker, const std::string& text);
  // Closes the worker's standard input once what was sent has been written.
  void CloseInput(int worker);
  // Ends the worker at once. Its Ended event follows from Wait.
  void Kill(int worker);
  void KillAll();
  int Running() const;

  // Waits at most `timeout` for lines and ends of workers, or until an interrupt arrives (see
  // CatchInterrupts), and gives what happened.
  std::vector<ProcessEvent> Wait(std::chrono::milliseconds timeout);

 private:
  struct Worker;
  std::vector<std::unique_ptr<Worker>> workers_;
};

// From now on SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl-C, Ctrl-Break and the console's
// closing) only note the signal, which InterruptSignal gives and which wakes Wait. Writing to a
// worker that has gone no longer ends this program.
void CatchInterrupts();
int InterruptSignal();  // 0 while none arrived
// Ends this program as the signal would have, now that the workers are gone.
[[noreturn]] void EndByInterrupt(int signal);

// For a worker, before it reads its first message: its standard streams carry the messages'
// bytes as they are (Windows translates line ends otherwise), and a crash ends it at once, with
// its exception as its exit code, instead of waiting on a report dialog.
void PrepareWorkerProcess();
// Ends this process as a crash does: SIGSEGV, or an access violation on Windows.
[[noreturn]] void CrashThisProcess();

// For a worker: end this process too when the program with process number `parent`, which
// started it, ends. False when that program has already gone.
bool EndWithParent(long parent);
// For a program that converts one model after another, or one model and then its export:
// memory that is freed is kept for what comes next instead of going back to the system, since
// faulting in fresh pages costs more than the work done on them (README, Performance).
void KeepFreedMemory();

// The processors this program may run on.
int ProcessorCount();
// Whether standard output is a terminal (on Windows: a console that takes the escape sequence
// which clears the rest of a line), and how many columns it has (0 when unknown).
bool OutputIsTerminal();
int TerminalColumns();

}  // namespace vexmara::cli::batch
