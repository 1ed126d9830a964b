#include "monitor/uTCPIP.h"

#include "monitor/Connections.h"
#include "monitor/Statistics.h"
#include "monitor/Tables.h"
#include "netdata/IPHLPAPI.h"
#include "netdata/IPHelper.h"
#include "netdata/uAdapterInfo.h"
#include "toolkit/Application.h"

TfrmTCPIPMonitor* frmTCPIPMonitor = nullptr;

namespace {

const COLORREF kHeadingBack = RGB(0, 128, 0);
const COLORREF kWhite = RGB(255, 255, 255);
// 8 and 9 point at the usual 96 dots per inch.
const int k8pt = 11;
const int k9pt = 12;

}  // namespace

TfrmTCPIPMonitor::TfrmTCPIPMonitor()
    : Form("frmTCPIPMonitor", "TCP/IP/ARP Monitor: ", 800, 600, Style{false, true, true, false}) {
  MinWidth = 800;
  MinHeight = 200;
  CreateComponents();
  FormCreate();
}

void TfrmTCPIPMonitor::CreateComponents() {
  // Window size is 800 x 600 including its frame.
  SetWindowPos(Handle(), nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CenterOnScreen();
  HFONT lucida8 = GetFont("Lucida Console", k8pt);
  HFONT lucida9 = GetFont("Lucida Console", k9pt);

  Panel1 = Make<Panel>(this, "Panel1");
  Panel1->Align = TAlign::Bottom;
  Panel1->SetBounds(0, 0, 800, 41);
  pgCtrlMain = Make<PageControl>(this, "pgCtrlMain");
  pgCtrlMain->Align = TAlign::Client;
  pgCtrlMain->SetFont(lucida8);

  auto sheet = [&](const char* name, const char* caption) { return Make<TabSheet>(pgCtrlMain, name, caption); };
  DebugSheet = sheet("DebugSheet", "Adapters[Debug]");
  ConnSheet = sheet("ConnSheet", "CONNECTIONS TCP");
  UDPConnSheet = sheet("UDPConnSheet", "CONNECTIONS UDP");
  IP1Sheet = sheet("IP1Sheet", "IP-ADRESS TABLE");
  IP2Sheet = sheet("IP2Sheet", "IP-ROUTING TABLE");
  AdaptSheet = sheet("AdaptSheet", "ADAPTER/IF INFO");
  ARPSheet = sheet("ARPSheet", "ARP");
  StatisticsSheet = sheet("StatisticsSheet", "STATISTICS");

  auto heading = [&](Panel* parent, const char* name, const char* caption, bool centred, int l, int t, int w, int h,
                     HFONT font) {
    StaticText* st = Make<StaticText>(parent, name, caption, centred);
    st->BackColor = kHeadingBack;
    st->TextColor = kWhite;
    st->SetFont(font ? font : lucida8);
    st->SetBounds(l, t, w, h);
    return st;
  };
  auto topHeading = [&](Panel* parent, const char* name, const char* caption, HFONT font) {
    StaticText* st = heading(parent, name, caption, false, 0, 0, 0, 17, font);
    st->Align = TAlign::Top;
    return st;
  };
  auto memo = [&](Panel* parent, const char* name, Memo::Options o, HFONT font, int l, int t, int w, int h) {
    Memo* m = Make<Memo>(parent, name, o);
    m->BackColor = kWhite;
    m->SetFont(font ? font : lucida8);
    m->SetBounds(l, t, w, h);
    return m;
  };
  Memo::Options readOnlyV;
  readOnlyV.border = true;
  readOnlyV.vScroll = true;
  Memo::Options readOnlyVNoWrap = readOnlyV;
  readOnlyVNoWrap.wordWrap = false;
  Memo::Options readOnlyBoth = readOnlyV;
  readOnlyBoth.hScroll = true;
  readOnlyBoth.wordWrap = false;
  Memo::Options editableNoWrap = readOnlyVNoWrap;
  editableNoWrap.readOnly = false;
  Memo::Options readOnlyPlain;
  readOnlyPlain.border = true;
  Memo::Options editablePlain;
  editablePlain.border = true;
  editablePlain.readOnly = false;
  editablePlain.wordWrap = false;

  heading(DebugSheet, "StaticText11", "ADAPTERS LIST JUST FOR DEBUG ...", false, 3, 3, 769, 15, nullptr);
  AdapterMemo = memo(DebugSheet, "AdapterMemo", readOnlyV, nullptr, 1, 18, 772, 231);
  heading(DebugSheet, "StaticText13",
          "   TYPE    |   MAC_ADDRESS   |   IP-ADDRESS   |      DNS       |    GATEWAY     |(Mbps)|   DESCRIPTION", false, 2,
          251, 772, 15, nullptr);
  SelectedAdpMemo = memo(DebugSheet, "SelectedAdpMemo", readOnlyBoth, nullptr, 1, 267, 771, 226);

  topHeading(ConnSheet, "StaticText2",
             "   TCP LOCAL IP: PORT        REMOTE IP: PORT    STATE     PROCESS    APPLICATION             CREATED", nullptr);
  TCPMemo = memo(ConnSheet, "TCPMemo", editableNoWrap, lucida9, 0, 0, 0, 0);
  TCPMemo->Align = TAlign::Client;

  topHeading(UDPConnSheet, "StaticText3",
             "  UDP LOCAL IP  :  PORT    PROCESS                        APPLICATION                         CREATED", nullptr);
  UDPMemo = memo(UDPConnSheet, "UDPMemo", editableNoWrap, lucida9, 0, 0, 0, 0);
  UDPMemo->Align = TAlign::Client;

  topHeading(IP1Sheet, "StaticText6", "INTRFIndx   IP_ADDR       SUBNET_MASK      BCAST_ ADDR    REASM.SIZE", nullptr);
  IPAddrMemo = memo(IP1Sheet, "IPAddrMemo", readOnlyVNoWrap, nullptr, 0, 0, 0, 0);
  IPAddrMemo->Align = TAlign::Client;

  topHeading(IP2Sheet, "StaticText8",
             " FORW_DEST_IP    FORW_MASK       IP_ NEXT_HOP   IF_INDEX   TYPE   NEXT_AS_NR  FORW_PROTO  FORW_METRIC",
             GetFont("Courier New", k8pt));
  IPForwMemo = memo(IP2Sheet, "IPForwMemo", readOnlyVNoWrap, nullptr, 0, 0, 0, 0);
  IPForwMemo->Align = TAlign::Client;

  heading(AdaptSheet, "StaticText9",
          "ADAPIdx   Type     MAC_ADDRESS    DHCP   GATEWAY_IP    DHCP_IP     PRIMARY   WINS   CURRENT  DNS   STATUS", false,
          3, 3, 769, 15, nullptr);
  AdaptMemo = memo(AdaptSheet, "AdaptMemo", readOnlyV, nullptr, 5, 22, 770, 174);
  heading(AdaptSheet, "StaticText15",
          "   TYPE        MAC_ADDRESS     MTU(Bs)  SPEED(bps)   STATUS      IN          OUT         DESCRIPTION", false, 3,
          200, 772, 15, nullptr);
  IfMemo = memo(AdaptSheet, "IfMemo", readOnlyBoth, nullptr, 5, 216, 768, 263);

  heading(ARPSheet, "StaticText1", "ADAPT.INDEX   REMOTE  MAC         REMOTE  IP           TYPE", false, 5, 4, 491, 17, nullptr);
  ARPMemo = memo(ARPSheet, "ARPMemo", editableNoWrap, lucida9, 5, 22, 491, 455);
  heading(ARPSheet, "StaticText10", "FIXED NETWORK INFO", true, 500, 3, 271, 17, nullptr);
  NwMemo = memo(ARPSheet, "NwMemo", editablePlain, nullptr, 501, 22, 269, 454);

  heading(StatisticsSheet, "StaticText7", "TCP", true, 5, 4, 340, 17, nullptr);
  TCPStatMemo = memo(StatisticsSheet, "TCPStatMemo", readOnlyPlain, nullptr, 5, 22, 340, 190);
  heading(StatisticsSheet, "StaticText4", "UDP", true, 365, 4, 405, 17, nullptr);
  UDPStatsMemo = memo(StatisticsSheet, "UDPStatsMemo", readOnlyPlain, nullptr, 364, 22, 404, 190);
  heading(StatisticsSheet, "StaticText5", "IP", true, 6, 214, 340, 15, nullptr);
  IPStatsMemo = memo(StatisticsSheet, "IPStatsMemo", readOnlyPlain, nullptr, 5, 232, 340, 244);
  heading(StatisticsSheet, "StaticText12", "ICMP -  INPUT           ICMP - OUTPUT", true, 364, 214, 404, 15, nullptr);
  ICMPInMemo = memo(StatisticsSheet, "ICMPInMemo", readOnlyPlain, nullptr, 364, 232, 200, 244);
  ICMPOutMemo = memo(StatisticsSheet, "ICMPOutMemo", readOnlyPlain, nullptr, 569, 232, 200, 244);
  TCPStatMemo->GetLines().Add("TCPStatMemo");
  UDPStatsMemo->GetLines().Add("UDPStatsMemo");
  IPStatsMemo->GetLines().Add("IPStatsMemo");

  HFONT tahoma = GetFont("Tahoma", k8pt);
  SpeedButton1 = Make<FlatButton>(Panel1, "SpeedButton1");
  SpeedButton1->SetBounds(13, 7, 122, 28);
  SpeedButton1->Caption = "Force Update";
  SpeedButton1->Font = GetFont("Tahoma", k8pt, true);
  SpeedButton1->Glyph = Image::FromResource("ForceUpdate");
  cbTimer = Make<CheckBox>(Panel1, "cbTimer", "Enable Timer Update");
  cbTimer->SetBounds(158, 11, 122, 19);
  ShowProgPath = Make<CheckBox>(Panel1, "ShowProgPath", "Show Application Path");
  ShowProgPath->SetBounds(286, 11, 145, 19);
  ExtAdapApi = Make<CheckBox>(Panel1, "ExtAdapApi", "Extended Adapter API");
  ExtAdapApi->SetBounds(430, 11, 145, 19);
  for (CheckBox* cb : {cbTimer, ShowProgPath, ExtAdapApi}) {
    cb->SetFont(tahoma);
    cb->OnClick = [this](Component* s) { cbTimerClick(s); };
  }
  SpeedButton1->OnClick = [this](Component* s) { SpeedButton1Click(s); };

  Timer1 = Make<Timer>("Timer1");
  Timer1->SetInterval(5000);
  Timer1->OnTimer = [this](Component* s) { Timer1Timer(s); };
  Realign();
}

void TfrmTCPIPMonitor::FormCreate() {
  pgCtrlMain->SetActivePage(DebugSheet);
  SetCaption(Caption() + " " + "Velnor v1.0.1 - 19 February 2012");
  if (LoadIpHelper()) {
    RefreshPages();
    Timer1->SetEnabled(true);
  } else {
    MessageBoxA(Application.MainWindow(), "Internet Helper DLL Not Available or Not Supported", Application.Title().c_str(),
                MB_OK | MB_ICONERROR);
  }
}

void TfrmTCPIPMonitor::RefreshPages() {
  ShowAppPath = ShowProgPath->Checked();
  UseExtAdapterApi = ExtAdapApi->Checked();
  // Every page, in this order, each from a fresh reading.
  ListFixedInfo(&NwMemo->GetLines());
  ListArpCache(&ARPMemo->GetLines());
  ListTcpConns(&TCPMemo->GetLines());
  ListTcpStats(&TCPStatMemo->GetLines());
  ListUdpConns(&UDPMemo->GetLines());
  ListIpStats(&IPStatsMemo->GetLines());
  ListIpAddrTable(&IPAddrMemo->GetLines());
  ListRoutes(&IPForwMemo->GetLines());
  ListUdpStats(&UDPStatsMemo->GetLines());
  ListAdaptorRows(&AdaptMemo->GetLines());
  ListIcmpStats(&ICMPInMemo->GetLines(), &ICMPOutMemo->GetLines());
  ListIfRows(&IfMemo->GetLines());
  ListInterfaceDetails(&AdapterMemo->GetLines());
}

void TfrmTCPIPMonitor::cbTimerClick(Component*) { Timer1->SetEnabled(cbTimer->Checked()); }

void TfrmTCPIPMonitor::Timer1Timer(Component*) {
  if (!cbTimer->Checked()) return;
  Timer1->SetEnabled(false);
  RefreshPages();
  Timer1->SetEnabled(true);
}

void TfrmTCPIPMonitor::SpeedButton1Click(Component*) {
  SpeedButton1->SetEnabled(false);
  RefreshPages();
  SpeedButton1->SetEnabled(true);
}

void ListInterfaceDetails(Lines* lines) {
  if (!lines) return;
  LinesUpdate update(*lines);
  try {
    TAdapterInfo table;
    if (!ReadAdapterInfo(table)) {
      lines->Add("\r\n*** Error retrieving adapter information");
      return;
    }
    lines->Clear();
    for (const TAdapterInfoRec& r : table) {
      lines->Add("");
      lines->Add(FormatLine("************** (%d) ****************", static_cast<int32_t>(r.Index)));
      lines->Add("\"" + r.Description + "\"");
      lines->Add("\tLink encap: " + IfTypeToStr(r.IfType) + " ");
      if (!r.MacAddress.empty()) lines->Add("\tHWaddr: " + r.MacAddress);
      lines->Add("\tinet addr:" + r.IpAddress);
      lines->Add(" Mask: " + r.SubnetMask);
      lines->Add(FormatLine("\tMTU: %d Speed:%.2f Mbps", static_cast<int32_t>(r.Mtu), r.Speed / 1000 / 1000));
      lines->Add("\tAdmin status:" + AdminStatusToStr(r.AdminStatus));
      lines->Add(" Oper status:" + OperStatusToStr(r.OperStatus));
      // 32-bit sums, printed signed as the counters are.
      const auto rx = static_cast<int32_t>(static_cast<uint32_t>(r.InUcastPkts) + static_cast<uint32_t>(r.InNUcastPkts));
      const auto tx = static_cast<int32_t>(static_cast<uint32_t>(r.OutUcastPkts) + static_cast<uint32_t>(r.OutNUcastPkts));
      lines->Add("\t" + FormatLine("RX packets:%d dropped:%d errors:%d unkown:%d", rx, static_cast<int32_t>(r.InDiscards),
                                    static_cast<int32_t>(r.InErrors), static_cast<int32_t>(r.InUnknownProtos)));
      lines->Add("\t" + FormatLine("TX packets:%d dropped:%d errors:%d txqueuelen:%d", tx, static_cast<int32_t>(r.OutDiscards),
                                    static_cast<int32_t>(r.OutErrors), static_cast<int32_t>(r.OutQLen)));
    }
  } catch (const std::exception& e) {
    lines->Add("Error: " + ExceptionClassName(e) + ": " + e.what());
  }
}
