// The automatic test and the readings of the local configuration, run in
// the real main window on a fake machine.
#include <gtest/gtest.h>

#include <algorithm>

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

TEST_F(AutoTest, AnIcmpErrorFromARouterFailsTheStage) {
  machine.answers = {{endpoints::ProviderServerAddress, Answer::Unreachable}};
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
  EXPECT_EQ(form->FirewallAllowed, TokenHasAdministrators());
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
  machine.answers = {{"192.168.1.1", Answer::Half},
                     {endpoints::ProviderServerAddress, Answer::Half},
                     {"10.77.1.3", Answer::Half},
                     {"10.77.1.11", Answer::Half}};
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
  machine.answers = {{endpoints::ProviderServerAddress, Answer::Down}};
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

TEST_F(AutoTest, AFifthQualifyingAdapterIsListedButNotRecorded) {
  machine.adapters.clear();
  for (int i = 0; i < 5; ++i) {
    FakeAdapter a;
    a.index = 20 + i;
    a.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, static_cast<BYTE>(i)};
    a.address = "192.168.1." + std::to_string(10 + i);
    machine.adapters.push_back(a);
  }
  Open();
  EXPECT_EQ(frmTCPIPMonitor->SelectedAdpMemo->GetLines().Count(), 5);
  EXPECT_EQ(form->AdapterSlots[4].IPAddress, "192.168.1.13");
  EXPECT_EQ(form->CurrentAdapter.IPAddress, "192.168.1.13") << "the fifth is not recorded";
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
