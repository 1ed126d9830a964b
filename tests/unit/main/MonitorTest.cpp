// The monitor window: its caption and pages, the options and the timer, the
// refresh on its worker, and the interface detail report, on the fake
// machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "support/MonitorWindowTest.h"
#include "netdata/IPHelper.h"

namespace {

std::vector<std::string> Lines_(Memo* memo) { return LinesOf(memo->GetLines()); }

// Stands in for a table call that takes as long as the tables of a busy
// machine do.
DWORD WINAPI SlowGetNetworkParams(PFIXED_INFO info, PULONG size) {
  Sleep(1500);
  return FakeGetNetworkParams(info, size);
}

DWORD WINAPI ThrowingGetNetworkParams(PFIXED_INFO, PULONG) { throw std::runtime_error("the table broke"); }

// IP and UDP counters that can be made to fail.
DWORD statsAnswer = NO_ERROR;
DWORD WINAPI FakeGetIpStatistics(PMIB_IPSTATS stats) {
  if (statsAnswer == NO_ERROR) *stats = MIB_IPSTATS{};
  return statsAnswer;
}
DWORD WINAPI FakeGetUdpStatistics(PMIB_UDPSTATS stats) {
  if (statsAnswer == NO_ERROR) *stats = MIB_UDPSTATS{};
  return statsAnswer;
}

MIB_IFROW Ethernet() {
  MIB_IFROW eth = IfRow(11, IF_TYPE_ETHERNET_CSMACD, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, "Fake Ethernet Adapter");
  eth.dwInUcastPkts = 0x7FFFFFFF;
  eth.dwInNUcastPkts = 2;
  eth.dwOutUcastPkts = 0xFFFFFFFF;  // the sums go past 32 bits
  eth.dwOutNUcastPkts = 0xFFFFFFFF;
  eth.dwInDiscards = 0x80000000;
  eth.dwOutQLen = 3;
  eth.dwSpeed = 2500000000u;
  return eth;
}

}  // namespace

TEST_F(MonitorTest, CaptionPagesFontsAndScrollBars) {
  EXPECT_EQ(mon->Caption(), "TCP/IP/ARP Monitor:  Velnor v1.0.1 - 19 February 2012");
  std::vector<std::string> captions;
  for (TabSheet* s : mon->pgCtrlMain->Sheets()) captions.push_back(s->Caption());
  EXPECT_EQ(captions,
            (std::vector<std::string>{"Adapters[Debug]", "CONNECTIONS TCP", "CONNECTIONS UDP", "IP-ADRESS TABLE",
                                      "IP-ROUTING TABLE", "ADAPTER/IF INFO", "ARP", "STATISTICS"}));
  EXPECT_EQ(mon->pgCtrlMain->ActivePage(), mon->DebugSheet);
  EXPECT_EQ(mon->Find<StaticText>("StaticText13")->Caption(),
            "   TYPE    |   MAC_ADDRESS   |   IP-ADDRESS   |      DNS       |    GATEWAY     |(Mbps)|   DESCRIPTION");
  RECT r{};
  GetWindowRect(mon->Handle(), &r);
  EXPECT_EQ(r.right - r.left, 800);
  EXPECT_EQ(r.bottom - r.top, 600);

  // Every page is shown in a font of one width, whether or not this system
  // has Lucida Console (the test machine has not).
  for (Memo* memo : {mon->TCPMemo, mon->IPStatsMemo, mon->IPForwMemo, mon->NwMemo}) {
    HDC dc = GetDC(memo->Handle());
    HGDIOBJ old = SelectObject(dc, memo->Font());
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SIZE narrow{}, wide{};
    GetTextExtentPoint32A(dc, "iiiiiiiiii", 10, &narrow);
    GetTextExtentPoint32A(dc, "WWWWWWWWWW", 10, &wide);
    SelectObject(dc, old);
    ReleaseDC(memo->Handle(), dc);
    EXPECT_EQ(narrow.cx, wide.cx) << memo->Name();
    EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << memo->Name();  // the bit is set for variable pitch
  }
  // Memos whose text may not fit scroll.
  for (Memo* memo :
       {mon->TCPStatMemo, mon->UDPStatsMemo, mon->IPStatsMemo, mon->ICMPInMemo, mon->ICMPOutMemo, mon->NwMemo}) {
    EXPECT_TRUE(GetWindowLongPtrA(memo->Handle(), GWL_STYLE) & WS_VSCROLL) << memo->Name();
  }
}

TEST_F(MonitorTest, CreatedWithoutARefreshAndFirstRefreshedWhenFirstShown) {
  machine.networkParams.calls = 0;
  TfrmTCPIPMonitor fresh;
  EXPECT_FALSE(fresh.Refreshing());
  EXPECT_EQ(machine.networkParams.calls, 0);
  EXPECT_EQ(Lines_(fresh.IPStatsMemo), std::vector<std::string>{"IPStatsMemo"});
  fresh.ShowForm();
  EXPECT_TRUE(fresh.Refreshing());
  ASSERT_TRUE(fresh.WaitForRefresh(30000));
  EXPECT_EQ(Lines_(fresh.NwMemo).at(0), "HOSTNAME          : testhost");
  // Shown again: no refresh of its own.
  fresh.HideForm();
  fresh.ShowForm();
  EXPECT_FALSE(fresh.Refreshing());
  fresh.HideForm();
}

TEST_F(MonitorTest, OptionsTakeEffectAtTheNextRefreshAndTheTimerFollowsItsBoxWhileShown) {
  mon->ShowForm();
  ASSERT_TRUE(mon->WaitForRefresh(30000));
  mon->NwMemo->GetLines().Clear();
  mon->NwMemo->GetLines().Add("marker");
  mon->ExtAdapApi->Click();
  mon->ShowProgPath->Click();
  EXPECT_FALSE(mon->Timer1->Enabled()) << "only the timer box starts the timer";
  EXPECT_EQ(Lines_(mon->NwMemo), std::vector<std::string>{"marker"}) << "a box does not refresh";
  EXPECT_FALSE(UseExtAdapterApi);

  mon->Timer1Timer(mon->Timer1);
  EXPECT_FALSE(mon->Refreshing()) << "a tick with the box unchecked does nothing";

  mon->cbTimer->Click();
  EXPECT_TRUE(mon->Timer1->Enabled());
  EXPECT_FALSE(mon->Refreshing()) << "checking the box does not refresh at once";
  mon->Timer1Timer(mon->Timer1);
  EXPECT_TRUE(mon->Refreshing());
  EXPECT_FALSE(mon->Timer1->Enabled()) << "paused for its own refresh";
  EXPECT_TRUE(UseExtAdapterApi) << "the options are stored when the refresh starts";
  EXPECT_TRUE(ShowAppPath);
  ASSERT_TRUE(mon->WaitForRefresh(30000));
  EXPECT_TRUE(mon->Timer1->Enabled());
  EXPECT_EQ(Lines_(mon->NwMemo).at(0), "HOSTNAME          : testhost");

  // Hiding stops the timer, showing starts it again.
  mon->HideForm();
  EXPECT_FALSE(mon->Timer1->Enabled());
  mon->ShowForm();
  EXPECT_TRUE(mon->Timer1->Enabled());

  mon->cbTimer->Click();
  EXPECT_FALSE(mon->Timer1->Enabled());
  mon->ExtAdapApi->Click();
  mon->ShowProgPath->Click();
  mon->SpeedButton1Click(mon->SpeedButton1);
  EXPECT_FALSE(mon->SpeedButton1->Enabled()) << "off until its refresh is in the memos";
  ASSERT_TRUE(mon->WaitForRefresh(30000));
  EXPECT_TRUE(mon->SpeedButton1->Enabled());
  EXPECT_FALSE(UseExtAdapterApi);
}

TEST_F(MonitorTest, TheWindowAnswersWhileASlowTableIsRead) {
  mon->ShowForm();
  ASSERT_TRUE(mon->WaitForRefresh(30000));
  Sys.GetNetworkParams = SlowGetNetworkParams;
  const DWORD start = GetTickCount();
  mon->SpeedButton1Click(mon->SpeedButton1);
  EXPECT_LT(GetTickCount() - start, 500u) << "the click returns at once";

  // Another thread asks the window for an answer every 20 ms while the
  // UI thread goes on serving messages, as the program's loop does.
  std::atomic<bool> stop{false}, stopped{false};
  std::atomic<DWORD> longest{0};
  std::atomic<int> answers{0};
  HWND window = mon->Handle();
  std::thread probe([&] {
    while (!stop) {
      const DWORD sent = GetTickCount();
      DWORD_PTR result = 0;
      if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) ++answers;
      const DWORD took = GetTickCount() - sent;
      if (took > longest) longest = took;
      Sleep(20);
    }
    stopped = true;
  });
  EXPECT_TRUE(mon->WaitForRefresh(30000));
  stop = true;
  // The window keeps answering until the probe has stopped: a question
  // still on its way would otherwise wait for its whole time-out on a
  // thread that sits in join.
  Application.ProcessMessagesUntil([&] { return stopped.load(); }, 10000);
  probe.join();
  Sys.GetNetworkParams = FakeGetNetworkParams;
  EXPECT_GE(GetTickCount() - start, 1500u);
  EXPECT_GT(answers.load(), 20);
  EXPECT_LT(longest.load(), 200u);
  EXPECT_TRUE(mon->SpeedButton1->Enabled());
  EXPECT_EQ(Lines_(mon->NwMemo).at(0), "HOSTNAME          : testhost");

  // Hidden while its refresh runs: the refresh ends quietly, the timer stays off.
  Sys.GetNetworkParams = SlowGetNetworkParams;
  mon->cbTimer->SetChecked(true);
  mon->Timer1Timer(mon->Timer1);
  mon->HideForm();
  EXPECT_TRUE(mon->WaitForRefresh(30000));
  Sys.GetNetworkParams = FakeGetNetworkParams;
  EXPECT_FALSE(mon->Timer1->Enabled());
}

namespace {
HANDLE WINAPI NoThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}
const char kNoThread[] = "The worker thread could not be started (system error 8).";
}  // namespace

TEST_F(MonitorTest, ALastingFailureIsReportedOnceAndLeavesTheTimerAndTheButtonUsable) {
  struct Row {
    const char* name;
    std::function<std::unique_ptr<SysSwap>()> fault;
    const char* message;
  } rows[] = {
      {"a report throws",
       [] { return std::make_unique<SysSwap>(&SysApi::GetNetworkParams, &ThrowingGetNetworkParams); },
       "the table broke"},
      {"no worker can start", [] { return std::make_unique<SysSwap>(&SysApi::CreateThread, &NoThread); }, kNoThread},
  };
  std::vector<std::string> reported;
  Application.OnException = [&](const std::string& message) { reported.push_back(message); };
  mon->ShowForm();
  ASSERT_TRUE(mon->WaitForRefresh(30000));
  mon->cbTimer->SetChecked(true);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    reported.clear();
    {
      const auto fault = row.fault();
      for (int i = 0; i < 3; ++i) {
        mon->Timer1Timer(mon->Timer1);
        ASSERT_TRUE(mon->WaitForRefresh(30000));
        EXPECT_TRUE(mon->Timer1->Enabled());
        mon->SpeedButton1Click(mon->SpeedButton1);
        ASSERT_TRUE(mon->WaitForRefresh(30000));
        EXPECT_TRUE(mon->SpeedButton1->Enabled());
      }
    }
    EXPECT_EQ(reported, std::vector<std::string>{row.message}) << "one report for a lasting failure";
    // Gone, and back: a new failure, a new report.
    Refresh();
    const auto fault = row.fault();
    Refresh();
    EXPECT_EQ(reported, (std::vector<std::string>{row.message, row.message}));
  }

  // A refresh that fails while the box of another failure is open opens no
  // box inside it.
  reported.clear();
  int depth = 0, deepest = 0;
  Application.OnException = [&](const std::string& message) {
    reported.push_back(message);
    deepest = std::max(deepest, ++depth);
    if (reported.size() == 1) {
      SysSwap noThread(&SysApi::CreateThread, &NoThread);
      mon->Timer1Timer(mon->Timer1);  // the timer goes on under a box
      mon->WaitForRefresh(30000);
    }
    --depth;
  };
  Refresh();
  {
    SysSwap broken(&SysApi::GetNetworkParams, &ThrowingGetNetworkParams);
    Refresh();
  }
  EXPECT_EQ(reported, std::vector<std::string>{"the table broke"});
  EXPECT_EQ(deepest, 1);
  EXPECT_TRUE(mon->SpeedButton1->Enabled());
  mon->cbTimer->SetChecked(false);
  Application.OnException = [](const std::string& message) { ADD_FAILURE() << "error report: " << message; };
}

TEST_F(MonitorTest, TheRefreshNeverTouchesTheSelectedAdapterTable) {
  const auto before = Lines_(mon->SelectedAdpMemo);
  ASSERT_EQ(before.size(), 1u);
  Refresh();
  EXPECT_EQ(Lines_(mon->SelectedAdpMemo), before);
}

TEST_F(MonitorTest, InterfaceDetailsPrintUnsignedNumbers) {
  machine.ifTable.build = [](Arena& a) {
    BuildIfTable(a, {Ethernet(), IfRow(1, IF_TYPE_SOFTWARE_LOOPBACK, {}, "Loopback")});
  };
  StringList lines;
  EXPECT_TRUE(ListInterfaceDetails(&lines));
  EXPECT_EQ(LinesOf(lines), (std::vector<std::string>{
                                "",
                                "************** (11) ****************",
                                "\"Fake Ethernet Adapter\"",
                                "\tLink encap: Ethernet ",
                                "\tHWaddr: 00-1A-2B-3C-4D-5E",
                                "\tinet addr:192.168.1.10",
                                " Mask: 255.255.255.0",
                                "\tMTU: 1500 Speed:2500.00 Mbps",
                                "\tAdmin status:UP",
                                " Oper status:OPERATIONAL",
                                "\tRX packets:2147483649 dropped:2147483648 errors:0 unkown:0",
                                "\tTX packets:8589934590 dropped:0 errors:0 txqueuelen:3",
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
  // Called on a list as it stands, a failure adds its error below.
  machine.ifTable.build = [](Arena& a) { BuildIfTable(a, {}); };
  EXPECT_FALSE(ListInterfaceDetails(&lines));
  ASSERT_EQ(lines.Count(), 23 + 1);
  EXPECT_EQ(lines[23], "\r\n*** Error retrieving adapter information");
}

TEST_F(MonitorTest, PagesOnALastingFailureKeepTheirLastGoodLinesAndOneError) {
  Sys.GetIpStatistics = FakeGetIpStatistics;
  Sys.GetUdpStatistics = FakeGetUdpStatistics;
  statsAnswer = NO_ERROR;
  machine.ifTable.build = [](Arena& a) { BuildIfTable(a, {Ethernet()}); };
  Refresh();
  const auto goodDetails = Lines_(mon->AdapterMemo);
  const auto goodIp = Lines_(mon->IPStatsMemo);
  const auto goodUdp = Lines_(mon->UDPStatsMemo);
  ASSERT_EQ(goodDetails.size(), 12u);
  ASSERT_EQ(goodIp.size(), 22u);
  ASSERT_EQ(goodUdp.size(), 5u);

  machine.ifTable.build = [](Arena& a) { BuildIfTable(a, {}); };
  statsAnswer = ERROR_NOT_SUPPORTED;
  const auto withError = [](std::vector<std::string> lines, const std::string& error) {
    lines.push_back(error);
    return lines;
  };
  for (int refresh = 0; refresh < 3; ++refresh) {
    Refresh();
    EXPECT_EQ(Lines_(mon->AdapterMemo),
              withError(withError(goodDetails, ""), "*** Error retrieving adapter information"))
        << "refresh " << refresh;
    EXPECT_EQ(Lines_(mon->IPStatsMemo), withError(goodIp, SysErrorMessage(ERROR_NOT_SUPPORTED))) << refresh;
    EXPECT_EQ(Lines_(mon->UDPStatsMemo), withError(goodUdp, SysErrorMessage(ERROR_NOT_SUPPORTED))) << refresh;
  }
  machine.ifTable.build = [](Arena& a) { BuildIfTable(a, {Ethernet()}); };
  statsAnswer = NO_ERROR;
  Refresh();
  EXPECT_EQ(Lines_(mon->AdapterMemo), goodDetails);
  EXPECT_EQ(Lines_(mon->IPStatsMemo), goodIp);
}

TEST_F(MonitorTest, ARefreshKeepsEachMemosFirstVisibleLine) {
  // Forty interfaces: the detail page runs to 480 lines.
  machine.ifTable.build = [](Arena& a) {
    std::vector<MIB_IFROW> rows;
    for (DWORD i = 0; i < 40; ++i)
      rows.push_back(IfRow(100 + i, IF_TYPE_ETHERNET_CSMACD, {0x02, 0, 0, 0, 0, 1}, "eth"));
    BuildIfTable(a, rows);
  };
  Refresh();
  HWND details = mon->AdapterMemo->Handle();
  SendMessageA(details, EM_LINESCROLL, 0, 200);
  const LRESULT first = SendMessageA(details, EM_GETFIRSTVISIBLELINE, 0, 0);
  ASSERT_GT(first, 150);
  Refresh();
  EXPECT_EQ(SendMessageA(details, EM_GETFIRSTVISIBLELINE, 0, 0), first);
  ASSERT_EQ(mon->AdapterMemo->GetLines().Count(), 480);
  EXPECT_EQ(mon->AdapterMemo->Text(), mon->AdapterMemo->GetLines().Text().substr(0, mon->AdapterMemo->Text().size()));

  // A page shorter than that shows its end.
  machine.ifTable.build = [](Arena& a) {
    BuildIfTable(a, {IfRow(5, IF_TYPE_ETHERNET_CSMACD, {2, 0, 0, 0, 0, 1}, "eth")});
  };
  Refresh();
  EXPECT_LT(SendMessageA(details, EM_GETFIRSTVISIBLELINE, 0, 0), 12);
  EXPECT_EQ(mon->AdapterMemo->GetLines().Count(), 12);
}

namespace {
std::string SaveFolder;
HRESULT WINAPI FakeDesktopFolder(HWND, int, HANDLE, DWORD, LPWSTR path) {
  if (SaveFolder.empty()) return E_FAIL;
  const std::wstring wide(SaveFolder.begin(), SaveFolder.end());
  lstrcpynW(path, wide.c_str(), MAX_PATH);
  return S_OK;
}
}  // namespace

TEST_F(MonitorTest, CtrlSSavesEveryPageUnderItsCaption) {
  Refresh();
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  SaveFolder = std::string(temp) + "velnor-monitor-test-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(SaveFolder.c_str(), nullptr);
  SysSwap desktop(&SysApi::SHGetFolderPathW, &FakeDesktopFolder);
  WORD s = 'S';
  mon->KeyDown(s, ssCtrl);

  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((SaveFolder + "\\VelnorAgent-monitor-*.txt").c_str(), &found);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << "nothing saved";
  FindClose(h);
  const std::string path = SaveFolder + "\\" + found.cFileName;
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  file.close();
  DeleteFileA(path.c_str());
  RemoveDirectoryA(SaveFolder.c_str());
  EXPECT_EQ(mon->lblSaved->Caption(), std::string("Saved: ") + found.cFileName);

  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) {
    ASSERT_FALSE(line.empty() || line.back() != '\r')
        << "every line ends in CR LF: [" << line << "] after " << lines.size();
    lines.push_back(line.substr(0, line.size() - 1));
  }
  std::vector<std::string> captions;
  for (const std::string& l : lines)
    if (l.rfind("== ", 0) == 0) captions.push_back(l);
  EXPECT_EQ(captions, (std::vector<std::string>{
                          "== Adapters[Debug] ==",
                          "== CONNECTIONS TCP ==",
                          "== CONNECTIONS UDP ==",
                          "== IP-ADRESS TABLE ==",
                          "== IP-ROUTING TABLE ==",
                          "== ADAPTER/IF INFO ==",
                          "== ARP ==",
                          "== STATISTICS ==",
                      }));
  // Each page's memos follow its caption, in reading order.
  auto at = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) - lines.begin(); };
  // The statistics page: its left column (TCP, IP) before its right one.
  EXPECT_LT(at("== STATISTICS =="), at("TCP"));
  EXPECT_LT(at("TCP"), at("IP"));
  EXPECT_LT(at("IP"), at("UDP"));
  EXPECT_LT(at("UDP"), at("ICMP -  INPUT           ICMP - OUTPUT"));
  EXPECT_LT(at("ICMP -  INPUT           ICMP - OUTPUT"), static_cast<long>(lines.size()));
  const auto fixed = Lines_(mon->NwMemo);
  ASSERT_FALSE(fixed.empty());
  EXPECT_LT(at("== ARP =="), at(fixed[0]));
  EXPECT_LT(at("FIXED NETWORK INFO"), at(fixed[0]));
}

TEST_F(MonitorTest, TheIpv6PartFollowsTheIpv4PartOfItsPageRefreshAfterRefresh) {
  Refresh();
  auto ipv4 = Lines_(mon->IPAddrMemo);
  ASSERT_FALSE(ipv4.empty());
  ASSERT_EQ(ipv4.back(), "IPv6: no entries.");
  ipv4.pop_back();

  ExtendedAdapter veth;
  veth.index = 3;
  veth.unicast = {"fd00:77::2", "fe80::1%3"};
  veth.onLinkPrefixes = {64, 64};
  machine.adaptersAddresses6.probeAnswer = ERROR_BUFFER_OVERFLOW;
  machine.adaptersAddresses6.build = [veth](Arena& a) { BuildAdaptersAddresses(a, {veth}); };
  auto withIpv6 = ipv4;
  withIpv6.push_back("IPv6:");
  withIpv6.push_back("        3   fd00:77::2/64                                 unique-local");
  withIpv6.push_back("        3   fe80::1%3/64                                  link-local");
  for (int refresh = 0; refresh < 2; ++refresh) {
    Refresh();
    EXPECT_EQ(Lines_(mon->IPAddrMemo), withIpv6) << "refresh " << refresh;
  }
  // The IPv6 table refused: the IPv4 part as it was, and one line.
  machine.adaptersAddresses6.probeAnswer = ERROR_NOT_ENOUGH_MEMORY;
  machine.adaptersAddresses6.secondAnswer = ERROR_NOT_ENOUGH_MEMORY;
  auto refused = ipv4;
  refused.push_back("IPv6: " + SysErrorMessage(ERROR_NOT_ENOUGH_MEMORY));
  for (int refresh = 0; refresh < 2; ++refresh) {
    Refresh();
    EXPECT_EQ(Lines_(mon->IPAddrMemo), refused) << "refresh " << refresh;
  }
  // A page whose IPv4 report keeps what it showed when its library is
  // missing still shows its IPv6 part once.
  const auto arp = Lines_(mon->ARPMemo);
  Refresh();
  EXPECT_EQ(Lines_(mon->ARPMemo), arp);
}
