// The report: what the window shows, as one plain text (CR LF, the
// program's code page) that a customer can save, copy or have a script
// write, and the test run from the command line that ends with it.
#include <string>
#include <vector>

#include "Version.h"
#include "main/Main_u.h"
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

}  // namespace

std::string TfrmMain::ReportText() const {
  std::vector<std::string> out;
  out.push_back("Velnor Network Agent - connection report");
  out.push_back(Field("Made", LocalTimeText()));
  out.push_back(Field("Program version", VELNOR_VERSION_TEXT));
  out.push_back(Field("Windows version code", WindowsVersionText()));

  out.push_back("");
  for (const std::string& line : DiagnosisReportLines()) out.push_back(line);

  Section(out, "ADAPTERS (type | hardware address | IP address | DNS server | gateway | Mbps | description)");
  AddAll(out, AdapterTable, "No adapter was recorded.");

  Section(out, "LOCAL READINGS");
  if (AdapterInfoOK) {
    out.push_back(Field("IP address", CurrentAdapter.IPAddress));
    out.push_back(Field("Hardware address", CurrentAdapter.MACAddress));
    out.push_back(Field("DNS server", CurrentAdapter.DNSServer));
    out.push_back(Field("Default gateway", CurrentAdapter.Gateway));
  } else {
    out.push_back("The adapter information could not be read.");
  }
  out.push_back(Field("Proxy", imgProxy->Visible() ? "enabled, " + imgProxy->Hint() : std::string("not enabled")));
  out.push_back(Field("VPN connection", imgVPN->Visible() ? "in use" : "none seen"));
  out.push_back(Field("Firewall switch", FirewallAllowed ? "allowed" : "not allowed (administrator rights needed)"));

  Section(out, "AUTOMATIC TEST");
  if (!TestHasRun) out.push_back("No test has run yet.");
  for (int number = 1; number <= 7; ++number) {
    out.push_back(Field(std::to_string(number) + " " + StageOf(number).name, ResultText(StageResults[number])));
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

  std::string text;
  for (const std::string& line : out) text += line + "\r\n";
  return text;
}

void TfrmMain::ShowStatus(const std::string& text) { lblStatus->SetCaption(text); }

bool TfrmMain::WriteReport(const std::string& path, bool quiet) {
  const std::string folder = DesktopFolder();
  const std::string target = !path.empty()    ? path
                             : folder.empty() ? std::string()
                                              : folder + "\\" + TimestampedFileName(kSavePrefix);
  const std::string why =
      target.empty() ? std::string("This user has no desktop folder.") : WriteTextFile(target, ReportText());
  if (why.empty()) {
    ShowStatus("Report saved: " + target);
    return true;
  }
  const std::string message =
      "The report could not be saved" + (target.empty() ? std::string() : " to " + target) + ": " + why;
  ShowStatus(message);
  if (!quiet) Application.ShowMessage(message, MB_ICONWARNING);
  return false;
}

void TfrmMain::SaveReport() { WriteReport("", false); }

void TfrmMain::CopyReport() {
  if (CopyTextToClipboard(Handle(), ReportText()))
    ShowStatus("Report copied to the clipboard.");
  else
    ShowStatus("The clipboard is in use by another program: the report was not copied.");
}

void TfrmMain::StartTestRun(const TTestRun& run) {
  TestRun = run;
  btnAuto->Click();
  btnStartAutoTest->Click();
  // Refused (a command runs, or an error): there is no test to wait for.
  if (!TestBusy && !TestHasRun) {
    Application.ExitCode = 3;
    Close();
  }
}

void TfrmMain::FinishTestRun() {
  if (!TestRun.active) return;
  TestRun.active = false;
  // A script that finds no report must not read success from the code.
  Application.ExitCode = WriteReport(TestRun.reportPath, true) ? TestVerdict() : 3;
  Close();
}

TfrmMain::TTestRun ParseTestRun(const std::string& arguments) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, inWord = false;
  for (char c : arguments) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);

  auto is = [](const std::string& w, const char* option) { return lstrcmpiA(w.c_str(), option) == 0; };
  TfrmMain::TTestRun run;
  for (size_t i = 0; i < words.size(); ++i) {
    if (is(words[i], "/test")) run.active = true;
    if (is(words[i], "/report") && i + 1 < words.size()) run.reportPath = words[++i];
  }
  return run;
}
