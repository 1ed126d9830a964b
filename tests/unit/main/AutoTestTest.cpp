// The automatic test and the readings of the local configuration, run in
// the real main window on a fake machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "Endpoints.h"
#include "support/MainWindowTest.h"
#include "platform/Sys.h"
#include "workers/ExecThread.h"
#include "workers/Utils_u.h"

namespace {

bool Has(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

std::vector<std::string> Queued(const std::vector<std::string>& events) {
  const std::string prefix = " >> Pinging Item push to queue: ";
  std::vector<std::string> targets;
  for (const std::string& e : events)
    if (e.compare(0, prefix.size(), prefix) == 0) targets.push_back(e.substr(prefix.size()));
  return targets;
}

}  // namespace

// Whether this process's token has the Administrators group enabled, as
// the platform itself answers it.
static bool TokenHasAdministrators() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  BOOL member = FALSE;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &administrators))
    return false;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

static BOOL WINAPI UnreadableToken(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

class AutoTest : public MainWindowTest {
 protected:
  void Start() {
    form->btnAuto->Click();
    form->btnStartAutoTest->Click();
    ASSERT_TRUE(RunUntilIdle()) << "the test did not end";
  }
  void ExpectIdle() {
    EXPECT_TRUE(Shown("imgStart"));
    EXPECT_FALSE(Shown("imgTesting"));
    EXPECT_FALSE(Shown("imgLoading"));
    EXPECT_TRUE(form->btnStartAutoTest->Enabled());
    EXPECT_EQ(form->imgRefresh->Tag, 0);
    EXPECT_TRUE(form->PingQueue.empty());
  }
};

TEST_F(AutoTest, ACompleteRunMarksAllSevenStages) {
  Open();
  Start();
  const auto events = Events();
  EXPECT_EQ(Queued(events), (std::vector<std::string>{"192.168.1.1", endpoints::ProviderServerAddress,
                                                      endpoints::BackboneAddresses, endpoints::PublicWebHosts}));
  for (int stage = 1; stage <= 7; ++stage) {
    EXPECT_TRUE(Marked(stage)) << "stage " << stage;
    EXPECT_FALSE(Shown("imgFail0" + std::to_string(stage))) << "stage " << stage;
  }
  EXPECT_FALSE(Shown("imgWarn04"));
  EXPECT_FALSE(Shown("imgWarn05"));
  EXPECT_EQ(machine.shellOpened, std::vector<std::string>{std::string("open ") + endpoints::ProviderWebPage});
  EXPECT_TRUE(Has(events, "******** Primary Internet Connecting Status ********"));
  EXPECT_TRUE(Has(events, "Connected OK"));
  EXPECT_TRUE(Has(events, "Pinging [192.168.1.1] Passed by 100%, Average time: 0ms") ||
              Has(events, "Pinging [192.168.1.1] Passed by 100%, Average time: 1ms"));
  const auto out = Output();
  EXPECT_TRUE(Has(out, "Adapter Loaded Successfully"));
  EXPECT_TRUE(Has(out, "Network parameters Loaded Successfully"));
  EXPECT_EQ(machine.echoCounts["192.168.1.1"], 4);
  ExpectIdle();
}

TEST_F(AutoTest, StartIsRefusedWhileACommandRunsAndTheTestPanelSaysSo) {
  Open();
  form->btnAuto->Click();
  form->memOutput->GetLines().Add("previous result");
  form->CurrentExecThread = new TExecThread("ping -n 2 127.0.0.1", &form->memToolsOutput->GetLines(), 127, "", true);
  form->btnStartAutoTest->Click();
  EXPECT_TRUE(Shown("imgWarnIncomplete"));
  // The strip is on the hidden tools panel: the log the user sees tells it,
  // below the previous result, which stays.
  EXPECT_EQ(Output(), (std::vector<std::string>{
                          "previous result",
                          "WARNING: A tools command is still running. Start the test again when it has finished."}));
  EXPECT_TRUE(form->btnStartAutoTest->Enabled());
  delete form->CurrentExecThread;
  form->CurrentExecThread = nullptr;
}

TEST_F(AutoTest, StageTwoPingsARealGatewayOrFailsWithoutAnEcho) {
  FakeAdapter wired;  // first recorded
  FakeAdapter wireless = wired;
  wireless.index = 12;
  wireless.type = IF_TYPE_IEEE80211;
  wireless.mac = {0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF};
  wireless.address = "10.0.0.5";
  struct Row {
    const char* name;
    std::string first, second;  // gateways of the two adapters
    const char* pinged;         // null: stage 2 fails at once
  } rows[] = {
      {"first adapter's gateway", "192.168.1.1", "10.0.0.1", "192.168.1.1"},
      {"first has none: the current adapter's", "", "10.0.0.1", "10.0.0.1"},
      {"first has 0.0.0.0: the current adapter's", "0.0.0.0", "10.0.0.1", "10.0.0.1"},
      {"no adapter has one", "", "0.0.0.0", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    wired.gateway = row.first;
    wireless.gateway = row.second;
    machine.adapters = {wired, wireless};
    machine.echoCounts.clear();
    Open();
    Start();
    const auto queued = Queued(Events());
    if (row.pinged) {
      ASSERT_EQ(queued.size(), 4u);
      EXPECT_EQ(queued[0], row.pinged);
      EXPECT_EQ(machine.echoCounts[row.pinged], 4);
      EXPECT_TRUE(Marked(2));
    } else {
      EXPECT_TRUE(queued.empty());
      EXPECT_TRUE(machine.echoCounts.empty()) << "no echo at all, not even to this machine";
      EXPECT_TRUE(Shown("imgFail02"));
      EXPECT_TRUE(Has(Output(), "WARNING: No adapter has a default gateway to ping: the gateway test fails."));
    }
    ExpectIdle();
    delete form;
    frmMain = form = nullptr;
  }
}

// The machine changes between the window's opening and the start of a test
// (the cable comes back, the router or its address changes, the link goes):
// the test reads it afresh and pings the gateway it has now.
TEST_F(AutoTest, EveryTestReadsTheAdaptersItIsAboutToTest) {
  struct Row {
    const char* name;
    DWORD operStatusAtOpen;
    std::string gatewayAtOpen;
    DWORD operStatusAtStart;
    std::string addressAtStart, gatewayAtStart;
    bool passes;
  } rows[] = {
      {"link down at the start of the program, back before the test", 2, "192.168.1.1", 5, "192.168.1.10",
       "192.168.1.1", true},
      {"the router and the address changed", 5, "192.168.1.1", 5, "10.0.0.7", "10.0.0.1", true},
      {"the link went away", 5, "192.168.1.1", 2, "192.168.1.10", "192.168.1.1", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    machine.adapters = {FakeAdapter{}};
    machine.adapters[0].operStatus = row.operStatusAtOpen;
    machine.adapters[0].gateway = row.gatewayAtOpen;
    machine.echoCounts.clear();
    machine.answers.clear();
    Open();
    // The old gateway no longer answers.
    if (row.gatewayAtStart != row.gatewayAtOpen) machine.answers[row.gatewayAtOpen] = EchoAnswer::Down;
    machine.adapters[0].operStatus = row.operStatusAtStart;
    machine.adapters[0].address = row.addressAtStart;
    machine.adapters[0].gateway = row.gatewayAtStart;
    machine.BuildFromAdapters();
    Start();
    const auto queued = Queued(Events());
    if (row.passes) {
      ASSERT_EQ(queued.size(), 4u);
      EXPECT_EQ(queued[0], row.gatewayAtStart);
      EXPECT_EQ(machine.echoCounts[row.gatewayAtStart], 4);
      for (int stage = 1; stage <= 7; ++stage) EXPECT_TRUE(Marked(stage)) << "stage " << stage;
      EXPECT_FALSE(Shown("imgFailGetData"));
      EXPECT_FALSE(Has(Output(), "WARNING: Can`t Get Client Adapters Information!"));
      EXPECT_EQ(PlainAddress(form->CurrentAdapter.Gateway), row.gatewayAtStart) << "the tools see it too";
      EXPECT_EQ(PlainAddress(form->CurrentAdapter.IPAddress), row.addressAtStart);
      EXPECT_EQ(form->TestVerdict(), 0);
    } else {
      EXPECT_TRUE(queued.empty());
      EXPECT_TRUE(machine.echoCounts.empty());
      EXPECT_TRUE(Shown("imgFail02"));
      EXPECT_TRUE(Shown("imgFailGetData"));
      EXPECT_FALSE(form->AdapterInfoOK);
    }
    EXPECT_EQ(machine.echoCounts.count(row.gatewayAtOpen) ? machine.echoCounts[row.gatewayAtOpen] : 0,
              row.gatewayAtOpen == row.gatewayAtStart && row.passes ? 4 : 0);
    ExpectIdle();
    delete form;
    frmMain = form = nullptr;
  }

  // A proxy setting that became unreadable is said in the log; the test
  // still runs.
  machine.adapters = {FakeAdapter{}};
  Open();
  fakeregistry::FakeRegistry::values = {{"ProxyEnable", fakeregistry::Text("1")}};
  Start();
  EXPECT_TRUE(Has(Output(), "Error: Invalid data type for 'ProxyEnable'"));
  for (int stage = 1; stage <= 7; ++stage) EXPECT_TRUE(Marked(stage)) << "stage " << stage;
  ExpectIdle();
}

TEST_F(AutoTest, AnIcmpErrorFromARouterFailsTheStage) {
  machine.answers = {{endpoints::ProviderServerAddress, EchoAnswer::Unreachable}};
  Open();
  Start();
  EXPECT_TRUE(Marked(2));
  EXPECT_TRUE(Shown("imgFail03"));
  EXPECT_FALSE(Marked(3));
  const auto out = Output();
  const std::string provider = endpoints::ProviderServerAddress;
  EXPECT_EQ(std::count(out.begin(), out.end(), "Fail ping[" + provider + "]: Destination host unreachable"), 4);
  EXPECT_TRUE(std::none_of(out.begin(), out.end(),
                           [&](const std::string& l) { return l.rfind("Reply from [" + provider + "]", 0) == 0; }));
  EXPECT_TRUE(Has(Events(), "Pinging [" + provider + "] Passed by 0%, Average time: 0ms"));
  EXPECT_TRUE(machine.shellOpened.empty());
  ExpectIdle();
}

TEST_F(AutoTest, ACommandEndingDuringATestLeavesTheTestLogAlone) {
  machine.echoRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  Open();
  form->btnAuto->Click();
  form->btnStartAutoTest->Click();  // stage 1 now; the first echo waits at the gate
  form->RunToolCommand("echo meanwhile", false);
  Application.ProcessMessagesUntil([&] { return form->CurrentExecThread == nullptr; }, 30000);
  ASSERT_EQ(form->CurrentExecThread, nullptr) << "the command did not finish";
  EXPECT_EQ(form->imgRefresh->Tag, 2) << "the test still runs";
  const auto before = Output();
  form->imgRefresh->Click();
  EXPECT_EQ(Output(), before) << "a refresh wiped the running test's log";
  EXPECT_TRUE(Has(Events(), "*************** Network Adapter Info ***************"));

  SetEvent(machine.echoRelease);
  ASSERT_TRUE(RunUntilIdle());
  CloseHandle(machine.echoRelease);
  machine.echoRelease = nullptr;
  for (int stage = 1; stage <= 7; ++stage) EXPECT_TRUE(Marked(stage)) << stage;
  ExpectIdle();
}

namespace {
HANDLE WINAPI NoThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}
}  // namespace

TEST_F(AutoTest, AWorkerThatCannotStartEndsTheTestAndLeavesTheWindowUsable) {
  Open();
  {
    SysSwap noThreads(&SysApi::CreateThread, &NoThread);
    Start();
    EXPECT_TRUE(Has(Output(), "Error: The worker thread could not be started (system error 8)."));
    EXPECT_TRUE(Has(Output(), "Ping Thread FAILED!"));
    EXPECT_TRUE(Shown("imgFail02"));
    ExpectIdle();

    form->btnNetUtil->Click();
    form->RunToolCommand("echo never", false);
    EXPECT_EQ(form->CurrentExecThread, nullptr);
    EXPECT_FALSE(Shown("imgLoadingTools"));
    EXPECT_EQ(form->imgRefresh->Tag, 0);
    EXPECT_NE(form->memToolsOutput->Text().find("Error: The worker thread could not be started"), std::string::npos);
  }
  // Nothing stays stuck: the next test and the next command run.
  Start();
  for (int stage = 1; stage <= 7; ++stage) EXPECT_TRUE(Marked(stage)) << stage;
  form->RunToolCommand("echo again", false);
  EXPECT_NE(form->CurrentExecThread, nullptr);
  ASSERT_TRUE(RunUntilIdle());
}

TEST_F(AutoTest, AnUnreadableProxySettingIsReportedAndTheToolsPanelStillShows) {
  fakeregistry::FakeRegistry::values = {{"ProxyEnable", fakeregistry::Text("1")}};
  std::vector<std::string> reports;
  Application.OnException = [&](const std::string& message) { reports.push_back(message); };
  Open();
  EXPECT_EQ(reports, std::vector<std::string>{"Invalid data type for 'ProxyEnable'"});
  EXPECT_EQ(form->PanelMode, 1);
  EXPECT_TRUE(Shown("pnlUtil"));
  EXPECT_FALSE(form->btnNetUtil->Enabled());
  // An administrator whose rights the system holds back is offered the
  // switch too: it asks for the rights when used.
  EXPECT_EQ(form->FirewallAllowed, TokenHasAdministrators() || IsAdminHeldBack());
}

// The firewall switch is offered to an administrator only: the platform's
// own check of this process's token is the truth, and a token whose groups
// cannot be read is no administrator's.
TEST_F(AutoTest, TheFirewallSwitchFollowsTheToken) {
  {
    SysSwap unreadable(&SysApi::GetTokenInformation, &UnreadableToken);
    Open();
  }
  EXPECT_FALSE(form->FirewallAllowed);
  EXPECT_TRUE(Shown("imgFWDisable"));
}

TEST_F(AutoTest, ASuccessfulRefreshTakesTheMissingDataStripAway) {
  machine.adapters.clear();
  Open();
  EXPECT_TRUE(Shown("imgFailGetData"));
  machine.adapters = {FakeAdapter{}};
  machine.BuildFromAdapters();
  form->imgRefreshClick(form->imgRefresh);
  EXPECT_TRUE(form->AdapterInfoOK);
  EXPECT_FALSE(Shown("imgFailGetData"));
}

TEST_F(AutoTest, AFailingAdapterListFailsStageOne) {
  Open();
  // The query fails whatever buffer it is given.
  machine.adaptersInfo.probeAnswer = ERROR_NOT_SUPPORTED;
  machine.adaptersInfo.secondAnswer = ERROR_NOT_SUPPORTED;
  Start();
  EXPECT_TRUE(Shown("imgFail01"));
  EXPECT_FALSE(Marked(1));
  EXPECT_TRUE(Queued(Events()).empty());
  EXPECT_TRUE(Has(Output(), "Adapter Loading FAIL!"));
  EXPECT_TRUE(Has(Events(), "*************** Network Adapter Info ***************"));
  ExpectIdle();
}

TEST_F(AutoTest, NoQualifyingAdapterFailsStageTwoWithoutPinging) {
  machine.adapters[0].operStatus = 2;  // disconnected
  Open();
  Start();
  EXPECT_TRUE(Marked(1));
  EXPECT_TRUE(Has(Output(), "WARNING: Can`t Get Client Adapters Information!"));
  EXPECT_TRUE(Shown("imgFailGetData"));
  EXPECT_TRUE(Shown("imgFail02"));
  EXPECT_TRUE(Queued(Events()).empty());
  EXPECT_TRUE(machine.echoCounts.empty());
  ExpectIdle();
}

TEST_F(AutoTest, WarningsMarkOnlyTheBackboneAndPublicHostRows) {
  machine.answers = {{"192.168.1.1", EchoAnswer::Half},
                     {endpoints::ProviderServerAddress, EchoAnswer::Half},
                     {"10.77.1.3", EchoAnswer::Half},
                     {"10.77.1.11", EchoAnswer::Half}};
  Open();
  Start();
  EXPECT_FALSE(Marked(2));
  EXPECT_FALSE(Shown("imgFail02"));
  EXPECT_FALSE(Marked(3));
  EXPECT_FALSE(Shown("imgFail03"));
  EXPECT_TRUE(Shown("imgWarn04"));
  EXPECT_TRUE(Shown("imgWarn05"));
  EXPECT_FALSE(Marked(4));
  EXPECT_TRUE(Marked(6));
  EXPECT_TRUE(Marked(7));
  const auto out = Output();
  EXPECT_EQ(std::count(out.begin(), out.end(), "Ping Thread Warning!"), 2);
  ExpectIdle();
}

TEST_F(AutoTest, AFailureOnStageThreeStopsTheTest) {
  machine.answers = {{endpoints::ProviderServerAddress, EchoAnswer::Down}};
  Open();
  Start();
  EXPECT_TRUE(Marked(2));
  EXPECT_TRUE(Shown("imgFail03"));
  EXPECT_TRUE(Has(Output(), "Ping Thread FAILED!"));
  for (int stage = 4; stage <= 7; ++stage) {
    EXPECT_FALSE(Marked(stage)) << stage;
    EXPECT_FALSE(Shown("imgFail0" + std::to_string(stage))) << stage;
  }
  EXPECT_FALSE(Shown("imgWarn04"));
  EXPECT_TRUE(machine.shellOpened.empty());
  EXPECT_FALSE(Has(Events(), "******** Primary Internet Connecting Status ********"));
  ExpectIdle();
}

TEST_F(AutoTest, AFailedPageOpenSkipsStageSeven) {
  struct Case {
    INT_PTR result;
    const char* line;
  } cases[] = {{2, "Error: The specified file was not found."},
               {32, "Error: The specified dynamic-link library was not found."},
               {17, "Error: An unknown error occurred: 17"}};
  Open();
  for (const Case& c : cases) {
    machine.shellResult = c.result;
    Start();
    SCOPED_TRACE(c.result);
    EXPECT_TRUE(Has(Output(), c.line));
    EXPECT_TRUE(Shown("imgFail06"));
    EXPECT_FALSE(Marked(6));
    EXPECT_FALSE(Marked(7));
    EXPECT_FALSE(Has(Events(), "******** Primary Internet Connecting Status ********"));
    ExpectIdle();
  }
}

TEST_F(AutoTest, InternetStateLines) {
  Open();
  struct Case {
    int network;
    BOOL online;
    const char* line;
    bool ok;
  } cases[] = {{1, TRUE, "Connected OK", true},
               {1, FALSE, "Connection to Internet FAIL!", false},
               {0, TRUE, "Connection to Network FAIL!", false}};
  for (const Case& c : cases) {
    machine.network = c.network;
    machine.online = c.online;
    form->lstEvents->GetLines().Clear();
    EXPECT_EQ(form->CheckInternetState(), c.ok);
    EXPECT_EQ(Events(), (std::vector<std::string>{"******** Primary Internet Connecting Status ********", c.line}));
  }
}

// ---- adapter summary ----------------------------------------------------------

TEST_F(AutoTest, OnlyLiveWiredOrWirelessAdaptersAreRecorded) {
  FakeAdapter good;
  FakeAdapter vbox = good;
  vbox.index = 12;
  vbox.mac = {0x08, 0x00, 0x27, 0, 0, 1};
  vbox.description = "VirtualBox Host-Only Ethernet Adapter";
  FakeAdapter vmware = vbox;
  vmware.index = 13;
  vmware.mac = {0x00, 0x50, 0x56, 0, 0, 1};
  vmware.description = "VMware Virtual Ethernet Adapter";
  FakeAdapter down = vbox;
  down.index = 14;
  down.mac = {0x00, 0x11, 0x22, 0, 0, 1};
  down.description = "Unplugged";
  down.operStatus = 3;
  FakeAdapter noMask = down;
  noMask.index = 15;
  noMask.operStatus = 5;
  noMask.mac = {0x00, 0x11, 0x22, 0, 0, 2};
  noMask.description = "No mask";
  noMask.address = "";  // no address row: no address and no mask
  machine.adapters = {good, vbox, vmware, down, noMask};
  Open();
  EXPECT_TRUE(form->AdapterInfoOK);
  EXPECT_EQ(form->AdapterSlots[1].IPAddress, "192.168.1.10");
  EXPECT_EQ(form->AdapterSlots[1].MACAddress, "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(form->AdapterSlots[1].Gateway, "192.168.1.1");
  EXPECT_EQ(form->AdapterSlots[1].DNSServer, "192.168.1.53");
  EXPECT_EQ(form->CurrentAdapter.IPAddress, form->AdapterSlots[1].IPAddress);
  EXPECT_EQ(form->CurrentAdapter.Gateway, form->AdapterSlots[1].Gateway);
  const auto selected = LinesOf(frmTCPIPMonitor->SelectedAdpMemo->GetLines());
  ASSERT_EQ(selected.size(), 1u);
  EXPECT_EQ(
      selected[0],
      "Ethernet   |00-1A-2B-3C-4D-5E|192.168.1.10    |192.168.1.53    |192.168.1.1     |100.00|Fake Ethernet Adapter");
}

TEST_F(AutoTest, TheLastAdapterWithAGatewayIsCurrent) {
  FakeAdapter first;
  FakeAdapter second = first;
  second.index = 12;
  second.type = IF_TYPE_IEEE80211;
  second.mac = {0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF};
  second.description = "Wireless";
  second.address = "10.0.0.5";
  second.gateway = "";
  machine.adapters = {first, second};
  Open();
  EXPECT_EQ(form->AdapterSlots[2].IPAddress, "10.0.0.5");
  EXPECT_EQ(form->CurrentAdapter.IPAddress, "192.168.1.10") << "only the first has a gateway";
  EXPECT_EQ(frmTCPIPMonitor->SelectedAdpMemo->GetLines().Count(), 2);

  delete form;
  frmMain = form = nullptr;
  machine.adapters[1].gateway = "10.0.0.1";
  Open();
  EXPECT_EQ(form->CurrentAdapter.IPAddress, "10.0.0.5") << "both have one: the second wins";
  EXPECT_EQ(form->CurrentAdapter.Gateway, "10.0.0.1");
}

namespace {

// count adapters on one subnet each; only the one at gatewayAt (1-based) has
// a gateway.
std::vector<FakeAdapter> AdaptersWithOneGateway(int count, int gatewayAt) {
  std::vector<FakeAdapter> list;
  for (int i = 1; i <= count; ++i) {
    FakeAdapter a;
    a.index = 20 + i;
    a.mac = {0x02, 0x00, 0x00, 0x00, static_cast<BYTE>(i >> 8), static_cast<BYTE>(i)};
    a.description = "Adapter " + std::to_string(i);
    a.address = "10." + std::to_string(i / 200) + "." + std::to_string(i % 200) + ".2";
    a.gateway = i == gatewayAt ? "192.168.1.1" : "";
    a.dns = "10.9.9." + std::to_string(i % 200);
    list.push_back(a);
  }
  return list;
}

}  // namespace

TEST_F(AutoTest, EveryQualifyingAdapterMayBeTheCurrentOneNotOnlyTheFirstFour) {
  // Virtual switches, VPN and capture adapters are often listed before the
  // one with the router.
  const std::pair<int, int> rows[] = {{6, 1}, {6, 4}, {6, 5}, {6, 6}, {12, 11}};
  for (const auto& [count, gatewayAt] : rows) {
    SCOPED_TRACE(std::to_string(count) + " adapters, the gateway on number " + std::to_string(gatewayAt));
    machine.adapters = AdaptersWithOneGateway(count, gatewayAt);
    Open();
    EXPECT_EQ(frmTCPIPMonitor->SelectedAdpMemo->GetLines().Count(), count);
    ASSERT_TRUE(form->CurrentAdapterChosen);
    EXPECT_EQ(form->CurrentAdapter.IPAddress, machine.adapters[gatewayAt - 1].address);
    EXPECT_EQ(form->CurrentAdapter.Gateway, "192.168.1.1");
    EXPECT_EQ(form->AdapterSlots[4].IPAddress, machine.adapters[3].address) << "four slots stay";
    Start();
    EXPECT_EQ(form->StageResults[2], TfrmMain::TStageResult::Passed);
    EXPECT_EQ(Queued(Events()).at(0), "192.168.1.1");
    EXPECT_FALSE(Has(Output(), "WARNING: No adapter has a default gateway to ping: the gateway test fails."));
    delete form;
    frmMain = form = nullptr;
  }
}

TEST_F(AutoTest, AdaptersSharingAHardwareAddressTakeTheGatewayOfTheOneWithAnAddress) {
  // A bridge or a virtual switch over the card: the same hardware address
  // on an adapter without an address (listed first) and on the one that
  // carries the connection.
  FakeAdapter port;
  port.index = 30;
  port.address = "";
  port.gateway = "";
  port.dns = "";
  FakeAdapter bridge = port;
  bridge.index = 31;
  bridge.description = "Bridge";
  bridge.address = "192.168.1.10";
  bridge.gateway = "192.168.1.1";
  bridge.dns = "192.168.1.53";
  FakeAdapter vlan = bridge;  // an address of its own, no gateway
  vlan.index = 32;
  vlan.address = "10.5.0.7";
  vlan.gateway = "";
  struct Row {
    const char* name;
    std::vector<FakeAdapter> adapters;
    const char* gateway;  // of every recorded adapter
  } rows[] = {
      {"the port before the bridge", {port, bridge}, "192.168.1.1"},
      {"the bridge before the port", {bridge, port}, "192.168.1.1"},
      {"an address without a gateway first", {vlan, bridge}, "192.168.1.1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    machine.adapters = row.adapters;
    Open();
    ASSERT_TRUE(form->CurrentAdapterChosen);
    EXPECT_EQ(form->CurrentAdapter.Gateway, row.gateway);
    EXPECT_EQ(form->CurrentAdapter.DNSServer, "192.168.1.53");
    for (int slot = 1; slot <= frmTCPIPMonitor->SelectedAdpMemo->GetLines().Count(); ++slot)
      EXPECT_EQ(form->AdapterSlots[slot].Gateway, row.gateway) << slot;
    delete form;
    frmMain = form = nullptr;
  }
}

TEST_F(AutoTest, TheAdapterSummaryReadsTheAdapterListOncePerSummary) {
  // The figure is printed for the record; what is checked is the number of
  // reads, which must not grow with the adapters.
  for (int count : {1, 10, 100}) {
    machine.adapters = AdaptersWithOneGateway(count, count);
    Open();
    machine.adaptersInfo.calls = 0;
    const DWORD start = GetTickCount();
    const int rounds = 5;
    for (int i = 0; i < rounds; ++i) form->ReadAdapterSummary();
    const DWORD spent = GetTickCount() - start;
    // At most a size probe and the real read per summary.
    EXPECT_GE(machine.adaptersInfo.calls, rounds) << count << " adapters";
    EXPECT_LE(machine.adaptersInfo.calls, 2 * rounds) << count << " adapters";
    EXPECT_EQ(form->CurrentAdapter.IPAddress, machine.adapters.back().address);
    std::printf("[ figure   ] adapter summary, %d adapters: %.1f ms\n", count, spent / double(rounds));
    delete form;
    frmMain = form = nullptr;
  }
}

TEST_F(AutoTest, APppInterfaceWithAnAddressWarnsOfAVpn) {
  FakeAdapter ppp;
  ppp.index = 30;
  ppp.type = IF_TYPE_PPP;
  ppp.mac = {};
  ppp.description = "VPN";
  ppp.address = "172.16.0.9";
  ppp.operStatus = 2;
  machine.adapters = {FakeAdapter{}, ppp};
  Open();
  EXPECT_TRUE(Shown("imgVPN"));
  EXPECT_TRUE(Has(Output(), "WARNING: You may using VPN connection: 172.16.0.9"));
  EXPECT_EQ(frmTCPIPMonitor->SelectedAdpMemo->GetLines().Count(), 1);

  delete form;
  frmMain = form = nullptr;
  machine.adapters[1].address = "";
  Open();
  EXPECT_FALSE(Shown("imgVPN"));
  EXPECT_FALSE(Has(Output(), "WARNING: You may using VPN connection: "));
}

TEST_F(AutoTest, TheProxyIndicatorFollowsTheUsersSettings) {
  using fakeregistry::FakeRegistry;
  Open();
  const char server[] = "10.77.0.9:3128";
  FakeRegistry::values = {{"ProxyServer", fakeregistry::Text(server)}, {"ProxyEnable", fakeregistry::Number(1)}};
  form->imgRefreshClick(form->imgRefresh);
  EXPECT_TRUE(Shown("imgProxy"));
  EXPECT_TRUE(form->imgProxy->ShowHint());
  EXPECT_EQ(form->imgProxy->Hint(), server);

  // Switched off in the system: the next refresh hides it.
  FakeRegistry::values["ProxyEnable"] = fakeregistry::Number(0);
  form->imgRefreshClick(form->imgRefresh);
  EXPECT_FALSE(Shown("imgProxy"));
  EXPECT_FALSE(form->imgProxy->ShowHint());
}

// Console ping outputs as Windows prints them, in English and in German.
// The console counts a router's ICMP error as received; only the lines with
// a time and "TTL=" are replies.
const char kEnglishMixed[] =
    "Pinging 10.77.1.1 with 32 bytes of data:\r\n"
    "Reply from 10.77.1.1: bytes=32 time=9ms TTL=64\r\n"
    "Reply from 10.77.0.1: Destination host unreachable.\r\n"
    "Reply from 10.77.0.1: Destination host unreachable.\r\n"
    "Reply from 10.77.0.1: Destination host unreachable.\r\n"
    "\r\n"
    "Ping statistics for 10.77.1.1:\r\n"
    "    Packets: Sent = 4, Received = 4, Lost = 0 (0% loss),\r\n"
    "Approximate round trip times in milli-seconds:\r\n"
    "    Minimum = 9ms, Maximum = 9ms, Average = 9ms\r\n";
const char kEnglishUnreachable[] =
    "Pinging 10.77.1.1 with 32 bytes of data:\r\n"
    "Reply from 10.77.0.1: Destination host unreachable.\r\n"
    "Reply from 10.77.0.1: Destination host unreachable.\r\n"
    "Reply from 10.77.0.1: Destination host unreachable.\r\n"
    "Reply from 10.77.0.1: Destination host unreachable.\r\n"
    "\r\n"
    "Ping statistics for 10.77.1.1:\r\n"
    "    Packets: Sent = 4, Received = 4, Lost = 0 (0% loss),\r\n";
const char kEnglishQuarterLost[] =
    "Pinging 10.77.1.1 with 32 bytes of data:\r\n"
    "Reply from 10.77.1.1: bytes=32 time=30ms TTL=64\r\n"
    "Reply from 10.77.1.1: bytes=32 time=50ms TTL=64\r\n"
    "Request timed out.\r\n"
    "Reply from 10.77.1.1: bytes=32 time=40ms TTL=64\r\n"
    "\r\n"
    "Ping statistics for 10.77.1.1:\r\n"
    "    Packets: Sent = 4, Received = 3, Lost = 1 (25% loss),\r\n"
    "Approximate round trip times in milli-seconds:\r\n"
    "    Minimum = 30ms, Maximum = 50ms, Average = 40ms\r\n";
const char kEnglishAllLost[] =
    "Pinging 10.77.1.1 with 32 bytes of data:\r\n"
    "Request timed out.\r\nRequest timed out.\r\nRequest timed out.\r\nRequest timed out.\r\n"
    "\r\n"
    "Ping statistics for 10.77.1.1:\r\n"
    "    Packets: Sent = 4, Received = 0, Lost = 4 (100% loss),\r\n";
const char kGermanHealthy[] =
    "Ping wird ausgef\x81hrt f\x81r 10.77.1.1 mit 32 Bytes Daten:\r\n"
    "Antwort von 10.77.1.1: Bytes=32 Zeit<1ms TTL=64\r\n"
    "Antwort von 10.77.1.1: Bytes=32 Zeit=2ms TTL=64\r\n"
    "Antwort von 10.77.1.1: Bytes=32 Zeit=1ms TTL=64\r\n"
    "Antwort von 10.77.1.1: Bytes=32 Zeit=1ms TTL=64\r\n"
    "\r\n"
    "Ping-Statistik f\x81r 10.77.1.1:\r\n"
    "    Pakete: Gesendet = 4, Empfangen = 4, Verloren = 0\r\n"
    "    (0% Verlust),\r\n"
    "Ca. Zeitangaben in Millisek.:\r\n"
    "    Minimum = 0ms, Maximum = 2ms, Mittelwert = 1ms\r\n";
const char kGermanMixed[] =
    "Ping wird ausgef\x81hrt f\x81r 10.77.1.1 mit 32 Bytes Daten:\r\n"
    "Antwort von 10.77.0.1: Zielhost nicht erreichbar.\r\n"
    "Antwort von 10.77.1.1: Bytes=32 Zeit=12ms TTL=64\r\n"
    "Antwort von 10.77.1.1: Bytes=32 Zeit=14ms TTL=64\r\n"
    "Antwort von 10.77.1.1: Bytes=32 Zeit=13ms TTL=64\r\n"
    "\r\n"
    "Ping-Statistik f\x81r 10.77.1.1:\r\n"
    "    Pakete: Gesendet = 4, Empfangen = 4, Verloren = 0\r\n"
    "    (0% Verlust),\r\n"
    "Ca. Zeitangaben in Millisek.:\r\n"
    "    Minimum = 12ms, Maximum = 14ms, Mittelwert = 13ms\r\n";

// Over IPv6 an echo reply has no TTL.
const char kEnglishIPv6[] =
    "Pinging fd77::1 with 32 bytes of data:\r\n"
    "Reply from fd77::1: time=12ms\r\n"
    "Reply from fd77::1: time<1ms\r\n"
    "Request timed out.\r\n"
    "Reply from fd77::1: time=3ms\r\n"
    "\r\n"
    "Ping statistics for fd77::1:\r\n"
    "    Packets: Sent = 4, Received = 3, Lost = 1 (25% loss),\r\n"
    "Approximate round trip times in milli-seconds:\r\n"
    "    Minimum = 0ms, Maximum = 12ms, Average = 5ms\r\n";
const char kEnglishTtlExpired[] =
    "Pinging 10.77.1.1 with 32 bytes of data:\r\n"
    "Reply from 10.77.0.1: TTL expired in transit.\r\n"
    "Reply from 10.77.0.1: TTL expired in transit.\r\n"
    "Reply from 10.77.0.1: TTL expired in transit.\r\n"
    "Reply from 10.77.0.1: TTL expired in transit.\r\n"
    "\r\n"
    "Ping statistics for 10.77.1.1:\r\n"
    "    Packets: Sent = 4, Received = 4, Lost = 0 (0% loss),\r\n";
// As the Russian console writes it, in code page 866: two replies (one of
// them under a millisecond), an unreachable answer the console counts as
// received, a time-out; its times line has a blank before two of its units.
const char kRussianOem[] =
    "\x8E\xA1\xAC\xA5\xAD \xAF\xA0\xAA\xA5\xE2\xA0\xAC\xA8 \xE1 10.77.1.1 \xAF\xAE \xE1 32 "
    "\xA1\xA0\xA9\xE2\xA0\xAC\xA8 "
    "\xA4\xA0\xAD\xAD\xEB\xE5:\r\n"
    "\x8E\xE2\xA2\xA5\xE2 \xAE\xE2 10.77.1.1: \xE7\xA8\xE1\xAB\xAE \xA1\xA0\xA9\xE2=32 \xA2\xE0\xA5\xAC\xEF=3\xAC\xE1 "
    "TTL=64\r\n"
    "\x8E\xE2\xA2\xA5\xE2 \xAE\xE2 10.77.1.1: \xE7\xA8\xE1\xAB\xAE \xA1\xA0\xA9\xE2=32 \xA2\xE0\xA5\xAC\xEF<1\xAC\xE1 "
    "TTL=64\r\n"
    "\x8E\xE2\xA2\xA5\xE2 \xAE\xE2 10.77.0.1: \x87\xA0\xA4\xA0\xAD\xAD\xEB\xA9 \xE3\xA7\xA5\xAB "
    "\xAD\xA5\xA4\xAE\xE1\xE2\xE3\xAF\xA5\xAD.\r\n"
    "\x8F\xE0\xA5\xA2\xEB\xE8\xA5\xAD \xA8\xAD\xE2\xA5\xE0\xA2\xA0\xAB \xAE\xA6\xA8\xA4\xA0\xAD\xA8\xEF \xA4\xAB\xEF "
    "\xA7\xA0\xAF\xE0\xAE\xE1\xA0.\r\n"
    "\r\n"
    "\x91\xE2\xA0\xE2\xA8\xE1\xE2\xA8\xAA\xA0 Ping \xA4\xAB\xEF 10.77.1.1:\r\n"
    "    \x8F\xA0\xAA\xA5\xE2\xAE\xA2: \xAE\xE2\xAF\xE0\xA0\xA2\xAB\xA5\xAD\xAE = 4, \xAF\xAE\xAB\xE3\xE7\xA5\xAD\xAE "
    "= 3, "
    "\xAF\xAE\xE2\xA5\xE0\xEF\xAD\xAE = 1\r\n"
    "    (25% \xAF\xAE\xE2\xA5\xE0\xEC)\r\n"
    "\x8F\xE0\xA8\xA1\xAB\xA8\xA7\xA8\xE2\xA5\xAB\xEC\xAD\xAE\xA5 \xA2\xE0\xA5\xAC\xEF "
    "\xAF\xE0\xA8\xA5\xAC\xA0-\xAF\xA5\xE0\xA5\xA4\xA0\xE7\xA8 \xA2 \xAC\xE1:\r\n"
    "    \x8C\xA8\xAD\xA8\xAC\xA0\xAB\xEC\xAD\xAE\xA5 = 0\xAC\xE1\xA5\xAA, "
    "\x8C\xA0\xAA\xE1\xA8\xAC\xA0\xAB\xEC\xAD\xAE\xA5 = 3 \xAC\xE1\xA5\xAA, \x91\xE0\xA5\xA4\xAD\xA5\xA5 = 1 "
    "\xAC\xE1\xA5\xAA\r\n";
const char kRussianIPv6[] =
    "\x8E\xA1\xAC\xA5\xAD \xAF\xA0\xAA\xA5\xE2\xA0\xAC\xA8 \xE1 fd77::1 \xAF\xAE \xE1 32 \xA1\xA0\xA9\xE2\xA0\xAC\xA8 "
    "\xA4\xA0\xAD\xAD\xEB\xE5:\r\n"
    "\x8E\xE2\xA2\xA5\xE2 \xAE\xE2 fd77::1: \xA2\xE0\xA5\xAC\xEF=2\xAC\xE1\r\n"
    "\x8E\xE2\xA2\xA5\xE2 \xAE\xE2 fd77::1: \xA2\xE0\xA5\xAC\xEF=4\xAC\xE1\r\n"
    "\x8E\xE2\xA2\xA5\xE2 \xAE\xE2 fd77::1: \xA2\xE0\xA5\xAC\xEF<1\xAC\xE1\r\n"
    "\x8E\xE2\xA2\xA5\xE2 \xAE\xE2 fd77::1: \xA2\xE0\xA5\xAC\xEF=6\xAC\xE1\r\n"
    "\r\n"
    "\x91\xE2\xA0\xE2\xA8\xE1\xE2\xA8\xAA\xA0 Ping \xA4\xAB\xEF fd77::1:\r\n"
    "    \x8F\xA0\xAA\xA5\xE2\xAE\xA2: \xAE\xE2\xAF\xE0\xA0\xA2\xAB\xA5\xAD\xAE = 4, \xAF\xAE\xAB\xE3\xE7\xA5\xAD\xAE "
    "= 4, "
    "\xAF\xAE\xE2\xA5\xE0\xEF\xAD\xAE = 0\r\n"
    "    (0% \xAF\xAE\xE2\xA5\xE0\xEC)\r\n";
// French puts a blank between a time and its unit.
const char kFrench[] =
    "Envoi d'une requ\x88te 'Ping'  10.77.1.1 avec 32 octets de donn\202es :\r\n"
    "R\x82ponse de 10.77.1.1 : octets=32 temps=2 ms TTL=64\r\n"
    "R\x82ponse de 10.77.1.1 : octets=32 temps<1ms TTL=64\r\n"
    "R\x82ponse de 10.77.1.1 : octets=32 temps=4 ms TTL=64\r\n"
    "R\x82ponse de 10.77.1.1 : octets=32 temps=3 ms TTL=64\r\n"
    "\r\n"
    "Statistiques Ping pour 10.77.1.1:\r\n"
    "    Paquets : envoy\x82s = 4, re\x87us = 4, perdus = 0 (perte 0%),\r\n"
    "Dur\202e approximative des boucles en millisecondes :\r\n"
    "    Minimum = 0ms, Maximum = 4ms, Moyenne = 2ms\r\n";

TEST_F(AutoTest, PingToolSummaryCountsOnlyRealReplies) {
  Open();
  struct Case {
    const char* name;
    const char* output;
    const char* percent;
    const char* average;
    const char* strip;
  } cases[] = {
      {"English, one reply and three router errors", kEnglishMixed, "25", "9", "imgToolFail"},
      {"English, router errors only", kEnglishUnreachable, "---", "---", "imgToolFail"},
      {"English, a quarter lost", kEnglishQuarterLost, "75", "40", "imgToolWarn"},
      {"English, all lost", kEnglishAllLost, "---", "---", "imgToolFail"},
      {"German, every echo answered", kGermanHealthy, "100", "1", "imgToolSucceed"},
      {"German, one router error", kGermanMixed, "75", "13", "imgToolWarn"},
      {"English IPv6, one lost", kEnglishIPv6, "75", "5", "imgToolWarn"},
      {"English, TTL expired on the way", kEnglishTtlExpired, "---", "---", "imgToolFail"},
      {"Russian in its console code page, two of four", kRussianOem, "50", "1", "imgToolWarn"},
      {"Russian IPv6, every echo answered", kRussianIPv6, "100", "3", "imgToolSucceed"},
      {"French, blanks before the unit", kFrench, "100", "2", "imgToolSucceed"},
      {"no summary at all", "Ping request could not find host nowhere.\r\n", "---", "---", "imgToolFail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    form->PrepareTest(0);
    form->memToolsOutput->GetLines().Add(c.output);
    form->ShowToolSummary();
    EXPECT_EQ(form->lblPercent->Caption(), c.percent);
    EXPECT_EQ(form->lblAverage->Caption(), c.average);
    for (const char* strip : {"imgToolWarn", "imgToolSucceed", "imgToolFail"})
      EXPECT_EQ(Shown(strip), std::string(strip) == c.strip) << strip;
  }
}
