// The report: what the window shows, as one plain text (CR LF, the
// program's code page) that a customer can save, copy or have a script
// write, and the test run from the command line that ends with it.
#include <string>
#include <vector>

#include "Version.h"
#include "main/Main_u.h"
#include "platform/Locale.h"
#include "platform/Sys.h"
#include "toolkit/Application.h"
#include "workers/ExecThread.h"
#include "workers/Utils_u.h"

namespace {

const char* ResultText(TfrmMain::TStageResult result) {
  switch (result) {
    case TfrmMain::TStageResult::Passed: return "passed";
    case TfrmMain::TStageResult::Warning: return "warning";
    case TfrmMain::TStageResult::Failed: return "failed";
    default: return "not run";
  }
}

// "label" padded to one width, then the value.
std::string Field(const std::string& label, const std::string& value) {
  std::string line = label;
  if (line.size() < 24) line.resize(24, ' ');
  return line + ": " + value;
}

void Section(std::vector<std::string>& out, const char* title) {
  out.push_back("");
  out.push_back(title);
}

void AddAll(std::vector<std::string>& out, const Lines& lines, const char* whenEmpty) {
  if (lines.Count() == 0) out.push_back(whenEmpty);
  for (int i = 0; i < lines.Count(); ++i) out.push_back(lines.Get(i));
}

std::string WindowsVersionText() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  std::string reported;
  if (GetVersionExA(&info)) {
    reported = " (reports " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
               std::to_string(info.dwBuildNumber) + ")";
  }
  return std::to_string(GetWindowsVersionCode()) + reported;
}

const char kSavePrefix[] = "VelnorAgent-report";

// The last resort of a run's time bound: should the window itself stop
// answering (a system call that never returns), the process ends with 3 a
// little after the bound. The event is set when the run has ended.
constexpr DWORD kWatchdogGraceMs = 15000;
HANDLE testRunEnded = nullptr;

DWORD WINAPI TestRunWatchdog(void* limit) {
  const DWORD waitMs = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(limit)) + kWatchdogGraceMs;
  if (WaitForSingleObject(testRunEnded, waitMs) == WAIT_TIMEOUT) {
    WriteToParentConsole("The test did not finish: the program stopped answering.");
    ExitProcess(3);
  }
  return 0;
}

void StartWatchdog(DWORD limitMs) {
  if (!testRunEnded) testRunEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!testRunEnded) return;
  ResetEvent(testRunEnded);
  HANDLE thread = Sys.CreateThread(nullptr, 0, &TestRunWatchdog,
                                   reinterpret_cast<void*>(static_cast<UINT_PTR>(limitMs)), 0, nullptr);
  if (thread) Sys.CloseHandle(thread);
}

void StopWatchdog() {
  if (testRunEnded) SetEvent(testRunEnded);
}

}  // namespace

std::string TfrmMain::ReportText() const {
  std::vector<std::string> out;
  out.push_back("Velnor Network Agent - connection report");
  out.push_back(Field("Made", LocalTimeText()));
  out.push_back(Field("Program version", VELNOR_VERSION_TEXT));
  out.push_back(Field("Windows version code", WindowsVersionText()));

  out.push_back("");
  for (const std::string& line : DiagnosisReportLines()) out.push_back(line);
  if (WatchRecord) {
    out.push_back("");
    for (const std::string& line : WatchReportLines()) out.push_back(line);
  }

  Section(out, "ADAPTERS (type | hardware address | IP address | DNS server | gateway | Mbps | description)");
  if (!AdapterReadError.empty())
    out.push_back("The adapters could not be read: " + AdapterReadError + ".");
  else
    AddAll(out, AdapterTable, "No adapter was recorded.");

  Section(out, "LOCAL READINGS");
  const bool earlier = !CurrentAdapter.IPAddress.empty() || !CurrentAdapter.Gateway.empty();
  if (!AdapterInfoOK) {
    out.push_back("The adapter information could not be read.");
  } else if (!CurrentAdapterChosen) {
    // What an earlier refresh chose is no reading of this one.
    out.push_back("The latest refresh found no adapter with a usable default gateway.");
    if (earlier) out.push_back("Earlier readings, not current:");
  }
  if (AdapterInfoOK && (CurrentAdapterChosen || earlier)) {
    const std::string mark = CurrentAdapterChosen ? "" : " (earlier)";
    out.push_back(Field("IP address" + mark, CurrentAdapter.IPAddress));
    out.push_back(Field("Hardware address" + mark, CurrentAdapter.MACAddress));
    out.push_back(Field("DNS server" + mark, CurrentAdapter.DNSServer));
    out.push_back(Field("Default gateway" + mark, CurrentAdapter.Gateway));
    out.push_back(Field("IPv6 global address" + mark, Ip6AddressFact(CurrentIpv6)));
    out.push_back(Field("IPv6 default route" + mark, Ip6RouteFact(CurrentIpv6)));
  }
  out.push_back(Field("Proxy", imgProxy->Visible() ? "enabled, " + imgProxy->Hint() : std::string("not enabled")));
  out.push_back(Field("VPN connection", imgVPN->Visible() ? "in use" : "none seen"));
  out.push_back(Field("Firewall switch", FirewallAllowed ? "allowed" : "not allowed (administrator rights needed)"));

  Section(out, "AUTOMATIC TEST");
  if (!TestHasRun) out.push_back("No test has run yet.");
  if (!TestUnfinished.empty()) out.push_back("The test did not finish: " + TestUnfinished);
  for (int number = 1; number <= 7; ++number) {
    const bool unfinished = !TestUnfinished.empty() && number == UnfinishedStage;
    out.push_back(Field(std::to_string(number) + " " + StageOf(number).name,
                        unfinished ? "did not finish" : ResultText(StageResults[number])));
  }

  Section(out, "TEST LOG");
  AddAll(out, memOutput->GetLines(), "(empty)");
  Section(out, "EVENTS");
  AddAll(out, lstEvents->GetLines(), "(empty)");

  Section(out, "LAST TOOLS COMMAND");
  if (LastToolCommand.empty()) {
    out.push_back("No tools command has run yet.");
  } else {
    out.push_back(LastToolCommand);
    AddAll(out, memToolsOutput->GetLines(), "(no output)");
  }

  // What a run nobody watched would have said in a box.
  if (Application.Unattended) {
    Section(out, "MESSAGES");
    if (Application.Unshown.empty()) out.push_back("(none)");
    for (const std::string& message : Application.Unshown) out.push_back(message);
  }

  std::string text;
  for (const std::string& line : out) text += line + "\r\n";
  return text;
}

void TfrmMain::ShowStatus(const std::string& text) { lblStatus->SetCaption(text); }

bool TfrmMain::WriteReport(const std::wstring& path, bool quiet) {
  const std::wstring folder = DesktopFolder();
  const std::wstring target = !path.empty()    ? path
                              : folder.empty() ? std::wstring()
                                               : folder + L"\\" + WideOf(TimestampedFileName(kSavePrefix));
  const std::string why =
      target.empty() ? std::string("This user has no desktop folder.") : WriteTextFile(target, ReportText());
  if (why.empty()) {
    ShowStatus("Report saved: " + WideToAnsi(target));
    return true;
  }
  const std::string message =
      "The report could not be saved" + (target.empty() ? std::string() : " to " + WideToAnsi(target)) + ": " + why;
  ShowStatus(message);
  if (!quiet) Application.ShowMessage(message, MB_ICONWARNING);
  return false;
}

void TfrmMain::SaveReport() { WriteReport(L"", false); }

void TfrmMain::CopyReport() {
  if (CopyTextToClipboard(Handle(), ReportText()))
    ShowStatus("Report copied to the clipboard.");
  else
    ShowStatus("The clipboard is in use by another program: the report was not copied.");
}

void TfrmMain::StartTestRun(const TTestRun& run) {
  TestRun = run;
  TestUnfinished.clear();
  // A worker or a name lookup that never returns must not keep a script
  // waiting: past the bound the report says which stage did not finish.
  TestRunTimer = Application.StartTimer(TestRunLimitMs, [this] {
    AbandonTestRun("it took longer than " + std::to_string(TestRunLimitMs / 1000) + " seconds.", true);
  });
  StartWatchdog(TestRunLimitMs);
  btnAuto->Click();
  btnStartAutoTest->Click();
  // Refused (a command runs, or an error): there is no test to wait for.
  if (!TestBusy && !TestHasRun) AbandonTestRun("it could not start.", true);
}

void TfrmMain::AbandonTestRun(const std::string& why, bool closeWindow) {
  if (!TestRun.active) return;
  TestRun.active = false;
  if (TestRunTimer) Application.StopTimer(TestRunTimer);
  TestRunTimer = 0;
  StopWatchdog();
  TestUnfinished = why;
  // Stages run in order: the first without a verdict is the one waited for.
  UnfinishedStage = 0;
  for (int number = 1; number <= 7 && TestBusy && !UnfinishedStage; ++number)
    if (StageResults[number] == TStageResult::NotRun) UnfinishedStage = number;
  AddLog("The test did not finish: " + why, true);
  WriteToParentConsole("The test did not finish: " + why);
  WriteReport(TestRun.reportPath, true);
  if (!TestRun.jsonPath.empty()) WriteDiagnosisJson(TestRun.jsonPath);
  Application.ExitCode = 3;
  if (closeWindow) Close();
}

void TfrmMain::FinishTestRun(bool closeWindow) {
  if (!TestRun.active) return;
  TestRun.active = false;
  if (TestRunTimer) Application.StopTimer(TestRunTimer);
  TestRunTimer = 0;
  StopWatchdog();
  // A script that finds no report must not read success from the code.
  bool written = WriteReport(TestRun.reportPath, true);
  if (!TestRun.jsonPath.empty() && !WriteDiagnosisJson(TestRun.jsonPath)) {
    WriteToParentConsole("The JSON file could not be saved to " + WideToAnsi(TestRun.jsonPath) + ".");
    written = false;
  }
  Application.ExitCode = written ? TestVerdict() : 3;
  if (closeWindow) Close();
}
