// The command worker against the real cmd.exe under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "platform/Sys.h"
#include "toolkit/Application.h"
#include "workers/ExecThread.h"
#include "support/WorkerHarness.h"
#include "workers/Utils_u.h"

namespace {

const char kSeparator[] = "*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*";

std::string Banner(const std::string& quoted) { return quoted + " : Start executing, please wait..."; }

std::string CurrentDir() {
  char buffer[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, buffer);
  return buffer;
}

struct ExecRun {
  std::vector<MSG> messages;
  std::string workDir;
};

// Runs a command to its end the way the main window does: wait for the
// message, then destroy the worker.
ExecRun RunCommand(const std::string& command, Lines* output, bool isPing = false, const char* workDir = nullptr) {
  MessageSink sink;
  MainWindowSwap main(sink.Handle());
  ExecRun run;
  auto* worker = new TExecThread(command, output, 127, workDir ? workDir : GetWindowsFolder(), isPing);
  run.workDir = worker->WorkDir();
  EXPECT_TRUE(sink.WaitFor(WM_EXEC_FINISHED, 1, 30000)) << command;
  delete worker;
  sink.Pump(20);  // nothing more may come
  run.messages = sink.Of(WM_EXEC_FINISHED);
  return run;
}

TEST(ExecThread, FramesTheCapturedOutputAndPostsOnce) {
  struct Row {
    const char* command;
    bool isPing;
    std::string quoted, capture;
    WPARAM wParam;
  } rows[] = {
      {"echo hello", false, "'echo hello'", "hello\r\n", 0},
      {"echo it's mine", false, "'echo it''s mine'", "it's mine\r\n", 0},
      {"echo 'twice'", true, "'echo ''twice'''", "'twice'\r\n", static_cast<WPARAM>(-1)},
      {"exit /b 3", false, "'exit /b 3'", "", 0},
      // The command's errors come in the same capture, in order.
      {"echo out& echo err 1>&2& echo again", false, "'echo out& echo err 1>&2& echo again'",
       "out\r\nerr \r\nagain\r\n", 0},
  };
  for (const Row& row : rows) {
    StringList output;
    const ExecRun run = RunCommand(row.command, &output, row.isPing);
    ASSERT_EQ(run.messages.size(), 1u) << row.command;
    EXPECT_EQ(run.messages[0].wParam, row.wParam) << row.command;
    EXPECT_EQ(run.messages[0].lParam, 0) << row.command;
    const std::vector<std::string> expected = {kSeparator, Banner(row.quoted), row.capture, kSeparator,
                                               "Process Completed."};
    EXPECT_EQ(output.Items(), expected) << row.command;
  }
}

TEST(ExecThread, RunsInTheWorkDirOrElseInTheCurrentDirectory) {
  const std::string windows = GetWindowsFolder();
  const std::pair<const char*, std::string> rows[] = {
      {windows.c_str(), windows},
      {"C:\\no\\such\\folder", CurrentDir()},
      {"", CurrentDir()},
  };
  for (const auto& row : rows) {
    StringList output;
    const ExecRun run = RunCommand("cd", &output, false, row.first);
    EXPECT_EQ(run.workDir, row.second) << row.first;
    ASSERT_EQ(output.Count(), 5);
    EXPECT_EQ(lstrcmpiA(output[2].c_str(), (row.second + "\r\n").c_str()), 0) << output[2];
  }
}

TEST(ExecThread, JoinsAnOutputLongerThanOneReadWhole) {
  StringList output;
  RunCommand("for /L %i in (1,1,120) do @echo line %i", &output);
  std::string expected;
  for (int i = 1; i <= 120; ++i) expected += "line " + std::to_string(i) + "\r\n";
  ASSERT_GT(expected.size(), 255u);
  ASSERT_EQ(output.Count(), 5);
  EXPECT_EQ(output[2], expected);
}

TEST(ExecThread, AFullOutputKeepsItsNewestLinesAndTheClosingLines) {
  // 498 old lines: separator and banner bring it to exactly 500; from then
  // on every line pushes the oldest out, and the run's own lines all stay.
  RecordingLines output;
  output.Fill(498);
  RunCommand("echo done", &output);
  EXPECT_EQ(output.countsAfterAdd, (std::vector<int>{499, 500, 501, 501, 501}));
  const auto& items = output.Items();
  ASSERT_EQ(items.size(), 500u);
  EXPECT_EQ(items.front(), "old 3");
  EXPECT_EQ(std::vector<std::string>(items.end() - 5, items.end()),
            (std::vector<std::string>{kSeparator, "'echo done' : Start executing, please wait...", "done\r\n",
                                      kSeparator, "Process Completed."}));
  EXPECT_EQ(output.addsOffMainThread, 0);
}

TEST(ExecThread, AFailedHandOverStillEndsWithTheClosingLinesAndTheMessage) {
  RecordingLines output;
  output.failOn = [](const std::string& text) { return text.find("Start executing") != std::string::npos; };
  RunCommand("echo unseen", &output);
  EXPECT_EQ(output.Items(), (std::vector<std::string>{kSeparator, kSeparator, "Process Completed."}));
}

// What the worker asked of CreateProcessA; the start itself fails.
struct StartRecord {
  std::string application, commandLine, currentDir;
  BOOL inherit = FALSE;
  DWORD flags = 0, startFlags = 0, cb = 0;
  WORD show = 0;
  bool outputIsErrorAndSet = false;
  bool outputInheritable = false;
  bool readEndInheritable = true;
} LastStart;

HANDLE LastReadEnd = nullptr;
BOOL WINAPI RecordingCreatePipe(PHANDLE read, PHANDLE write, LPSECURITY_ATTRIBUTES sa, DWORD size) {
  const BOOL ok = CreatePipe(read, write, sa, size);
  LastReadEnd = ok ? *read : nullptr;
  return ok;
}

bool Inheritable(HANDLE h) {
  DWORD flags = 0;
  return h && GetHandleInformation(h, &flags) && (flags & HANDLE_FLAG_INHERIT) != 0;
}

BOOL WINAPI FailingCreateProcessA(LPCSTR app, LPSTR cmd, LPSECURITY_ATTRIBUTES pa, LPSECURITY_ATTRIBUTES ta,
                                  BOOL inherit, DWORD flags, LPVOID env, LPCSTR dir, LPSTARTUPINFOA si,
                                  LPPROCESS_INFORMATION) {
  LastStart.application = app ? app : "";
  LastStart.commandLine = cmd ? cmd : "";
  LastStart.currentDir = dir ? dir : "";
  LastStart.inherit = inherit;
  LastStart.flags = flags | (pa || ta || env ? 0x80000000u : 0);
  LastStart.cb = si->cb;
  LastStart.startFlags = si->dwFlags;
  LastStart.show = si->wShowWindow;
  LastStart.outputIsErrorAndSet = si->hStdOutput && si->hStdOutput == si->hStdError;
  LastStart.outputInheritable = Inheritable(si->hStdOutput);
  LastStart.readEndInheritable = Inheritable(LastReadEnd);
  SetLastError(ERROR_FILE_NOT_FOUND);
  return FALSE;
}

TEST(ExecThread, AnInterpreterThatCannotStartGivesAnEmptyCapture) {
  SysSwap swap(&SysApi::CreateProcessA, &FailingCreateProcessA);
  SysSwap pipe(&SysApi::CreatePipe, &RecordingCreatePipe);
  StringList output;
  RunCommand("ipconfig /all", &output, false, GetWindowsFolder().c_str());
  EXPECT_EQ(output.Items(),
            (std::vector<std::string>{kSeparator, Banner("'ipconfig /all'"), "", kSeparator, "Process Completed."}));

  char systemDir[MAX_PATH] = {};
  GetSystemDirectoryA(systemDir, MAX_PATH);
  // Never a cmd.exe from the program's folder or the current directory.
  // (The command line, the folder and the joined error output are seen in
  // the real runs above.)
  EXPECT_EQ(LastStart.application, std::string(systemDir) + "\\cmd.exe");
  EXPECT_TRUE(LastStart.inherit);
  // Only the pipe's write end goes to the command; the read end stays ours.
  EXPECT_TRUE(LastStart.outputInheritable);
  EXPECT_FALSE(LastStart.readEndInheritable);
  // Started suspended, so it is in the program's command job before it runs.
  EXPECT_EQ(LastStart.flags, static_cast<DWORD>(CREATE_SUSPENDED));
  EXPECT_EQ(LastStart.cb, sizeof(STARTUPINFOA));
  EXPECT_EQ(LastStart.startFlags, static_cast<DWORD>(STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW));
  EXPECT_EQ(LastStart.show, SW_HIDE);
}

TEST(ExecThread, DestroyingARunningWorkerWaitsForTheCommand) {
  // A loopback ping that takes about two seconds.
  MessageSink sink;
  MainWindowSwap main(sink.Handle());
  StringList output;
  const DWORD start = GetTickCount();
  auto* worker = new TExecThread("ping -n 3 127.0.0.1", &output, 127, GetWindowsFolder(), true);
  delete worker;
  const DWORD spent = GetTickCount() - start;
  ASSERT_EQ(output.Count(), 5);
  EXPECT_EQ(output[4], "Process Completed.");
  EXPECT_GE(spent, 1500u);

  // The console summary this produces is the one the tools panel reads back.
  StringList lines;
  for (const auto& l : SplitLineBreaks(output[2])) lines.Add(l);
  TPingSummary summary{};
  ParsePingSummary(lines, summary);
  EXPECT_EQ(summary.LossPercent, 0) << output[2];
  int minimum = -1, maximum = -1, average = -1;
  for (const std::string& line : SplitLineBreaks(output[2]))
    std::sscanf(line.c_str(), " Minimum = %dms, Maximum = %dms, Average = %dms", &minimum, &maximum, &average);
  ASSERT_GE(average, 0) << "no summary line in the console's output: " << output[2];
  EXPECT_EQ(summary.MinimumMs, minimum) << output[2];
  EXPECT_EQ(summary.MaximumMs, maximum) << output[2];
  EXPECT_EQ(summary.AverageMs, average) << output[2];

  ASSERT_TRUE(sink.WaitFor(WM_EXEC_FINISHED, 1, 1000));
  EXPECT_EQ(sink.Of(WM_EXEC_FINISHED)[0].wParam, static_cast<WPARAM>(-1));
}

// An applet: started and left running; the caller does not wait for it, and
// it inherits none of the program's handles (a command's pipe among them).
struct FakeApplet {
  static StartRecord start;
  static HANDLE process, thread;  // never signalled: the applet "runs" for ever
  static std::vector<HANDLE> closed;

  static BOOL WINAPI Create(LPCSTR app, LPSTR cmd, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL inherit,
                            DWORD flags, LPVOID, LPCSTR dir, LPSTARTUPINFOA si, LPPROCESS_INFORMATION pi) {
    start.application = app ? app : "";
    start.commandLine = cmd ? cmd : "";
    start.currentDir = dir ? dir : "";
    start.inherit = inherit;
    start.flags = flags;
    start.show = si->wShowWindow;
    pi->hProcess = process;
    pi->hThread = thread;
    pi->dwProcessId = 4242;
    return TRUE;
  }
  static BOOL WINAPI Close(HANDLE h) {
    closed.push_back(h);
    return TRUE;
  }
  static DWORD WINAPI Wait(HANDLE, DWORD) {
    ADD_FAILURE() << "waited for the applet";
    return WAIT_TIMEOUT;
  }
};
StartRecord FakeApplet::start;
HANDLE FakeApplet::process, FakeApplet::thread;
std::vector<HANDLE> FakeApplet::closed;

// A loopback ping answers in no time: a summary of known times, written by
// a real console through the same pipe, is read back as the tools panel
// reads it.
TEST(ExecThread, AConsoleSummaryOfKnownTimesIsReadBack) {
  StringList output;
  RunCommand("echo     Packets: Sent = 4, Received = 3, Lost = 1 (25% loss),& "
             "echo     Minimum = 148ms, Maximum = 152ms, Average = 150ms",
             &output);
  ASSERT_EQ(output.Count(), 5);
  StringList lines;
  for (const auto& l : SplitLineBreaks(output[2])) lines.Add(l);
  TPingSummary summary{};
  ParsePingSummary(lines, summary);
  EXPECT_EQ(summary.LossPercent, 25) << output[2];
  EXPECT_EQ(summary.MinimumMs, 148);
  EXPECT_EQ(summary.MaximumMs, 152);
  EXPECT_EQ(summary.AverageMs, 150);
}

TEST(StartCommand, StartsTheAppletAndReturnsWithoutWaitingOrInheriting) {
  FakeApplet::process = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  FakeApplet::thread = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  {
    SysSwap create(&SysApi::CreateProcessA, &FakeApplet::Create);
    SysSwap close(&SysApi::CloseHandle, &FakeApplet::Close);
    SysSwap noWait(&SysApi::WaitForSingleObject, &FakeApplet::Wait);
    EXPECT_TRUE(StartCommand("ncpa.cpl", GetWindowsFolder()));
  }
  char systemDir[MAX_PATH] = {};
  GetSystemDirectoryA(systemDir, MAX_PATH);
  // The command and its folder are seen in the real start below.
  EXPECT_EQ(FakeApplet::start.application, std::string(systemDir) + "\\cmd.exe");
  EXPECT_FALSE(FakeApplet::start.inherit);
  EXPECT_EQ(FakeApplet::start.show, SW_HIDE);
  // Both of its handles are closed (in whichever order).
  std::vector<HANDLE> closed = FakeApplet::closed, both = {FakeApplet::thread, FakeApplet::process};
  std::sort(closed.begin(), closed.end());
  std::sort(both.begin(), both.end());
  EXPECT_EQ(closed, both);
  CloseHandle(FakeApplet::process);
  CloseHandle(FakeApplet::thread);
}

// For real: the command runs through the interpreter in the folder given.
TEST(StartCommand, RunsTheCommandInTheFolderGiven) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "velnor-start-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string marker = folder + "\\marker.txt";
  DeleteFileA(marker.c_str());
  ASSERT_TRUE(StartCommand("echo started> marker.txt", folder));
  std::string text;
  for (int i = 0; i < 100 && text.empty(); ++i) {
    Sleep(100);
    HANDLE f = CreateFileA(marker.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) continue;
    char buffer[64] = {};
    DWORD read = 0;
    ReadFile(f, buffer, sizeof(buffer) - 1, &read, nullptr);
    CloseHandle(f);
    text.assign(buffer, read);
  }
  EXPECT_EQ(text, "started\r\n");
  DeleteFileA(marker.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST(RunCommandCapture, ReturnsTheOutputOnTheCallingThread) {
  EXPECT_EQ(RunCommandCapture("echo hi& echo there 1>&2", GetWindowsFolder()), "hi\r\nthere \r\n");
}

}  // namespace

// ---- console text --------------------------------------------------------

namespace {
UINT WINAPI NoConsole() { return 0; }
UINT WINAPI RussianOem() { return 866; }
UINT WINAPI Utf8Console() { return 65001; }
}  // namespace

TEST(ConsoleText, ConvertsFromTheConsoleCodePageToTheProgramsOwn) {
  struct Row {
    const char* name;
    std::string text;
    UINT from, to;
    std::string expected;
  } rows[] = {
      {"Russian: OEM 866 to ANSI 1251", "\x88\xAC\xEF \xE3\xA7\xAB\xA0", 866, 1251, "\xC8\xEC\xFF \xF3\xE7\xEB\xE0"},
      {"German: OEM 850 to ANSI 1252", "ausgef\x81hrt f\x81r", 850, 1252, "ausgef\xFChrt f\xFCr"},
      {"Greek: OEM 737 to ANSI 1253", "\x80\x81\x82", 737, 1253, "\xC1\xC2\xC3"},
      {"Turkish: OEM 857 to ANSI 1254", "\x98\x9F", 857, 1254, "\xDD\xFE"},
      {"a console in UTF-8", "\xD0\x98\xD0\xBC\xD1\x8F", 65001, 1251, "\xC8\xEC\xFF"},
      {"the same code page: untouched", "\x88\xAC\xEF", 1251, 1251, "\x88\xAC\xEF"},
      {"characters the program's code page lacks", "\x88\xAC\xEF ok", 866, 1252, "??? ok"},
      {"plain ASCII and line ends", "a = 1\r\n", 866, 1251, "a = 1\r\n"},
      {"empty", "", 866, 1251, ""},
  };
  for (const Row& row : rows) EXPECT_EQ(ConvertCodePage(row.text, row.from, row.to), row.expected) << row.name;
}

// The console's code page is the program's own console's, else the OEM one
// a new console starts with. (Which one a command really writes in shows end
// to end, in the window under a Russian system.)
TEST(ConsoleText, TheConsoleCodePageIsTheProgramsConsolesOrElseTheOemOne) {
  {
    SysSwap a(&SysApi::GetConsoleOutputCP, &NoConsole);
    SysSwap b(&SysApi::GetOEMCP, &RussianOem);
    EXPECT_EQ(ConsoleOutputCodePage(), 866u);
  }
  {
    SysSwap a(&SysApi::GetConsoleOutputCP, &Utf8Console);
    SysSwap b(&SysApi::GetOEMCP, &RussianOem);
    EXPECT_EQ(ConsoleOutputCodePage(), 65001u);
  }
}
