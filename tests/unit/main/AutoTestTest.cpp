// The automatic test and the readings of the local configuration, run in
// the real main window on a fake machine.
#include <gtest/gtest.h>

#include <algorithm>

#include "Endpoints.h"
#include "FakeWorld.h"
#include "workers/ExecThread.h"

using namespace mainstate;

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

class AutoTest : public FakeWorldTest {
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
    EXPECT_TRUE(PingQueue->empty());
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
  EXPECT_EQ(FakeWorld::opened, std::vector<std::string>{std::string("open ") + endpoints::ProviderWebPage});
  EXPECT_TRUE(Has(events, "******** Primary Internet Connecting Status ********"));
  EXPECT_TRUE(Has(events, "Connected OK"));
  EXPECT_TRUE(Has(events, "Pinging [192.168.1.1] Passed by 100%, Average time: 0ms") ||
              Has(events, "Pinging [192.168.1.1] Passed by 100%, Average time: 1ms"));
  const auto out = Output();
  EXPECT_TRUE(Has(out, "Adapter Loaded Successfully"));
  EXPECT_TRUE(Has(out, "Network parameters Loaded Successfully"));
  EXPECT_EQ(FakeWorld::echoCounts["192.168.1.1"], 4);
  ExpectIdle();
}

TEST_F(AutoTest, StartIsRefusedWhileACommandRuns) {
  Open();
  form->btnAuto->Click();
  form->memOutput->GetLines().Add("previous result");
  CurrentExecThread = new TExecThread("ping -n 2 127.0.0.1", &form->memToolsOutput->GetLines(), 127, "", true);
  form->btnStartAutoTest->Click();
  EXPECT_TRUE(Shown("imgWarnIncomplete"));
  EXPECT_EQ(Output(), std::vector<std::string>{"previous result"});
  EXPECT_TRUE(form->btnStartAutoTest->Enabled());
  delete CurrentExecThread;
  CurrentExecThread = nullptr;
}

TEST_F(AutoTest, AFailingAdapterListFailsStageOne) {
  Open();
  // The query fails whatever buffer it is given.
  fakes.adaptersInfo.probeAnswer = ERROR_NOT_SUPPORTED;
  fakes.adaptersInfo.secondAnswer = ERROR_NOT_SUPPORTED;
  Start();
  EXPECT_TRUE(Shown("imgFail01"));
  EXPECT_FALSE(Marked(1));
  EXPECT_TRUE(Queued(Events()).empty());
  EXPECT_TRUE(Has(Output(), "Adapter Loading FAIL!"));
  EXPECT_TRUE(Has(Events(), "*************** Network Adapter Info ***************"));
  ExpectIdle();
}

TEST_F(AutoTest, NoQualifyingAdapterFailsStageTwoWithoutPinging) {
  FakeWorld::adapters[0].operStatus = 2;  // disconnected
  Open();
  Start();
  EXPECT_TRUE(Marked(1));
  EXPECT_TRUE(Has(Output(), "WARNING: Can`t Get Client Adapters Information!"));
  EXPECT_TRUE(Shown("imgFailGetData"));
  EXPECT_TRUE(Shown("imgFail02"));
  EXPECT_TRUE(Queued(Events()).empty());
  EXPECT_TRUE(FakeWorld::echoCounts.empty());
  ExpectIdle();
}

TEST_F(AutoTest, WarningsMarkOnlyTheBackboneAndPublicHostRows) {
  FakeWorld::answers = {{"192.168.1.1", Answer::Half}, {endpoints::ProviderServerAddress, Answer::Half},
                        {"10.77.1.3", Answer::Half}, {"10.77.1.11", Answer::Half}};
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
  FakeWorld::answers = {{endpoints::ProviderServerAddress, Answer::Down}};
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
  EXPECT_TRUE(FakeWorld::opened.empty());
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
    FakeWorld::shellResult = c.result;
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
    FakeWorld::network = c.network;
    FakeWorld::online = c.online;
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
  FakeWorld::adapters = {good, vbox, vmware, down, noMask};
  Open();
  EXPECT_TRUE(AdapterInfoOK);
  EXPECT_EQ(AdapterSlots[1].IPAddress, "192.168.1.10");
  EXPECT_EQ(AdapterSlots[1].MACAddress, "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(AdapterSlots[1].Gateway, "192.168.1.1");
  EXPECT_EQ(AdapterSlots[1].DNSServer, "192.168.1.53");
  EXPECT_EQ(CurrentAdapter.IPAddress, AdapterSlots[1].IPAddress);
  EXPECT_EQ(CurrentAdapter.Gateway, AdapterSlots[1].Gateway);
  const auto selected = LinesOf(frmTCPIPMonitor->SelectedAdpMemo->GetLines());
  ASSERT_EQ(selected.size(), 1u);
  EXPECT_EQ(selected[0],
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
  FakeWorld::adapters = {first, second};
  Open();
  EXPECT_EQ(AdapterSlots[2].IPAddress, "10.0.0.5");
  EXPECT_EQ(CurrentAdapter.IPAddress, "192.168.1.10") << "only the first has a gateway";
  EXPECT_EQ(frmTCPIPMonitor->SelectedAdpMemo->GetLines().Count(), 2);

  delete form;
  frmMain = form = nullptr;
  FakeWorld::adapters[1].gateway = "10.0.0.1";
  Open();
  EXPECT_EQ(CurrentAdapter.IPAddress, "10.0.0.5") << "both have one: the second wins";
  EXPECT_EQ(CurrentAdapter.Gateway, "10.0.0.1");
}

TEST_F(AutoTest, AFifthQualifyingAdapterIsListedButNotRecorded) {
  FakeWorld::adapters.clear();
  for (int i = 0; i < 5; ++i) {
    FakeAdapter a;
    a.index = 20 + i;
    a.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, static_cast<BYTE>(i)};
    a.address = "192.168.1." + std::to_string(10 + i);
    FakeWorld::adapters.push_back(a);
  }
  AdapterSlots[4] = TLANInfo{};
  Open();
  EXPECT_EQ(frmTCPIPMonitor->SelectedAdpMemo->GetLines().Count(), 5);
  EXPECT_EQ(AdapterSlots[4].IPAddress, "192.168.1.13");
  EXPECT_EQ(CurrentAdapter.IPAddress, "192.168.1.13") << "the fifth is not recorded";
}

TEST_F(AutoTest, APppInterfaceWithAnAddressWarnsOfAVpn) {
  FakeAdapter ppp;
  ppp.index = 30;
  ppp.type = IF_TYPE_PPP;
  ppp.mac = {};
  ppp.description = "VPN";
  ppp.address = "172.16.0.9";
  ppp.operStatus = 2;
  FakeWorld::adapters = {FakeAdapter{}, ppp};
  Open();
  EXPECT_TRUE(Shown("imgVPN"));
  EXPECT_TRUE(Has(Output(), "WARNING: You may using VPN connection: 172.16.0.9"));
  EXPECT_EQ(frmTCPIPMonitor->SelectedAdpMemo->GetLines().Count(), 1);

  delete form;
  frmMain = form = nullptr;
  FakeWorld::adapters[1].address = "";
  Open();
  EXPECT_FALSE(Shown("imgVPN"));
  EXPECT_FALSE(Has(Output(), "WARNING: You may using VPN connection: "));
}

TEST_F(AutoTest, TheProxyIndicatorFollowsTheUsersSettings) {
  Open();
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD on = 1, off = 0;
  const char server[] = "10.77.0.9:3128";
  RegSetValueExA(key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server), sizeof(server));
  RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));
  form->imgRefreshClick(form->imgRefresh);
  EXPECT_TRUE(Shown("imgProxy"));
  EXPECT_TRUE(form->imgProxy->ShowHint());
  EXPECT_EQ(form->imgProxy->Hint(), server);

  // Switched off in the system: the next refresh hides it.
  RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof(off));
  form->imgRefreshClick(form->imgRefresh);
  EXPECT_FALSE(Shown("imgProxy"));
  EXPECT_FALSE(form->imgProxy->ShowHint());
  RegDeleteValueA(key, "ProxyServer");
  RegDeleteValueA(key, "ProxyEnable");
  RegCloseKey(key);
}

TEST_F(AutoTest, PingToolSummaryThresholds) {
  Open();
  struct Case {
    const char* output;
    const char* percent;
    const char* average;
    const char* strip;
  } cases[] = {
      {"    Packets: Sent = 4, Received = 3, Lost = 1 (25% loss),\r\n"
       "    Minimum = 30ms, Maximum = 50ms, Average = 40ms\r\n",
       "75", "40", "imgToolWarn"},
      {"    Packets: Sent = 4, Received = 4, Lost = 0 (0% loss),\r\n"
       "    Minimum = 1ms, Maximum = 2ms, Average = 1ms\r\n",
       "100", "1", "imgToolSucceed"},
      {"    Packets: Sent = 4, Received = 1, Lost = 3 (75% loss),\r\n"
       "    Minimum = 9ms, Maximum = 9ms, Average = 9ms\r\n",
       "25", "9", "imgToolFail"},
      {"Ping request could not find host nowhere.\r\n", "---", "---", "imgToolFail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    form->PrepareTest(0);
    form->memToolsOutput->GetLines().Add(c.output);
    form->ShowToolSummary();
    EXPECT_EQ(form->lblPercent->Caption(), c.percent);
    EXPECT_EQ(form->lblAverage->Caption(), c.average);
    for (const char* strip : {"imgToolWarn", "imgToolSucceed", "imgToolFail"})
      EXPECT_EQ(Shown(strip), std::string(strip) == c.strip) << strip;
  }
}
