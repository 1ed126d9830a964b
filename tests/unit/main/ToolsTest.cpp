// The tools panel in the real window: address buttons, console commands on
// the command worker with the sliding output panel and the ping summary, the
// firewall switch and the proxy question.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/MainWindowTest.h"
#include "workers/ExecThread.h"

namespace {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 30000) {
  return Application.ProcessMessagesUntil(done, timeoutMs);
}

OSVERSIONINFOA fakeVersion;
BOOL WINAPI FakeGetVersionExA(LPOSVERSIONINFOA info) {
  *info = fakeVersion;
  info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  return TRUE;
}

}  // namespace

class ToolsTest : public MainWindowTest {
 protected:
  bool CommandDone() {
    return PumpUntil([this] { return form->CurrentExecThread == nullptr; }) &&
           PumpUntil([this] { return !form->TimerCascade->Enabled(); });
  }
  std::string ToolsText() { return form->memToolsOutput->Text(); }
};

TEST_F(ToolsTest, AddressButtonsShowTheCurrentAdapterCentred) {
  Open();
  struct Case {
    FlatButton* TfrmMain::*button;
    const char* text;
  } cases[] = {{&TfrmMain::btnIpAddr, "192.168.1.10"},
               {&TfrmMain::btnMacAddr, "00-1A-2B-3C-4D-5E"},
               {&TfrmMain::btnDnsSrv, "192.168.1.53"},
               {&TfrmMain::btnDefGw, "192.168.1.1"}};
  for (const Case& c : cases) {
    (form->*c.button)->Click();
    EXPECT_EQ(form->lblResult->Caption(), c.text);
    EXPECT_EQ(form->lblResult->Left(), (657 - form->lblResult->Width()) / 2);
  }
  form->ShowResult(std::string(39, 'x'));
  EXPECT_EQ(form->lblResult->Caption(), std::string(39, 'x'));
  form->ShowResult(std::string(40, 'x'));
  EXPECT_EQ(form->lblResult->Caption(), "!!! Invalid parameter !!!");
}

TEST_F(ToolsTest, WithoutAdapterDataTheAddressButtonsOnlyWarn) {
  machine.adapters.clear();
  Open();
  form->memOutput->GetLines().Clear();
  form->lblResult->SetCaption("kept");
  form->btnIpAddr->Click();
  form->btnPingGateway->Click();
  EXPECT_EQ(form->lblResult->Caption(), "kept");
  EXPECT_EQ(form->CurrentExecThread, nullptr) << "no gateway ping without adapter data";
  EXPECT_TRUE(Shown("imgFailGetData"));
  const auto out = LinesOf(form->memOutput->GetLines());
  EXPECT_EQ(std::count(out.begin(), out.end(), "WARNING: Can`t Get Client Adapters Information!"), 2);
}

TEST_F(ToolsTest, ACommandRunsCapturedAndThePanelSlidesOut) {
  Open();
  form->RunToolCommand("echo hello", false);
  EXPECT_TRUE(Shown("imgLoadingTools"));
  EXPECT_EQ(form->imgRefresh->Tag, 2);
  ASSERT_TRUE(CommandDone());
  const std::string text = ToolsText();
  EXPECT_NE(text.find("'echo hello' : Start executing, please wait..."), std::string::npos) << text;
  EXPECT_NE(text.find("hello"), std::string::npos);
  EXPECT_NE(text.find("Process Completed."), std::string::npos);
  EXPECT_FALSE(Shown("imgLoadingTools"));
  EXPECT_EQ(form->imgRefresh->Tag, 0);
  EXPECT_TRUE(form->OutputPanelOpen);
  EXPECT_EQ(form->pnlOutput->Left(), -11);
  for (const char* strip : {"imgToolSucceed", "imgToolWarn", "imgToolFail"}) EXPECT_FALSE(Shown(strip)) << strip;

  // Esc slides it back in, in 14 moves, and clears the strips.
  // Moves are counted per tick: a busy machine can run two ticks within one
  // round of pumping, so watching the position between rounds may miss one.
  int moves = 0;
  const NotifyEvent tick = form->TimerCascade->OnTimer;
  struct RestoreTick {
    Timer* timer;  // not owned
    NotifyEvent handler;
    ~RestoreTick() { timer->OnTimer = handler; }
  } restoreTick{form->TimerCascade, tick};
  form->TimerCascade->OnTimer = [&](Component* sender) {
    const int before = form->pnlOutput->Left();
    tick(sender);
    if (form->pnlOutput->Left() != before) ++moves;
  };
  WORD esc = VK_ESCAPE;
  form->FormKeyDown(esc, 0);
  ASSERT_TRUE(PumpUntil([&] { return !form->TimerCascade->Enabled(); }));
  EXPECT_EQ(moves, 14);
  EXPECT_EQ(form->pnlOutput->Left(), -599);
  EXPECT_FALSE(form->OutputPanelOpen);

  // While it is in, Esc and a click beside it do nothing.
  form->FormKeyDown(esc, 0);
  form->imgUtilBack->Click();
  EXPECT_FALSE(form->TimerCascade->Enabled());
}

TEST_F(ToolsTest, APingCommandShowsItsSummaryAndRefusesASecondCommand) {
  Open();
  form->RunToolCommand("ping -n 2 127.0.0.1", true);
  ASSERT_TRUE(PumpUntil([this] { return ToolsText().find("'ping -n 2 127.0.0.1'") != std::string::npos; }));
  form->btnIpConf->Click();
  EXPECT_TRUE(Shown("imgWarnIncomplete"));
  EXPECT_NE(ToolsText().find("'ping -n 2 127.0.0.1'"), std::string::npos) << "the running command's output stays";
  ASSERT_TRUE(CommandDone());
  EXPECT_EQ(ToolsText().find("ipconfig"), std::string::npos) << "nothing else started";
  EXPECT_FALSE(Shown("imgWarnIncomplete"));
  EXPECT_EQ(form->lblPercent->Caption(), "100");
  EXPECT_TRUE(Shown("imgToolSucceed"));

  // Sliding the panel in takes the result away.
  form->pnlOutputClick(form->pnlOutput);
  ASSERT_TRUE(PumpUntil([this] { return !form->TimerCascade->Enabled(); }));
  EXPECT_FALSE(Shown("imgToolSucceed"));
  EXPECT_EQ(form->lblPercent->Caption(), "");
  EXPECT_EQ(form->lblAverage->Caption(), "");
}

TEST_F(ToolsTest, FirewallSwitchByVersionFlipsOnlyOnSuccess) {
  using fakecommands::FakeCommands;
  struct Case {
    DWORD major, minor;
    const char* off;
    const char* on;
  } cases[] = {
      {6, 1, "netsh advfirewall set currentprofile state off", "netsh advfirewall set currentprofile state on"},
      {5, 1, "netsh firewall set opmode disable", "netsh firewall set opmode enable"}};
  SysSwap version(&SysApi::GetVersionExA, &FakeGetVersionExA);
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.off);
    fakeVersion = OSVERSIONINFOA{};
    fakeVersion.dwPlatformId = VER_PLATFORM_WIN32_NT;
    fakeVersion.dwMajorVersion = c.major;
    fakeVersion.dwMinorVersion = c.minor;
    FakeCommands::scripts = {{c.off, {"Ok.", 0}}, {c.on, {"Ok.", 0}}};
    form->FirewallAllowed = true;
    form->FirewallOff = 0;
    form->btnFirewall->Click();
    EXPECT_FALSE(Shown("imgFWOff")) << "nothing switches before the command has said so";
    ASSERT_TRUE(CommandDone());
    EXPECT_NE(ToolsText().find(std::string("'") + c.off + "'"), std::string::npos) << ToolsText();
    EXPECT_EQ(form->FirewallOff, 1);
    EXPECT_TRUE(Shown("imgFWOff"));
    form->btnFirewall->Click();
    ASSERT_TRUE(CommandDone());
    EXPECT_NE(ToolsText().find(std::string("'") + c.on + "'"), std::string::npos) << ToolsText();
    EXPECT_EQ(form->FirewallOff, 0);
    EXPECT_FALSE(Shown("imgFWOff"));
  }

  // Refused by the system (an administrator without elevation): the output
  // says so and nothing switches.
  FakeCommands::scripts = {
      {"netsh firewall set opmode disable", {"The requested operation requires elevation (Run as administrator).", 1}}};
  form->btnFirewall->Click();
  ASSERT_TRUE(CommandDone());
  EXPECT_NE(ToolsText().find("requires elevation"), std::string::npos) << ToolsText();
  EXPECT_NE(ToolsText().find("The firewall was not switched: the command ended with code 1."), std::string::npos);
  EXPECT_EQ(form->FirewallOff, 0);
  EXPECT_FALSE(Shown("imgFWOff"));

  // Refused while another command runs: nothing flips.
  form->RunToolCommand("ping -n 2 127.0.0.1", true);
  form->btnFirewall->Click();
  EXPECT_TRUE(Shown("imgWarnIncomplete"));
  ASSERT_TRUE(CommandDone());
  EXPECT_EQ(form->FirewallOff, 0);
  EXPECT_FALSE(Shown("imgFWOff"));

  form->FirewallAllowed = false;
  const size_t started = FakeCommands::started.size();
  form->btnFirewall->Click();
  EXPECT_EQ(form->CurrentExecThread, nullptr) << "not allowed: nothing runs";
  EXPECT_EQ(FakeCommands::started.size(), started);
  EXPECT_EQ(form->FirewallOff, 0);
}

// Repair renews every adapter, whatever the connections are called. Where
// the program runs without elevation it asks through the system's prompt,
// for that one command; its output still reaches the panel, and a refusal
// is said in plain words.
TEST_F(ToolsTest, RepairRenewsEveryAdapterAskingForAdministratorRights) {
  using fakecommands::FakeCommands;
  using fakecommands::FakeElevation;
  using fakecommands::ScopedFakeElevation;
  Open();
  const char kDeclined[] =
      "The repair needs administrator rights: the connections were not renewed. Press Repair again and allow it.";
  FakeCommands::scripts = {{"ipconfig /renew", {"Renewed every adapter.", 0}}};

  // Already elevated (or a system without user account control): it runs as is.
  {
    ScopedFakeElevation prompt(true);
    FakeElevation::elevated = true;
    FakeCommands::started.clear();
    form->btnRepair->Click();
    ASSERT_TRUE(CommandDone());
    EXPECT_TRUE(FakeElevation::prompts.empty());
    EXPECT_EQ(FakeCommands::started, std::vector<std::string>{"cmd.exe /C ipconfig /renew"});
    EXPECT_NE(ToolsText().find("Renewed every adapter."), std::string::npos) << ToolsText();
  }
  // Without elevation, answered yes: the prompt runs it, its output shows.
  {
    ScopedFakeElevation prompt(true);
    FakeCommands::started.clear();
    form->btnRepair->Click();
    ASSERT_TRUE(CommandDone());
    ASSERT_EQ(FakeElevation::prompts.size(), 1u);
    const std::string& asked = FakeElevation::prompts[0];
    EXPECT_EQ(asked.rfind("runas ", 0), 0u) << asked;
    EXPECT_NE(asked.find("\\cmd.exe /C ipconfig /renew > \\\\.\\pipe\\"), std::string::npos) << asked;
    EXPECT_TRUE(FakeCommands::started.empty()) << "nothing ran without the prompt";
    const std::string text = ToolsText();
    EXPECT_NE(text.find("'ipconfig /renew' : Start executing"), std::string::npos) << text;
    EXPECT_NE(text.find("Renewed every adapter."), std::string::npos) << text;
    EXPECT_EQ(text.find(kDeclined), std::string::npos);
    EXPECT_NE(text.find("Process Completed."), std::string::npos);
  }
  // Answered no: nothing runs, and the panel says why.
  {
    ScopedFakeElevation prompt(false);
    FakeCommands::started.clear();
    form->btnRepair->Click();
    ASSERT_TRUE(CommandDone());
    EXPECT_EQ(FakeElevation::prompts.size(), 1u);
    EXPECT_TRUE(FakeCommands::started.empty());
    const std::string text = ToolsText();
    EXPECT_NE(text.find(kDeclined), std::string::npos) << text;
    EXPECT_EQ(text.find("Renewed every adapter."), std::string::npos);
    EXPECT_NE(text.find("Process Completed."), std::string::npos);
    EXPECT_EQ(form->CurrentExecThread, nullptr);
  }
}

TEST_F(ToolsTest, TheFirewallSwitchAsksAHeldBackAdministratorForTheRights) {
  using fakecommands::FakeCommands;
  using fakecommands::FakeElevation;
  using fakecommands::ScopedFakeElevation;
  SysSwap version(&SysApi::GetVersionExA, &FakeGetVersionExA);
  fakeVersion = OSVERSIONINFOA{};
  fakeVersion.dwPlatformId = VER_PLATFORM_WIN32_NT;
  fakeVersion.dwMajorVersion = 6;
  fakeVersion.dwMinorVersion = 2;
  Open();
  const char off[] = "netsh advfirewall set currentprofile state off";
  FakeCommands::scripts = {{off, {"Ok.", 0}}};
  form->FirewallAllowed = true;

  {
    ScopedFakeElevation prompt(false);
    form->btnFirewall->Click();
    ASSERT_TRUE(CommandDone());
    ASSERT_EQ(FakeElevation::prompts.size(), 1u);
    EXPECT_NE(FakeElevation::prompts[0].find(std::string("/C ") + off + " > "), std::string::npos);
    const std::string text = ToolsText();
    EXPECT_NE(text.find("The firewall switch needs administrator rights: the firewall was not switched."),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("the command did not finish"), std::string::npos) << "one plain reason, not two";
    EXPECT_EQ(form->FirewallOff, 0);
    EXPECT_FALSE(Shown("imgFWOff"));
  }
  {
    ScopedFakeElevation prompt(true);
    form->btnFirewall->Click();
    ASSERT_TRUE(CommandDone());
    EXPECT_EQ(FakeElevation::prompts.size(), 1u);
    EXPECT_NE(ToolsText().find("Ok."), std::string::npos) << ToolsText();
    EXPECT_EQ(form->FirewallOff, 1) << "the prompted command succeeded";
    EXPECT_TRUE(Shown("imgFWOff"));
  }
}

TEST_F(ToolsTest, AnsweringYesSwitchesTheProxyOff) {
  using fakeregistry::FakeRegistry;
  const char server[] = "10.77.0.9:3128";
  FakeRegistry::values = {{"ProxyServer", fakeregistry::Text(server)}, {"ProxyEnable", fakeregistry::Number(1)}};
  Open();
  ASSERT_TRUE(Shown("imgProxy"));
  form->imgProxy->Click();
  EXPECT_TRUE(Shown("pnlConfirm"));
  EXPECT_FALSE(form->pnlMain->Enabled());
  form->btnYes->Click();
  EXPECT_FALSE(Shown("imgProxy"));
  EXPECT_FALSE(Shown("pnlConfirm"));
  EXPECT_TRUE(form->pnlMain->Enabled());
  ASSERT_EQ(FakeRegistry::writes.size(), 1u) << "switching off leaves the server text";
  EXPECT_EQ(FakeRegistry::writes[0].first, "ProxyEnable");
  EXPECT_EQ(FakeRegistry::writes[0].second.data, fakeregistry::Number(0).data);
}

TEST_F(ToolsTest, AGatewayThatNamesNoRouterIsNeitherPingedNorOpened) {
  machine.adapters[0].gateway = "0.0.0.0";
  Open();
  ASSERT_TRUE(form->AdapterInfoOK);
  form->CurrentAdapter = form->AdapterSlots[1];  // the only adapter, without a usable gateway
  form->btnPingGateway->Click();
  form->btnBrowseGW->Click();
  EXPECT_EQ(form->CurrentExecThread, nullptr);
  EXPECT_TRUE(machine.shellOpened.empty());
  EXPECT_NE(ToolsText().find("No adapter has a default gateway."), std::string::npos);
}

TEST_F(ToolsTest, ClosingEndsARunningCommandAtOnce) {
  // About 29 s if left alone. Closed the moment the worker exists (its
  // interpreter may not have started yet), or once the console ping runs:
  // the command and what it started end now, and closing takes no time.
  for (const bool justStarted : {true, false}) {
    SCOPED_TRACE(justStarted ? "just started" : "running");
    Open();
    form->RunToolCommand("ping -n 30 127.0.0.1", true);
    if (!justStarted) {
      ASSERT_TRUE(PumpUntil([this] { return ToolsText().find("Start executing") != std::string::npos; }));
      Sleep(500);  // the interpreter has started the ping by now
    }
    const DWORD start = GetTickCount();
    bool canClose = false;
    form->FormCloseQuery(canClose);
    const DWORD spent = GetTickCount() - start;
    EXPECT_TRUE(canClose);
    EXPECT_EQ(form->CurrentExecThread, nullptr);
    EXPECT_FALSE(IsWindowVisible(form->Handle())) << "the window goes first";
    EXPECT_LT(spent, 10000u) << "the command was waited for instead of ended";
    EXPECT_NE(ToolsText().find("Process Completed."), std::string::npos);
    delete form;
    frmMain = form = nullptr;
  }
}

TEST_F(ToolsTest, ALongOutputKeepsItsNewestLinesAndItsClosingLines) {
  Open();
  form->RunToolCommand("for /L %i in (1,1,1200) do @echo line %i", false);
  ASSERT_TRUE(CommandDone());
  const auto lines = LinesOf(form->memToolsOutput->GetLines());
  ASSERT_EQ(lines.size(), 500u);
  EXPECT_EQ(lines.back(), "Process Completed.");
  EXPECT_EQ(lines[lines.size() - 2], "*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "line 1200"), lines.end()) << "the newest output stays";
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "line 1"), lines.end()) << "the oldest makes room";
  const std::string report = form->ReportText();
  EXPECT_NE(report.find("\r\nline 1200\r\n"), std::string::npos);
  EXPECT_NE(report.find("Process Completed."), std::string::npos);
}

TEST_F(ToolsTest, TheProxyIndicatorStaysWhenTheSettingCannotBeWritten) {
  using fakeregistry::FakeRegistry;
  const char server[] = "10.77.0.9:3128";
  FakeRegistry::values = {{"ProxyServer", fakeregistry::Text(server)}, {"ProxyEnable", fakeregistry::Number(1)}};
  Open();
  ASSERT_TRUE(Shown("imgProxy"));
  // The key that cannot be opened for writing, and the value that cannot be set.
  struct Row {
    const char* name;
    std::function<void()> fault;
  } rows[] = {
      {"key not writable", [] { FakeRegistry::keyExists = false; }},
      {"value not writable", [] { FakeRegistry::unwritable = {"ProxyEnable"}; }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    row.fault();
    form->imgProxy->Click();
    form->btnYes->Click();
    EXPECT_TRUE(Shown("imgProxy")) << "the proxy is still on";
    EXPECT_FALSE(Shown("pnlConfirm"));
    EXPECT_TRUE(form->pnlMain->Enabled());
    EXPECT_EQ(form->lblStatus->Caption().rfind("The proxy was not switched off: ", 0), 0u) << form->lblStatus->Caption();
    EXPECT_NE(ToolsText().find("The proxy was not switched off: "), std::string::npos);
    FakeRegistry::keyExists = true;
    FakeRegistry::unwritable.clear();
  }
}

// A running watch measures the connection: a tool that would break it
// (renewing the address, switching the firewall) says why and runs nothing;
// once the watch has ended it runs as before.
TEST_F(ToolsTest, ToolsThatWouldDisturbAWatchSayWhyAndWait) {
  using fakecommands::FakeCommands;
  using fakecommands::FakeElevation;
  using fakecommands::ScopedFakeElevation;
  Open();
  FakeCommands::scripts = {{"ipconfig /renew", {"Renewed every adapter.", 0}}};
  ScopedFakeElevation prompt(true);
  FakeElevation::elevated = true;
  FakeCommands::started.clear();
  form->WatchWorkerRunning = true;
  form->btnRepair->Click();
  EXPECT_EQ(form->CurrentExecThread, nullptr);
  EXPECT_TRUE(FakeCommands::started.empty());
  EXPECT_NE(ToolsText().find("Renewing the address would break the connection the watch is measuring"),
            std::string::npos)
      << ToolsText();
  form->WatchWorkerRunning = false;
  form->btnRepair->Click();
  ASSERT_TRUE(CommandDone());
  EXPECT_EQ(FakeCommands::started, std::vector<std::string>{"cmd.exe /C ipconfig /renew"});
}
