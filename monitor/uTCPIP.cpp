#include "monitor/uTCPIP.h"

#include <array>
#include <functional>

#include "monitor/Connections.h"
#include "monitor/Statistics.h"
#include "monitor/Tables.h"
#include "netdata/IPHLPAPI.h"
#include "netdata/IPHelper.h"
#include "netdata/uAdapterInfo.h"
#include "toolkit/Application.h"
#include "toolkit/Thread.h"

TfrmTCPIPMonitor* frmTCPIPMonitor = nullptr;

namespace {

const COLORREF kHeadingBack = RGB(0, 128, 0);
const COLORREF kWhite = RGB(255, 255, 255);
// 8 and 9 point at the usual 96 dots per inch.
const int k8pt = 11;
const int k9pt = 12;

// The worker's pages are ready.
const UINT kPagesRead = WM_APP + 40;
// Time the window gives the memos in one go while it takes the pages in,
// and how soon it goes on: between two goes it answers whatever waits.
const DWORD kPagesBudgetMs = 30;
const int kPagesIntervalMs = 10;

// The memos a refresh fills, in the order their reports run.
enum Page {
  kNwPage,
  kArpPage,
  kTcpPage,
  kTcpStatPage,
  kUdpPage,
  kIpStatsPage,
  kIpAddrPage,
  kIpForwPage,
  kUdpStatsPage,
  kAdaptPage,
  kIcmpInPage,
  kIcmpOutPage,
  kIfPage,
  kDetailsPage,
  kPageCount
};

Memo* TfrmTCPIPMonitor::*const kPageMemos[kPageCount] = {
    &TfrmTCPIPMonitor::NwMemo,      &TfrmTCPIPMonitor::ARPMemo,     &TfrmTCPIPMonitor::TCPMemo,
    &TfrmTCPIPMonitor::TCPStatMemo, &TfrmTCPIPMonitor::UDPMemo,     &TfrmTCPIPMonitor::IPStatsMemo,
    &TfrmTCPIPMonitor::IPAddrMemo,  &TfrmTCPIPMonitor::IPForwMemo,  &TfrmTCPIPMonitor::UDPStatsMemo,
    &TfrmTCPIPMonitor::AdaptMemo,   &TfrmTCPIPMonitor::ICMPInMemo,  &TfrmTCPIPMonitor::ICMPOutMemo,
    &TfrmTCPIPMonitor::IfMemo,      &TfrmTCPIPMonitor::AdapterMemo,
};

std::vector<std::string> LinesOfMemo(Memo* memo) {
  const Lines& lines = memo->GetLines();
  std::vector<std::string> items;
  items.reserve(static_cast<std::size_t>(lines.Count()));
  for (int i = 0; i < lines.Count(); ++i) items.push_back(lines[i]);
  return items;
}

void Fill(StringList& list, const std::vector<std::string>& items) {
  for (const std::string& item : items) list.Add(item);
}

}  // namespace

// One refresh on its own thread. It starts from what the UI thread took
// from the window (the options, and every page as its memo shows it, or
// for the pages that keep their last good lines, those) and runs the
// reports on free-standing lists; it touches no window and posts one
// message when the pages are ready.
class TfrmTCPIPMonitor::RefreshWorker : public Thread {
 public:
  bool showAppPath = false;
  bool useExtendedAdapters = false;
  std::array<StringList, kPageCount> pages;
  bool ipStatsFresh = false;
  bool udpStatsFresh = false;
  bool detailsFresh = false;
  std::string failure;  // what a report raised; the pages after it stay as they were

  explicit RefreshWorker(HWND notify) : notify_(notify) {}
  ~RefreshWorker() override { WaitFor(); }
  void Run() { Start(); }

 protected:
  void Execute() override {
    try {
      RunReports();
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "Unknown error";
    }
    PostMessageA(notify_, kPagesRead, 0, 0);
  }

 private:
  void RunReports() {
    TProgramCache programs;  // both connection pages look each process up once
    const std::function<void()> reports[] = {
        [&] { ListFixedInfo(&pages[kNwPage]); },
        [&] { ListArpCache(&pages[kArpPage]); },
        [&] { ListTcpConns(&pages[kTcpPage], showAppPath, programs); },
        [&] { ListTcpStats(&pages[kTcpStatPage]); },
        [&] { ListUdpConns(&pages[kUdpPage], showAppPath, programs); },
        [&] { ipStatsFresh = ListIpStats(&pages[kIpStatsPage]); },
        [&] { ListIpAddrTable(&pages[kIpAddrPage]); },
        [&] { ListRoutes(&pages[kIpForwPage]); },
        [&] { udpStatsFresh = ListUdpStats(&pages[kUdpStatsPage]); },
        [&] { ListAdaptorRows(&pages[kAdaptPage], useExtendedAdapters); },
        [&] { ListIcmpStats(&pages[kIcmpInPage], &pages[kIcmpOutPage]); },
        [&] { ListIfRows(&pages[kIfPage]); },
        [&] { detailsFresh = ListInterfaceDetails(&pages[kDetailsPage]); },
    };
    for (const auto& report : reports) {
      if (Terminated()) return;
      report();
    }
  }

  HWND notify_;  // not owned: the monitor, which outlives its worker
};

TfrmTCPIPMonitor::TfrmTCPIPMonitor()
    : Form("frmTCPIPMonitor", "TCP/IP/ARP Monitor: ", 800, 600, Style{false, true, true, false}) {
  MinWidth = 800;
  MinHeight = 200;
  CreateComponents();
  FormCreate();
}

TfrmTCPIPMonitor::~TfrmTCPIPMonitor() {
  // The worker stops after the report it is in; the window goes after it.
  if (worker_) worker_->Terminate();
  worker_.reset();
}

void TfrmTCPIPMonitor::CreateComponents() {
  // Window size is 800 x 600 including its frame.
  SetWindowPos(Handle(), nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CenterOnScreen();
  // The pages are columns of text: whatever the system has in place of
  // Lucida Console must be fixed-pitch too.
  HFONT lucida8 = GetFixedPitchFont("Lucida Console", k8pt);
  HFONT lucida9 = GetFixedPitchFont("Lucida Console", k9pt);

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
  // Every memo can show all of its text: where the design gives none, a
  // memo whose lines may not fit gets the scroll bars it needs.
  Memo::Options readOnlyPlain;
  readOnlyPlain.border = true;
  readOnlyPlain.vScroll = true;
  Memo::Options editablePlain;
  editablePlain.border = true;
  editablePlain.readOnly = false;
  editablePlain.wordWrap = false;
  editablePlain.vScroll = true;
  editablePlain.hScroll = true;

  heading(DebugSheet, "StaticText11", "ADAPTERS LIST JUST FOR DEBUG ...", false, 3, 3, 769, 15, nullptr);
  AdapterMemo = memo(DebugSheet, "AdapterMemo", readOnlyV, nullptr, 1, 18, 772, 231);
  heading(DebugSheet, "StaticText13",
          "   TYPE    |   MAC_ADDRESS   |   IP-ADDRESS   |      DNS       |    GATEWAY     |(Mbps)|   DESCRIPTION",
          false, 2, 251, 772, 15, nullptr);
  SelectedAdpMemo = memo(DebugSheet, "SelectedAdpMemo", readOnlyBoth, nullptr, 1, 267, 771, 226);

  topHeading(ConnSheet, "StaticText2",
             "   TCP LOCAL IP: PORT        REMOTE IP: PORT    STATE     PROCESS    APPLICATION             CREATED",
             nullptr);
  TCPMemo = memo(ConnSheet, "TCPMemo", editableNoWrap, lucida9, 0, 0, 0, 0);
  TCPMemo->Align = TAlign::Client;

  topHeading(UDPConnSheet, "StaticText3",
             "  UDP LOCAL IP  :  PORT    PROCESS                        APPLICATION                         CREATED",
             nullptr);
  UDPMemo = memo(UDPConnSheet, "UDPMemo", editableNoWrap, lucida9, 0, 0, 0, 0);
  UDPMemo->Align = TAlign::Client;

  topHeading(IP1Sheet, "StaticText6", "INTRFIndx   IP_ADDR       SUBNET_MASK      BCAST_ ADDR    REASM.SIZE", nullptr);
  IPAddrMemo = memo(IP1Sheet, "IPAddrMemo", readOnlyVNoWrap, nullptr, 0, 0, 0, 0);
  IPAddrMemo->Align = TAlign::Client;

  topHeading(IP2Sheet, "StaticText8",
             " FORW_DEST_IP    FORW_MASK       IP_ NEXT_HOP   IF_INDEX   TYPE   NEXT_AS_NR  FORW_PROTO  FORW_METRIC",
             GetFixedPitchFont("Courier New", k8pt));
  IPForwMemo = memo(IP2Sheet, "IPForwMemo", readOnlyVNoWrap, nullptr, 0, 0, 0, 0);
  IPForwMemo->Align = TAlign::Client;

  heading(AdaptSheet, "StaticText9",
          "ADAPIdx   Type     MAC_ADDRESS    DHCP   GATEWAY_IP    DHCP_IP     PRIMARY   WINS   CURRENT  DNS   STATUS",
          false, 3, 3, 769, 15, nullptr);
  AdaptMemo = memo(AdaptSheet, "AdaptMemo", readOnlyV, nullptr, 5, 22, 770, 174);
  heading(AdaptSheet, "StaticText15",
          "   TYPE        MAC_ADDRESS     MTU(Bs)  SPEED(bps)   STATUS      IN          OUT         DESCRIPTION", false,
          3, 200, 772, 15, nullptr);
  IfMemo = memo(AdaptSheet, "IfMemo", readOnlyBoth, nullptr, 5, 216, 768, 263);

  heading(ARPSheet, "StaticText1", "ADAPT.INDEX   REMOTE  MAC         REMOTE  IP           TYPE", false, 5, 4, 491, 17,
          nullptr);
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
  PageTimer = Make<Timer>("PageTimer");
  PageTimer->SetInterval(kPagesIntervalMs);
  PageTimer->OnTimer = [this](Component*) { ContinuePages(); };
  goodIpStats_ = LinesOfMemo(IPStatsMemo);
  goodUdpStats_ = LinesOfMemo(UDPStatsMemo);
  goodDetails_ = LinesOfMemo(AdapterMemo);
  Realign();
}

void TfrmTCPIPMonitor::FormCreate() {
  pgCtrlMain->SetActivePage(DebugSheet);
  SetCaption(Caption() + " " + "Velnor v1.0.1 - 19 February 2012");
  // Bound here, on the UI thread, before any refresh reads a table. The
  // first refresh waits until the window is first shown, so the program's
  // start never waits for the connection tables.
  ipHelperBound_ = LoadIpHelper();
  if (!ipHelperBound_) {
    MessageBoxA(Application.MainWindow(), "Internet Helper DLL Not Available or Not Supported",
                Application.Title().c_str(), MB_OK | MB_ICONERROR);
  }
}

void TfrmTCPIPMonitor::RefreshPages() {
  if (Refreshing()) {
    again_ = true;
    return;
  }
  StartRefresh();
}

void TfrmTCPIPMonitor::StartRefresh() {
  ShowAppPath = ShowProgPath->Checked();
  UseExtAdapterApi = ExtAdapApi->Checked();
  failure_.clear();
  auto worker = std::make_unique<RefreshWorker>(Handle());
  worker->showAppPath = ShowAppPath;
  worker->useExtendedAdapters = UseExtAdapterApi;
  for (int page = 0; page < kPageCount; ++page) Fill(worker->pages[page], LinesOfMemo(this->*kPageMemos[page]));
  // These pages start from their last good lines: a lasting failure shows
  // those with one message below, not one more message each refresh.
  StringList& ipStats = worker->pages[kIpStatsPage];
  StringList& udpStats = worker->pages[kUdpStatsPage];
  StringList& details = worker->pages[kDetailsPage];
  for (StringList* page : {&ipStats, &udpStats, &details}) page->Clear();
  Fill(ipStats, goodIpStats_);
  Fill(udpStats, goodUdpStats_);
  Fill(details, goodDetails_);
  worker_ = std::move(worker);
  worker_->Run();
}

void TfrmTCPIPMonitor::PagesRead() {
  if (!worker_) return;
  worker_->WaitFor();
  const std::unique_ptr<RefreshWorker> done = std::move(worker_);
  failure_ = done->failure;
  if (done->ipStatsFresh) goodIpStats_ = done->pages[kIpStatsPage].Items();
  if (done->udpStatsFresh) goodUdpStats_ = done->pages[kUdpStatsPage].Items();
  if (done->detailsFresh) goodDetails_ = done->pages[kDetailsPage].Items();
  puttingPages_ = true;
  try {
    for (int page = 0; page < kPageCount; ++page) (this->*kPageMemos[page])->BeginReplace(done->pages[page].Items());
  } catch (const std::exception& e) {
    if (failure_.empty()) failure_ = e.what();
  }
  ContinuePages();
}

void TfrmTCPIPMonitor::ContinuePages() {
  bool complete = true;
  try {
    const DWORD start = GetTickCount();
    for (Memo* TfrmTCPIPMonitor::*memo : kPageMemos) {
      const DWORD spent = GetTickCount() - start;
      if (!(this->*memo)->ContinueReplace(spent < kPagesBudgetMs ? kPagesBudgetMs - spent : 0)) {
        complete = false;
        break;
      }
    }
  } catch (const std::exception& e) {
    if (failure_.empty()) failure_ = e.what();
  }
  PageTimer->SetEnabled(!complete);
  if (complete) FinishRefresh();
}

void TfrmTCPIPMonitor::FinishRefresh() {
  puttingPages_ = false;
  timerPaused_ = false;
  if (again_) {
    again_ = false;
    StartRefresh();
  } else if (buttonWaits_) {
    buttonWaits_ = false;
    SpeedButton1->SetEnabled(true);
  }
  UpdateTimer();
  // The timer and the button are back as they were before the report's
  // error reaches the general error report.
  if (!failure_.empty()) {
    const std::string failure = failure_;
    failure_.clear();
    Application.ShowException(failure);
  }
}

bool TfrmTCPIPMonitor::Refreshing() const { return worker_ != nullptr || puttingPages_; }

bool TfrmTCPIPMonitor::WaitForRefresh(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (Refreshing()) {
    const DWORD spent = GetTickCount() - start;
    if (timeoutMs != INFINITE && spent >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Application.ProcessMessages();
  }
  return true;
}

void TfrmTCPIPMonitor::UpdateTimer() { Timer1->SetEnabled(cbTimer->Checked() && shown_ && !timerPaused_); }

void TfrmTCPIPMonitor::Shown(bool shown) {
  shown_ = shown;
  UpdateTimer();
  if (shown && !everShown_) {
    everShown_ = true;
    if (ipHelperBound_) RefreshPages();
  }
}

LRESULT TfrmTCPIPMonitor::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kPagesRead) {
    Application.Guard([&] { PagesRead(); });
    return 0;
  }
  // Shown or hidden by the program, not with its owner.
  if (msg == WM_SHOWWINDOW && lp == 0) Application.Guard([&] { Shown(wp != FALSE); });
  return Form::WndProc(msg, wp, lp);
}

// The timer runs while the window is shown and its box is checked.
void TfrmTCPIPMonitor::cbTimerClick(Component*) { UpdateTimer(); }

void TfrmTCPIPMonitor::Timer1Timer(Component*) {
  if (!cbTimer->Checked() || Refreshing()) return;
  timerPaused_ = true;
  UpdateTimer();
  RefreshPages();
}

void TfrmTCPIPMonitor::SpeedButton1Click(Component*) {
  SpeedButton1->SetEnabled(false);
  buttonWaits_ = true;
  RefreshPages();
}

bool ListInterfaceDetails(Lines* lines) {
  if (!lines) return false;
  LinesUpdate update(*lines);
  try {
    TAdapterInfo table;
    if (!ReadAdapterInfo(table)) {
      lines->Add("\r\n*** Error retrieving adapter information");
      return false;
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
      lines->Add(FormatLine("\tMTU: %d Speed:%.2f Mbps", r.Mtu, r.Speed / 1000 / 1000));
      lines->Add("\tAdmin status:" + AdminStatusToStr(r.AdminStatus));
      lines->Add(" Oper status:" + OperStatusToStr(r.OperStatus));
      // Counters and their sums are unsigned; the packet sums are taken in
      // 64 bits, so two counters near their top still add up.
      const uint64_t rx = uint64_t{r.InUcastPkts} + r.InNUcastPkts;
      const uint64_t tx = uint64_t{r.OutUcastPkts} + r.OutNUcastPkts;
      lines->Add("\t" + FormatLine("RX packets:%d dropped:%d errors:%d unkown:%d", rx, r.InDiscards, r.InErrors,
                                   r.InUnknownProtos));
      lines->Add("\t" + FormatLine("TX packets:%d dropped:%d errors:%d txqueuelen:%d", tx, r.OutDiscards, r.OutErrors,
                                   r.OutQLen));
    }
  } catch (const std::exception& e) {
    lines->Add("Error: " + ExceptionClassName(e) + ": " + e.what());
    return false;
  }
  return true;
}
