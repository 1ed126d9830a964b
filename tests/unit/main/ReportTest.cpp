// The report of the real window on a fake machine: what it holds before and
// after a test, the keys that save and copy it, a folder it cannot be
// written to, and the command line that runs a test for a script.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "Endpoints.h"
#include "support/MainWindowTest.h"
#include "workers/Utils_u.h"

namespace {

std::vector<std::string> ReportLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
    lines.push_back(text.substr(from, at - from));
  EXPECT_EQ(from, text.size()) << "every line ends in CR LF";
  return lines;
}

// The lines of the report between a section's title and the next blank line.
std::vector<std::string> SectionOf(const std::vector<std::string>& lines, const std::string& title) {
  std::vector<std::string> section;
  auto it = std::find(lines.begin(), lines.end(), title);
  if (it == lines.end()) return section;
  for (++it; it != lines.end() && !it->empty(); ++it) section.push_back(*it);
  return section;
}

std::string StageLine(int number, const char* name, const char* result) {
  std::string label = std::to_string(number) + " " + name;
  label.resize(24, ' ');
  return label + ": " + result;
}

const char* kNames[] = {"",
                        "Local configuration",
                        "Default gateway",
                        "Provider's server",
                        "International backbone",
                        "Public web hosts",
                        "Provider's web page",
                        "Internet connection"};

std::vector<std::string> Stages(std::initializer_list<const char*> results) {
  std::vector<std::string> lines;
  int n = 0;
  for (const char* r : results) ++n, lines.push_back(StageLine(n, kNames[n], r));
  return lines;
}

// The desktop of these tests: a folder of their own.
std::string Desktop;
// Set instead of Desktop for a folder named in characters the ANSI code
// page lacks.
std::wstring WideDesktop;
HRESULT WINAPI FakeDesktop(HWND, int folder, HANDLE, DWORD, LPWSTR path) {
  const std::wstring wide = !WideDesktop.empty() ? WideDesktop : std::wstring(Desktop.begin(), Desktop.end());
  if (folder != CSIDL_DESKTOPDIRECTORY || wide.empty()) return E_FAIL;
  lstrcpynW(path, wide.c_str(), MAX_PATH);
  return S_OK;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

class ReportTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    Desktop = std::string(temp) + "velnor-report-test-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(Desktop.c_str(), nullptr);
  }
  void TearDown() override {
    for (const std::string& f : Saved()) DeleteFileA((Desktop + "\\" + f).c_str());
    RemoveDirectoryA(Desktop.c_str());
    MainWindowTest::TearDown();
  }
  std::vector<std::string> Saved() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((Desktop + "\\*.txt").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
  }
  void RunTest() {
    form->btnAuto->Click();
    form->btnStartAutoTest->Click();
    ASSERT_TRUE(RunUntilIdle());
  }
  std::vector<std::string> Report() { return ReportLines(form->ReportText()); }

  SysSwap desktop_{&SysApi::SHGetFolderPathW, &FakeDesktop};
};

TEST_F(ReportTest, BeforeAnythingRanItSaysSo) {
  Open();
  const auto lines = Report();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Velnor Network Agent - connection report");
  auto test = SectionOf(lines, "AUTOMATIC TEST");
  ASSERT_FALSE(test.empty());
  EXPECT_EQ(test[0], "No test has run yet.");
  test.erase(test.begin());
  EXPECT_EQ(test, Stages({"not run", "not run", "not run", "not run", "not run", "not run", "not run"}));
  EXPECT_EQ(SectionOf(lines, "LAST TOOLS COMMAND"), std::vector<std::string>{"No tools command has run yet."});
  const auto adapters =
      SectionOf(lines, "ADAPTERS (type | hardware address | IP address | DNS server | gateway | Mbps | description)");
  // The fake machine's one adapter (tests/unit/support/FakeMachine.h), as
  // it was built: not the window's own table.
  EXPECT_EQ(adapters, std::vector<std::string>{"Ethernet   |00-1A-2B-3C-4D-5E|192.168.1.10    |192.168.1.53    |"
                                                "192.168.1.1     |100.00|Fake Ethernet Adapter"});
  const auto readings = SectionOf(lines, "LOCAL READINGS");
  ASSERT_GE(readings.size(), 4u);
  EXPECT_EQ(readings[0], "IP address              : 192.168.1.10");
  EXPECT_EQ(readings[3], "Default gateway         : 192.168.1.1");
}

TEST_F(ReportTest, TheVerdictsAndListsAreWhatTheWindowShows) {
  struct Row {
    const char* name;
    std::map<std::string, EchoAnswer> answers;
    std::vector<std::string> stages;
    int verdict;
  } rows[] = {
      {"every stage passes", {}, Stages({"passed", "passed", "passed", "passed", "passed", "passed", "passed"}), 0},
      {"the second backbone silent",
       {{"10.77.1.3", EchoAnswer::Down}},
       Stages({"passed", "passed", "passed", "warning", "passed", "passed", "passed"}),
       1},
      {"the gateway half there",
       {{"192.168.1.1", EchoAnswer::Half}},
       Stages({"passed", "warning", "passed", "passed", "passed", "passed", "passed"}),
       1},
      {"the provider gone",
       {{endpoints::ProviderServerAddress, EchoAnswer::Down}},
       Stages({"passed", "passed", "failed", "not run", "not run", "not run", "not run"}),
       2},
  };
  Open();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    machine.answers = row.answers;
    RunTest();
    const auto lines = Report();
    EXPECT_EQ(SectionOf(lines, "AUTOMATIC TEST"), row.stages);
    EXPECT_EQ(form->TestVerdict(), row.verdict);
    EXPECT_EQ(SectionOf(lines, "TEST LOG"), Output());
    EXPECT_EQ(SectionOf(lines, "EVENTS"), Events());
  }
}

TEST_F(ReportTest, CtrlSSavesOnTheDesktopAndCtrlCCopies) {
  Open();
  form->RunToolCommand("echo for the report", false);
  ASSERT_TRUE(RunUntilIdle());
  WORD s = 'S';
  form->FormKeyDown(s, ssCtrl);
  const auto saved = Saved();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].size(), std::string("VelnorAgent-report-20261210-104708.txt").size()) << saved[0];
  EXPECT_EQ(saved[0].rfind("VelnorAgent-report-", 0), 0u) << saved[0];
  EXPECT_EQ(form->lblStatus->Caption(), "Report saved: " + Desktop + "\\" + saved[0]);
  const std::string text = ReadFile(Desktop + "\\" + saved[0]);
  const auto tools = SectionOf(ReportLines(text), "LAST TOOLS COMMAND");
  ASSERT_GE(tools.size(), 2u);
  EXPECT_EQ(tools[0], "echo for the report");
  EXPECT_NE(std::find(tools.begin(), tools.end(), "for the report"), tools.end());

  WORD c = 'C';
  form->FormKeyDown(c, ssCtrl);
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_TEXT);
  const std::string copied = data ? static_cast<const char*>(GlobalLock(data)) : "";
  if (data) GlobalUnlock(data);
  CloseClipboard();
  // The same report but for the time it was made.
  auto withoutTime = [](std::vector<std::string> l) { return l.size() > 1 ? (l.erase(l.begin() + 1), l) : l; };
  EXPECT_EQ(withoutTime(ReportLines(copied)), withoutTime(ReportLines(text)));
  EXPECT_EQ(form->lblStatus->Caption(), "Report copied to the clipboard.");

  // Other modifiers are not the report keys.
  for (TShiftState other : {0u, ssShift | ssCtrl, ssAlt | ssCtrl}) {
    WORD key = 'S';
    form->FormKeyDown(key, other);
  }
  EXPECT_EQ(Saved().size(), 1u);
}

TEST_F(ReportTest, AFolderItCannotWriteToIsReportedAndNothingShownIsLost) {
  std::vector<std::string> messages;
  Application.OnMessage = [&](const std::string& m) { messages.push_back(m); };
  Open();
  form->memOutput->GetLines().Add("kept");
  Desktop += "\\no such folder";
  WORD s = 'S';
  form->FormKeyDown(s, ssCtrl);
  Application.OnMessage = nullptr;
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("The report could not be saved to " + Desktop + "\\VelnorAgent-report-", 0), 0u)
      << messages[0];
  EXPECT_EQ(form->lblStatus->Caption(), messages[0]);
  EXPECT_EQ(Output(), std::vector<std::string>{"kept"});
  Desktop.resize(Desktop.size() - std::string("\\no such folder").size());

  // No desktop at all.
  const std::string saved = Desktop;
  Desktop.clear();
  EXPECT_FALSE(form->WriteReport(L"", true));
  EXPECT_EQ(form->lblStatus->Caption(), "The report could not be saved: This user has no desktop folder.");
  Desktop = saved;
}

TEST(ParseTestRun, ReadsTheSwitchesAndRefusesWhatItDoesNotKnow) {
  struct Row {
    const wchar_t* arguments;
    bool active;
    const wchar_t* report;
    const char* error;  // "" for none
  } rows[] = {
      {L"", false, L"", ""},
      {L"/test", true, L"", ""},
      {L"/TEST", true, L"", ""},
      {L"/Test /RePort C:\\out\\r.txt", true, L"C:\\out\\r.txt", ""},
      {L"/report \"C:\\my reports\\r.txt\" /test", true, L"C:\\my reports\\r.txt", ""},
      {L"/test /report \"C:\\\u041e\u0442\u0447\u0451\u0442\\r.txt\"", true, L"C:\\\u041e\u0442\u0447\u0451\u0442\\r.txt", ""},
      {L"/report /test", false, L"", "/report needs a FILE after it."},
      {L"/test /report", true, L"", "/report needs a FILE after it."},
      {L"/test /report \"\"", true, L"", "/report needs a FILE after it."},
      {L"/tset", false, L"", "Unknown switch: /tset"},
      {L"/test /testing", true, L"", "Unknown switch: /testing"},
      {L"/test stray", true, L"", "Unknown switch: stray"},
      {L"/report C:\\r.txt", false, L"C:\\r.txt", "/report is used with /test."},
  };
  for (const Row& row : rows) {
    const TfrmMain::TTestRun run = ParseTestRun(row.arguments);
    const std::string shown(row.arguments, row.arguments + wcslen(row.arguments));
    EXPECT_EQ(run.error, row.error) << shown;
    if (!*row.error) {
      EXPECT_EQ(run.active, row.active) << shown;
      EXPECT_TRUE(run.reportPath == row.report) << shown;
    }
  }
  // The usage names every switch.
  for (const char* name : {"/test", "/report FILE"}) EXPECT_NE(UsageText().find(name), std::string::npos) << name;
}

TEST(ParseTestRun, ReadsAWatchAndItsSwitches) {
  struct Row {
    const wchar_t* arguments;
    int64_t watchMs;
    int intervalS;
    const char* error;  // "" for none
  } rows[] = {
      {L"/watch 90s", 90000, 5, ""},
      {L"/WATCH 2h /interval 1 /csv s.csv /json w.json /report r.txt", 7200000, 1, ""},
      {L"/watch 10", 600000, 5, ""},
      {L"/watch 25h", 0, 5, "/watch needs a DURATION from 30s to 24h: a number with s, m or h (no unit: minutes)."},
      {L"/watch", 0, 5, "/watch needs a DURATION after it."},
      {L"/watch 5m /interval 0", 0, 5, "/interval needs a number of SECONDS from 1 to 60."},
      {L"/watch 5m /interval 61", 0, 5, "/interval needs a number of SECONDS from 1 to 60."},
      {L"/watch 5m /interval 2x", 0, 5, "/interval needs a number of SECONDS from 1 to 60."},
      {L"/test /watch 5m", 0, 5, "/test and /watch are used one at a time."},
      {L"/test /csv x.csv", 0, 5, "/csv is used with /watch."},
      {L"/interval 5", 0, 5, "/interval is used with /watch."},
      {L"/json x.json", 0, 5, "/json is used with /test."},
  };
  for (const Row& row : rows) {
    const TfrmMain::TTestRun run = ParseTestRun(row.arguments);
    const std::string shown(row.arguments, row.arguments + wcslen(row.arguments));
    EXPECT_EQ(run.error, row.error) << shown;
    if (!*row.error) {
      EXPECT_TRUE(run.watch) << shown;
      EXPECT_FALSE(run.active) << shown;
      EXPECT_EQ(run.watchMs, row.watchMs) << shown;
      EXPECT_EQ(run.intervalS, row.intervalS) << shown;
    }
  }
  const TfrmMain::TTestRun all = ParseTestRun(L"/watch 2h /interval 1 /csv s.csv /json w.json");
  EXPECT_TRUE(all.csvPath == L"s.csv");
  EXPECT_TRUE(all.jsonPath == L"w.json");
  EXPECT_TRUE(ParseTestRun(L"/test /json d.json").jsonPath == L"d.json");
  for (const char* name : {"/watch DURATION", "/interval SECONDS", "/json FILE", "/csv FILE"})
    EXPECT_NE(UsageText().find(name), std::string::npos) << name;
}

TEST(ParseTestRun, TheProgramsOwnNameIsNoArgument) {
  const std::pair<const wchar_t*, const wchar_t*> rows[] = {
      {L"VelnorAgent.exe /test", L"/test"},
      {L"\"C:\\Program Files\\VelnorAgent.exe\" /test /report x", L"/test /report x"},
      {L"\"C:\\a b\\VelnorAgent.exe\"", L""},
      {L"VelnorAgent.exe", L""},
  };
  for (const auto& row : rows) EXPECT_TRUE(ArgumentsOf(row.first) == row.second);
}

TEST_F(ReportTest, NothingStaleIsShownAsCurrent) {
  Open();
  ASSERT_TRUE(form->CurrentAdapterChosen);
  const std::string adapters =
      "ADAPTERS (type | hardware address | IP address | DNS server | gateway | Mbps | description)";

  // The router is gone from the adapter: the latest refresh chose none.
  machine.adapters[0].gateway = "";
  machine.BuildFromAdapters();
  form->imgRefreshClick(form->imgRefresh);
  auto readings = SectionOf(Report(), "LOCAL READINGS");
  ASSERT_GE(readings.size(), 6u);
  EXPECT_EQ(readings[0], "The latest refresh found no adapter with a usable default gateway.");
  EXPECT_EQ(readings[1], "Earlier readings, not current:");
  EXPECT_EQ(readings[2], "IP address (earlier)    : 192.168.1.10");
  EXPECT_EQ(readings[5], "Default gateway (earlier): 192.168.1.1");

  // The adapters cannot be read at all: the error, and no old table.
  machine.ifTable.secondAnswer = ERROR_NOT_SUPPORTED;
  form->imgRefreshClick(form->imgRefresh);
  const auto lines = Report();
  EXPECT_EQ(SectionOf(lines, adapters),
            std::vector<std::string>{
                "The adapters could not be read: the interface and address tables could not be read."});
  EXPECT_EQ(SectionOf(lines, "LOCAL READINGS").at(0), "The adapter information could not be read.");
  EXPECT_EQ(frmTCPIPMonitor->SelectedAdpMemo->GetLines().Count(), 0) << "the monitor's copy goes too";

  // Read again: current again, without marks.
  machine.ifTable.secondAnswer = NO_ERROR;
  machine.adapters[0].gateway = "192.168.1.1";
  machine.BuildFromAdapters();
  form->imgRefreshClick(form->imgRefresh);
  readings = SectionOf(Report(), "LOCAL READINGS");
  EXPECT_EQ(readings.at(0), "IP address              : 192.168.1.10");
  EXPECT_EQ(SectionOf(Report(), adapters), LinesOf(form->AdapterTable));
}

namespace {
// Drops the quit message a closed main window leaves, so the next test's
// loop runs.
void ForgetTheClose() {
  MSG m;
  while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  Application.Initialize();
}
}  // namespace

TEST_F(ReportTest, AScriptsTestThatDoesNotFinishEndsWith3AndItsReportSaysSo) {
  struct Row {
    const char* name;
    bool close;  // else the time bound passes
    const char* why;
  } rows[] = {
      {"closed", true, "The test did not finish: the window was closed before it finished."},
      {"too long", false, "The test did not finish: it took longer than 1 seconds."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // The gateway's echo never comes back until the test is over.
    HANDLE entered = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    machine.echoEntered = entered;
    machine.echoRelease = release;
    Open();
    Application.Unattended = true;
    Application.ExitCode = 0;
    form->TestRunLimitMs = row.close ? 60000 : 1000;
    TfrmMain::TTestRun run;
    run.active = true;
    const std::wstring path = std::wstring(Desktop.begin(), Desktop.end()) + L"\\run.txt";
    run.reportPath = path;
    form->StartTestRun(run);
    ASSERT_TRUE(Application.ProcessMessagesUntil([&] { return WaitForSingleObject(entered, 0) == WAIT_OBJECT_0; }, 10000));
    if (row.close) PostMessageA(form->Handle(), WM_CLOSE, 0, 0);
    Application.ProcessMessagesUntil([&] { return !form->TestRun.active; }, 10000);
    EXPECT_FALSE(form->TestRun.active);
    EXPECT_EQ(Application.ExitCode, 3);
    const auto lines = ReportLines(ReadFile(Desktop + "\\run.txt"));
    auto test = SectionOf(lines, "AUTOMATIC TEST");
    ASSERT_FALSE(test.empty());
    EXPECT_EQ(test[0], row.why);
    test.erase(test.begin());
    EXPECT_EQ(test, Stages({"passed", "did not finish", "not run", "not run", "not run", "not run", "not run"}));
    EXPECT_EQ(SectionOf(lines, "MESSAGES"), std::vector<std::string>{"(none)"});
    // What the test did not reach is no evidence: no finding of a working line.
    const auto diagnosis = SectionOf(lines, "DIAGNOSIS");
    EXPECT_TRUE(std::any_of(diagnosis.begin(), diagnosis.end(),
                            [](const std::string& l) { return l.find("not_finished") != std::string::npos; }))
        << "the diagnosis of an unfinished test";

    SetEvent(release);
    ForgetTheClose();
    RunUntilIdle();
    machine.echoEntered = machine.echoRelease = nullptr;
    CloseHandle(entered);
    CloseHandle(release);
    Application.Unattended = false;
    Application.ExitCode = 0;
    DeleteFileW(path.c_str());
    delete form;
    frmMain = form = nullptr;
  }
}

TEST_F(ReportTest, AScriptsTestShowsNoBoxAndItsReportHasTheMessages) {
  using fakeregistry::FakeRegistry;
  FakeRegistry::values = {{"ProxyEnable", fakeregistry::Text("1")}};
  Application.OnException = nullptr;
  Application.Unattended = true;
  Application.Unshown.clear();
  Open();  // the refresh at start meets the unreadable setting
  TfrmMain::TTestRun run;
  run.active = true;
  run.reportPath = std::wstring(Desktop.begin(), Desktop.end()) + L"\\run.txt";
  form->StartTestRun(run);
  Application.ProcessMessagesUntil([&] { return !form->TestRun.active; }, 30000);
  ForgetTheClose();
  EXPECT_EQ(Application.ExitCode, 0) << "the test runs all the same";
  const auto lines = ReportLines(ReadFile(Desktop + "\\run.txt"));
  EXPECT_EQ(SectionOf(lines, "MESSAGES"), std::vector<std::string>{"Invalid data type for 'ProxyEnable'"});
  DeleteFileA((Desktop + "\\run.txt").c_str());
  Application.Unattended = false;
  Application.Unshown.clear();
  Application.ExitCode = 0;
}

TEST_F(ReportTest, ADesktopNamedInAnyCharactersTakesTheReport) {
  Open();
  WideDesktop = std::wstring(Desktop.begin(), Desktop.end()) + L"\\\u0420\u0430\u0431\u043e\u0447\u0438\u0439 \u0441\u0442\u043e\u043b";
  ASSERT_TRUE(CreateDirectoryW(WideDesktop.c_str(), nullptr));
  WORD s = 'S';
  form->FormKeyDown(s, ssCtrl);
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((WideDesktop + L"\\VelnorAgent-report-*.txt").c_str(), &found);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << form->lblStatus->Caption();
  FindClose(h);
  EXPECT_EQ(form->lblStatus->Caption().rfind("Report saved: ", 0), 0u);
  DeleteFileW((WideDesktop + L"\\" + found.cFileName).c_str());
  RemoveDirectoryW(WideDesktop.c_str());
  WideDesktop.clear();
}

TEST_F(ReportTest, AScriptsTestClosedJustAfterItEndedKeepsItsVerdict) {
  Open();
  Application.ExitCode = 0;
  TfrmMain::TTestRun run;
  run.active = true;
  const std::wstring path = std::wstring(Desktop.begin(), Desktop.end()) + L"\\run.txt";
  run.reportPath = path;
  machine.answers = {{"10.77.1.3", EchoAnswer::Down}};  // a warning: code 1
  form->StartTestRun(run);
  // One message at a time: the close comes before the run's own end.
  const DWORD start = GetTickCount();
  while (form->TestBusy && GetTickCount() - start < 30000) {
    MSG m;
    if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
  }
  ASSERT_FALSE(form->TestBusy);
  ASSERT_TRUE(form->TestRun.active);
  form->Close();
  ForgetTheClose();
  EXPECT_EQ(Application.ExitCode, 1);
  const auto test = SectionOf(ReportLines(ReadFile(Desktop + "\\run.txt")), "AUTOMATIC TEST");
  EXPECT_EQ(test, Stages({"passed", "passed", "passed", "warning", "passed", "passed", "passed"}));
  DeleteFileW(path.c_str());
  Application.ExitCode = 0;
}

TEST_F(ReportTest, TheLocalReadingsSayWhetherTheAdapterHasAGlobalIpv6AddressAndDefaultRoute) {
  // The fake adapter (00-1A-2B-3C-4D-5E) as the IPv6 query sees it, beside
  // another adapter that has what it lacks.
  const auto ipv6 = [](std::vector<std::string> unicast, std::vector<std::string> gateways) {
    ExtendedAdapter own;
    own.index = 11;
    own.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    own.unicast = std::move(unicast);
    own.gateways = std::move(gateways);
    ExtendedAdapter other;
    other.unicast = {"2001:db8:ffff::1"};
    other.gateways = {"fe80::99%7"};
    machine.adaptersAddresses6.probeAnswer = ERROR_BUFFER_OVERFLOW;
    machine.adaptersAddresses6.build = [own, other](Arena& a) { BuildAdaptersAddresses(a, {other, own}); };
  };
  struct Case {
    const char* name;
    std::function<void()> machineSetUp;
    std::string address, route;
  } cases[] = {
      {"both",
       [&] { ipv6({"fe80::5e%11", "fd00:77::2", "2001:db8::10", "2001:db8::11"}, {"10.0.0.1", "fe80::1%11"}); },
       "2001:db8::10", "via fe80::1%11"},
      // Unique-local and link-local addresses reach no IPv6 internet.
      {"neither", [&] { ipv6({"fe80::5e%11", "fd00:77::2"}, {"10.0.0.1"}); }, "none", "none"},
      {"no IPv6 at all", [] {}, "none", "none"},
      {"the query refused",
       [] { machine.adaptersAddresses6.probeAnswer = ERROR_NOT_ENOUGH_MEMORY; },
       SysErrorMessage(ERROR_NOT_ENOUGH_MEMORY), SysErrorMessage(ERROR_NOT_ENOUGH_MEMORY)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    c.machineSetUp();
    Open();
    const auto readings = SectionOf(Report(), "LOCAL READINGS");
    ASSERT_GE(readings.size(), 6u);
    EXPECT_EQ(readings[4], "IPv6 global address     : " + c.address);
    EXPECT_EQ(readings[5], "IPv6 default route      : " + c.route);
    EXPECT_EQ(form->btnIpAddr->Hint(), "IPv6 global address: " + c.address);
    EXPECT_EQ(form->btnDefGw->Hint(), "IPv6 default route: " + c.route);
  }
}
