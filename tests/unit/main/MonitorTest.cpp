// The monitor window: its caption and pages, the options and the timer, and
// the interface detail report, on the fake machine.
#include <gtest/gtest.h>

#include "FakeWorld.h"
#include "netdata/IPHelper.h"

namespace {

std::vector<std::string> Lines_(Memo* memo) { return LinesOf(memo->GetLines()); }

}  // namespace

class MonitorTest : public FakeWorldTest {
 protected:
  void SetUp() override {
    FakeWorldTest::SetUp();
    Open();
    mon = frmTCPIPMonitor;
    for (CheckBox* cb : {mon->cbTimer, mon->ShowProgPath, mon->ExtAdapApi}) cb->SetChecked(false);
  }
  void TearDown() override {
    for (CheckBox* cb : {mon->cbTimer, mon->ShowProgPath, mon->ExtAdapApi}) cb->SetChecked(false);
    FakeWorldTest::TearDown();
  }
  TfrmTCPIPMonitor* mon = nullptr;
};

TEST_F(MonitorTest, CaptionAndPages) {
  EXPECT_EQ(mon->Caption(), "TCP/IP/ARP Monitor:  Velnor v1.0.1 - 19 February 2012");
  std::vector<std::string> captions;
  for (TabSheet* s : mon->pgCtrlMain->Sheets()) captions.push_back(s->Caption());
  EXPECT_EQ(captions, (std::vector<std::string>{"Adapters[Debug]", "CONNECTIONS TCP", "CONNECTIONS UDP", "IP-ADRESS TABLE",
                                                "IP-ROUTING TABLE", "ADAPTER/IF INFO", "ARP", "STATISTICS"}));
  EXPECT_EQ(mon->pgCtrlMain->ActivePage(), mon->DebugSheet);
  EXPECT_EQ(mon->Find<StaticText>("StaticText13")->Caption(),
            "   TYPE    |   MAC_ADDRESS   |   IP-ADDRESS   |      DNS       |    GATEWAY     |(Mbps)|   DESCRIPTION");
  RECT r{};
  GetWindowRect(mon->Handle(), &r);
  EXPECT_EQ(r.right - r.left, 800);
  EXPECT_EQ(r.bottom - r.top, 600);
}

TEST_F(MonitorTest, OptionsTakeEffectAtTheNextRefreshAndTheTimerFollowsItsBox) {
  mon->NwMemo->GetLines().Clear();
  mon->NwMemo->GetLines().Add("marker");
  mon->ExtAdapApi->Click();
  mon->ShowProgPath->Click();
  EXPECT_FALSE(mon->Timer1->Enabled()) << "only the timer box starts the timer";
  EXPECT_EQ(Lines_(mon->NwMemo), std::vector<std::string>{"marker"}) << "a box does not refresh";
  EXPECT_FALSE(UseExtAdapterApi);

  mon->Timer1Timer(mon->Timer1);
  EXPECT_EQ(Lines_(mon->NwMemo), std::vector<std::string>{"marker"}) << "a tick with the box unchecked does nothing";

  mon->cbTimer->Click();
  EXPECT_TRUE(mon->Timer1->Enabled());
  mon->Timer1Timer(mon->Timer1);
  EXPECT_TRUE(mon->Timer1->Enabled());
  EXPECT_TRUE(UseExtAdapterApi);
  EXPECT_TRUE(ShowAppPath);
  EXPECT_EQ(Lines_(mon->NwMemo).at(0), "HOSTNAME          : testhost");

  mon->cbTimer->Click();
  EXPECT_FALSE(mon->Timer1->Enabled());
  mon->ExtAdapApi->Click();
  mon->ShowProgPath->Click();
  mon->SpeedButton1Click(mon->SpeedButton1);
  EXPECT_TRUE(mon->SpeedButton1->Enabled());
  EXPECT_FALSE(UseExtAdapterApi);
}

TEST_F(MonitorTest, TheRefreshNeverTouchesTheSelectedAdapterTable) {
  const auto before = Lines_(mon->SelectedAdpMemo);
  ASSERT_EQ(before.size(), 1u);
  mon->RefreshPages();
  EXPECT_EQ(Lines_(mon->SelectedAdpMemo), before);
}

TEST_F(MonitorTest, InterfaceDetails) {
  fakes.ifTable.build = [](Arena& a) {
    MIB_IFROW eth = IfRow(11, IF_TYPE_ETHERNET_CSMACD, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, "Fake Ethernet Adapter");
    eth.dwInUcastPkts = 0x7FFFFFFF;
    eth.dwInNUcastPkts = 2;
    eth.dwOutUcastPkts = 10;
    eth.dwOutNUcastPkts = 5;
    eth.dwInDiscards = 1;
    eth.dwOutQLen = 3;
    MIB_IFROW lo = IfRow(1, IF_TYPE_SOFTWARE_LOOPBACK, {}, "Loopback");
    BuildIfTable(a, {eth, lo});
  };
  ListInterfaceDetails(&mon->AdapterMemo->GetLines());
  EXPECT_EQ(Lines_(mon->AdapterMemo), (std::vector<std::string>{
                                          "",
                                          "************** (11) ****************",
                                          "\"Fake Ethernet Adapter\"",
                                          "\tLink encap: Ethernet ",
                                          "\tHWaddr: 00-1A-2B-3C-4D-5E",
                                          "\tinet addr:192.168.1.10",
                                          " Mask: 255.255.255.0",
                                          "\tMTU: 1500 Speed:100.00 Mbps",
                                          "\tAdmin status:UP",
                                          " Oper status:OPERATIONAL",
                                          "\tRX packets:-2147483647 dropped:1 errors:0 unkown:0",
                                          "\tTX packets:15 dropped:0 errors:0 txqueuelen:3",
                                          "",
                                          "************** (1) ****************",
                                          "\"Loopback\"",
                                          "\tLink encap: Local loopback ",
                                          "\tinet addr:",
                                          " Mask: ",
                                          "\tMTU: 1500 Speed:100.00 Mbps",
                                          "\tAdmin status:UP",
                                          " Oper status:OPERATIONAL",
                                          "\tRX packets:0 dropped:0 errors:0 unkown:0",
                                          "\tTX packets:0 dropped:0 errors:0 txqueuelen:0",
                                      }));

  // Unreadable: the error line is added to what the page holds, every time.
  fakes.ifTable.build = [](Arena& a) { BuildIfTable(a, {}); };
  ListInterfaceDetails(&mon->AdapterMemo->GetLines());
  ListInterfaceDetails(&mon->AdapterMemo->GetLines());
  const auto lines = Lines_(mon->AdapterMemo);
  ASSERT_EQ(lines.size(), 23u + 4u);
  EXPECT_EQ(lines[23], "");
  EXPECT_EQ(lines[24], "*** Error retrieving adapter information");
  EXPECT_EQ(lines[26], "*** Error retrieving adapter information");
}
