// vexmara-import's Win32 layer on its own, against the real system: its messages on a console
// and in a file, its whole-or-nothing files, its folder listing, and the worker processes of its
// batch. The program is also the worker that the process tests start (its --child modes).
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cli/batch/processes.h"
#include "cli/files/folders.h"
#include "cli/files/output_files.h"
#include "cli/files/system_files.h"
#include "cli/text/console_text.h"
#include "cli/text/path_text.h"
#include "cli/text/win32_text.h"

namespace vexmara::cli {
namespace {

namespace fs = std::filesystem;
using batch::ProcessEnd;
using batch::ProcessEvent;
using batch::WorkerProcesses;

// Ü n ï c ø d é, a space, two CJK characters and one beyond the BMP (a surrogate pair).
constexpr char kNonAscii[] =
    "\xC3\x9Cn\xC3\xAF"
    "c\xC3\xB8"
    "d\xC3\xA9 \xE6\xA8\xA1\xE5\x9E\x8B \xF0\x9F\x90\x89";
const std::wstring kNonAsciiWide = L"\u00DCn\u00EFc\u00F8d\u00E9 \u6A21\u578B \U0001F409";
// The same without the last.
constexpr char kNonAsciiBmp[] =
    "\xC3\x9Cn\xC3\xAF"
    "c\xC3\xB8"
    "d\xC3\xA9 \xE6\xA8\xA1\xE5\x9E\x8B";

// ---- The worker side -------------------------------------------------------------------------

int RunChild(const std::wstring& mode, const std::vector<std::wstring>& arguments) {
  batch::PrepareWorkerProcess();
  if (mode == L"--child-echo") {
    for (const std::wstring& argument : arguments) std::cout << win32::Utf8(argument) << '\n';
    std::cout << std::flush;
    return 0;
  }
  if (mode == L"--child-cat") {
    for (std::string line; std::getline(std::cin, line);)
      std::cout << "got " << line << '\n' << std::flush;
    std::cerr << "input ended" << std::flush;
    return 0;
  }
  if (mode == L"--child-crash") {
    std::cerr << "about to crash" << std::flush;
    batch::CrashThisProcess();
  }
  if (mode == L"--child-hang") {
    std::cout << GetCurrentProcessId() << '\n' << std::flush;
    Sleep(INFINITE);
  }
  if (mode == L"--child-exit") return std::stoi(arguments.at(0));
  return 100;
}

// ---- Helpers ---------------------------------------------------------------------------------

fs::path TestFolder() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const fs::path folder =
      fs::temp_directory_path() / ("vexmara_cli_" + std::to_string(GetCurrentProcessId()) + "_" +
                                   test->test_suite_name() + "_" + test->name());
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::string ReadWhole(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWhole(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// What one worker said and how it ended.
struct Heard {
  std::vector<std::string> lines;
  bool ended = false;
  ProcessEnd end;
  std::string errorTail;
};

Heard Listen(WorkerProcesses& processes, int worker,
             const std::function<void(const std::string&)>& onLine = {}) {
  Heard heard;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!heard.ended && std::chrono::steady_clock::now() < until) {
    for (ProcessEvent& event : processes.Wait(std::chrono::milliseconds(100))) {
      EXPECT_EQ(event.worker, worker);
      EXPECT_FALSE(heard.ended) << "nothing comes after the end";
      if (event.kind == ProcessEvent::Kind::Line) {
        if (onLine) onLine(event.line);
        heard.lines.push_back(std::move(event.line));
      } else {
        heard.ended = true;
        heard.end = event.end;
        heard.errorTail = event.errorTail;
      }
    }
  }
  EXPECT_TRUE(heard.ended) << "the worker ended within a minute";
  return heard;
}

int StartChild(WorkerProcesses& processes, const std::vector<std::string>& arguments) {
  const WorkerProcesses::StartResult started =
      processes.Start(system_files::ThisProgram(), arguments);
  EXPECT_TRUE(started.ok()) << started.message;
  return started.worker;
}

// ---- Messages --------------------------------------------------------------------------------

// A console of the test program's own (Wine's, on the test display), whatever it was started
// with.
class ConsoleText : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    FreeConsole();
    AllocConsole();
  }
};

// The converter's messages, as a console shows them: every character, read back from the
// console's screen.
TEST_F(ConsoleText, AConsoleShowsEveryCharacter) {
  const HANDLE screen =
      CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(screen, INVALID_HANDLE_VALUE) << "the console's screen buffer";
  const HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, screen);
  CONSOLE_SCREEN_BUFFER_INFO before{};
  ASSERT_TRUE(GetConsoleScreenBufferInfo(screen, &before));
  {
    cli::ConsoleText text(cli::ConsoleText::Stream::Output);
    std::ostream out(&text);
    // The last character arrives in two writes, cut inside its bytes.
    out << "shown: " << kNonAscii << " \xC3" << std::flush << "\x9C\n";
  }
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  const std::wstring expected = L"shown: " + kNonAsciiWide + L" \u00DC";
  std::wstring shown(expected.size(), L'\0');
  DWORD read = 0;
  ASSERT_TRUE(ReadConsoleOutputCharacterW(screen, shown.data(), DWORD(shown.size()),
                                          {0, before.dwCursorPosition.Y}, &read));
  CloseHandle(screen);
  EXPECT_EQ(win32::Utf8(shown.substr(0, read)), win32::Utf8(expected));
}

// In a file (or a pipe) the messages are in the console's code page: here Windows-1252, in which
// the accented letters have a byte each and the rest becomes "?".
TEST_F(ConsoleText, AFileGetsTheConsolesCodePage) {
  const UINT savedPage = GetConsoleOutputCP();
  ASSERT_TRUE(SetConsoleOutputCP(1252));
  const fs::path file = TestFolder() / "messages.txt";
  const HANDLE written =
      CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(written, INVALID_HANDLE_VALUE);
  const HANDLE saved = GetStdHandle(STD_ERROR_HANDLE);
  SetStdHandle(STD_ERROR_HANDLE, written);
  {
    cli::ConsoleText text(cli::ConsoleText::Stream::Error);
    std::ostream err(&text);
    err << "one " << kNonAsciiBmp << " ?\n";
    err << "two \xC3" << std::flush << "\x9C";  // no line end: written when the stream goes
  }
  SetStdHandle(STD_ERROR_HANDLE, saved);
  CloseHandle(written);
  SetConsoleOutputCP(savedPage);
  EXPECT_EQ(ReadWhole(file),
            "one \xDCn\xEF"
            "c\xF8"
            "d\xE9 ?? ?\ntwo \xDC");
}

// ---- Files -----------------------------------------------------------------------------------

TEST(OutputFilesOnWindows, ACommittedFileReplacesTheOldOneAndLeavesNothingElse) {
  const fs::path folder = TestFolder() / kNonAsciiWide;
  fs::create_directories(folder);
  const fs::path target = folder / L"model.glb";
  WriteWhole(target, "old");
  OutputFiles files;
  ASSERT_TRUE(files.Begin(target));
  ASSERT_TRUE(files.Write("new", 3));
  EXPECT_EQ(ReadWhole(target), "old") << "the target stays as it was until the commit";
  const FileResult committed = files.Commit();
  ASSERT_TRUE(committed.ok()) << committed.message;
  EXPECT_EQ(ReadWhole(target), "new");
  std::vector<fs::path> left;
  for (const auto& entry : fs::directory_iterator(folder)) left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<fs::path>{L"model.glb"});
}

TEST(OutputFilesOnWindows, AFailureNamesTheFileAndTheSystemsReason) {
  const fs::path folder = TestFolder();
  fs::create_directories(folder / "already a folder.glb");
  const struct {
    fs::path target;
    std::string reason;
  } cases[] = {
      {folder / "missing" / "model.glb", win32::SystemMessage(ERROR_PATH_NOT_FOUND)},
      {folder / "already a folder.glb", "An operation is not supported on a directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(PathText(c.target));
    OutputFiles files;
    EXPECT_FALSE(files.Begin(c.target) && files.Write("x", 1) && files.Commit().ok());
    EXPECT_EQ(files.FailedFile(), c.target);
    EXPECT_EQ(files.Reason(), c.reason);
    EXPECT_EQ(files.Failure().message, PathText(c.target) + ": " + c.reason);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
      << "no temporary file stays";
}

// ---- Folders ---------------------------------------------------------------------------------

TEST(FoldersOnWindows, AListingHasEveryNameAsItIsWithItsKindAndIdentity) {
  const fs::path folder = TestFolder();
  fs::create_directories(folder / kNonAsciiWide);
  fs::create_directories(folder / L"plain");
  WriteWhole(folder / (kNonAsciiWide + L".app"), "x");
  WriteWhole(folder / L"b.APP", "y");
  std::vector<FolderEntry> entries;
  const FileResult listed = ListFolder(folder, &entries);
  ASSERT_TRUE(listed.ok()) << listed.message;
  std::map<std::wstring, FolderEntry> byName;
  for (const FolderEntry& entry : entries) byName[entry.name.native()] = entry;
  ASSERT_EQ(byName.size(), 4u) << "\".\" and \"..\" are left out";
  EXPECT_EQ(byName[kNonAsciiWide].kind, EntryKind::Folder);
  EXPECT_EQ(byName[L"plain"].kind, EntryKind::Folder);
  EXPECT_EQ(byName[kNonAsciiWide + L".app"].kind, EntryKind::File);
  EXPECT_EQ(byName[L"b.APP"].kind, EntryKind::File);
  std::set<FileIdentity> identities;
  for (const auto& [name, entry] : byName) identities.insert(entry.identity);
  EXPECT_EQ(identities.size(), 4u) << "each has an identity of its own";
  EXPECT_EQ(identities.count(FileIdentity{}), 0u);
  FileIdentity again;
  const FileResult identified = IdentifyFolder(folder / kNonAsciiWide, &again);
  ASSERT_TRUE(identified.ok()) << identified.message;
  EXPECT_EQ(again, byName[kNonAsciiWide].identity)
      << "one folder, one identity, however it is reached";
}

TEST(FoldersOnWindows, WhatIsNoFolderSaysWhy) {
  const fs::path folder = TestFolder();
  WriteWhole(folder / "file.app", "x");
  FileIdentity identity;
  const FileResult file = IdentifyFolder(folder / "file.app", &identity);
  EXPECT_FALSE(file.ok());
  EXPECT_EQ(file.message, win32::SystemMessage(ERROR_DIRECTORY));
  std::vector<FolderEntry> entries;
  const FileResult missing = ListFolder(folder / "missing", &entries);
  EXPECT_FALSE(missing.ok());
  EXPECT_FALSE(missing.message.empty());
}

// Two outputs that Windows takes for one file have one key: letter case aside, in any script,
// and either separator.
TEST(FoldersOnWindows, OneFileKeyFoldsEveryLetterAndBothSeparators) {
  EXPECT_EQ(OneFileKey(L"\u00C4rger\\Orc.glb"), OneFileKey(L"\u00E4RGER/orc.GLB"));
  EXPECT_EQ(OneFileKey(L"\u0416\u0443\u043A.glb"), OneFileKey(L"\u0436\u0443\u043A.glb"));
  EXPECT_NE(OneFileKey(L"orc.glb"), OneFileKey(L"orc2.glb"));
  EXPECT_NE(OneFileKey(L"a\\orc.glb"), OneFileKey(L"b\\orc.glb"));
}

// ---- Worker processes ------------------------------------------------------------------------

TEST(WorkerProcessesOnWindows, ArgumentsArriveExactlyAsGiven) {
  const std::vector<std::string> arguments{"plain",      "with space",       "a \"quoted\" word",
                                           "trailing\\", "two\\\\\\\"three", "back\\slash\\path",
                                           "",           "tab\there",        kNonAscii};
  WorkerProcesses processes;
  std::vector<std::string> line{"--child-echo"};
  line.insert(line.end(), arguments.begin(), arguments.end());
  const int worker = StartChild(processes, line);
  ASSERT_GE(worker, 0);
  const Heard heard = Listen(processes, worker);
  EXPECT_EQ(heard.lines, arguments);
  EXPECT_TRUE(heard.end.exited);
  EXPECT_EQ(heard.end.code, 0);
}

// What the batch sends arrives in order, however long; every line the worker writes comes
// back whole, and its end comes after them, with the last of its standard error.
TEST(WorkerProcessesOnWindows, LinesGoBothWaysAndTheEndComesAfterThem) {
  const std::string longLine(300000, 'x');  // several times a pipe's buffer
  WorkerProcesses processes;
  const int worker = StartChild(processes, {"--child-cat"});
  ASSERT_GE(worker, 0);
  processes.Send(worker, "first\n");
  processes.Send(worker, longLine + "\n");
  processes.Send(worker, std::string(kNonAscii) + "\n");
  processes.CloseInput(worker);
  const Heard heard = Listen(processes, worker);
  EXPECT_EQ(heard.lines, (std::vector<std::string>{"got first", "got " + longLine,
                                                   std::string("got ") + kNonAscii}));
  EXPECT_TRUE(heard.end.exited);
  EXPECT_EQ(heard.end.code, 0);
  EXPECT_EQ(heard.errorTail, "input ended");
}

TEST(WorkerProcessesOnWindows, HowAWorkerEndedIsTold) {
  struct Case {
    std::vector<std::string> arguments;
    bool stop;  // stopped by the batch once it said its first line
    std::string described;
    std::string errorTail;
  };
  const Case cases[] = {
      {{"--child-crash"},
       false,
       "was ended by exception 0xC0000005 (an access violation)",
       "about to crash"},
      {{"--child-hang"}, true, "was stopped", ""},
      {{"--child-exit", "3"}, false, "exited with code 3", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.front());
    WorkerProcesses processes;
    const int worker = StartChild(processes, c.arguments);
    ASSERT_GE(worker, 0);
    const Heard heard = Listen(processes, worker, [&](const std::string&) {
      if (c.stop) processes.Kill(worker);
    });
    EXPECT_EQ(batch::DescribeEnd(heard.end), c.described);
    EXPECT_EQ(heard.errorTail, c.errorTail);
  }
}

// A batch that ends (here: its WorkerProcesses goes) leaves no worker running.
TEST(WorkerProcessesOnWindows, NoWorkerOutlivesTheBatch) {
  DWORD child = 0;
  {
    WorkerProcesses processes;
    const int worker = StartChild(processes, {"--child-hang"});
    ASSERT_GE(worker, 0);
    while (child == 0) {
      for (const ProcessEvent& event : processes.Wait(std::chrono::milliseconds(100))) {
        ASSERT_EQ(event.kind, ProcessEvent::Kind::Line);
        child = DWORD(std::stoul(event.line));
      }
    }
  }
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, child);
  if (process != nullptr) {
    EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0)
        << "the worker ended with its batch";
    CloseHandle(process);
  }
}

}  // namespace
}  // namespace vexmara::cli

int main(int argc, char** argv) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments != nullptr && count > 1 && std::wstring(arguments[1]).rfind(L"--child-", 0) == 0) {
    const std::vector<std::wstring> rest(arguments + 2, arguments + count);
    return vexmara::cli::RunChild(arguments[1], rest);
  }
  LocalFree(arguments);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
