#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "cli/batch/processes.h"
#include "cli/batch/worker_output.h"
#include "cli/text/win32_text.h"

namespace vexmara::cli::batch {
namespace {

constexpr DWORD kPipeBytes = 65536;
// The exit code TerminateProcess gives a worker the batch stops.
constexpr UINT kStoppedCode = 0xE0000001u;
// The exit code of a program ended by Ctrl-C (STATUS_CONTROL_C_EXIT).
constexpr UINT kInterruptedCode = 0xC000013Au;
// The completion key of the packet that wakes Wait for an interrupt; workers' keys are their
// numbers, from 0 up.
constexpr ULONG_PTR kInterruptKey = ~ULONG_PTR(0);

volatile LONG caughtInterrupt = 0;  // the console event plus one; 0 while none arrived

// One completion port for every pipe of every worker of this process, made once and kept: the
// console handler, on a thread of its own, may post to it at any time.
HANDLE CompletionPort() {
  static const HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
  return port;
}

// The job that holds every worker: its last handle, this program's, closes when this program
// ends in any way, and the job's workers end with it.
HANDLE WorkerJob(DWORD* error) {
  static const HANDLE job = [] {
    HANDLE made = CreateJobObjectW(nullptr, nullptr);
    if (made == nullptr) return made;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
      CloseHandle(made);
      return HANDLE(nullptr);
    }
    return made;
  }();
  static const DWORD madeError = job == nullptr ? GetLastError() : 0;
  *error = madeError;
  return job;
}

BOOL WINAPI NoteInterrupt(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      InterlockedExchange(&caughtInterrupt, LONG(event) + 1);
      PostQueuedCompletionStatus(CompletionPort(), 0, kInterruptKey, nullptr);
      return TRUE;
    default:
      return FALSE;
  }
}

LONG WINAPI EndOnException(EXCEPTION_POINTERS* exception) {
  TerminateProcess(GetCurrentProcess(), UINT(exception->ExceptionRecord->ExceptionCode));
  return EXCEPTION_EXECUTE_HANDLER;
}

// One argument as CommandLineToArgvW and the C runtime read it back: quoted when it holds a
// space, a tab or a quote, or is empty; a quote and the backslashes before a quote or the
// closing quote escaped with a backslash each.
void AppendArgument(std::wstring& line, const std::wstring& argument) {
  if (!line.empty()) line += L' ';
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

void CloseIfOpen(HANDLE& handle) {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
}

const char* ExceptionName(std::uint32_t code) {
  switch (code) {
    case 0xC0000005u:
      return "an access violation";
    case 0xC00000FDu:
      return "a stack overflow";
    case 0xC0000094u:
      return "an integer division by zero";
    case 0xC000001Du:
      return "an illegal instruction";
    case 0xC0000409u:
      return "a stack buffer overrun, or a fast fail";
    case 0xC0000017u:
      return "no memory";
    case kInterruptedCode:
      return "Ctrl-C";
    default:
      return nullptr;
  }
}

}  // namespace

std::string DescribeEnd(const ProcessEnd& end) {
  if (end.exited) return "exited with code " + std::to_string(end.code);
  if (end.exception == 0) return "was stopped";
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(end.exception));
  const char* name = ExceptionName(end.exception);
  return std::string("was ended by exception ") + code +
         (name != nullptr ? std::string(" (") + name + ")" : "");
}

// This program's end of one of a worker's pipes, with the one operation it may have under way.
struct Pipe {
  HANDLE handle = INVALID_HANDLE_VALUE;
  OVERLAPPED overlapped{};
  bool busy = false;
  DWORD length = 0;  // the bytes being written
  char bytes[kPipeBytes];
};

struct WorkerProcesses::Worker {
  int id = -1;
  HANDLE process = INVALID_HANDLE_VALUE;
  Pipe input, output, error;
  std::string pending;      // not yet written to its input
  bool closeInput = false;  // once `pending` is written
  WorkerOutput said;
  bool stopped = false;  // TerminateProcess was called on it
};

namespace {

// Starts a read of the worker's output or error. False, with the pipe closed, when it ended.
bool StartRead(Pipe& pipe) {
  if (pipe.handle == INVALID_HANDLE_VALUE || pipe.busy) return pipe.handle != INVALID_HANDLE_VALUE;
  pipe.overlapped = OVERLAPPED{};
  if (ReadFile(pipe.handle, pipe.bytes, kPipeBytes, nullptr, &pipe.overlapped) ||
      GetLastError() == ERROR_IO_PENDING) {
    pipe.busy = true;  // its completion comes through the port in either case
    return true;
  }
  CloseIfOpen(pipe.handle);
  return false;
}

// Starts writing what is pending for a worker's input, or closes the input when asked to and
// nothing is left.
void StartWrite(Pipe& pipe, std::string& pending, bool closeWhenDone) {
  if (pipe.handle == INVALID_HANDLE_VALUE || pipe.busy) return;
  if (pending.empty()) {
    if (closeWhenDone) CloseIfOpen(pipe.handle);
    return;
  }
  pipe.length = DWORD(std::min<std::size_t>(pending.size(), kPipeBytes));
  std::copy_n(pending.data(), pipe.length, pipe.bytes);
  pipe.overlapped = OVERLAPPED{};
  if (WriteFile(pipe.handle, pipe.bytes, pipe.length, nullptr, &pipe.overlapped) ||
      GetLastError() == ERROR_IO_PENDING) {
    pipe.busy = true;
    return;
  }
  pending.clear();  // it has stopped reading: it ended, or is about to
  CloseIfOpen(pipe.handle);
}

// Waits for an operation under way to end, once it was cancelled; its packet stays in the port
// under a worker number that no longer answers.
void Abandon(Pipe& pipe) {
  if (pipe.busy) {
    CancelIoEx(pipe.handle, &pipe.overlapped);
    DWORD ignored = 0;
    GetOverlappedResult(pipe.handle, &pipe.overlapped, &ignored, TRUE);
    pipe.busy = false;
  }
  CloseIfOpen(pipe.handle);
}

// A named pipe with this program's end open for overlapped I/O in the port, and the worker's
// end, inheritable, for its standard input (`inbound` false) or its output or error.
DWORD MakePipe(int worker, int stream, bool inbound, HANDLE* ours, HANDLE* theirs) {
  static LONG made = 0;
  const std::wstring name = L"\\\\.\\pipe\\vexmara-import-" +
                            std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(worker) + L"-" + std::to_wstring(stream) + L"-" +
                            std::to_wstring(InterlockedIncrement(&made));
  *ours = CreateNamedPipeW(name.c_str(),
                           (inbound ? PIPE_ACCESS_INBOUND : PIPE_ACCESS_OUTBOUND) |
                               FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                           PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, kPipeBytes,
                           kPipeBytes, 0, nullptr);
  if (*ours == INVALID_HANDLE_VALUE) return GetLastError();
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  *theirs = CreateFileW(name.c_str(), inbound ? GENERIC_WRITE : GENERIC_READ, 0, &inherited,
                        OPEN_EXISTING, 0, nullptr);
  if (*theirs == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    CloseIfOpen(*ours);
    return error;
  }
  if (CreateIoCompletionPort(*ours, CompletionPort(), ULONG_PTR(worker), 0) == nullptr) {
    const DWORD error = GetLastError();
    CloseIfOpen(*ours);
    CloseIfOpen(*theirs);
    return error;
  }
  return 0;
}

}  // namespace

WorkerProcesses::WorkerProcesses() = default;

WorkerProcesses::~WorkerProcesses() {
  KillAll();
  for (const std::unique_ptr<Worker>& worker : workers_) {
    Abandon(worker->input);
    Abandon(worker->output);
    Abandon(worker->error);
    WaitForSingleObject(worker->process, INFINITE);
    CloseIfOpen(worker->process);
  }
}

WorkerProcesses::StartResult WorkerProcesses::Start(const std::filesystem::path& program,
                                                    const std::vector<std::string>& arguments) {
  static int nextId = 0;
  auto worker = std::make_unique<Worker>();
  worker->id = nextId++;
  HANDLE theirs[3] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
  const auto fail = [&](DWORD error) {
    for (HANDLE& handle : theirs) CloseIfOpen(handle);
    CloseIfOpen(worker->input.handle);
    CloseIfOpen(worker->output.handle);
    CloseIfOpen(worker->error.handle);
    if (worker->process != INVALID_HANDLE_VALUE) {
      TerminateProcess(worker->process, kStoppedCode);
      CloseIfOpen(worker->process);
    }
    StartResult failed;
    failed.code = StartCode::Failed;
    failed.message = win32::SystemMessage(error);
    return failed;
  };
  DWORD jobError = 0;
  const HANDLE job = WorkerJob(&jobError);
  if (job == nullptr) return fail(jobError);
  if (const DWORD error = MakePipe(worker->id, 0, false, &worker->input.handle, &theirs[0]))
    return fail(error);
  if (const DWORD error = MakePipe(worker->id, 1, true, &worker->output.handle, &theirs[1]))
    return fail(error);
  if (const DWORD error = MakePipe(worker->id, 2, true, &worker->error.handle, &theirs[2]))
    return fail(error);

  std::wstring line;
  AppendArgument(line, program.native());
  for (const std::string& argument : arguments) AppendArgument(line, win32::Wide(argument));

  // The worker inherits its three pipe ends and no other handle of this program.
  SIZE_T attributeBytes = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeBytes);
  std::vector<std::uint8_t> attributeList(attributeBytes);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeList.data());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &attributeBytes))
    return fail(GetLastError());
  const bool listed = UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                theirs, sizeof theirs, nullptr, nullptr) != FALSE;
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = listed ? sizeof startup : sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = theirs[0];
  startup.StartupInfo.hStdOutput = theirs[1];
  startup.StartupInfo.hStdError = theirs[2];
  startup.lpAttributeList = listed ? attributes : nullptr;
  PROCESS_INFORMATION started{};
  // Suspended until it is in the job, so that it never runs outside it; without a console, so
  // that a Ctrl-C reaches this program alone.
  const DWORD flags =
      CREATE_SUSPENDED | DETACHED_PROCESS | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
  const BOOL created = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, flags,
                                      nullptr, nullptr, &startup.StartupInfo, &started);
  const DWORD createError = created ? 0 : GetLastError();
  DeleteProcThreadAttributeList(attributes);
  if (!created) return fail(createError);
  worker->process = started.hProcess;
  if (!AssignProcessToJobObject(job, started.hProcess)) {
    const DWORD error = GetLastError();
    CloseHandle(started.hThread);
    return fail(error);
  }
  ResumeThread(started.hThread);
  CloseHandle(started.hThread);
  for (HANDLE& handle : theirs) CloseIfOpen(handle);

  StartRead(worker->output);
  StartRead(worker->error);
  workers_.push_back(std::move(worker));
  StartResult result;
  result.worker = workers_.back()->id;
  result.processNumber = long(GetProcessId(workers_.back()->process));
  return result;
}

void WorkerProcesses::Send(int id, const std::string& text) {
  for (const std::unique_ptr<Worker>& worker : workers_) {
    if (worker->id == id && worker->input.handle != INVALID_HANDLE_VALUE) worker->pending += text;
  }
}

void WorkerProcesses::CloseInput(int id) {
  for (const std::unique_ptr<Worker>& worker : workers_) {
    if (worker->id != id) continue;
    worker->closeInput = true;
    if (worker->pending.empty() && !worker->input.busy) CloseIfOpen(worker->input.handle);
  }
}

void WorkerProcesses::Kill(int id) {
  for (const std::unique_ptr<Worker>& worker : workers_) {
    if (worker->id != id) continue;
    worker->stopped = true;
    TerminateProcess(worker->process, kStoppedCode);
  }
}

void WorkerProcesses::KillAll() {
  for (const std::unique_ptr<Worker>& worker : workers_) Kill(worker->id);
}

int WorkerProcesses::Running() const { return int(workers_.size()); }

std::vector<ProcessEvent> WorkerProcesses::Wait(std::chrono::milliseconds timeout) {
  std::vector<ProcessEvent> events;
  for (const std::unique_ptr<Worker>& worker : workers_)
    StartWrite(worker->input, worker->pending, worker->closeInput);
  if (caughtInterrupt != 0) return events;

  OVERLAPPED_ENTRY entries[64];
  ULONG count = 0;
  const DWORD wait =
      DWORD(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, 0x7FFFFFFF));
  if (!GetQueuedCompletionStatusEx(CompletionPort(), entries, ULONG(std::size(entries)), &count,
                                   wait, FALSE)) {
    count = 0;  // the time ran out
  }
  for (ULONG e = 0; e < count; ++e) {
    const OVERLAPPED_ENTRY& entry = entries[e];
    if (entry.lpCompletionKey == kInterruptKey) continue;
    const auto found =
        std::find_if(workers_.begin(), workers_.end(), [&](const std::unique_ptr<Worker>& w) {
          return ULONG_PTR(w->id) == entry.lpCompletionKey;
        });
    if (found == workers_.end()) continue;  // an operation of a worker already gone
    Worker& worker = **found;
    Pipe* pipe = entry.lpOverlapped == &worker.input.overlapped    ? &worker.input
                 : entry.lpOverlapped == &worker.output.overlapped ? &worker.output
                 : entry.lpOverlapped == &worker.error.overlapped  ? &worker.error
                                                                   : nullptr;
    if (pipe == nullptr || !pipe->busy) continue;
    pipe->busy = false;
    DWORD moved = 0;
    const bool done = GetOverlappedResult(pipe->handle, &pipe->overlapped, &moved, FALSE) != FALSE;

    if (pipe == &worker.input) {
      if (!done) {
        worker.pending.clear();  // it has stopped reading: it ended, or is about to
        CloseIfOpen(pipe->handle);
        continue;
      }
      worker.pending.erase(0, moved);
      StartWrite(worker.input, worker.pending, worker.closeInput);
      continue;
    }
    if (!done) {
      CloseIfOpen(pipe->handle);  // the worker's end closed: it ended, or is about to
      continue;
    }
    if (pipe == &worker.error) {
      worker.said.AddError(pipe->bytes, moved);
    } else if (worker.said.AddOutput(worker.id, pipe->bytes, moved, events)) {
      Kill(worker.id);
    }
    StartRead(*pipe);
  }

  // A worker whose output and error have both ended has exited, or is about to: it is reaped.
  for (auto it = workers_.begin(); it != workers_.end();) {
    Worker& worker = **it;
    if (worker.output.handle != INVALID_HANDLE_VALUE ||
        worker.error.handle != INVALID_HANDLE_VALUE) {
      ++it;
      continue;
    }
    WaitForSingleObject(worker.process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(worker.process, &code);
    ProcessEnd end;
    if (worker.stopped && code == kStoppedCode) {
      end.exited = false;
    } else if (code >= 0xC0000000u) {
      end.exception = code;
    } else {
      end.exited = true;
      end.code = int(code);
    }
    end.processNumber = long(GetProcessId(worker.process));
    Abandon(worker.input);
    CloseIfOpen(worker.process);
    worker.said.End(worker.id, end, events);
    it = workers_.erase(it);
  }
  return events;
}

void CatchInterrupts() { SetConsoleCtrlHandler(&NoteInterrupt, TRUE); }

int InterruptSignal() { return int(caughtInterrupt); }

void EndByInterrupt(int) { ExitProcess(kInterruptedCode); }

void PrepareWorkerProcess() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(&EndOnException);
}

void CrashThisProcess() {
  RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  std::abort();
}

bool EndWithParent(long parent) {
  // The job ends the workers with the batch; this tells whether the batch is still there.
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(parent));
  if (process == nullptr) return false;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

void KeepFreedMemory() {}  // the Windows heap keeps what is freed for the next allocation

int ProcessorCount() {
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
    return std::popcount(std::uint64_t(process));
  }
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? int(info.dwNumberOfProcessors) : 1;
}

bool OutputIsTerminal() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(output, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
}

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
  return int(info.srWindow.Right - info.srWindow.Left + 1);
}

}  // namespace vexmara::cli::batch
